// A long job list through the real host: 500 jobs, complete ones and ones with missing files,
// each accounted for in the log in list order, and memory that does not grow with the list
// (each job's documents, slice data included, are released before the next job is read).

#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string host = std::string(VOCELLE_BIN_DIR) + "/vocelle";

struct HostRun {
    int status = -1;
    long peakKb = 0; // the host's own peak resident memory
    std::vector<std::string> log;
    std::string err;
};

HostRun runHost(const ScratchDir& dir, const std::string& list) {
    const std::string out = dir.file("out.txt"), err = dir.file("err.txt");
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(126);
        ::execl(host.c_str(), host.c_str(), "run", list.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    HostRun run;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKb = usage.ru_maxrss;
    std::istringstream lines(readAll(out));
    for (std::string line; std::getline(lines, line);)
        run.log.push_back(line);
    run.err = readAll(err);
    return run;
}

// Shared documents of every job: a 64 x 64 x 16 run of 8 volumes (1 MB of slice data, twice
// that once loaded), identity alignments, landmarks that change nothing.
void writeSharedFiles(const ScratchDir& dir) {
    writeAll(dir.file("run.fmr"),
             "FileVersion: 7\nNrOfVolumes: 8\nNrOfSlices: 16\nPrefix: \"run\"\nDataType: 1\n"
             "ResolutionX: 64\nResolutionY: 64\nInplaneResolutionX: 3\nInplaneResolutionY: 3\n"
             "SliceThickness: 3\nSliceGap: 0\n");
    writeAll(dir.file("run.stc"), std::string(64 * 64 * 16 * 8 * 2, '\1'));
    const std::string trf =
        "FileVersion: 8\nDataFormat: Matrix\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n"
        "ExtraVMRTransf: 0\nToVMRVoxelRes: 1\n";
    for (const char* name : {"run_IA.trf", "run_FA.trf", "anat_ACPC.trf"})
        writeAll(dir.file(name), trf);
    writeAll(dir.file("anat.tal"),
             "FileVersion: 1\nAC: 128 128 128\nPC: 151 128 128\nAP: 58 128 128\n"
             "PP: 230 128 128\nSP: 128 54 128\nIP: 128 170 128\nRP: 128 128 60\n"
             "LP: 128 128 196\n");
}

struct Job {
    std::string roi;
    std::string voi;
    bool complete;
};

// Jobs cycle through ten kinds: five complete (one with a region to convert, four without
// regions, so the run stays short while every complete job loads its slice data and saves a
// VOI) and five each missing a different file.
std::vector<Job> writeJobList(const ScratchDir& dir, int count, int regionEvery,
                              const std::string& listName) {
    std::ostringstream list;
    list << dir.path().string() << "/\n";
    std::vector<Job> jobs;
    for (int i = 0; i < count; ++i) {
        const std::string roi = "job" + std::to_string(i) + ".roi";
        const int kind = i % 10;
        if (kind != 8) {
            const bool region = kind == 0 && i % regionEvery == 0;
            writeAll(dir.file(roi),
                     region ? "FileVersion: 5\nNrOfTCPlots: 1\nNrOfTCs: 1\nNrOfVoxels: 1\n32 32 8\n"
                            : "FileVersion: 5\nNrOfTCPlots: 0\n");
        }
        list << "subject " << i << "\n"
             << roi << "\n"
             << (kind == 5 ? "missing.fmr" : "run.fmr") << "\n"
             << (kind == 6 ? "missing_IA.trf" : "run_IA.trf") << "\n"
             << (kind == 9 ? "" : "run_FA.trf\n") << "anat_ACPC.trf\n"
             << (kind == 7       ? "missing.tal\n"
                 : kind % 2 == 1 ? "anat.tal\n"
                                 : "");
        const std::string stem = dir.file("job" + std::to_string(i));
        jobs.push_back(
            {dir.file(roi), stem + (kind % 2 == 1 ? "_TAL_.voi" : "_ACPC_.voi"), kind < 5});
    }
    writeAll(dir.file(listName), list.str());
    return jobs;
}

// The lines that settle a job: exactly one per job, in list order.
std::vector<std::string> outcomes(const std::vector<std::string>& log) {
    std::vector<std::string> settled;
    for (const auto& line : log)
        if (line.rfind("Converted ", 0) == 0 || line.rfind("!!!! ", 0) == 0)
            settled.push_back(line);
    return settled;
}

TEST(LongRun, FiveHundredJobsAreEachAccountedForAndMemoryStaysFlat) {
#ifdef VOCELLE_SANITIZED
    const int regionEvery = 100; // a cube scan is many times slower under the sanitizers
#else
    const int regionEvery = 10;
#endif
    ScratchDir dir;
    writeSharedFiles(dir);
    const auto few = writeJobList(dir, 5, regionEvery, "few.txt");
    const auto many = writeJobList(dir, 500, regionEvery, "many.txt");

    const HostRun small = runHost(dir, dir.file("few.txt"));
    const HostRun large = runHost(dir, dir.file("many.txt"));

    for (const auto& [run, jobs] : {std::pair(&small, &few), std::pair(&large, &many)}) {
        std::vector<std::string> expected;
        int converted = 0;
        for (const auto& job : *jobs) {
            expected.push_back(job.complete
                                   ? "Converted " + job.roi
                                   : "!!!! Not enough files could be loaded to convert " + job.roi);
            converted += job.complete;
        }
        EXPECT_EQ(outcomes(run->log), expected);
        EXPECT_EQ(run->status, converted == int(jobs->size()) ? 0 : 1);
        EXPECT_NE(run->err.find(std::to_string(converted) + " converted, " +
                                std::to_string(jobs->size() - converted) + " not converted"),
                  std::string::npos)
            << run->err;
    }
    for (const auto& job : many)
        EXPECT_EQ(std::filesystem::exists(job.voi), job.complete) << job.voi;

#ifndef VOCELLE_SANITIZED
    // A sanitizer holds freed memory back on purpose, so peak memory means something only here.
    // 250 jobs each loading 2 MB of slice data would show as hundreds of megabytes.
    EXPECT_LE(large.peakKb, small.peakKb + 16 * 1024)
        << "5 jobs: " << small.peakKb << " kB, 500 jobs: " << large.peakKb << " kB";
#endif
}

} // namespace
