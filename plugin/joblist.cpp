#include <vocelle/plugin/joblist.h>

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/logtexts.h>
#include <vocelle/plugin/tarnlog.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstring>
#include <fstream>

namespace vocelle {

namespace {

struct JobFile {
    const char* ending;
    std::string ConversionJob::*name;
};
const JobFile jobFiles[] = {
    {"roi", &ConversionJob::roiName},          {"fmr", &ConversionJob::fmrName},
    {"IA.trf", &ConversionJob::iaTrfName},     {"FA.trf", &ConversionJob::faTrfName},
    {"ACPC.trf", &ConversionJob::acpcTrfName}, {"tal", &ConversionJob::talName},
    {"sdm", &ConversionJob::sdmName},
};
const JobFile* const roiFile = &jobFiles[0];

// The kind of file the line names, or nullptr.
const JobFile* fileKind(const std::string& line) {
    for (const auto& kind : jobFiles)
        if (endsWith(line, kind.ending)) return &kind;
    return nullptr;
}

// Reads up to the next line feed and drops it, like std::getline, but gives up on a line that
// cannot be a file name: the stream is then put in the failed state, so the list ends there as
// it does on a read error.
std::string readLine(std::istream& list, bool& tooLong) {
    std::string line;
    for (;;) {
        const int c = list.get();
        if (c == std::char_traits<char>::eof() || c == '\n') break;
        if (line.size() == maxJobListLineLength) {
            tooLong = true;
            list.setstate(std::ios_base::failbit);
            return std::string(); // a cut-off piece could look like a file name of some kind
        }
        line.push_back(static_cast<char>(c));
    }
    return line;
}

} // namespace

bool isRoiLine(const std::string& line) { return fileKind(line) == roiFile; }

bool namesAJobFile(const std::string& line) { return fileKind(line) != nullptr; }

JobListEnd readJobList(std::istream& list, const std::function<void(const ConversionJob&)>& runJob) {
    bool tooLong = false;
    const auto result = [&] { return tooLong ? JobListEnd::LineTooLong : JobListEnd::Finished; };

    std::string basePath = readLine(list, tooLong);
    // A list saved with CR LF line ends: the CR is not part of the folder name.
    if (!basePath.empty() && basePath.back() == '\r') basePath.pop_back();
    if (!list.good()) return result();

    std::string current = basePath;
    for (;;) {
        // Seek the next ROI line.
        while (!isRoiLine(current)) {
            if (!list.good()) return result();
            current = removeEnclosingWhiteSpaces(readLine(list, tooLong));
        }

        ConversionJob job;
        job.roiName = basePath + current;
        current.clear();
        while (list.good() && !isRoiLine(current)) {
            current = removeEnclosingWhiteSpaces(readLine(list, tooLong));
            // The first line of a kind counts, later ones are ignored; an ROI line ends the job.
            const JobFile* kind = fileKind(current);
            if (kind != nullptr && kind != roiFile && (job.*(kind->name)).empty())
                job.*(kind->name) = basePath + current;
        }
        runJob(job);

        // An ROI line that ended the list, with no line feed after it, still opens a job, so no
        // ROI line is passed over in silence.
        if (!list.good() && !isRoiLine(current)) return result();
    }
}

void runJobList() {
    // Zeroed, so a host that writes nothing leaves the empty text (a cancelled choice).
    char chosen[tarn::fileNameBufferSize] = {};
    if (tarn::hxGetOpenFileName != nullptr)
        tarn::hxGetOpenFileName(logtexts::chooserTitle, "", logtexts::chooserFilter, chosen);
    // A path that fills the buffer without its terminator was cut off and would name another
    // file: it counts as a cancelled choice.
    const std::string listPath =
        std::memchr(chosen, '\0', sizeof chosen) != nullptr ? chosen : std::string();

    std::ifstream list;
    if (!listPath.empty()) list.open(listPath);
    // A folder opens like a file but cannot be read: that too is a list that cannot be read.
    if (list.is_open()) list.peek();
    if (!list.is_open() || list.bad()) {
        if (tarn::hxMessageBox != nullptr) tarn::hxMessageBox(logtexts::listUnreadable);
        return;
    }
    bool anyJob = false;
    const auto end = readJobList(list, [&anyJob](const ConversionJob& job) {
        anyJob = true;
        runConversion(job);
    });
    if (end == JobListEnd::LineTooLong)
        logger << logtexts::listLineTooLong << listPath << std::flush;
    else if (!anyJob)
        logger << logtexts::listHoldsNoJob << listPath << std::flush;
}

} // namespace vocelle
