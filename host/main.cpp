// vocelle: drives the plug-in from a terminal, in the order the desktop host does, and works on
// the plug-in's documents.

#include <vocelle/host/commandline.h>
#include <vocelle/text/stringmanipulation.h>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::string thisProgram(const char* argv0) {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    return length > 0 ? std::string(self.data(), static_cast<std::size_t>(length)) : argv0;
}

// The plug-in beside the program (the build tree), else in the installed plug-in folder.
std::string defaultPluginPath(const std::string& program) {
    const std::string folder = vocelle::getPath(program).empty() ? "./" : vocelle::getPath(program);
    const std::string beside = folder + "libVocelle.so";
#ifdef VOCELLE_INSTALLED_PLUGIN
    if (access(beside.c_str(), F_OK) != 0) {
        const std::string installed = folder + VOCELLE_INSTALLED_PLUGIN;
        if (access(installed.c_str(), F_OK) == 0) return installed;
    }
#endif
    return beside;
}

} // namespace

int main(int argc, char** argv) {
    vocelle::HostSettings defaults;
    defaults.program = thisProgram(argv[0]);
    defaults.pluginPath = defaultPluginPath(defaults.program);
    return vocelle::runHostCommand(std::vector<std::string>(argv + 1, argv + argc), defaults);
}
