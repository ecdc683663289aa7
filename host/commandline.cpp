#include <vocelle/host/commandline.h>

#include <vocelle/host/commands.h>
#include <vocelle/host/plugincommands.h>
#include <vocelle/host/scaleout.h>
#include <vocelle/host/session.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace vocelle {

namespace {

constexpr int maxJobs = 256;
constexpr int maxParts = 100000;

// A whole number from 1 to limit. Without a description, so the help shows the value's name alone.
CLI::Validator oneTo(int limit) {
    CLI::Validator range = CLI::Range(1, limit);
    range.description("");
    return range;
}

// "X.Y.Z" with three non-negative decimal numbers; false leaves version untouched.
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
    for (int part = 0; part < 3; ++part)
        version[part] = parsed[part];
    return true;
}

const HostCommand commands[] = {
    {"run",
     "Run the plug-in. The file chooser answers with JOBLIST; without it the choice counts as "
     "cancelled (the empty text). Each log entry of the plug-in is printed to standard output as "
     "received, followed by one line end; message boxes go to standard error. The last line on "
     "standard error sums up the run, for example \"3 converted, 1 not converted\". On a "
     "terminal a progress line (jobs done of all, the ROI being converted) is kept on standard "
     "error.",
     true,
     [](CLI::App& command, HostOptions& options) {
         command
             .add_option(
                 "-j,--jobs", options.jobs,
                 "Spread the list over N processes (1 to 256), each with its own plug-in on a "
                 "part of the list; log entries still appear in list order.")
             ->type_name("N")
             ->check(oneTo(maxJobs));
         command
             .add_option("--report", options.reportPath,
                         "Write a table of the jobs, one row per job in list order, tab-separated: "
                         "roi, voi (the VOI file written, empty when none), space (TAL or ACPC), "
                         "status (converted, not converted or failed), reason (as logged), voxels "
                         "(per VOI, comma-separated).")
             ->type_name("FILE.tsv");
         command.add_option("JOBLIST", options.jobList, "The job list.");
         // One process of a --jobs run: its log entries go to the parent as records.
         command.add_flag("--worker", options.worker)->group("");
         command.callback([&options] {
             if (options.jobs > 1 && !options.transcriptPath.empty())
                 throw CLI::ValidationError(
                     "--transcript records one plug-in; it cannot be combined with --jobs");
         });
     },
     runCommand},
    {"info",
     "Print the plug-in's name, description, author, help file, version and GUI script, one per "
     "line.",
     true, [](CLI::App&, HostOptions&) {}, infoCommand},
    {"convert",
     "Convert one subject without a job list: the same checks, log lines, exit status and VOI "
     "file as a job list holding just this job.",
     false,
     [](CLI::App& command, HostOptions& options) {
         const auto file = [&command](const char* name, std::string& field, const char* value,
                                      const char* help) {
             return command.add_option(name, field, help)->type_name(value);
         };
         file("--roi", options.roi, "ROI", "The regions of interest.")->required();
         file("--fmr", options.fmr, "FMR", "The functional run, its STC data beside it.")
             ->required();
         file("--ia", options.ia, "IA.trf", "The initial alignment.")->required();
         file("--fa", options.fa, "FA.trf", "The fine alignment.")->required();
         file("--acpc", options.acpc, "ACPC.trf", "The AC-PC transformation.")->required();
         file("--tal", options.tal, "TAL",
              "The Talairach landmarks; without them the VOI is in AC-PC space.");
         command
             .add_option(
                 "-o,--output", options.output,
                 "The VOI file (default: where the run would write it, beside the ROI file, "
                 "ending \"_TAL_.voi\" with --tal, \"_ACPC_.voi\" without).")
             ->type_name("OUT.voi");
     },
     convertCommand},
    {"print", "Print a document (.roi, .voi, .fmr, .trf, .tal, .sdm) in its file layout.", false,
     [](CLI::App& command, HostOptions& options) {
         command.add_flag("--no-voxels{false}", options.withVoxels,
                          "Replace the voxel lists of ROI and VOI files by one line.");
         command
             .add_option("FILE", options.document, "The document; its extension tells its format.")
             ->required();
     },
     printCommand},
    {"preview",
     "Draw the VOIs as a PNG picture: axial, coronal and sagittal views of the 256-voxel cube "
     "through the centre of the VOIs, each VOI in its colour with a legend (label numbers as in "
     "export-nifti), the AC and the Talairach box marked, orientation letters on the edges.",
     false,
     [](CLI::App& command, HostOptions& options) {
         command.add_option("VOI", options.document, "The VOI file.")->required();
         command
             .add_option("-o,--output", options.output,
                         "The picture (default: the VOI file's name ending \".png\").")
             ->type_name("FILE.png");
         command
             .add_option("--underlay", options.underlay,
                         "Draw the VOIs over this 3-D NIfTI-1 image (an anatomy in the VOIs' "
                         "space, Talairach or AC-PC), placed through its affine, in grey from its "
                         "2nd to its 98th percentile.")
             ->type_name("IMAGE");
     },
     previewCommand},
    {"export-nifti",
     "Write the VOIs as a label image (1, 2, ... in VOI order), a 256^3 NIfTI-1 volume in RAS+ "
     "millimetres with the AC at 0, and beside it a label table (the image name ending \".tsv\": "
     "index, name, color, voxels).",
     false,
     [](CLI::App& command, HostOptions& options) {
         command.add_option("VOI", options.document, "The VOI file.")->required();
         command
             .add_option(
                 "-o,--output", options.output,
                 "The image, ending \".nii.gz\" or \".nii\" (uncompressed) (default: the VOI "
                 "file's name ending \".nii.gz\").")
             ->type_name("FILE.nii.gz");
         command.add_flag("--4d", options.oneVolumePerVoi,
                          "Write one volume per VOI (1 inside, 0 outside) instead of labels, so a "
                          "voxel in several VOIs stays in all of them.");
     },
     exportNiftiCommand},
    {"import-nifti",
     "Turn a NIfTI-1 label image (whole values, 0 for background) into a VOI file, one VOI per "
     "label in label order, or a 4-D image of 0/1 masks into one VOI per volume. Voxels are placed "
     "through the sform (the qform when the sform code is 0) into the cube of export-nifti: the "
     "nearest cube voxel of each voxel of a 1 mm image, every cube voxel whose centre lies in a "
     "labelled voxel for other sizes. Names and colours come from the label table beside the "
     "image (the image name ending \".tsv\" as export-nifti writes it, or an FSLeyes \".lut\"), "
     "else \"Label N\" in the colours of converted VOIs.",
     false,
     [](CLI::App& command, HostOptions& options) {
         command.add_option("IMAGE", options.document, "The image, .nii or .nii.gz.")->required();
         command
             .add_option("-o,--output", options.output,
                         "The VOI file (default: the image's name ending \".voi\").")
             ->type_name("OUT.voi");
         command
             .add_option("--space", options.space,
                         "The VOIs' reference space (default: TAL when the image's code says "
                         "Talairach, ACPC otherwise).")
             ->type_name("TAL|ACPC")
             ->check(CLI::IsMember({"TAL", "ACPC"}).description(""));
     },
     importNiftiCommand},
    {"stats",
     "Print a tab-separated table with one row per VOI: index, name, voxels, volume in mm^3, "
     "centroid and bounding box (lowest and highest voxel centre) in RAS+ millimetres with the AC "
     "at 0, as in export-nifti.",
     false,
     [](CLI::App& command, HostOptions& options) {
         command.add_option("VOI", options.document, "The VOI file.")->required();
     },
     statsCommand},
    {"split",
     "Cut a job list into N lists, each starting with the list's first line and holding whole "
     "jobs, named JOBLIST's name with .1, .2, ... before its extension. Prints their names.",
     false,
     [](CLI::App& command, HostOptions& options) {
         command.add_option("JOBLIST", options.jobList, "The job list.")->required();
         command.add_option("N", options.parts, "How many lists to make (1 to 100000).")
             ->required()
             ->check(oneTo(maxParts));
         command
             .add_option(
                 "-o,--output", options.output,
                 "The folder for the lists, made when missing (default: the job list's folder).")
             ->type_name("FOLDER");
         command.add_flag(
             "--sbatch", options.sbatch,
             "Also write a Slurm array script beside the lists (JOBLIST's name ending \".sbatch\", "
             "one task per list, its log folder logs/ made there): each task runs vocelle run "
             "--report in the folder split runs in, so the script may be submitted from any "
             "folder. Run split in the folder the job list's relative names start from.");
     },
     splitCommand},
    {"gather",
     "Sum up the parts of a split run: every list NAME.K.txt in FOLDER and its report NAME.K.tsv "
     "(written by vocelle run --report). Prints each job not converted, the numbers of the parts "
     "to run again (not converted, or without a report), and the summary line of a run over the "
     "whole list. Exit status as for run; 2 also when a part has no report.",
     false,
     [](CLI::App& command, HostOptions& options) {
         command.add_option("FOLDER", options.document, "The folder of the parts.")->required();
         command
             .add_option("-o,--output", options.output,
                         "Write the reports' rows, in part order, as one report.")
             ->type_name("FILE.tsv");
     },
     gatherCommand},
};

