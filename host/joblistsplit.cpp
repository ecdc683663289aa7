#include <vocelle/host/joblistsplit.h>

#include <vocelle/plugin/joblist.h>
#include <vocelle/text/stringmanipulation.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace vocelle {

namespace {

struct ListLine {
    std::string bytes; // as in the file, its line feed included when it has one
    std::string text;  // as the plug-in compares it: without the line feed, trimmed
};

} // namespace

JobListParts splitJobList(const std::string& text, int partCount) {
    JobListParts result;
    if (partCount < 1) {
        result.error = "the number of parts must be at least 1";
        return result;
    }

    std::vector<ListLine> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        ListLine line;
        line.bytes = text.substr(start, end - start);
        std::string content = line.bytes;
        if (!content.empty() && content.back() == '\n') content.pop_back();
        if (content.size() > maxJobListLineLength) {
            result.error = "line " + std::to_string(lines.size() + 1) + " is longer than " +
                           std::to_string(maxJobListLineLength) + " bytes";
            return result;
        }
        line.text = lines.empty() ? content : removeEnclosingWhiteSpaces(content);
        lines.push_back(line);
        start = end;
    }

    std::string firstLine = lines.empty() ? std::string() : lines[0].bytes;
    std::string base = lines.empty() ? std::string() : lines[0].text;
    if (!base.empty() && base.back() == '\r') base.pop_back();
    // The plug-in also reads the first line as an ROI line when it ends in "roi": every part
    // would then convert that job again.
    if (isRoiLine(base)) {
        result.error = "its first line ends in \"roi\", so every part would repeat that job";
        return result;
    }
    if (!firstLine.empty() && firstLine.back() != '\n') firstLine += '\n';

    // Where each job starts: its ROI line, or the comment lines right before it.
    std::vector<std::size_t> starts;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!isRoiLine(lines[i].text)) continue;
        std::size_t start = i;
        while (start - 1 > (starts.empty() ? 0 : starts.back()) && !namesAJobFile(lines[start - 1].text)) --start;
        starts.push_back(start);
    }
    result.jobCount = int(starts.size());
    // No part without a job: as many parts as jobs when there are fewer, one for none.
    partCount = std::min(partCount, std::max(result.jobCount, 1));

    const auto jobStart = [&](std::size_t job) {
        if (job == 0) return std::size_t(1); // lines before the first job go with it
        return job < starts.size() ? starts[job] : lines.size();
    };
    for (int part = 0; part < partCount; ++part) {
        const std::size_t first = std::size_t((long long)part * result.jobCount / partCount);
        const std::size_t last = std::size_t((long long)(part + 1) * result.jobCount / partCount);
        std::string bytes = firstLine;
        std::vector<std::string> rois;
        if (first < last) {
            for (std::size_t i = jobStart(first); i < jobStart(last); ++i) bytes += lines[i].bytes;
            for (std::size_t job = first; job < last; ++job) {
                std::size_t roi = starts[job];
                while (!isRoiLine(lines[roi].text)) ++roi;
                rois.push_back(base + lines[roi].text);
            }
        }
        result.parts.push_back(bytes);
        result.roiNames.push_back(rois);
    }
    return result;
}

JobListParts splitJobListFile(const std::string& path, int partCount) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in.is_open()) text << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        JobListParts result;
        result.error = "cannot read the job list " + path;
        return result;
    }
    JobListParts result = splitJobList(text.str(), partCount);
    if (!result.error.empty()) result.error = "cannot split " + path + ": " + result.error;
    return result;
}

std::string jobListPartName(const std::string& listPath, int part, const std::string& folder) {
    const std::string name = getFileName(listPath);
    const std::string extension = getExtension(name);
    std::string dir = folder.empty() ? getPath(listPath) : folder;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + removeExtension(name) + "." + std::to_string(part) + (extension.empty() ? ".txt" : extension);
}

} // namespace vocelle
