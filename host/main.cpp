// vocelle: drives the plug-in from a terminal, in the order the desktop host does.

#include <vocelle/host/commands.h>
#include <vocelle/host/hostfunctions.h>
#include <vocelle/host/parallelrun.h>

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/conversionrun.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vocelle {

namespace {

using TextFunction = const char* (*)();
using CreateFunction = TarnPluginInterface* (*)();

const char* const infoNames[] = {"getPluginName",    "getPluginDescription", "getAuthor",
                                 "getHelpFile",      "getPluginVersion",     "getGUIScript"};
const char* const infoLabels[] = {"name", "description", "author", "help file", "version", "GUI script"};

std::string besideThisProgram(const char* argv0, const std::string& file) {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    std::string program = length > 0 ? std::string(self.data(), static_cast<std::size_t>(length)) : argv0;
    const auto slash = program.find_last_of('/');
    return (slash == std::string::npos ? std::string("./") : program.substr(0, slash + 1)) + file;
}

std::string thisProgram(const char* argv0) {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    return length > 0 ? std::string(self.data(), static_cast<std::size_t>(length)) : argv0;
}

// The plug-in beside the program (the build tree), else in the installed plug-in folder.
std::string defaultPluginPath(const char* argv0) {
    const std::string beside = besideThisProgram(argv0, "libVocelle.so");
#ifdef VOCELLE_INSTALLED_PLUGIN
    if (access(beside.c_str(), F_OK) != 0) {
        const std::string installed = besideThisProgram(argv0, VOCELLE_INSTALLED_PLUGIN);
        if (access(installed.c_str(), F_OK) == 0) return installed;
    }
#endif
    return beside;
}

void record(const char* call) { session.transcript.write(JsonLine().add("plugin", call)); }

void record(const char* call, bool result) {
    session.transcript.write(JsonLine().add("plugin", call).add("result", result));
}

int fail(const std::string& message) {
    std::fprintf(stderr, "vocelle: %s\n", message.c_str());
    session.outcome.startFailed();
    return 2;
}

// Loads the plug-in and drives it; returns the exit status. The library is unloaded on return.
int drive(const char* argv0) {
    const HostOptions& options = session.options;
    const std::string path = options.pluginPath.empty() ? defaultPluginPath(argv0) : options.pluginPath;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    session.transcript.write(JsonLine().add("plugin", "load").add("path", path).add("result", library != nullptr));
    if (library == nullptr) {
        const char* reason = dlerror();
        return fail("cannot load the plug-in " + path + ": " + (reason ? reason : "unknown reason"));
    }
    struct Unload {
        void* library;
        ~Unload() {
            record("unload");
            dlclose(library);
        }
    } unload{library};

    const auto create = reinterpret_cast<CreateFunction>(dlsym(library, "createPlugin"));
    if (create == nullptr) return fail(path + " does not export createPlugin");
    std::string info[6];
    for (int i = 0; i < 6; ++i) {
        const auto function = reinterpret_cast<TextFunction>(dlsym(library, infoNames[i]));
        if (function == nullptr) return fail(path + " does not export " + infoNames[i]);
        const char* text = function();
        session.transcript.write(JsonLine().add("plugin", infoNames[i]).add("result", text));
        info[i] = text == nullptr ? "" : text;
    }

    if (options.command == HostOptions::Command::Info) {
        for (int i = 0; i < 6; ++i) std::printf("%s: %s\n", infoLabels[i], info[i].c_str());
        return 0;
    }

    TarnPluginInterface* plugin = create();
    record("createPlugin", plugin != nullptr);
    if (plugin == nullptr) return fail("the plug-in could not be created");

    const bool ready = plugin->initPlugin();
    record("initPlugin", ready);
    if (ready) {
        session.executing = true;
        const bool executed = plugin->execute();
        session.executing = false;
        record("execute", executed);
    } else {
        session.outcome.startFailed();
        std::fprintf(stderr, "vocelle: the plug-in did not start\n");
    }
    record("destroy");
    delete plugin;
    return 0;
}

// One job without a list, run by the conversion code itself in this process: its log reaches
// this host's hxLogText, found by name as the plug-in finds it.
int convert() {
    const HostOptions& options = session.options;
    if (!InitHXAccess()) {
        std::fprintf(stderr, "vocelle: cannot bind the host functions for the conversion\n");
        return 2;
    }
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
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", session.outcome.summary().c_str());
    return session.outcome.exitStatus();
}

} // namespace

} // namespace vocelle

using namespace vocelle;

int main(int argc, char** argv) {
    const ParsedArguments parsed = parseHostArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vocelle: %s\nTry 'vocelle --help'.\n", parsed.error.c_str());
        return 2;
    }
    session.options = parsed.options;
    switch (session.options.command) {
    case HostOptions::Command::Help:
        std::fputs(hostUsage().c_str(), stdout);
        return 0;
    case HostOptions::Command::Print:
        return printCommand(session.options);
    case HostOptions::Command::Preview:
        return previewCommand(session.options);
    case HostOptions::Command::ExportNifti:
        return exportNiftiCommand(session.options);
    case HostOptions::Command::Split:
        return splitCommand(session.options);
    case HostOptions::Command::Convert:
        return convert();
    default:
        break;
    }
    if (!session.options.transcriptPath.empty() && !session.transcript.open(session.options.transcriptPath)) {
        std::fprintf(stderr, "vocelle: cannot create the transcript %s\n", session.options.transcriptPath.c_str());
        return 2;
    }

    const bool running = session.options.command == HostOptions::Command::Run && !session.options.worker;
    if (running && session.options.jobs > 1) {
        const int status = runInParallel(thisProgram(argv[0]));
        if (status >= 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", session.outcome.summary().c_str());
            return status;
        }
    }
    if (running && outputIsTerminal() && !session.options.jobList.empty()) {
        session.jobRois = jobListRois(session.options.jobList);
        session.progress.start(static_cast<int>(session.jobRois.size()));
    }

    const int status = drive(argv[0]);
    session.progress.stop();
    if (session.options.command == HostOptions::Command::Info) return status;
    std::fflush(stdout);
    // A worker's parent sums up the whole run.
    if (!session.options.worker) std::fprintf(stderr, "%s\n", session.outcome.summary().c_str());
    return session.outcome.exitStatus();
}
