#pragma once
// Runs the real vocelle host (or another program) as a user would, in a folder of its choice,
// and reads back what it printed and wrote.

#include "tests/text/scratchdir.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

const std::string vocelleHost = std::string(VOCELLE_BIN_DIR) + "/vocelle";

struct ProgramRun {
    int status = -1; // exit status; -1 when it did not exit normally
    long peakKb = 0; // the program's own peak resident memory
    std::string out, err;
};

inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::filesystem::path& in) {
    const ScratchDir capture;
    const std::string out = capture.file("out"), err = capture.file("err");
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::chdir(in.c_str()) != 0)
            ::_exit(126);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ProgramRun run;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKb = usage.ru_maxrss;
    run.out = readAll(out);
    run.err = readAll(err);
    return run;
}

inline ProgramRun runHost(const std::vector<std::string>& arguments,
                          const std::filesystem::path& in) {
    return runProgram(vocelleHost, arguments, in);
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Every regular file below root, by relative path, with its bytes.
inline std::map<std::string, std::string> filesBelow(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), root).generic_string()] =
                readAll(entry.path().string());
    return files;
}

inline void writeBelow(const std::filesystem::path& root, const std::string& name,
                       const std::string& text) {
    std::filesystem::create_directories((root / name).parent_path());
    writeAll((root / name).string(), text);
}
