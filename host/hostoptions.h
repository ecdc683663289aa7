#pragma once
// Command line of the vocelle host.

#include <string>
#include <vector>

struct HostOptions {
    enum class Command { None, Run, Info, Help };
    Command command = Command::None;
    std::string jobList;      // empty: the file chooser answers with a cancelled choice
    std::string pluginPath;   // empty: libVocelle.so beside the vocelle program
    std::string transcriptPath;
    int version[3] = {2, 8, 0};
};

struct ParsedArguments {
    HostOptions options;
    std::string error; // non-empty when the command line is not usable
};

// Parses everything after the program name. Options may stand before or after the command.
ParsedArguments parseHostArguments(const std::vector<std::string>& arguments);

// Parses "X.Y.Z" with three non-negative decimal numbers; false leaves version untouched.
bool parseVersion(const std::string& text, int version[3]);

// The --help text.
std::string hostUsage();