const char* const intro =
    "Command-line host for the Vocelle plug-in. It loads the plug-in, queries its six "
    "information functions, creates it, initialises it, runs it when initialisation succeeded, "
    "destroys it and unloads it, just as the desktop host does.";

const char* const exitStatuses[][2] = {
    {"0", "every job of the list was converted (also when the list holds no job); for the other "
          "commands: done"},
    {"1", "at least one job was not converted"},
    {"2",
     "the job list could not be read, the plug-in could not be loaded or did not start, a file "
     "could not be read or written, or the command line was wrong"},
};

// Options of the whole program; they are taken before or after the command name.
void declarePluginOptions(CLI::App& app, HostOptions& options) {
    app.add_option("--plugin", options.pluginPath,
                   "Plug-in library to load (default: libVocelle.so beside this program, or in "
                   "the installed plug-in folder).")
        ->type_name("PATH");
    app.add_option_function<std::string>(
           "--host-version",
           [&options](const std::string& text) {
               if (!parseVersion(text, options.version))
                   throw CLI::ValidationError("--host-version",
                                              "wants X.Y.Z, got \"" + text + "\"");
           },
           "Version the host reports to the plug-in (default: 2.8.0). The plug-in needs 2.8.0 or "
           "later.")
        ->type_name("X.Y.Z");
    app.add_option(
           "--transcript", options.transcriptPath,
           "Write every call between host and plug-in to FILE, one JSON object per line, with "
           "exact arguments (texts as JSON strings; bytes that are not UTF-8 appear as "
           "\\u0080-\\u00ff). Host functions called by the plug-in have a \"call\" key, calls "
           "the host makes into the plug-in a \"plugin\" key.")
        ->type_name("FILE");
}

