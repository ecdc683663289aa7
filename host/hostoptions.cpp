#include "host/hostoptions.h"

#include <cerrno>
#include <cstdlib>

bool parseVersion(const std::string& text, int version[3]) {
    int parsed[3];
    std::size_t start = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t end = part < 2 ? text.find('.', start) : text.size();
        if (end == std::string::npos || end == start || end - start > 9) return false;
        for (std::size_t i = start; i < end; ++i)
            if (text[i] < '0' || text[i] > '9') return false;
        parsed[part] = std::atoi(text.substr(start, end - start).c_str());
        start = end + 1;
    }
    for (int part = 0; part < 3; ++part) version[part] = parsed[part];
    return true;
}

ParsedArguments parseHostArguments(const std::vector<std::string>& arguments) {
    ParsedArguments result;
    HostOptions& options = result.options;
    std::vector<std::string> words;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--plugin" || argument == "--host-version" ||
                                argument == "--transcript";
        if (takesValue && i + 1 == arguments.size()) {
            result.error = argument + " needs a value";
            return result;
        }
        if (argument == "--help" || argument == "-h") {
            options.command = HostOptions::Command::Help;
            return result;
        } else if (argument == "--plugin") {
            options.pluginPath = arguments[++i];
        } else if (argument == "--transcript") {
            options.transcriptPath = arguments[++i];
        } else if (argument == "--host-version") {
            if (!parseVersion(arguments[++i], options.version)) {
                result.error = "--host-version wants X.Y.Z, got \"" + arguments[i] + "\"";
                return result;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            result.error = "unknown option " + argument;
            return result;
        } else {
            words.push_back(argument);
        }
    }

    if (words.empty()) {
        result.error = "no command given";
    } else if (words[0] == "run") {
        options.command = HostOptions::Command::Run;
        if (words.size() > 2) result.error = "run takes one job list";
        else if (words.size() == 2) options.jobList = words[1];
    } else if (words[0] == "info") {
        options.command = HostOptions::Command::Info;
        if (words.size() > 1) result.error = "info takes no argument";
    } else {
        result.error = "unknown command " + words[0];
    }
    return result;
}

std::string hostUsage() {
    return R"(Usage: vocelle [OPTIONS] run [JOBLIST]
       vocelle [OPTIONS] info
       vocelle --help

Command-line host for the Vocelle plug-in. It loads the plug-in, queries its six information
functions, creates it, initialises it, runs it when initialisation succeeded, destroys it and
unloads it, just as the desktop host does.

Commands:
  run [JOBLIST]   Run the plug-in. The file chooser answers with JOBLIST; without it the
                  choice counts as cancelled (the empty text). Each log entry of the plug-in is
                  printed to standard output as received, followed by one line end; message
                  boxes go to standard error. The last line on standard error sums up the run,
                  for example "3 converted, 1 not converted".
  info            Print the plug-in's name, description, author, help file, version and GUI
                  script, one per line.

Options:
  --plugin PATH          Plug-in library to load (default: libVocelle.so beside this program).
  --host-version X.Y.Z   Version the host reports to the plug-in (default: 2.8.0). The plug-in
                         needs 2.8.0 or later.
  --transcript FILE      Write every call between host and plug-in to FILE, one JSON object per
                         line, with exact arguments (texts as JSON strings; bytes that are not
                         UTF-8 appear as \u0080-\u00ff). Host functions called by the plug-in
                         have a "call" key, calls the host makes into the plug-in a "plugin" key.
  --help                 Show this text.

Exit status:
  0  every job of the list was converted (also when the list holds no job)
  1  at least one job was not converted
  2  the job list could not be read, the plug-in could not be loaded or did not start, or the
     command line was wrong
)";
}
