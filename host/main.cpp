// vocelle: drives the plug-in from a terminal, in the order the desktop host does.

#include "host/hostfunctions.h"

#include "plugin/TarnPluginInterface.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

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
    const std::string path = options.pluginPath.empty() ? besideThisProgram(argv0, "libVocelle.so")
                                                        : options.pluginPath;
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

} // namespace

int main(int argc, char** argv) {
    const ParsedArguments parsed = parseHostArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vocelle: %s\nTry 'vocelle --help'.\n", parsed.error.c_str());
        return 2;
    }
    session.options = parsed.options;
    if (session.options.command == HostOptions::Command::Help) {
        std::fputs(hostUsage().c_str(), stdout);
        return 0;
    }
    if (!session.options.transcriptPath.empty() && !session.transcript.open(session.options.transcriptPath)) {
        std::fprintf(stderr, "vocelle: cannot create the transcript %s\n", session.options.transcriptPath.c_str());
        return 2;
    }

    const int status = drive(argv[0]);
    if (session.options.command == HostOptions::Command::Info) return status;
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", session.outcome.summary().c_str());
    return session.outcome.exitStatus();
}
