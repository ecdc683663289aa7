// vocelle gather: the parts of a split run summed up from their reports, as the split's manifest
// names them.

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/splitmanifest.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

struct GatherOptions {
    std::string folder, output;
};

void declare(CLI::App& command, GatherOptions& options) {
    command.add_option("FOLDER", options.folder, "The folder of the parts.")->required();
    fileOption(command, "-o,--output", options.output, "FILE.tsv",
               "Write the reports' rows, in part order, as one report (- for standard output); "
               "only when every part's report is there and matches its part.");
}

std::string inFolder(const GatherOptions& options, const std::string& name) {
    return options.folder + (endsWith(options.folder, "/") ? "" : "/") + name;
}

CommandFiles files(const GatherOptions& options) {
    CommandFiles files{{inFolder(options, manifestFileName)}, {Output(options.output, FileKind::Tsv)}};
    // The split's own files are inputs too; an unreadable manifest is reported when the command runs.
    std::string text, error;
    if (readSplitFile(files.inputs.front(), text, error)) try {
            for (const std::string& name : parseManifest(text, files.inputs.front()).files())
                files.inputs.push_back(inFolder(options, name));
        } catch (const FaultError&) {
        }
    return files;
}

void warn(const std::string& message) {
    std::fprintf(stderr, "vocelle: %s\n", message.c_str());
}

// The report's rows when the part is complete: its list still holds the jobs split wrote into it,
// and its report has one row for each of them, in order. Otherwise says why and returns false.
bool completeRows(const GatherOptions& options, const SplitManifest::Part& part,
                  std::vector<std::vector<std::string>>& rows) {
    const std::string list = inFolder(options, part.list), report = inFolder(options, part.report);
    std::string text, error;
    if (!readSplitFile(list, text, error) || manifestJobs(text) != part.jobs) {
        // The manifest may be what changed: both are named.
        const std::string manifest = inFolder(options, manifestFileName);
        warn(list + (error.empty() ? " holds other jobs than " + manifest + " gives it; split the list again"
                                   : ", a part of " + manifest + ", cannot be read: " + error));
        return false;
    }
    text.clear();
    if (!isPresent(report)) warn(list + ": no report; the part has not run to its end");
    else if (!readSplitFile(report, text, error)) warn("cannot read the report " + report + ": " + error);
    else if (!readReportRows(text, rows)) warn(report + " is not a run report");
    else if (rows.size() != part.jobs.size())
        warn(report + " holds " + std::to_string(rows.size()) + " rows for the " +
             std::to_string(part.jobs.size()) + " jobs of " + list);
    else {
        std::size_t n = 0;
        while (n < rows.size() && part.jobs[n].reportedBy(rows[n])) ++n;
        if (n == rows.size()) return true;
        warn(report + " row " + std::to_string(n + 1) + " is " + rows[n][0] + " (" + rows[n][1] + "), but job " +
             std::to_string(n + 1) + " of " + list + " is " + part.jobs[n].roi + " (" + part.jobs[n].voi + ")");
    }
    rows.clear();
    return false;
}

int execute(const GatherOptions& options) {
    const std::string manifestPath = inFolder(options, manifestFileName);
    if (!isPresent(manifestPath))
        throw FaultError({"no split manifest (" + std::string(manifestFileName) +
                              ", written by vocelle split) in the folder",
                          options.folder});
    std::string text, error;
    if (!readSplitFile(manifestPath, text, error))
        throw std::runtime_error("cannot read " + manifestPath + ": " + error);
    const SplitManifest manifest = parseManifest(text, manifestPath);

    std::string table = reportHeader, rerun;
    int converted = 0, notConverted = 0;
    bool allComplete = true;
    for (std::size_t k = 0; k < manifest.parts.size(); ++k) {
        const SplitManifest::Part& part = manifest.parts[k];
        std::vector<std::vector<std::string>> rows;
        const bool complete = completeRows(options, part, rows);
        allComplete = allComplete && complete;
        // Jobs without a report of theirs count as not converted, as in a run that stopped.
        if (!complete) notConverted += int(part.jobs.size());
        bool again = !complete;
        for (const auto& row : rows) {
            for (std::size_t cell = 0; cell < row.size(); ++cell) table += row[cell] + (cell + 1 < row.size() ? '\t' : '\n');
            if (row[3] == convertedStatus) {
                ++converted;
                continue;
            }
            ++notConverted;
            again = true;
            std::printf("%s: %s %s: %s\n", inFolder(options, part.report).c_str(), row[3].c_str(),
                        row[0].c_str(), row[4].c_str());
        }
        if (again) rerun += (rerun.empty() ? "" : ",") + std::to_string(k + 1);
    }
    if (!rerun.empty()) std::printf("parts to run again: %s\n", rerun.c_str());
    std::printf("%d converted, %d not converted\n", converted, notConverted);
    std::fflush(stdout);
    if (!allComplete) {
        if (!options.output.empty()) warn(options.output + " is not written: a part's report is missing or does not match it");
        return 2;
    }
    if (!options.output.empty())
        saveReplacing(outputPath(options.output), [&](std::ostream& out) { out << table; });
    return notConverted > 0 ? 1 : 0;
}

const ExitStatuses statuses = {
    {0, "every job of the whole list was converted"},
    {1, "at least one job was not converted"},
    {2, "a part has no report, or one that does not match its part, the folder holds no split, "
        "or the command line was wrong"}};

} // namespace

namespace commands {

extern const Command gather = makeCommand<GatherOptions>(
    {"gather",
     "Sum up the parts of a split run: the parts that FOLDER's split.manifest names (written by "
     "vocelle split) and their reports NAME.K.tsv (written by vocelle run --report), each "
     "report checked against its part's jobs. Prints each job not converted, the numbers of the "
     "parts to run again (not converted, or without a report that matches), and the summary "
     "line of a run over the whole list.",
     statuses, declare, files, execute});

} // namespace commands

} // namespace vocelle