const HostCommand* commandNamed(const std::string& name) {
    for (const HostCommand& command : commands)
        if (name == command.name) return &command;
    return nullptr;
}

// The help texts are read off the declared commands and options.

constexpr std::size_t helpWidth = 100;

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// Appends the words, blank-separated, as lines of at most helpWidth columns: the first line
// starts with `first`, the others with `indent` blanks.
void appendWrapped(std::string& out, const std::string& first,
                   const std::vector<std::string>& words, std::size_t indent) {
    std::string line = first;
    std::size_t start = line.size();
    for (const std::string& word : words) {
        if (line.size() > start && line.size() + 1 + word.size() > helpWidth) {
            out += line + "\n";
            line = std::string(indent, ' ');
            start = indent;
        }
        line += (line.size() > start ? " " : "") + word;
    }
    out += line + "\n";
}

// A row of a list: the term, then its description from column `column` on (below the term when
// the term reaches that column).
void appendRow(std::string& out, const std::string& term, const std::string& description,
               std::size_t column) {
    std::string first = term;
    if (first.size() + 2 > column) {
        out += first + "\n";
        first.clear();
    }
    appendWrapped(out, first + std::string(column - first.size(), ' '), wordsOf(description),
                  column);
}

// The options a help lists: not hidden, and not --help or --version, which it mentions itself.
std::vector<const CLI::Option*> listedOptions(const CLI::App& app) {
    return app.get_options([&](const CLI::Option* option) {
        return !option->get_group().empty() && option != app.get_help_ptr() &&
               option != app.get_version_ptr();
    });
}

