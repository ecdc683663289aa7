#include <vocelle/host/filecheck.h>

#include <vocelle/formats/myFMR.h>
#include <vocelle/host/session.h>
#include <vocelle/text/fault.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <unordered_map>
#include <vector>

namespace vocelle {

namespace {

namespace fs = std::filesystem;

struct Kind {
    FileKind kind;
    const char* endings[2];
    const char* said; // how a refusal names the endings
    bool text;
};

const Kind kinds[] = {{FileKind::Any, {}, "", true},
                      {FileKind::Voi, {".voi"}, ".voi", true},
                      {FileKind::Png, {".png"}, ".png", false},
                      {FileKind::Nifti, {".nii.gz", ".nii"}, ".nii.gz or .nii", false},
                      {FileKind::Tsv, {".tsv"}, ".tsv", true}};

const Kind& kindOf(FileKind kind) {
    for (const Kind& entry : kinds)
        if (entry.kind == kind) return entry;
    return kinds[0];
}

// A file as the system knows it: its device and inode when it exists, else the name a save would
// create; empty for a character device, which is never the same file as another, and for a name
// holding a NUL byte, which names no file (the system would read it cut there).
std::string identity(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) return std::string();
    if (name == "-") return name;
    struct stat info {};
    if (::stat(name.c_str(), &info) == 0)
        return S_ISCHR(info.st_mode)
                   ? std::string()
                   : std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    std::error_code ignored;
    return fs::weakly_canonical(fs::absolute(saveTarget(name), ignored), ignored).string();
}

// Names by identity; the first of several.
using Known = std::unordered_map<std::string, std::string>;

Known known(const std::vector<std::string>& names) {
    Known files;
    for (const std::string& name : names)
        if (const std::string key = identity(name); !key.empty()) files.emplace(key, name);
    return files;
}

[[noreturn]] void refuse(const std::string& what, const std::string& path) {
    throw FaultError({what, path});
}

void checkKind(const Output& output) {
    const Kind& kind = kindOf(output.kind);
    if (output.path == "-") {
        if (!kind.text)
            refuse(std::string("a ") + kind.said + " file cannot go to standard output; name one",
                   output.path);
        return;
    }
    if (kind.kind == FileKind::Any) return;
    // A device or pipe takes whatever it is given: /dev/null is a fine place for a picture.
    struct stat info {};
    if (::stat(output.path.c_str(), &info) == 0 &&
        (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)))
        return;
    for (const char* ending : kind.endings)
        if (ending != nullptr && endsWith(output.path, ending)) return;
    refuse(std::string("the output must end in ") + kind.said, output.path);
}

// In a folder the command makes, so not yet there to be checked.
bool inMadeFolder(const std::string& path, const std::vector<std::string>& folders) {
    const fs::path file = fs::absolute(path).lexically_normal();
    for (const std::string& folder : folders) {
        std::error_code missing;
        if (fs::exists(folder, missing)) continue;
        const fs::path made = fs::absolute(folder).lexically_normal();
        const auto [end, unused] =
            std::mismatch(made.begin(), made.end(), file.begin(), file.end());
        if (end == made.end()) return true;
    }
    return false;
}

} // namespace

void checkCommandFiles(const CommandFiles& files) {
    const Known inputs = known(files.inputs), written = known(files.written);
    Known outputs;
    for (const Output& output : files.outputs) {
        if (output.path.empty()) continue;
        checkKind(output);
        const std::string key = identity(output.path);
        const std::string same = "the output " + output.path + " is the same file as ";
        if (key.empty()) continue;
        if (inputs.count(key)) refuse(same + "the input", inputs.at(key));
        if (outputs.count(key)) refuse(same + "the other output", outputs.at(key));
        if (written.count(key)) refuse(same + "a VOI that the run writes", written.at(key));
        outputs.emplace(key, output.path);
    }
    for (const auto& [key, voi] : written)
        if (inputs.count(key))
            refuse("the run would write the VOI " + voi + " over the input", inputs.at(key));
    for (const Output& output : files.outputs)
        if (!output.path.empty() && output.path != "-" &&
            !inMadeFolder(output.path, files.madeFolders))
            checkSavable(output.path);
}

std::string stcFileOf(const std::string& fmr) {
    // A pipe or device named as the FMR is not read here: it could block.
    if (isRegularFile(fmr)) try {
            return FMR(fmr, false).stcFileName();
        } catch (const std::exception&) {
            // Refused when the FMR is read for the command.
        }
    return std::string();
}

std::vector<std::string> jobInputs(const ConversionJob& job) {
    return {job.roiName,   job.fmrName,     stcFileOf(job.fmrName), job.iaTrfName,
            job.faTrfName, job.acpcTrfName, job.talName};
}

std::string outputPath(const std::string& path) {
    if (path != "-") return path;
    return "/dev/fd/" + std::to_string(session.standardOutput >= 0 ? session.standardOutput : 1);
}

} // namespace vocelle
