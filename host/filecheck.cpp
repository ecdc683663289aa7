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

// A file as the system knows it: by device and inode when it exists, else by the name a save
// would create.
struct Identity {
    std::string name; // as the command line gave it
    bool exists = false, device = false;
    dev_t dev = 0;
    ino_t ino = 0;
    std::string where;

    bool same(const Identity& other) const {
        if (device || other.device) return false;
        if (exists != other.exists) return false;
        return exists ? dev == other.dev && ino == other.ino : where == other.where;
    }
};

Identity identify(const std::string& name) {
    Identity id;
    id.name = name;
    if (name == "-") {
        id.where = name;
        return id;
    }
    struct stat info {};
    if (::stat(name.c_str(), &info) == 0) {
        id.exists = true;
        id.device = S_ISCHR(info.st_mode);
        id.dev = info.st_dev;
        id.ino = info.st_ino;
        return id;
    }
    std::error_code ignored;
    id.where = fs::weakly_canonical(fs::absolute(saveTarget(name), ignored), ignored).string();
    return id;
}

std::vector<Identity> identities(const std::vector<std::string>& names) {
    std::vector<Identity> ids;
    // A name holding a NUL byte names no file (the system would read it cut there).
    for (const std::string& name : names)
        if (!name.empty() && name.find('\0') == std::string::npos) ids.push_back(identify(name));
    return ids;
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
    std::vector<std::string> outputNames;
    for (const Output& output : files.outputs)
        if (!output.path.empty()) {
            checkKind(output);
            outputNames.push_back(output.path);
        }
    const std::vector<Identity> inputs = identities(files.inputs),
                                outputs = identities(outputNames),
                                written = identities(files.written);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        const std::string output = "the output " + outputs[o].name + " is the same file as ";
        for (const Identity& input : inputs)
            if (outputs[o].same(input)) refuse(output + "the input", input.name);
        for (std::size_t other = o + 1; other < outputs.size(); ++other)
            if (outputs[o].same(outputs[other]))
                refuse(output + "the other output", outputs[other].name);
        for (const Identity& voi : written)
            if (outputs[o].same(voi)) refuse(output + "a VOI that the run writes", voi.name);
    }
    for (const Identity& voi : written)
        for (const Identity& input : inputs)
            if (voi.same(input))
                refuse("the run would write the VOI " + voi.name + " over the input", input.name);
    for (const std::string& output : outputNames)
        if (output != "-" && !inMadeFolder(output, files.madeFolders)) checkSavable(output);
}

std::vector<std::string> jobInputs(const ConversionJob& job) {
    std::string stc;
    // A pipe or device named as the FMR is not read here: it could block.
    if (isRegularFile(job.fmrName)) try {
            stc = FMR(job.fmrName, false).stcFileName();
        } catch (const std::exception&) {
            // Refused when the job runs.
        }
    return {job.roiName,   job.fmrName,     stc,        job.iaTrfName,
            job.faTrfName, job.acpcTrfName, job.talName};
}

std::string outputPath(const std::string& path) {
    if (path != "-") return path;
    return "/dev/fd/" + std::to_string(session.standardOutput >= 0 ? session.standardOutput : 1);
}

} // namespace vocelle
