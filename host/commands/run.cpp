// vocelle run: the plug-in run on a job list, as the desktop host runs it, in one process or
// spread over several (--jobs).

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/host/parallelrun.h>
#include <vocelle/host/plugindriver.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/session.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

namespace vocelle {

namespace {

constexpr int maxJobs = 256;
constexpr std::size_t maxJobListBytes = std::size_t(256) << 20;

struct RunOptions {
    std::string jobList; // empty: the file chooser answers with a cancelled choice
    int jobs = 1;
    std::string reportPath;
    bool worker = false;
};

void declare(CLI::App& command, RunOptions& options) {
    command
        .add_option("-j,--jobs", options.jobs,
                    "Spread the list over N processes (1 to 256), each with its own plug-in on a "
                    "part of the list; log entries still appear in list order.")
        ->type_name("N")
        ->check(oneTo(maxJobs));
    fileOption(command, "--report", options.reportPath, "FILE.tsv",
               "Write a table of the jobs, one row per job in list order, tab-separated: roi, voi "
               "(the VOI file written, empty when none), space (the space it holds, TAL, ACPC or "
               "CV; when none was written, the space asked for), status (converted, not converted "
               "or failed), reason (as logged), voxels (per VOI, comma-separated). - is standard "
               "output (the log then goes to standard error).");
    command.add_option("JOBLIST", options.jobList, "The job list.");
    // One process of a --jobs run: its log entries go to the parent as records.
    command.add_flag("--worker", options.worker)->group("");
    command.callback([&options] {
        if (options.jobs > 1 && !session.settings.transcriptPath.empty())
            throw CLI::ValidationError(
                "--transcript records one plug-in; it cannot be combined with --jobs");
    });
}

CommandFiles files(const RunOptions& options) {
    return {{options.jobList},
            {Output(options.reportPath, FileKind::Tsv), session.settings.transcriptPath}};
}

// The run's files once the list is read: each job's documents are inputs too, its VOI is
// written by the plug-in.
CommandFiles filesOfList(const RunOptions& options, const std::string& listText) {
    CommandFiles all = files(options);
    for (const ConversionJob& job : listedJobs(listText)) {
        const std::vector<std::string> inputs = jobInputs(job);
        all.inputs.insert(all.inputs.end(), inputs.begin(), inputs.end());
        all.written.push_back(voiFileName(job));
    }
    return all;
}

// Puts the transcript and the report in place, then sums up; either failing makes the status 2.
int finished(const RunOptions& options) {
    bool written = closeTranscript();
    if (!options.reportPath.empty()) {
        std::string table = reportHeader;
        for (const RunReport& part : session.reports)
            table += part.rows();
        try {
            saveReplacing(outputPath(options.reportPath), [&](std::ostream& out) { out << table; });
        } catch (const FaultError& e) {
            std::fprintf(stderr, "vocelle: %s\n", e.fault().line().c_str());
            written = false;
        }
    }
    const int status = summedUp();
    return written ? status : 2;
}

int execute(const RunOptions& options) {
    session.jobList = options.jobList;
    session.worker = options.worker;
    session.chosenList = options.jobList;
    if (options.worker) {
        // Its parent sums up the whole run.
        drivePlugin(Drive::Run);
        std::fflush(stdout);
        return session.outcome.exitStatus();
    }
    // Read once here and never again by the host: a pipe gives its bytes only once. A list that
    // cannot be read is left to the plug-in, which shows its message box.
    std::string listText;
    const bool listRead =
        !options.jobList.empty() && readWholeFile(options.jobList, listText, session.listError,
                                                  maxJobListLineLength, maxJobListBytes);
    if (listText.size() > maxJobListBytes) {
        startFailed("the job list " + options.jobList + " is larger than any job list (256 MiB)");
        return finished(options);
    }
    // Only now are the VOIs known, and the documents a transcript or report must not replace.
    if (listRead) checkCommandFiles(filesOfList(options, listText));
    openTranscript();
    if (options.jobs > 1 && listRead) {
        const int status = runInParallel(listText, options.jobs, !options.reportPath.empty());
        if (status >= 0) return finished(options);
    }
    if (!options.reportPath.empty()) session.reports.assign(1, RunReport(listText));
    // A list that can be read only once (a pipe, /dev/stdin) reaches the plug-in as a copy of what
    // the host read, in memory, so nothing is left behind however the run ends.
    FileDescriptor copy;
    if (listRead && !isRegularFile(options.jobList)) {
        copy = memoryFile(listText);
        if (!copy) {
            startFailed("cannot keep a copy of the job list " + options.jobList + ": " +
                        std::strerror(errno));
            return finished(options);
        }
        session.chosenList = copy.path();
    }
    if (errorIsTerminal() && listRead) {
        for (const ConversionJob& job : listedJobs(listText))
            session.jobRois.push_back(job.roiName);
        session.progress.start(static_cast<int>(session.jobRois.size()));
    }
    drivePlugin(Drive::Run);
    session.progress.stop();
    return finished(options);
}

const ExitStatuses statuses = {
    {0, "every job of the list was converted"},
    {1, "at least one job was not converted"},
    {2, "the job list could not be read or held no job, the plug-in could not be loaded or did "
        "not start, the report or transcript could not be written or would replace an input, or "
        "the command line was wrong"}};

} // namespace

namespace commands {

extern const Command run = makeCommand<RunOptions>(
    {"run",
     "Run the plug-in. The file chooser answers with JOBLIST; without it the choice counts as "
     "cancelled (the empty text). Each log entry of the plug-in is printed to standard output as "
     "received, followed by one line end; message boxes go to standard error. The last line on "
     "standard error sums up the run, for example \"3 converted, 1 not converted\". On a "
     "terminal a progress line (jobs done of all, the ROI being converted) is kept on standard "
     "error.",
     statuses, declare, files, execute, true});

} // namespace commands

} // namespace vocelle
