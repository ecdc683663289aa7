#pragma once
// What the benchmarks share: the realistic study (16 regions on the example's grid) as documents
// and as a job on disk with any number of volumes of slice data, child processes with what they
// used, wall-time settings, and a reporter that keeps each benchmark's median for a summary.

#include "tests/math/randomstudy.h"
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace benchkit {

namespace fs = std::filesystem;
using namespace vocelle;
using namespace randomstudy;

inline const std::string subject = std::string(VOCELLE_EXAMPLES_DIR) + "/study/s1/";

inline fs::path scratch() {
    static const fs::path dir = [] {
        fs::path p = fs::temp_directory_path() / ("vocelle_bench." + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

// Wall time in milliseconds, five times over; the summary takes the medians.
inline void timed(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
}

inline const Study& realistic() {
    static const Study s = realisticStudy(subject, false);
    return s;
}

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder holding the realistic study's documents and jobs.txt; its FMR says `volumes` and its
// STC file holds that many 64 x 64 x 30 int16 volumes of noise.
inline std::string studyFolder(int volumes) {
    const fs::path dir = scratch() / ("study" + std::to_string(volumes));
    if (fs::exists(dir / "jobs.txt")) return dir.string();
    fs::create_directories(dir);
    for (const char* name : {"run1_IA.trf", "run1_FA.trf", "anat_ACPC.trf", "anat.tal"})
        fs::copy_file(subject + name, dir / name);
    std::string fmr = fileText(subject + "run1.fmr");
    const size_t at = fmr.find("NrOfVolumes:");
    const size_t value = fmr.find_first_of("0123456789", at);
    fmr.replace(value, fmr.find('\n', value) - value, std::to_string(volumes));
    std::ofstream(dir / "run1.fmr", std::ios::binary) << fmr;
    const FMR header((dir / "run1.fmr").string(), false);
    std::vector<char> stc(static_cast<size_t>(header.ResolutionX.value()) *
                          header.ResolutionY.value() * header.NrOfSlices.value() * volumes * 2);
    std::mt19937 random(7);
    for (char& b : stc)
        b = static_cast<char>(random());
    std::ofstream(dir / "run1.stc", std::ios::binary)
        .write(stc.data(), static_cast<std::streamsize>(stc.size()));
    ROI roi = realistic().roi;
    roi.SaveAs((dir / "run1.roi").string());
    std::ofstream(dir / "jobs.txt")
        << "./\nrun1.roi\nrun1.fmr\nrun1_IA.trf\nrun1_FA.trf\nanat_ACPC.trf\nanat.tal\n";
    return dir.string();
}

inline std::string binDir() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

// What a child process used: its processor time (user and system) and peak resident memory.
struct ChildUse {
    double cpuMs = 0;
    long peakKb = 0;
};

// Runs argv in folder cwd with its output discarded; returns the exit status (-1 when it could
// not run) and adds what the child used to `use`.
inline int runChild(const std::vector<std::string>& argv, const std::string& cwd, ChildUse& use) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(127);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return -1;
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    use.cpuMs += ms(usage.ru_utime) + ms(usage.ru_stime);
    use.peakKb = std::max(use.peakKb, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Keeps the median time (milliseconds) and the counters of every benchmark for the summary.
class Collector : public benchmark::ConsoleReporter {
  public:
    struct Result {
        double ms = 0;    // wall time
        double cpuMs = 0; // processor time of this process
        std::map<std::string, double> counters;
    };
    std::map<std::string, Result> results;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!single && !(run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"))
                continue;
            Result r;
            r.ms = run.GetAdjustedRealTime();
            r.cpuMs = run.GetAdjustedCPUTime();
            for (const auto& c : run.counters)
                r.counters[c.first] = c.second.value;
            const std::string& args = run.run_name.args;
            results[run.run_name.function_name + (args.empty() ? "" : "/" + args)] = r;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const Result* find(const std::string& name) const {
        const auto it = results.find(name);
        return it == results.end() ? nullptr : &it->second;
    }
};

inline const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

// Runs the benchmarks the command line selects, prints the summary of their medians and removes
// the scratch folder.
inline int runBenchmarks(int argc, char** argv, void (*summary)(const Collector&)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    summary(collector);
    std::error_code ignored;
    fs::remove_all(scratch(), ignored);
    return 0;
}

} // namespace benchkit
