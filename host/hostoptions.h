#pragma once
// Command line of the vocelle host.

#include <string>
#include <vector>

namespace vocelle {

struct HostOptions {
    enum class Command { None, Run, Info, Help, Print, Convert, Preview, ExportNifti, Split };
    Command command = Command::None;
    std::string jobList;      // run, split; empty for run: the file chooser answers with a cancelled choice
    std::string pluginPath;   // empty: libVocelle.so beside the vocelle program
    std::string transcriptPath;
    int version[3] = {2, 8, 0};
    int jobs = 1;             // run: processes to spread the list over
    bool worker = false;      // run: one process of a --jobs run; log entries go out as records
    int parts = 0;            // split: number of lists to make
    std::string document;     // print, preview, export-nifti: the file to read
    bool withVoxels = true;   // print: false with --no-voxels
    std::string output;       // convert, preview, export-nifti: -o FILE; split: -o FOLDER
    // convert: the files of the one job
    std::string roi, fmr, ia, fa, acpc, tal;
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

} // namespace vocelle