bool takesValue(const CLI::Option& option) {
    return option.get_expected_max() > 0;
}

// "[-o FILE.png]", "JOBLIST"
std::string usageItem(const CLI::Option& option) {
    std::string item;
    if (option.get_positional())
        item = option.get_name(true);
    else
        item = option.get_snames().empty() ? "--" + option.get_lnames()[0]
                                           : "-" + option.get_snames()[0];
    if (!option.get_positional() && takesValue(option)) item += " " + option.get_type_name();
    return option.get_required() ? item : "[" + item + "]";
}

// "-o, --output FILE.png", "JOBLIST"
std::string optionNames(const CLI::Option& option) {
    if (option.get_positional()) return option.get_name(true);
    std::string names;
    for (const auto& name : option.get_snames())
        names += (names.empty() ? "-" : ", -") + name;
    for (const auto& name : option.get_lnames())
        names += (names.empty() ? "--" : ", --") + name;
    return takesValue(option) ? names + " " + option.get_type_name() : names;
}

void appendOptions(std::string& out, const CLI::App& app, std::size_t indent) {
    for (const CLI::Option* option : listedOptions(app))
        appendRow(out, std::string(indent, ' ') + optionNames(*option), option->get_description(),
                  indent + 24);
}

void appendUsage(std::string& out, const std::string& lead, const CLI::App& command) {
    std::vector<std::string> items = {"vocelle", command.get_name()};
    for (const CLI::Option* option : listedOptions(command))
        items.push_back(usageItem(*option));
    appendWrapped(out, lead, items, lead.size() + 8);
}

// "run and info"
std::string pluginCommandNames() {
    std::string names;
    for (const HostCommand& command : commands)
        if (command.drivesPlugin) names += std::string(names.empty() ? "" : " and ") + command.name;
    return names;
}

void appendPluginOptions(std::string& out, const CLI::App& app) {
    out += "\nOptions of " + pluginCommandNames() + ", before or after the command name:\n";
    appendOptions(out, app, 2);
}

void appendExitStatuses(std::string& out) {
    out += "\nExit status:\n";
    for (const auto& status : exitStatuses)
        appendRow(out, std::string("  ") + status[0], status[1], 5);
}

std::string programHelp(const CLI::App& app) {
    std::string out = "Usage: vocelle COMMAND [ARGUMENTS AND OPTIONS]\n"
                      "       vocelle COMMAND --help\n"
                      "       vocelle --help | --version\n\n";
    appendWrapped(out, "", wordsOf(intro), 0);
    out += "\nCommands:\n";
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        out += "\n";
        appendUsage(out, "  ", *command);
        appendWrapped(out, "    ", wordsOf(command->get_description()), 4);
        // A blank line keeps the option rows apart from the text, in the manual page too.
        if (!listedOptions(*command).empty()) out += "\n";
        appendOptions(out, *command, 4);
    }
    appendPluginOptions(out, app);
    out += "\nOther options:\n";
    appendRow(out, "  -h, --help", "Show this text; after a command name, that command's.", 26);
    appendRow(out, "  --version", "Print the version of vocelle.", 26);
    appendExitStatuses(out);
    return out;
}

