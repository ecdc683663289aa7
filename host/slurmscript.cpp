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

// For an #SBATCH line, which sbatch reads itself: "text", a backslash taking the next character
// as it is, inside quotes too.
std::string sbatchQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return quoted + "\"";
}

// Slurm expands %a and the like in an output path (%% is a literal %), and turns that off,
// dropping the backslashes, when the path holds a backslash anywhere.
std::string outputPattern(const std::string& path) {
    std::string pattern;
    for (char c : path)
        pattern += c == '%' ? std::string("%%") : std::string(1, c);
    return pattern;
}

} // namespace

std::string slurmScriptPath(const std::string& listPath, const std::string& folder) {
    return getPath(jobListPartName(listPath, 1, folder)) + removeExtension(getFileName(listPath)) + ".sbatch";
}

SlurmScript makeSlurmScript(const std::string& listPath, int parts, const std::string& folder,
                            const std::string& programPath) {
    const std::string first = absolute(jobListPartName(listPath, 1, folder));
    const std::string extension = getExtension(first);
    // ".../jobs." before each part's number
    const std::string stem = first.substr(0, first.size() - extension.size() - 1);
    const fs::path partFolder = fs::path(first).parent_path();
    const std::string name = removeExtension(getFileName(listPath));
    const std::string script = absolute(slurmScriptPath(listPath, folder));
    const std::string study = fs::current_path().string(), program = absolute(programPath);
    for (const std::string& path : {first, study, program})
        if (path.find('\n') != std::string::npos)
            throw std::runtime_error("cannot name " + path + " in a Slurm script: it holds a line end");
    // Each task's log: through Slurm, which also notes there why it stopped a task; by the task
    // itself where Slurm cannot take the path literally.
    const std::string log = (partFolder / "logs" / name).string() + ".";
    const bool slurmLogs = log.find('\\') == std::string::npos;

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
         << "#SBATCH --chdir=" << sbatchQuoted(study) << "\n"
         << "#SBATCH --output=" << sbatchQuoted(slurmLogs ? outputPattern(log) + "%a.log" : "/dev/null")
         << "\n";
    if (!slurmLogs) text << "exec >" << shellQuoted(log) << "\"$SLURM_ARRAY_TASK_ID\".log 2>&1\n";
    text << "part=" << shellQuoted(stem) << "\"$SLURM_ARRAY_TASK_ID\"\n"
         << "exec " << shellQuoted(program) << " run --report \"$part.tsv\" \"$part\""
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
