#include <vocelle/host/plugincommands.h>

#include <vocelle/host/commands.h>
#include <vocelle/host/parallelrun.h>
#include <vocelle/host/session.h>

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/conversionrun.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace vocelle {

namespace {

using TextFunction = const char* (*)();
using CreateFunction = TarnPluginInterface* (*)();

const char* const infoNames[] = {"getPluginName", "getPluginDescription", "getAuthor",
                                 "getHelpFile",   "getPluginVersion",     "getGUIScript"};
const char* const infoLabels[] = {"name",      "description", "author",
                                  "help file", "version",     "GUI script"};

void record(const char* call) {
    session.transcript.write(JsonLine().add("plugin", call));
}

void record(const char* call, bool result) {
    session.transcript.write(JsonLine().add("plugin", call).add("result", result));
}

int startFailed(const std::string& message) {
    session.outcome.startFailed();
    return fail(message);
}

bool openTranscript(const HostOptions& options) {
    if (options.transcriptPath.empty() || session.transcript.open(options.transcriptPath))
        return true;
    fail("cannot create the transcript " + options.transcriptPath);
    return false;
}

constexpr std::size_t maxJobListBytes = std::size_t(256) << 20;

// A list that can be read only once (a pipe, /dev/stdin) reaches the plug-in as a private copy
// of what the host read, removed when the run ends.
class ListCopy {
  public:
    explicit ListCopy(const std::string& text) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vocelle-list-XXXXXX").string();
        const int file = mkstemp(&pattern[0]);
        if (file < 0) return;
        close(file);
        path = pattern;
        std::ofstream out(path, std::ios::binary);
        out << text;
        out.close();
        if (!out) path.clear();
    }
    ~ListCopy() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove(path, ignored);
    }
    ListCopy(const ListCopy&) = delete;
    ListCopy& operator=(const ListCopy&) = delete;

    std::string path; // empty when no copy could be kept
};

enum class Drive { InfoOnly, Run };

// Loads the plug-in and drives it; returns the exit status. The library is unloaded on return.
int drive(const HostOptions& options, Drive how) {
    const std::string& path = options.pluginPath;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    session.transcript.write(
        JsonLine().add("plugin", "load").add("path", path).add("result", library != nullptr));
    if (library == nullptr) {
        const char* reason = dlerror();
        return startFailed("cannot load the plug-in " + path + ": " +
                           (reason ? reason : "unknown reason"));
    }
    struct Unload {
        void* library;
        ~Unload() {
            record("unload");
            dlclose(library);
        }
    } unload{library};

    const auto create = reinterpret_cast<CreateFunction>(dlsym(library, "createPlugin"));
    if (create == nullptr) return startFailed(path + " does not export createPlugin");
    std::string info[6];
    for (int i = 0; i < 6; ++i) {
        const auto function = reinterpret_cast<TextFunction>(dlsym(library, infoNames[i]));
        if (function == nullptr) return startFailed(path + " does not export " + infoNames[i]);
        const char* text = function();
        session.transcript.write(JsonLine().add("plugin", infoNames[i]).add("result", text));
        info[i] = text == nullptr ? "" : text;
    }

    if (how == Drive::InfoOnly) {
        for (int i = 0; i < 6; ++i)
            std::printf("%s: %s\n", infoLabels[i], info[i].c_str());
        return 0;
    }

    TarnPluginInterface* plugin = create();
    record("createPlugin", plugin != nullptr);
    if (plugin == nullptr) return startFailed("the plug-in could not be created");

    const bool ready = plugin->initPlugin();
    record("initPlugin", ready);
    if (ready) {
        session.executing = true;
        const bool executed = plugin->execute();
        session.executing = false;
        record("execute", executed);
    } else {
        startFailed("the plug-in did not start");
    }
    record("destroy");
    delete plugin;
    return 0;
}

// Prints the summary line after everything the run printed; returns the run's exit status.
int summedUp() {
    std::fflush(stdout);
    if (session.outcome.listHeldNoJob())
        std::fprintf(stderr,
                     "vocelle: %s holds no job: each job needs a line ending in roi, then lines "
                     "ending in fmr, IA.trf, FA.trf, ACPC.trf and optionally tal (case-sensitive)\n",
                     session.options.jobList.c_str());
    std::fprintf(stderr, "%s\n", session.outcome.summary().c_str());
    return session.outcome.exitStatus();
}

// Writes the report when one was asked for, then sums up; a report that cannot be written makes
// the status 2.
int finished(const HostOptions& options) {
    bool written = true;
    if (!options.reportPath.empty()) {
        std::string table = reportHeader;
        for (const RunReport& part : session.reports)
            table += part.rows();
        try {
            saveReplacing(options.reportPath, [&](std::ostream& out) { out << table; });
        } catch (const std::exception& e) {
            fail(e);
            written = false;
        }
    }
    const int status = summedUp();
    return written ? status : 2;
}

} // namespace

int runCommand(const HostOptions& options) {
    if (!openTranscript(options)) return 2;
    session.chosenList = options.jobList;
    if (options.worker) {
        // Its parent sums up the whole run.
        drive(options, Drive::Run);
        std::fflush(stdout);
        return session.outcome.exitStatus();
    }
    // Read once here and never again by the host: a pipe gives its bytes only once. A list that
    // cannot be read is left to the plug-in, which shows its message box.
    std::string listText;
    const bool listRead =
        !options.jobList.empty() &&
        readWholeFile(options.jobList, listText, session.listError, maxJobListLineLength, maxJobListBytes);
    if (listText.size() > maxJobListBytes) {
        startFailed("the job list " + options.jobList + " is larger than any job list (256 MiB)");
        return finished(options);
    }
    if (options.jobs > 1 && listRead) {
        const int status = runInParallel(options, listText);
        if (status >= 0) return finished(options);
    }
    if (!options.reportPath.empty()) session.reports.assign(1, RunReport(listText));
    std::unique_ptr<ListCopy> copy;
    if (listRead && !isRegularFile(options.jobList)) {
        copy = std::make_unique<ListCopy>(listText);
        if (copy->path.empty()) {
            startFailed("cannot keep a copy of the job list " + options.jobList);
            return finished(options);
        }
        session.chosenList = copy->path;
    }
    if (errorIsTerminal() && listRead) {
        for (const ConversionJob& job : listedJobs(listText))
            session.jobRois.push_back(job.roiName);
        session.progress.start(static_cast<int>(session.jobRois.size()));
    }
    drive(options, Drive::Run);
    session.progress.stop();
    return finished(options);
}

int infoCommand(const HostOptions& options) {
    if (!openTranscript(options)) return 2;
    return drive(options, Drive::InfoOnly);
}

// The job runs in this process: its log reaches this host's hxLogText, found by name as the
// plug-in finds it.
int convertCommand(const HostOptions& options) {
    if (!InitHXAccess()) return fail("cannot bind the host functions for the conversion");
    ConversionJob job;
    job.roiName = options.roi;
    job.fmrName = options.fmr;
    job.iaTrfName = options.ia;
    job.faTrfName = options.fa;
    job.acpcTrfName = options.acpc;
    job.talName = options.tal;
    job.voiName = options.output;
    runConversion(job);
    // The log stream outlives main; what it would send while the process ends is not this
    // job's.
    tarn::hxLogText = nullptr;
    return summedUp();
}

} // namespace vocelle
