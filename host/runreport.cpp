#include <vocelle/host/runreport.h>

#include <vocelle/formats/myVOI.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/plugin/logtexts.h>
#include <vocelle/text/stringmanipulation.h>

#include <exception>
#include <sstream>

namespace vocelle {

namespace {

bool namesMissingFile(const std::string& text) {
    for (const char* kind : {logtexts::roiMissing, logtexts::fmrMissing, logtexts::iaTrfMissing,
                             logtexts::faTrfMissing, logtexts::acpcTrfMissing, logtexts::talMissing})
        if (startsWith(text, kind)) return true;
    return false;
}

// The space and the voxels per VOI ("12,40,7") of the VOI file written; nothing when it cannot
// be read.
void readWrittenVoi(const std::string& path, std::string& space, std::string& voxels) {
    try {
        if (!isRegularFile(path)) return;
        const VOI voi(path);
        space = voi.ReferenceSpace.value();
        for (const auto& entry : voi.vois)
            voxels += (voxels.empty() ? "" : ",") + std::to_string(entry.voxels.size());
    } catch (const std::exception&) {
        space.clear();
        voxels.clear();
    }
}

} // namespace

// A field holds no tab or line end, so every job stays one row of the table.
std::string reportField(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

std::string reportSpace(const ConversionJob& job) {
    return job.talName.empty() ? "ACPC" : "TAL";
}

bool readReportRows(const std::string& text, std::vector<std::vector<std::string>>& rows) {
    if (!startsWith(text, reportHeader) || text.back() != '\n') return false;
    std::istringstream in(text.substr(std::string(reportHeader).size()));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields = splitAt(line, '\t');
        if (fields.size() != 6) return false;
        rows.push_back(std::move(fields));
    }
    return true;
}

std::vector<ConversionJob> listedJobs(const std::string& listText) {
    std::vector<ConversionJob> jobs;
    std::istringstream list(listText);
    readJobList(list, [&](const ConversionJob& job) { jobs.push_back(job); });
    return jobs;
}

RunReport::RunReport(const std::string& listText) {
    for (const ConversionJob& job : listedJobs(listText))
        rows_.push_back({job, "", "", "", ""});
}

void RunReport::logEntry(const std::string& text) {
    if (listingMissing_ && namesMissingFile(text)) {
        std::string& reason = rows_[next_ - 1].reason;
        reason += (reason.empty() ? "" : "; ") + text;
        return;
    }
    listingMissing_ = false;
    if (next_ == rows_.size()) return;
    Row& row = rows_[next_];
    if (startsWith(text, logtexts::converted)) {
        row.status = convertedStatus;
        readWrittenVoi(voiFileName(row.job), row.space, row.voxels);
    } else if (startsWith(text, logtexts::notEnoughFiles)) {
        row.status = "not converted";
        listingMissing_ = true;
    } else if (startsWith(text, logtexts::conversionFailed)) {
        row.status = "failed";
        const std::string named = logtexts::conversionFailed + row.job.roiName + ": ";
        row.reason = startsWith(text, named) ? text.substr(named.size())
                                             : text.substr(std::string(logtexts::conversionFailed).size());
    } else {
        return;
    }
    ++next_;
}

std::string RunReport::rows() const {
    std::string text;
    for (const Row& row : rows_) {
        const bool converted = row.status == convertedStatus;
        const std::string status = row.status.empty() ? "failed" : row.status;
        const std::string reason = row.status.empty() ? "no outcome was logged: the run stopped first" : row.reason;
        // What the VOI holds, which a TAL file counting as absent makes ACPC; else what was asked.
        const std::string space = !row.space.empty() ? reportField(row.space) : reportSpace(row.job);
        text += reportField(row.job.roiName) + "\t" +
                (converted ? reportField(voiFileName(row.job)) : "") + "\t" + space + "\t" + status +
                "\t" + reportField(reason) + "\t" + row.voxels + "\n";
    }
    return text;
}

} // namespace vocelle