std::string commandHelp(const CLI::App& command) {
    std::string out;
    appendUsage(out, "Usage: ", command);
    out += "\n";
    appendWrapped(out, "", wordsOf(command.get_description()), 0);
    if (!listedOptions(command).empty()) {
        out += "\nArguments and options:\n";
        appendOptions(out, command, 2);
    }
    const HostCommand* entry = commandNamed(command.get_name());
    if (entry != nullptr && entry->drivesPlugin) appendPluginOptions(out, *command.get_parent());
    appendExitStatuses(out);
    return out;
}

std::string help(const CLI::App* app, const std::string&, CLI::AppFormatMode) {
    return app->get_parent() == nullptr ? programHelp(*app) : commandHelp(*app);
}

// What is wrong with a word that neither the command nor the program took.
std::string leftOverError(const CLI::App* command, const std::string& word) {
    const bool option = word.size() > 1 && word[0] == '-';
    if (command == nullptr) {
        if (option) return "unknown option " + word;
        return "unknown command " + word;
    }
    if (!option) return "unexpected argument " + word;
    if (command->get_option_no_throw(word) != nullptr) return word + " goes after the command name";
    return "unknown option " + word;
}

} // namespace

ParsedArguments parseHostArguments(const std::vector<std::string>& arguments,
                                   const HostOptions& defaults) {
    ParsedArguments result;
    result.options = defaults;
    HostOptions& options = result.options;

    CLI::App app;
    app.formatter_fn(help);
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", std::string("vocelle ") + VOCELLE_VERSION);
    declarePluginOptions(app, options);
    for (const HostCommand& command : commands) {
        CLI::App* declared = app.add_subcommand(command.name, command.help);
        declared->fallthrough();
        command.declare(*declared, options);
    }
    app.require_subcommand(0, 1);
    // Set once the commands are there, which would take it over: words that nothing takes are
    // reported by name below.
    app.allow_extras();

    const auto chosen = [&]() -> const CLI::App* {
        const auto selected = app.get_subcommands();
        return selected.empty() ? nullptr : selected.front();
    };
    const auto withHint = [&](const std::string& problem) {
        if (chosen() == nullptr) return problem + " (see vocelle --help)";
        const std::string name = chosen()->get_name();
        return name + ": " + problem + " (see vocelle " + name + " --help)";
    };
    try {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForVersion& version) {
        result.text = std::string(version.what()) + "\n";
        return result;
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            result.text = app.help();
        else
            result.error = withHint(error.what());
        return result;
    }

    const std::vector<std::string> left = app.remaining();
    if (chosen() == nullptr && left.empty()) {
        result.error = withHint("no command given");
        return result;
    }
    if (!left.empty()) {
        result.error = withHint(leftOverError(chosen(), left.front()));
        return result;
    }
    const HostCommand* command = commandNamed(chosen()->get_name());
    if (!command->drivesPlugin)
        for (const CLI::Option* option : listedOptions(app))
            if (option->count() > 0) {
                result.error =
                    withHint(option->get_name() + " applies to " + pluginCommandNames() + " only");
                return result;
            }
    result.command = command;
    return result;
}

int runHostCommand(const std::vector<std::string>& arguments, const HostOptions& defaults) {
    const ParsedArguments parsed = parseHostArguments(arguments, defaults);
    if (!parsed.error.empty()) return fail(parsed.error);
    if (parsed.command == nullptr) {
        std::fputs(parsed.text.c_str(), stdout);
        return 0;
    }
    session.options = parsed.options;
    return parsed.command->run(session.options);
}

} // namespace vocelle
