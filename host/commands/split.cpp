// vocelle split: a job list cut into lists of whole jobs, to run apart, with the manifest that
// gather reads (and the Slurm array script that runs them).

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/joblistsplit.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/session.h>
#include <vocelle/host/slurmscript.h>
#include <vocelle/host/splitmanifest.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace vocelle {

namespace {

namespace fs = std::filesystem;

constexpr int maxParts = 100000;

struct SplitOptions {
    std::string jobList, folder;
    int parts = 0;
    bool sbatch = false, replace = false;
};

void declare(CLI::App& command, SplitOptions& options) {
    command.add_option("JOBLIST", options.jobList, "The job list.")->required();
    command.add_option("N", options.parts,
                       "How many lists to make (1 to 100000; as many as there are jobs when the "
                       "list holds fewer).")
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
    command.add_flag("--replace", options.replace,
                     "Replace the files of a split already in the folder (the lists, reports and "
                     "script its manifest names, and the manifest) and files named as this split's; "
                     "without it such a folder is refused.");
}

// The folder's own name for a path in it: "" for the current folder.
std::string folderOf(const SplitOptions& options) {
    return getPath(jobListPartName(options.jobList, 1, options.folder));
}

CommandFiles files(const SplitOptions& options) {
    CommandFiles files{{options.jobList}, {}};
    for (int part = 1; part <= options.parts; ++part)
        files.outputs.push_back(jobListPartName(options.jobList, part, options.folder));
    files.outputs.push_back(folderOf(options) + manifestFileName);
    if (options.sbatch) files.outputs.push_back(slurmScriptPath(options.jobList, options.folder));
    if (!options.folder.empty()) files.madeFolders.push_back(options.folder);
    return files;
}

SplitManifest manifestOf(const SplitOptions& options, const JobListParts& split) {
    SplitManifest manifest;
    manifest.list = reportField(fs::absolute(options.jobList).lexically_normal().string());
    for (std::size_t part = 0; part < split.parts.size(); ++part) {
        const std::string name = getFileName(jobListPartName(options.jobList, int(part) + 1, options.folder));
        if (name.find_first_of("\t\n") != std::string::npos)
            throw std::runtime_error("cannot name " + name + " in the manifest: it holds a tab or line end");
        if (getExtension(name) == ".tsv")
            throw std::runtime_error("the reports of the parts of " + options.jobList +
                                     " would replace them (both end .tsv); give the list another extension");
        manifest.parts.push_back({name, removeExtension(name) + ".tsv", manifestJobs(split.parts[part])});
    }
    return manifest;
}

// A folder holds one split: another one there, or a file named as one of this split's, is
// refused; with --replace, the old manifest goes first (a folder without one holds no split),
// then what this split does not write again (a report goes, as its part is new); the rest is
// replaced as it is written.
void clearFolder(const SplitOptions& options, const SplitManifest& manifest) {
    const std::string folder = folderOf(options), manifestPath = folder + manifestFileName;
    std::vector<std::string> names = manifest.files();
    std::vector<std::string> rewritten = {manifest.script};
    for (const SplitManifest::Part& part : manifest.parts) rewritten.push_back(part.list);
    if (isPresent(manifestPath)) {
        if (!options.replace)
            throw FaultError({"the folder holds another split's files (" + std::string(manifestFileName) +
                                  "); --replace replaces them",
                              folder.empty() ? "." : folder.substr(0, std::max<std::size_t>(folder.size() - 1, 1))});
        std::string text, error;
        if (!readSplitFile(manifestPath, text, error)) throw std::runtime_error("cannot read " + manifestPath + ": " + error);
        const std::vector<std::string> old = parseManifest(text, manifestPath).files();
        names.insert(names.end(), old.begin(), old.end());
        names.insert(names.begin(), manifestFileName);
    }
    for (const std::string& name : names) {
        std::error_code same;
        if (isPresent(folder + name) && !options.replace) throw FaultError({"exists; --replace replaces it", folder + name});
        if (fs::equivalent(folder + name, options.jobList, same))
            throw FaultError({"is the job list, which the split in its folder names as one of its files", folder + name});
    }
    for (const std::string& name : names)
        if (std::find(rewritten.begin(), rewritten.end(), name) == rewritten.end() &&
            std::remove((folder + name).c_str()) != 0 && errno != ENOENT)
            throw FaultError({"cannot remove", folder + name, "", errno});
}

// The list's names are resolved from the folder each part runs in, this one.
void warnWhenFirstJobIsAmiss(const JobListParts& split) {
    const std::string& roi = split.roiNames.front().front();
    if (!isPresent(roi))
        std::fprintf(stderr,
                     "vocelle: the first job's ROI %s is not found from this folder (%s), where "
                     "the parts will run; run split in the folder the list's names start from\n",
                     roi.c_str(), fs::current_path().c_str());
}

int execute(const SplitOptions& options) {
    const JobListParts split = splitJobListFile(options.jobList, options.parts);
    if (!split.error.empty()) throw std::runtime_error(split.error);
    if (split.jobCount == 0)
        throw FaultError({"holds no job (no line ends in roi), so there is nothing to split", options.jobList});
    const int parts = int(split.parts.size());
    const SplitManifest manifest = manifestOf(options, split);
    const std::optional<SlurmScript> script =
        options.sbatch ? std::optional<SlurmScript>(makeSlurmScript(options.jobList, parts, options.folder,
                                                                    session.settings.program))
                       : std::nullopt;
    if (!options.folder.empty()) {
        std::error_code error;
        fs::create_directories(options.folder, error);
        if (error) throw FaultError({"cannot create the folder", options.folder, "", error.value()});
    }
    SplitManifest written = manifest;
    if (script) written.script = getFileName(script->path);
    clearFolder(options, written);
    for (int part = 1; part <= parts; ++part) {
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
    // Last: a folder with a manifest holds every part it names.
    const std::string manifestPath = folderOf(options) + manifestFileName;
    saveReplacing(manifestPath, [&](std::ostream& out) { out << manifestText(written); });
    std::printf("%s\tthe parts, for vocelle gather\n", manifestPath.c_str());
    if (parts < options.parts)
        std::fprintf(stderr, "vocelle: %s holds %d jobs: %d lists instead of %d\n",
                     options.jobList.c_str(), split.jobCount, parts, options.parts);
    warnWhenFirstJobIsAmiss(split);
    return 0;
}

} // namespace

namespace commands {

extern const Command split = makeCommand<SplitOptions>(
    {"split",
     "Cut a job list into N lists, each starting with the list's first line and holding whole "
     "jobs, named JOBLIST's name with .1, .2, ... before its extension, and write beside them "
     "the manifest split.manifest (the list, each part, its report NAME.K.tsv and its jobs) that "
     "vocelle gather reads. Prints their names.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
