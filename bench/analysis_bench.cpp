// Measuring regions against the work it cannot avoid, side by side in one run: a 300-volume
// int16 run of 64 x 64 x 30 with the realistic study's 16 regions.
// - the floor: reading the bytes of the slices the regions touch, one read per slice, from a warm
//   cache;
// - the whole `vocelle timecourse` of all regions, table written (and the same work in process);
// - the whole `vocelle glm` of a 4-predictor design, table written;
// - the script a researcher would write with numpy (bench/timecourse_numpy.py: np.fromfile,
//   reshape, mean over a mask per slice), the whole process.
// Targets: time courses at most 1.5 times the floor and at least 10 times faster than the
// script; the fit at most 1.2 times the time courses.
//
//   bench_analysis [google benchmark options]

#include "bench/benchkit.h"
#include <vocelle/analysis/glm.h>
#include <vocelle/analysis/measure.h>
#include <vocelle/analysis/tables.h>
#include <vocelle/analysis/timecourse.h>
#include <vocelle/formats/mySDM.h>

#include <benchmark/benchmark.h>

#include <set>
#include <sstream>
#include <thread>

using namespace benchkit;

namespace {

const int volumes = 300;

// The study on disk with a design of two alternating blocks of 10 volumes, a drift and the
// constant.
const std::string& folder() {
    static const std::string dir = [] {
        const std::string d = studyFolder(volumes);
        SDM sdm;
        sdm.NrOfPredictors.value() = 4;
        sdm.NrOfDataPoints.value() = volumes;
        sdm.values.assign(4, std::vector<float>(volumes));
        for (int t = 0; t < volumes; ++t) {
            sdm.values[0][size_t(t)] = t % 40 < 10 ? 1.0f : 0.0f;
            sdm.values[1][size_t(t)] = t % 40 >= 20 && t % 40 < 30 ? 1.0f : 0.0f;
            sdm.values[2][size_t(t)] = static_cast<float>(t - volumes / 2) / volumes;
            sdm.values[3][size_t(t)] = 1.0f;
        }
        sdm.predictorNames = {"a", "b", "drift", "constant"};
        sdm.red = sdm.green = sdm.blue = {0, 0, 0, 0};
        sdm.SaveAs(d + "/run1.sdm");
        return d;
    }();
    return dir;
}

RunFiles files() { return {folder() + "/run1.roi", folder() + "/run1.fmr", "", "", "", ""}; }

void BM_Floor(benchmark::State& state) {
    const RunRegions run(files());
    std::set<long long> slices;
    const long long image = 64 * 64;
    for (const Region& r : run.regions)
        for (long long v : r.voxels) slices.insert(v / image);
    const size_t sliceBytes = size_t(image) * volumes * 2;
    std::vector<char> buffer(sliceBytes);
    for (auto _ : state) {
        const int fd = ::open((folder() + "/run1.stc").c_str(), O_RDONLY);
        for (long long s : slices)
            if (::pread(fd, buffer.data(), sliceBytes, static_cast<off_t>(s * sliceBytes)) !=
                static_cast<ssize_t>(sliceBytes))
                state.SkipWithError("short read");
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["slices"] = static_cast<double>(slices.size());
}
BENCHMARK(BM_Floor)->Apply(timed);

// The whole command, as a user runs it: arguments, e.g. {"timecourse"} or {"glm", "--sdm", ...}.
void command(benchmark::State& state, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {binDir() + "/vocelle"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    for (const char* file : {"run1.roi", "run1.fmr"}) argv.push_back(file); // table to /dev/null
    ChildUse use;
    for (auto _ : state)
        if (runChild(argv, folder(), use) != 0) {
            state.SkipWithError((arguments[0] + " failed").c_str());
            return;
        }
    state.counters["child cpu ms"] = benchmark::Counter(use.cpuMs, benchmark::Counter::kAvgIterations);
}

// What any command costs before it does its work: the program started, linked and ended.
void BM_VocelleStart(benchmark::State& state) {
    ChildUse use;
    for (auto _ : state) runChild({binDir() + "/vocelle", "--version"}, "", use);
}
BENCHMARK(BM_VocelleStart)->Apply(timed);

void BM_TimeCourses(benchmark::State& state) { command(state, {"timecourse"}); }
BENCHMARK(BM_TimeCourses)->Apply(timed);

void BM_Fit(benchmark::State& state) { command(state, {"glm", "--sdm", "run1.sdm"}); }
BENCHMARK(BM_Fit)->Apply(timed);

// The same work in this process, without starting a program: what the library costs.
void BM_TimeCoursesInProcess(benchmark::State& state) {
    for (auto _ : state) {
        const RunRegions run(files());
        std::ostringstream table;
        writeTimeCourses(table, run.regions, measureTimeCourses(run.fmr, run.regions));
        benchmark::DoNotOptimize(table.str().data());
    }
}
BENCHMARK(BM_TimeCoursesInProcess)->Apply(timed);

void BM_NumpyScript(benchmark::State& state) {
    ChildUse use;
    for (auto _ : state)
        if (runChild({"/usr/bin/python3", VOCELLE_BENCH_DIR "/timecourse_numpy.py", folder()}, "",
                     use) != 0) {
            state.SkipWithError("the numpy script failed");
            return;
        }
}
BENCHMARK(BM_NumpyScript)->Apply(timed);

void printSummary(const Collector& c) {
    std::printf("\nSummary, medians (%u cores)\n", std::thread::hardware_concurrency());
    const auto* floor = c.find("BM_Floor");
    const auto* start = c.find("BM_VocelleStart");
    const auto* courses = c.find("BM_TimeCourses");
    const auto* fit = c.find("BM_Fit");
    const auto* inProcess = c.find("BM_TimeCoursesInProcess");
    const auto* numpy = c.find("BM_NumpyScript");
    if (!floor || !start || !courses || !fit || !inProcess || !numpy) return;
    std::printf("  300 volumes of 64 x 64 x 30 int16, 16 regions on %.0f slices:\n"
                "    floor %.2f ms, vocelle timecourse %.2f ms, vocelle glm %.2f ms, numpy script "
                "%.1f ms\n"
                "    time courses / floor = %.2f (target at most 1.5: %s)\n"
                "    numpy script / time courses = %.1f (target at least 10: %s)\n"
                "    fit / time courses = %.2f (target at most 1.2: %s)\n"
                "  beside them: the program's start alone (vocelle --version) %.2f ms, so time "
                "courses / (start + floor) = %.2f; the time courses in process %.2f ms, %.2f times "
                "the floor\n",
                floor->counters.at("slices"), floor->ms, courses->ms, fit->ms, numpy->ms,
                courses->ms / floor->ms, verdict(courses->ms <= 1.5 * floor->ms),
                numpy->ms / courses->ms, verdict(numpy->ms >= 10 * courses->ms),
                fit->ms / courses->ms, verdict(fit->ms <= 1.2 * courses->ms), start->ms,
                courses->ms / (start->ms + floor->ms), inProcess->ms, inProcess->ms / floor->ms);
}

} // namespace

int main(int argc, char** argv) { return runBenchmarks(argc, argv, printSummary); }
