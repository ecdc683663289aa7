#include <vocelle/host/plugincommands.h>

#include <vocelle/host/commands.h>
#include <vocelle/host/parallelrun.h>
#include <vocelle/host/session.h>

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/conversionrun.h>
#include <vocelle/plugin/joblist.h>

#include <dlfcn.h>

#include <cstdio>
#include <fstream>
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

// The ROI names of a job list's jobs, in list order, as the plug-in reads the list; empty when
// the list cannot be opened.
std::vector<std::string> jobListRois(const std::string& path) {
    std::vector<std::string> rois;
    std::ifstream list(path);
    if (!list.is_open()) return rois;
    readJobList(list, [&](const ConversionJob& job) { rois.push_back(job.roiName); });
    return rois;
}

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

} // namespace

int runCommand(const HostOptions& options) {
    if (!openTranscript(options)) return 2;
    if (options.worker) {
        // Its parent sums up the whole run.
        drive(options, Drive::Run);
        std::fflush(stdout);
        return session.outcome.exitStatus();
    }
    if (options.jobs > 1) {
        const int status = runInParallel(options);
        if (status >= 0) return summedUp();
    }
    if (outputIsTerminal() && !options.jobList.empty()) {
        session.jobRois = jobListRois(options.jobList);
        session.progress.start(static_cast<int>(session.jobRois.size()));
    }
    drive(options, Drive::Run);
    session.progress.stop();
    return summedUp();
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
