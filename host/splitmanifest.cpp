#include <vocelle/host/splitmanifest.h>

#include <vocelle/host/runreport.h>
#include <vocelle/host/session.h>
#include <vocelle/text/fault.h>
#include <vocelle/text/stringmanipulation.h>

#include <filesystem>
#include <set>

namespace vocelle {

namespace {

const std::string heading = "vocelle split manifest";

class ManifestReader {
  public:
    ManifestReader(const std::string& text, const std::string& path) : text_(text), path_(path) {}

    [[noreturn]] void fail(const std::string& problem) const {
        throw FaultError({"not a split manifest: " + problem, path_,
                          line_ > 0 ? "line " + std::to_string(line_) : ""});
    }

    // The next line's cells; false at the end of the text.
    bool next(std::vector<std::string>& cells) {
        if (at_ == text_.size()) return false;
        const std::size_t end = text_.find('\n', at_);
        ++line_;
        if (end == std::string::npos) fail("no line end");
        cells = splitAt(text_.substr(at_, end - at_), '\t');
        at_ = end + 1;
        return true;
    }

    // A file in the manifest's folder, named once.
    std::string fileName(const std::string& name) {
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            fail("\"" + name + "\" is no file name in its folder");
        if (!named_.insert(name).second) fail(name + " is named twice");
        return name;
    }

  private:
    const std::string& text_;
    std::string path_;
    std::size_t at_ = 0;
    int line_ = 0;
    std::set<std::string> named_;
};

} // namespace

bool SplitManifest::Job::reportedBy(const std::vector<std::string>& row) const {
    return row[0] == roi && (row[1] == voi || (row[1].empty() && row[3] != convertedStatus));
}

std::vector<std::string> SplitManifest::files() const {
    std::vector<std::string> names;
    for (const Part& part : parts) {
        names.push_back(part.list);
        names.push_back(part.report);
    }
    if (!script.empty()) names.push_back(script);
    return names;
}

std::vector<SplitManifest::Job> manifestJobs(const std::string& listText) {
    std::vector<SplitManifest::Job> jobs;
    for (const ConversionJob& job : listedJobs(listText))
        jobs.push_back({reportField(job.roiName), reportField(voiFileName(job))});
    return jobs;
}

bool isPresent(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool readSplitFile(const std::string& path, std::string& text, std::string& error) {
    if (isRegularFile(path)) return readWholeFile(path, text, error, std::string::npos, std::size_t(512) << 20);
    error = isPresent(path) ? "not a regular file" : "no such file";
    return false;
}

std::string manifestText(const SplitManifest& manifest) {
    std::string text = heading + "\nlist\t" + manifest.list + "\n";
    for (const SplitManifest::Part& part : manifest.parts) {
        text += "part\t" + part.list + "\t" + part.report + "\n";
        for (const SplitManifest::Job& job : part.jobs) text += "job\t" + job.roi + "\t" + job.voi + "\n";
    }
    if (!manifest.script.empty()) text += "script\t" + manifest.script + "\n";
    return text + "end\n";
}

SplitManifest parseManifest(const std::string& text, const std::string& path) {
    ManifestReader reader(text, path);
    SplitManifest manifest;
    std::vector<std::string> cells;
    if (!reader.next(cells) || cells.size() != 1 || cells[0] != heading)
        reader.fail("its first line is not \"" + heading + "\"");
    if (!reader.next(cells) || cells.size() != 2 || cells[0] != "list" || cells[1].empty())
        reader.fail("no list line");
    manifest.list = cells[1];
    bool ended = false;
    while (!ended && reader.next(cells)) {
        if (!manifest.script.empty() && cells[0] != "end") reader.fail("a line after the script line");
        if (cells[0] == "part" && cells.size() == 3) {
            if (!manifest.parts.empty() && manifest.parts.back().jobs.empty()) reader.fail("a part without jobs");
            manifest.parts.push_back({reader.fileName(cells[1]), reader.fileName(cells[2]), {}});
        } else if (cells[0] == "job" && cells.size() == 3 && !manifest.parts.empty()) {
            manifest.parts.back().jobs.push_back({cells[1], cells[2]});
        } else if (cells[0] == "script" && cells.size() == 2) {
            manifest.script = reader.fileName(cells[1]);
        } else if (cells[0] == "end" && cells.size() == 1) {
            ended = true;
        } else {
            reader.fail("a line that is no part, job or script line");
        }
    }
    if (!ended) reader.fail("no end line: the manifest is cut short");
    if (reader.next(cells)) reader.fail("a line after the end line");
    if (manifest.parts.empty() || manifest.parts.back().jobs.empty()) reader.fail("a part without jobs, or no part");
    return manifest;
}

} // namespace vocelle
