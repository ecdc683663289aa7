#include <vocelle/host/hostoptions.h>

#include <cerrno>
#include <cstdlib>

namespace vocelle {

namespace {

using Command = HostOptions::Command;

// A whole decimal number from 1 to limit.
bool parseCount(const std::string& text, int limit, int& count) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    const int value = std::atoi(text.c_str());
    if (value < 1 || value > limit) return false;
    count = value;
    return true;
}

constexpr int maxJobs = 256;
constexpr int maxParts = 100000;

} // namespace

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
    std::vector<std::string> seen; // options given, to check they fit the command

    struct FileOption {
        const char* name;
        std::string HostOptions::*field;
    };
    const FileOption fileOptions[] = {
        {"--plugin", &HostOptions::pluginPath}, {"--transcript", &HostOptions::transcriptPath},
        {"-o", &HostOptions::output},           {"--roi", &HostOptions::roi},
        {"--fmr", &HostOptions::fmr},           {"--ia", &HostOptions::ia},
        {"--fa", &HostOptions::fa},             {"--acpc", &HostOptions::acpc},
        {"--tal", &HostOptions::tal},
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.command = Command::Help;
            return result;
        }
        const FileOption* fileOption = nullptr;
        for (const auto& candidate : fileOptions)
            if (argument == candidate.name) fileOption = &candidate;
        const bool takesValue = fileOption != nullptr || argument == "--host-version" || argument == "--jobs";
        if (takesValue && i + 1 == arguments.size()) {
            result.error = argument + " needs a value";
            return result;
        }
        if (argument.size() > 1 && argument[0] == '-') seen.push_back(argument);

        if (fileOption != nullptr) {
            options.*(fileOption->field) = arguments[++i];
        } else if (argument == "--host-version") {
            if (!parseVersion(arguments[++i], options.version)) {
                result.error = "--host-version wants X.Y.Z, got \"" + arguments[i] + "\"";
                return result;
            }
        } else if (argument == "--jobs") {
            if (!parseCount(arguments[++i], maxJobs, options.jobs)) {
                result.error = "--jobs wants a number from 1 to " + std::to_string(maxJobs) + ", got \"" +
                               arguments[i] + "\"";
                return result;
            }
        } else if (argument == "--no-voxels") {
            options.withVoxels = false;
        } else if (argument == "--worker") {
            options.worker = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            result.error = "unknown option " + argument;
            return result;
        } else {
            words.push_back(argument);
        }
    }

    if (words.empty()) {
        result.error = "no command given";
        return result;
    }
    const std::string& command = words[0];
    const std::size_t operands = words.size() - 1;
    // Options each command accepts.
    std::vector<std::string> allowed;
    if (command == "run") {
        options.command = Command::Run;
        allowed = {"--plugin", "--host-version", "--transcript", "--jobs", "--worker"};
        if (operands > 1) result.error = "run takes one job list";
        else if (operands == 1) options.jobList = words[1];
        if (result.error.empty() && options.jobs > 1 && !options.transcriptPath.empty())
            result.error = "--transcript records one plug-in; it cannot be combined with --jobs";
    } else if (command == "info") {
        options.command = Command::Info;
        allowed = {"--plugin", "--host-version", "--transcript"};
        if (operands > 0) result.error = "info takes no argument";
    } else if (command == "print") {
        options.command = Command::Print;
        allowed = {"--no-voxels"};
        if (operands != 1) result.error = "print takes one file";
        else options.document = words[1];
    } else if (command == "preview" || command == "export-nifti") {
        options.command = command == "preview" ? Command::Preview : Command::ExportNifti;
        allowed = {"-o"};
        if (operands != 1) result.error = command + " takes one VOI file";
        else options.document = words[1];
    } else if (command == "convert") {
        options.command = Command::Convert;
        allowed = {"--roi", "--fmr", "--ia", "--fa", "--acpc", "--tal", "-o"};
        if (operands > 0) result.error = "convert takes its files as options, for example --roi FILE";
        for (const char* required : {"--roi", "--fmr", "--ia", "--fa", "--acpc"}) {
            bool given = false;
            for (const auto& option : seen) given = given || option == required;
            if (!given && result.error.empty()) result.error = std::string("convert needs ") + required + " FILE";
        }
    } else if (command == "split") {
        options.command = Command::Split;
        allowed = {"-o"};
        if (operands != 2) result.error = "split takes a job list and a number of parts";
        else if (!parseCount(words[2], maxParts, options.parts))
            result.error = "split wants a number of parts from 1 to " + std::to_string(maxParts) + ", got \"" +
                           words[2] + "\"";
        else options.jobList = words[1];
    } else {
        result.error = "unknown command " + command;
        return result;
    }
    if (result.error.empty())
        for (const auto& option : seen) {
            bool fits = false;
            for (const auto& a : allowed) fits = fits || a == option;
            if (!fits) {
                result.error = option + " does not apply to " + command;
                break;
            }
        }
    return result;
}

