#pragma once
// The host's command line. One table of commands (name, what it does, its arguments and
// options, the function that runs it) drives parsing, --help and dispatch.

#include <vocelle/host/hostoptions.h>

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vocelle {

struct HostCommand {
    const char* name;
    const char* help;  // what it does, for --help
    bool drivesPlugin; // takes --plugin, --host-version and --transcript
    void (*declare)(CLI::App& command, HostOptions& options); // its arguments and options
    int (*run)(const HostOptions& options);
};

struct ParsedArguments {
    HostOptions options;
    const HostCommand* command = nullptr; // what to run; null after --help, --version or an error
    std::string text;                     // --help or --version: the text to print
    std::string error;                    // one line saying what is wrong with the command line
};

// Parses everything after the program name; defaults holds what the command line leaves as is.
// Options of run and info may stand before or after the command name.
ParsedArguments parseHostArguments(const std::vector<std::string>& arguments,
                                   const HostOptions& defaults = {});

// Parses and runs the command, or prints the help, the version or the error; returns the exit
// status (2 for a command line that is wrong, 0 after --help and --version).
int runHostCommand(const std::vector<std::string>& arguments, const HostOptions& defaults);

} // namespace vocelle
