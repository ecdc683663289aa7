#include <vocelle/host/scaleout.h>

#include <vocelle/host/commands.h>
#include <vocelle/host/joblistsplit.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/session.h>
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
        throw std::runtime_error("cannot name " + text + " in a Slurm script: it holds a double quote or line end");
    return "\"" + text + "\"";
}

// Lines of a report; false when it is not one.
bool reportRows(const std::string& text, std::vector<std::vector<std::string>>& rows) {
    if (!startsWith(text, reportHeader) || text.back() != '\n') return false;
    std::istringstream in(text.substr(std::string(reportHeader).size()));
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = splitAt(line, '\t');
        if (fields.size() != 6) return false;
        rows.push_back(fields);
    }
    return true;
}

struct Part {
    std::string list, report; // paths; empty when not in the folder
};

// Parts and reports by name and number: NAME.K.EXT with EXT neither .tsv nor .log is a part,
// NAME.K.tsv its report; logs and other files are passed over.
std::map<std::pair<std::string, long>, Part> partsIn(const std::string& folder) {
    std::map<std::pair<std::string, long>, Part> parts;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const fs::path& path = entry->path();
        const std::string number = fs::path(path.stem()).extension().string(), kind = path.extension().string();
        if (number.size() < 2 || number.size() > 10 || kind == ".log" || !entry->is_regular_file()) continue;
        if (number.find_first_not_of("0123456789", 1) != std::string::npos) continue;
        Part& part = parts[{fs::path(path.stem()).stem().string(), std::stol(number.substr(1))}];
        (kind == ".tsv" ? part.report : part.list) = path.string();
    }
    if (error) throw std::runtime_error("cannot read the folder " + folder + ": " + error.message());
    return parts;
}

} // namespace

SlurmScript makeSlurmScript(const HostOptions& options) {
    const std::string first = absolute(jobListPartName(options.jobList, 1, options.output));
    const std::string extension = getExtension(first);
    if (extension == ".tsv")
        throw std::runtime_error("the reports of the parts of " + options.jobList +
                                 " would replace them (both end .tsv); give the list another extension");
    // ".../jobs." before each part's number
    const std::string stem = first.substr(0, first.size() - extension.size() - 1);
    const fs::path folder = fs::path(first).parent_path();
    const std::string name = removeExtension(getFileName(options.jobList));
    const std::string script = (folder / (name + ".sbatch")).string();

    std::ostringstream text;
    text << "#!/bin/bash\n"
         << "# One task per part of " << getFileName(options.jobList) << ", each in the study folder below, "
         << "writing its report beside its part.\n"
         << "# Submit from any folder: sbatch " << script << "\n"
         << "# When every task is done: vocelle gather " << folder.string() << "\n"
         << "#SBATCH --job-name=vocelle\n"
         << "#SBATCH --array=1-" << options.parts << "\n"
         << "#SBATCH --cpus-per-task=1\n"
         << "#SBATCH --chdir=" << sbatchQuoted(fs::current_path().string()) << "\n"
         << "#SBATCH --output=" << sbatchQuoted((folder / "logs" / name).string() + ".%a.log") << "\n"
         << "part=" << shellQuoted(stem) << "\"$SLURM_ARRAY_TASK_ID\"\n"
         << "exec " << shellQuoted(absolute(options.program)) << " run --report \"$part.tsv\" \"$part\""
         << shellQuoted(extension) << "\n";
    return {script, text.str()};
}

void writeSlurmScript(const SlurmScript& script) {
    const fs::path logs = fs::path(script.path).parent_path() / "logs";
    std::error_code error;
    fs::create_directories(logs, error);
    if (error) throw std::runtime_error("cannot create the folder " + logs.string() + ": " + error.message());
    saveReplacing(script.path, [&](std::ostream& out) { out << script.text; });
    fs::permissions(script.path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, error);
    if (error) throw std::runtime_error("cannot make " + script.path + " executable: " + error.message());
}

int gatherCommand(const HostOptions& options) {
    const std::string& folder = options.document;
    std::map<std::pair<std::string, long>, Part> parts;
    try {
        parts = partsIn(folder);
    } catch (const std::exception& e) {
        return fail(e);
    }
    if (parts.empty()) return fail("no job list parts or run reports in " + folder);

    std::string table = reportHeader, rerun;
    int converted = 0, notConverted = 0;
    bool complete = true;
    for (const auto& [key, part] : parts) {
        std::string text, error;
        std::vector<std::vector<std::string>> rows;
        bool readable = false;
        if (part.report.empty())
            fail(part.list + ": no report; the part has not run to its end");
        else if (!readWholeFile(part.report, text, error))
            fail("cannot read the report " + part.report + ": " + error);
        else if (!(readable = reportRows(text, rows)))
            fail(part.report + " is not a run report");
        if (!readable) rows.clear();
        else table += text.substr(std::string(reportHeader).size());
        complete = complete && readable;
        bool again = !readable;
        for (const auto& row : rows) {
            if (row[3] == convertedStatus) {
                ++converted;
                continue;
            }
            ++notConverted;
            again = true;
            std::printf("%s: %s %s: %s\n", part.report.c_str(), row[3].c_str(), row[0].c_str(), row[4].c_str());
        }
        if (again) rerun += (rerun.empty() ? "" : ",") + std::to_string(key.second);
    }
    if (!rerun.empty()) std::printf("parts to run again: %s\n", rerun.c_str());
    std::printf("%d converted, %d not converted\n", converted, notConverted);
    std::fflush(stdout);
    if (!options.output.empty()) {
        try {
            saveReplacing(options.output, [&](std::ostream& out) { out << table; });
        } catch (const std::exception& e) {
            return fail(e);
        }
    }
    if (!complete) return 2;
    return notConverted > 0 ? 1 : 0;
}

} // namespace vocelle
