#pragma once
// Runs a host command in this process, as `vocelle ARGUMENTS` would in folder `in`, with what it
// prints on standard output and standard error caught.

#include <vocelle/host/commandline.h>
#include <vocelle/host/session.h>

#include "tests/text/scratchdir.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

struct HostRun {
    int status = -1;
    std::string out, err;
};

inline HostRun runHostHere(const std::vector<std::string>& arguments,
                           const std::filesystem::path& in, const vocelle::HostSettings& settings = {}) {
    const ScratchDir capture;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(in);
    std::cout.flush();
    std::fflush(nullptr);
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    const std::string out = capture.file("out"), err = capture.file("err");
    const int outFile = ::open(out.c_str(), O_WRONLY | O_CREAT, 0600);
    const int errFile = ::open(err.c_str(), O_WRONLY | O_CREAT, 0600);
    ::dup2(outFile, 1);
    ::dup2(errFile, 2);
    HostRun run;
    run.status = vocelle::runHostCommand(arguments, settings);
    std::cout.flush();
    std::fflush(nullptr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    for (const int fd : {savedOut, savedErr, outFile, errFile})
        ::close(fd);
    std::filesystem::current_path(previous);
    run.out = readAll(out);
    run.err = readAll(err);
    return run;
}