std::string hostUsage() {
    return R"(Usage: vocelle [OPTIONS] run [JOBLIST]
       vocelle [OPTIONS] info
       vocelle convert --roi ROI --fmr FMR --ia IA.trf --fa FA.trf --acpc ACPC.trf [--tal TAL] [-o OUT.voi]
       vocelle print [--no-voxels] FILE
       vocelle preview VOI [-o FILE.png]
       vocelle export-nifti VOI [-o FILE.nii.gz]
       vocelle split JOBLIST N [-o FOLDER]
       vocelle --help

Command-line host for the Vocelle plug-in. It loads the plug-in, queries its six information
functions, creates it, initialises it, runs it when initialisation succeeded, destroys it and
unloads it, just as the desktop host does.

Commands:
  run [JOBLIST]   Run the plug-in. The file chooser answers with JOBLIST; without it the
                  choice counts as cancelled (the empty text). Each log entry of the plug-in is
                  printed to standard output as received, followed by one line end; message
                  boxes go to standard error. The last line on standard error sums up the run,
                  for example "3 converted, 1 not converted". On a terminal a progress line
                  (jobs done of all, the ROI being converted) is kept on standard error.
  info            Print the plug-in's name, description, author, help file, version and GUI
                  script, one per line.
  convert         Convert one subject without a job list: the same checks, log lines, exit
                  status and VOI file as a job list holding just this job. The VOI is written
                  to -o OUT.voi, or where the run would write it (beside the ROI file,
                  ending "_TAL_.voi" with --tal, "_ACPC_.voi" without).
  print FILE      Print a document (.roi, .voi, .fmr, .trf, .tal, .sdm) in its file layout.
                  --no-voxels replaces the voxel lists of ROI and VOI files by one line.
  preview VOI     Draw the VOIs as a PNG picture: axial, coronal and sagittal views of the
                  256-voxel cube through the centre of the VOIs, each VOI in its colour with a
                  legend, the AC and the Talairach box marked, orientation letters on the
                  edges. Default -o: the VOI file's name ending ".png".
  export-nifti VOI
                  Write the VOIs as a label image (1, 2, ... in VOI order), a 256^3 NIfTI-1
                  volume in RAS+ millimetres with the AC at 0, and beside it a label table
                  (the image name ending ".tsv": index, name, color, voxels). Default -o: the
                  VOI file's name ending ".nii.gz".
  split JOBLIST N Cut a job list into N lists, each starting with the list's first line and
                  holding whole jobs, named JOBLIST's name with .1, .2, ... before its
                  extension, beside it or in -o FOLDER (made when missing). Prints their
                  names.

Options:
  --plugin PATH          Plug-in library to load (default: libVocelle.so beside this program,
                         or in the installed plug-in folder).
  --host-version X.Y.Z   Version the host reports to the plug-in (default: 2.8.0). The plug-in
                         needs 2.8.0 or later.
  --transcript FILE      Write every call between host and plug-in to FILE, one JSON object per
                         line, with exact arguments (texts as JSON strings; bytes that are not
                         UTF-8 appear as \u0080-\u00ff). Host functions called by the plug-in
                         have a "call" key, calls the host makes into the plug-in a "plugin" key.
  --jobs N               run: spread the list over N processes (1 to 256), each with its own
                         plug-in on a part of the list; log entries still appear in list order.
  --help                 Show this text.

Exit status:
  0  every job of the list was converted (also when the list holds no job); for the other
     commands: done
  1  at least one job was not converted
  2  the job list could not be read, the plug-in could not be loaded or did not start, a file
     could not be read or written, or the command line was wrong
)";
}

} // namespace vocelle
