// vocelle split: a job list cut into lists of whole jobs, to run apart (and the Slurm array
// script that runs them).

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/joblistsplit.h>
#include <vocelle/host/session.h>
#include <vocelle/host/slurmscript.h>
#include <vocelle/text/safesave.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace vocelle {

namespace {

constexpr int maxParts = 100000;

struct SplitOptions {
    std::string jobList, folder;
    int parts = 0;
    bool sbatch = false;
};

void declare(CLI::App& command, SplitOptions& options) {
    command.add_option("JOBLIST", options.jobList, "The job list.")->required();
    command.add_option("N", options.parts, "How many lists to make (1 to 100000).")
        ->required()
        ->check(oneTo(maxParts));
    fileOption(command, "-o,--output", options.folder, "FOLDER",
               "The folder for the lists, made when missing (default: the job list's folder).");
    command.add_flag(
        "--sbatch", options.sbatch,
        "Also write a Slurm array script beside the lists (JOBLIST's name ending \".sbatch\", one "
        "task per list, its log folder logs/ made there): each task runs vocelle run --report in "
        "the folder split runs in, so the script may be submitted from any folder. Run split in "
        "the folder the job list's relative names start from.");
}

CommandFiles files(const SplitOptions& options) {
    CommandFiles files{{options.jobList}, {}};
    for (int part = 1; part <= options.parts; ++part)
        files.outputs.push_back(jobListPartName(options.jobList, part, options.folder));
    if (options.sbatch) files.outputs.push_back(slurmScriptPath(options.jobList, options.folder));
    if (!options.folder.empty()) files.madeFolders.push_back(options.folder);
    return files;
}

int execute(const SplitOptions& options) {
    const JobListParts split = splitJobListFile(options.jobList, options.parts);
    if (!split.error.empty()) throw std::runtime_error(split.error);
    if (!options.folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.folder, error);
        if (error)
            throw FaultError({"cannot create the folder", options.folder, "", error.value()});
    }
    const std::optional<SlurmScript> script =
        options.sbatch
            ? std::optional<SlurmScript>(makeSlurmScript(options.jobList, options.parts,
                                                         options.folder, session.settings.program))
            : std::nullopt;
    for (int part = 1; part <= options.parts; ++part) {
        const std::string name = jobListPartName(options.jobList, part, options.folder);
        saveReplacing(
            name, [&](std::ostream& out) { out << split.parts[std::size_t(part - 1)]; },
            faulttext::createFile, std::ios::binary);
        std::printf("%s\t%zu jobs\n", name.c_str(), split.roiNames[std::size_t(part - 1)].size());
    }
    if (script) {
        writeSlurmScript(*script);
        std::printf("%s\tSlurm array script\n", script->path.c_str());
    }
    if (split.jobCount < options.parts)
        std::fprintf(stderr, "vocelle: %s holds %d jobs; %d of the %d lists hold none\n",
                     options.jobList.c_str(), split.jobCount, options.parts - split.jobCount,
                     options.parts);
    return 0;
}

} // namespace

namespace commands {

extern const Command split = makeCommand<SplitOptions>(
    {"split",
     "Cut a job list into N lists, each starting with the list's first line and holding whole "
     "jobs, named JOBLIST's name with .1, .2, ... before its extension. Prints their names.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
