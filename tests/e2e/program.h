#pragma once
// Runs a program, or a function in a child process, in a folder, what it prints caught; optionally
// with its own temporary folder, and killed (with every process it started) after a delay.

#include "tests/text/scratchdir.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using Lines = std::vector<std::string>;

struct ProgramRun {
    int status = -1; // -1 when it did not exit normally
    std::string out, err;
};

// `body` runs in a child process and returns its exit status. With TMPDIR set to
// `temporaryFolder` when not empty; killAfter seconds when not negative.
template <typename Body>
ProgramRun runInChild(const Body& body, const std::filesystem::path& in,
                      const std::string& temporaryFolder = "", double killAfter = -1) {
    const ScratchDir capture;
    const std::string out = capture.file("out"), err = capture.file("err");
    std::fflush(nullptr); // or the child prints again what this process has not yet written
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        if (!temporaryFolder.empty()) ::setenv("TMPDIR", temporaryFolder.c_str(), 1);
        int status = 127;
        try {
            if (std::freopen(out.c_str(), "w", stdout) && std::freopen(err.c_str(), "w", stderr) &&
                ::chdir(in.c_str()) == 0)
                status = body();
        } catch (...) { // the child must never go on with the test program
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    if (child < 0) return {};
    ::setpgid(child, child); // also here, so a kill cannot come before the child's own call
    int status = 0;
    if (killAfter >= 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(killAfter));
        ::kill(-child, SIGKILL);
    }
    if (::waitpid(child, &status, 0) != child) return {};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readAll(out), readAll(err)};
}

inline ProgramRun runProgram(Lines command, const std::filesystem::path& in,
                             const std::string& temporaryFolder = "", double killAfter = -1) {
    std::vector<char*> argv;
    for (auto& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const auto exec = [&] { ::execvp(argv[0], argv.data()); return 127; }; // 127: could not start
    return runInChild(exec, in, temporaryFolder, killAfter);
}

inline ProgramRun runHost(Lines arguments, const std::filesystem::path& in,
                          const std::string& temporaryFolder = "", double killAfter = -1) {
    arguments.insert(arguments.begin(), std::string(VOCELLE_BIN_DIR) + "/vocelle");
    return runProgram(arguments, in, temporaryFolder, killAfter);
}
