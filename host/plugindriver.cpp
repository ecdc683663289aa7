#include <vocelle/host/plugindriver.h>

#include <vocelle/host/filecheck.h>
#include <vocelle/host/session.h>
#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/text/fault.h>

#include <dlfcn.h>

#include <cstdio>

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

} // namespace

void openTranscript() {
    const std::string& path = session.settings.transcriptPath;
    if (!path.empty()) session.transcript.open(outputPath(path));
}

bool closeTranscript() {
    try {
        session.transcript.close();
        return true;
    } catch (const FaultError& error) {
        std::fprintf(stderr, "vocelle: %s\n", error.fault().line().c_str());
        return false;
    }
}

int startFailed(const std::string& message) {
    session.outcome.startFailed();
    std::fprintf(stderr, "vocelle: %s\n", message.c_str());
    return 2;
}

int drivePlugin(Drive how) {
    const std::string& path = session.settings.pluginPath;
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

int summedUp() {
    std::fflush(stdout);
    if (session.outcome.listHeldNoJob())
        std::fprintf(
            stderr,
            "vocelle: %s holds no job: each job needs a line ending in roi, then lines "
            "ending in fmr, IA.trf, FA.trf, ACPC.trf and optionally tal (case-sensitive)\n",
            session.jobList.c_str());
    std::fprintf(stderr, "%s\n", session.outcome.summary().c_str());
    return session.outcome.exitStatus();
}

} // namespace vocelle
