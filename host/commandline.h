#pragma once
// The host's command line: the command table (host/command.h) drives parsing, --help and
// dispatch.

#include <vocelle/host/session.h>

#include <memory>
#include <string>
#include <vector>

namespace vocelle {

struct Command;
class ParsedCommand;

struct ParsedArguments {
    const Command* command = nullptr;      // what to run; null after --help, --version or an error
    std::shared_ptr<ParsedCommand> parsed; // the command with its options
    std::string text;                      // --help or --version: the text to print
    std::string error;                     // one line saying what is wrong with the command line
};

// Parses everything after the program name into session.settings (starting from `defaults`) and
// the chosen command's options. Options of run and info may stand before or after the command
// name.
ParsedArguments parseHostArguments(const std::vector<std::string>& arguments,
                                   const HostSettings& defaults = {});

// Parses and runs the command, or prints the help, the version or the error; returns the exit
// status (2 for a command line that is wrong or a command that failed, 0 after --help and
// --version).
int runHostCommand(const std::vector<std::string>& arguments, const HostSettings& defaults);

} // namespace vocelle
