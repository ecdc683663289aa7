// vocelle gather: the parts of a split run summed up from their reports.

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/session.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

namespace fs = std::filesystem;

struct GatherOptions {
    std::string folder, output;
};

void declare(CLI::App& command, GatherOptions& options) {
    command.add_option("FOLDER", options.folder, "The folder of the parts.")->required();
    fileOption(command, "-o,--output", options.output, "FILE.tsv",
               "Write the reports' rows, in part order, as one report (- for standard output).");
}


// Lines of a report; false when it is not one.
bool reportRows(const std::string& text, std::vector<std::vector<std::string>>& rows) {
    if (!startsWith(text, reportHeader) || text.back() != '\n') return false;
    std::istringstream in(text.substr(std::string(reportHeader).size()));
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = splitAt(line, '\t');
        if (fields.size() != 6) return false;
        rows.push_back(fields);
    }
    return true;
}

struct Part {
    std::string list, report; // paths; empty when not in the folder
};

// Parts and reports by name and number: NAME.K.EXT with EXT neither .tsv nor .log is a part,
// NAME.K.tsv its report; logs and other files are passed over.
std::map<std::pair<std::string, long>, Part> partsIn(const std::string& folder) {
    std::map<std::pair<std::string, long>, Part> parts;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path& path = entry->path();
        const std::string number = fs::path(path.stem()).extension().string(),
                          kind = path.extension().string();
        if (number.size() < 2 || number.size() > 10 || kind == ".log" || !entry->is_regular_file())
            continue;
        if (number.find_first_not_of("0123456789", 1) != std::string::npos) continue;
        Part& part = parts[{fs::path(path.stem()).stem().string(), std::stol(number.substr(1))}];
        (kind == ".tsv" ? part.report : part.list) = path.string();
    }
    if (error) throw FaultError({"cannot read the folder", folder, "", error.value()});
    if (parts.empty()) throw FaultError({"no job list parts or run reports in the folder", folder});
    return parts;
}

CommandFiles files(const GatherOptions& options) {
    CommandFiles files{{options.folder}, {Output(options.output, FileKind::Tsv)}};
    try {
        for (const auto& [key, part] : partsIn(options.folder))
            files.inputs.insert(files.inputs.end(), {part.list, part.report});
    } catch (const FaultError&) {
        // An unreadable folder is reported when the command runs.
    }
    return files;
}

void warn(const std::string& message) {
    std::fprintf(stderr, "vocelle: %s\n", message.c_str());
}

int execute(const GatherOptions& options) {
    const std::map<std::pair<std::string, long>, Part> parts = partsIn(options.folder);
    std::string table = reportHeader, rerun;
    int converted = 0, notConverted = 0;
    bool complete = true;
    for (const auto& [key, part] : parts) {
        std::string text, error;
        std::vector<std::vector<std::string>> rows;
        bool readable = false;
        if (part.report.empty())
            warn(part.list + ": no report; the part has not run to its end");
        else if (!readWholeFile(part.report, text, error))
            warn("cannot read the report " + part.report + ": " + error);
        else if (!(readable = reportRows(text, rows)))
            warn(part.report + " is not a run report");
        if (!readable)
            rows.clear();
        else
            table += text.substr(std::string(reportHeader).size());
        complete = complete && readable;
        bool again = !readable;
        for (const auto& row : rows) {
            if (row[3] == convertedStatus) {
                ++converted;
                continue;
            }
            ++notConverted;
            again = true;
            std::printf("%s: %s %s: %s\n", part.report.c_str(), row[3].c_str(), row[0].c_str(),
                        row[4].c_str());
        }
        if (again) rerun += (rerun.empty() ? "" : ",") + std::to_string(key.second);
    }
    if (!rerun.empty()) std::printf("parts to run again: %s\n", rerun.c_str());
    std::printf("%d converted, %d not converted\n", converted, notConverted);
    std::fflush(stdout);
    if (!options.output.empty())
        saveReplacing(outputPath(options.output), [&](std::ostream& out) { out << table; });
    if (!complete) return 2;
    return notConverted > 0 ? 1 : 0;
}

const ExitStatuses statuses = {
    {0, "every job of the whole list was converted"},
    {1, "at least one job was not converted"},
    {2, "a part has no report or one that cannot be read, or the command line was wrong"}};

} // namespace

namespace commands {

extern const Command gather = makeCommand<GatherOptions>(
    {"gather",
     "Sum up the parts of a split run: every list NAME.K.txt in FOLDER and its report NAME.K.tsv "
     "(written by vocelle run --report). Prints each job not converted, the numbers of the parts "
     "to run again (not converted, or without a report), and the summary line of a run over the "
     "whole list.",
     statuses, declare, files, execute});

} // namespace commands

} // namespace vocelle
