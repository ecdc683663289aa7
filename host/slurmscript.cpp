#include <vocelle/host/slurmscript.h>

#include <vocelle/host/joblistsplit.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

namespace fs = std::filesystem;

std::string absolute(const std::string& path) {
    return fs::absolute(path).lexically_normal().string();
}

// For the shell: 'text', each ' written as '\''.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// For an #SBATCH line, which sbatch reads itself: "text". It has no escape for a quote.
std::string sbatchQuoted(const std::string& text) {
    if (text.find_first_of("\"\n") != std::string::npos)
        throw std::runtime_error("cannot name " + text +
                                 " in a Slurm script: it holds a double quote or line end");
    return "\"" + text + "\"";
}

} // namespace

std::string slurmScriptPath(const std::string& listPath, const std::string& folder) {
    const fs::path first = absolute(jobListPartName(listPath, 1, folder));
    return (first.parent_path() / (removeExtension(getFileName(listPath)) + ".sbatch")).string();
}

SlurmScript makeSlurmScript(const std::string& listPath, int parts, const std::string& folder,
                            const std::string& program) {
    const std::string first = absolute(jobListPartName(listPath, 1, folder));
    const std::string extension = getExtension(first);
    if (extension == ".tsv")
        throw std::runtime_error(
            "the reports of the parts of " + listPath +
            " would replace them (both end .tsv); give the list another extension");
    // ".../jobs." before each part's number
    const std::string stem = first.substr(0, first.size() - extension.size() - 1);
    const fs::path partFolder = fs::path(first).parent_path();
    const std::string name = removeExtension(getFileName(listPath));
    const std::string script = slurmScriptPath(listPath, folder);

    std::ostringstream text;
    text << "#!/bin/bash\n"
         << "# One task per part of " << getFileName(listPath)
         << ", each in the study folder below, "
         << "writing its report beside its part.\n"
         << "# Submit from any folder: sbatch " << script << "\n"
         << "# When every task is done: vocelle gather " << partFolder.string() << "\n"
         << "#SBATCH --job-name=vocelle\n"
         << "#SBATCH --array=1-" << parts << "\n"
         << "#SBATCH --cpus-per-task=1\n"
         << "#SBATCH --chdir=" << sbatchQuoted(fs::current_path().string()) << "\n"
         << "#SBATCH --output=" << sbatchQuoted((partFolder / "logs" / name).string() + ".%a.log")
         << "\n"
         << "part=" << shellQuoted(stem) << "\"$SLURM_ARRAY_TASK_ID\"\n"
         << "exec " << shellQuoted(absolute(program)) << " run --report \"$part.tsv\" \"$part\""
         << shellQuoted(extension) << "\n";
    return {script, text.str()};
}

void writeSlurmScript(const SlurmScript& script) {
    const fs::path logs = fs::path(script.path).parent_path() / "logs";
    std::error_code error;
    fs::create_directories(logs, error);
    if (error)
        throw std::runtime_error("cannot create the folder " + logs.string() + ": " +
                                 error.message());
    saveReplacing(script.path, [&](std::ostream& out) { out << script.text; });
    fs::permissions(script.path,
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, error);
    if (error)
        throw std::runtime_error("cannot make " + script.path + " executable: " + error.message());
}

} // namespace vocelle
