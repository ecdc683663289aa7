// The ROI conversion and the VOI save, side by side in one run, with a summary at the end:
// - the literal conversion (one full cube scan per region) against the engine, 16 regions on
//   the example study's 64 x 64 x 30 grid;
// - the engine for 1, 4, 16 and 64 regions holding the same 64 blobs between them (the cost
//   should follow the voxels kept, not the number of regions), and for 1 to 64 blobs of their
//   own (the output grows with the count);
// - saving a VOI of one million voxels against plain writes of the same bytes;
// - a whole `vocelle run` of the bundled example study;
// - peak memory of one job (documents, conversion, save), literal and engine, each in a fresh
//   process.
//
//   bench_conversion [google benchmark options]

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/conversionengine.h>
#include "tests/math/literal_conversion.h"
#include "tests/math/randomstudy.h"
#include <vocelle/text/safesave.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
using namespace randomstudy;

const std::string examples = VOCELLE_EXAMPLES_DIR;
const std::string subject = examples + "/study/s1/";

// The documents of the example's subject 1, with Talairach landmarks.
struct Documents {
    FMR fmr{subject + "run1.fmr", false};
    TRF ia{subject + "run1_IA.trf"};
    TRF fa{subject + "run1_FA.trf"};
    TRF acpc{subject + "anat_ACPC.trf"};
    TAL tal{subject + "anat.tal"};
};

const Documents& documents() {
    static const Documents d;
    return d;
}

// Blobs of radius 3 (123 functional voxels) at seeded places in the grid.
std::vector<std::vector<glm::tvec3<int>>> blobs(int count) {
    const FMR& f = documents().fmr;
    Random rnd(42);
    std::vector<std::vector<glm::tvec3<int>>> all;
    for (int i = 0; i < count; ++i)
        all.push_back(
            blob(rnd, f.ResolutionX.value(), f.ResolutionY.value(), f.NrOfSlices.value(), 3));
    return all;
}

// The blobs shared out over `regions` regions: blob k goes to region k mod regions.
ROI studyRoi(int nBlobs, int regions) {
    std::vector<std::vector<glm::tvec3<int>>> voxels(static_cast<size_t>(regions));
    const auto all = blobs(nBlobs);
    for (size_t k = 0; k < all.size(); ++k) {
        auto& to = voxels[k % static_cast<size_t>(regions)];
        to.insert(to.end(), all[k].begin(), all[k].end());
    }
    return makeRoi(std::move(voxels));
}

// The literal conversion's voxel lists as a VOI, so that both ways save the same document.
VOI literalVoi(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
               const TAL& tal) {
    VOI voi;
    for (auto& voxels : literalConversion(roi, fmr, ia, fa, acpc, tal)) {
        single_VOI entry;
        entry.NrOfVoxels.set("NrOfVoxels", static_cast<int>(voxels.size()), 12);
        entry.voxels = std::move(voxels);
        voi.vois.push_back(std::move(entry));
    }
    voi.NrOfVOIs.value() = static_cast<int>(voi.vois.size());
    return voi;
}

long long kept(const VOI& voi) {
    long long n = 0;
    for (const auto& e : voi.vois)
        n += static_cast<long long>(e.voxels.size());
    return n;
}

void BM_Literal16Regions(benchmark::State& state) {
    const Documents& d = documents();
    const ROI roi = studyRoi(16, 16);
    long long n = 0;
    for (auto _ : state)
        n = kept(literalVoi(roi, d.fmr, d.ia, d.fa, d.acpc, d.tal));
    state.counters["voxels kept"] = static_cast<double>(n);
}
BENCHMARK(BM_Literal16Regions)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Fast16Regions(benchmark::State& state) {
    const Documents& d = documents();
    const ROI roi = studyRoi(16, 16);
    long long n = 0;
    for (auto _ : state)
        n = kept(convertROIToVOI(roi, d.fmr, d.ia, d.fa, d.acpc, d.tal));
    state.counters["voxels kept"] = static_cast<double>(n);
}
BENCHMARK(BM_Fast16Regions)->Unit(benchmark::kMillisecond);

// The same 64 blobs in 1, 4, 16 or 64 regions.
void BM_FastSameVoxelsInRegions(benchmark::State& state) {
    const Documents& d = documents();
    const ROI roi = studyRoi(64, static_cast<int>(state.range(0)));
    ConversionStats stats;
    long long n = 0;
    for (auto _ : state)
        n = kept(convertROIToVOI(roi, d.fmr, d.ia, d.fa, d.acpc, d.tal, &stats));
    state.counters["voxels kept"] = static_cast<double>(n);
    state.counters["visited"] = static_cast<double>(stats.visited);
}
BENCHMARK(BM_FastSameVoxelsInRegions)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);

// 1, 4, 16 or 64 regions of one blob each: more regions, more output.
void BM_FastBlobPerRegion(benchmark::State& state) {
    const Documents& d = documents();
    const int n = static_cast<int>(state.range(0));
    const ROI roi = studyRoi(n, n);
    long long k = 0;
    for (auto _ : state)
        k = kept(convertROIToVOI(roi, d.fmr, d.ia, d.fa, d.acpc, d.tal));
    state.counters["voxels kept"] = static_cast<double>(k);
}
BENCHMARK(BM_FastBlobPerRegion)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);

fs::path scratch() {
    static const fs::path dir = [] {
        fs::path p = fs::temp_directory_path() / ("vocelle_bench." + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

// Four entries of 250 000 voxels in Talairach convention.
VOI millionVoxels() {
    VOI voi;
    for (int e = 0; e < 4; ++e) {
        single_VOI entry;
        entry.NameOfVOI.set("NameOfVOI", "VOI " + std::to_string(e + 1), 12);
        for (int k = 0; k < 250000; ++k)
            entry.voxels.emplace_back(128 - (k / 4096) % 256, 128 - k % 64, 128 - (k / 64) % 64);
        entry.NrOfVoxels.set("NrOfVoxels", 250000, 12);
        voi.vois.push_back(std::move(entry));
    }
    voi.NrOfVOIs.value() = 4;
    return voi;
}

void BM_SaveVOIMillionVoxels(benchmark::State& state) {
    VOI voi = millionVoxels();
    voi.fileName = (scratch() / "saved.voi").string();
    for (auto _ : state)
        voi.Save();
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(voi.fileName)));
}
BENCHMARK(BM_SaveVOIMillionVoxels)->Unit(benchmark::kMillisecond);

std::string millionVoxelText() {
    std::ostringstream text;
    millionVoxels().PrintTo(text, true);
    return text.str();
}

// The same bytes: arg 0 written and closed; arg 1 also flushed to disk; arg 2 through the same
// replacing save as VOI::Save (temporary file, flush to disk, rename), so that only the
// formatting of the voxel lists differs.
void BM_PlainWriteSameBytes(benchmark::State& state) {
    const std::string bytes = millionVoxelText();
    const std::string path = (scratch() / "plain.voi").string();
    for (auto _ : state) {
        if (state.range(0) == 2) {
            saveReplacing(path, [&](std::ostream& out) {
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            });
            continue;
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (state.range(0) == 1) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::fsync(fd);
            ::close(fd);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_PlainWriteSameBytes)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgNames({"how"})
    ->Unit(benchmark::kMillisecond);

std::string binDir() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

// Runs argv in folder `cwd`; returns the exit status (-1 when it could not run) and, in
// `output`, what it wrote to its standard output (its standard error is discarded).
int runChild(const std::vector<std::string>& argv, const std::string& cwd, std::string& output) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(pipeFds[1], 1);
        ::dup2(null, 2);
        ::close(pipeFds[0]);
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(127);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    output.clear();
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_VocelleRunExample(benchmark::State& state) {
    const std::string vocelle = binDir() + "/vocelle";
    if (!fs::exists(vocelle)) {
        state.SkipWithError("vocelle is not built beside the benchmark");
        return;
    }
    const fs::path study = scratch() / "study";
    std::string output;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(study);
        fs::copy(examples + "/study", study, fs::copy_options::recursive);
        state.ResumeTiming();
        // Status 1: the example's third job is missing files on purpose.
        if (runChild({vocelle, "run", "jobs.txt"}, study.string(), output) != 1) {
            state.SkipWithError("vocelle run did not end as expected");
            return;
        }
    }
}
BENCHMARK(BM_VocelleRunExample)->Unit(benchmark::kMillisecond)->Iterations(3);

ROI wholeGridRoi() {
    const FMR& f = documents().fmr;
    std::vector<glm::tvec3<int>> all;
    for (int z = 0; z < f.NrOfSlices.value(); ++z)
        for (int y = 0; y < f.ResolutionY.value(); ++y)
            for (int x = 0; x < f.ResolutionX.value(); ++x)
                all.emplace_back(x, y, z);
    return makeRoi({std::move(all)});
}

ROI memoryStudy(const std::string& study) {
    return study == "grid" ? wholeGridRoi() : studyRoi(16, 16);
}

long long keptBy(const std::string& study) {
    const Documents& d = documents();
    return kept(convertROIToVOI(memoryStudy(study), d.fmr, d.ia, d.fa, d.acpc, d.tal));
}

// Peak memory of one job, each way, in a fresh process (see runJobOnce): the 16-region study,
// and one region holding the whole grid (the largest output the grid allows).
void BM_PeakMemory(benchmark::State& state) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string study = state.range(0) == 0 ? "blobs" : "grid";
    const std::string voi = (scratch() / "job.voi").string();
    const char* ways[] = {"none", "literal", "fast"};
    double mb[3] = {0, 0, 0};
    for (auto _ : state) {
        for (int w = 0; w < 3; ++w) {
            std::string output;
            if (runChild({self, "--job-once", ways[w], study, voi}, "", output) != 0) {
                state.SkipWithError("the job process failed");
                return;
            }
            mb[w] = std::stod(output) / 1024.0;
        }
    }
    state.counters["documents MB"] = mb[0];
    state.counters["literal MB"] = mb[1];
    state.counters["fast MB"] = mb[2];
}
BENCHMARK(BM_PeakMemory)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"whole_grid"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Keeps every run's time per iteration (milliseconds) and counters for the summary.
class Collector : public benchmark::ConsoleReporter {
public:
    struct Result {
        double ms = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Result> results;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            Result r;
            r.ms = run.real_accumulated_time * 1e3 / static_cast<double>(run.iterations);
            for (const auto& c : run.counters)
                r.counters[c.first] = c.second.value;
            results[run.benchmark_name()] = r;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const Result* find(const std::string& name) const {
        const auto it = results.find(name);
        return it == results.end() ? nullptr : &it->second;
    }
};

void printSummary(const Collector& c) {
    std::printf("\nSummary (%u cores)\n", std::thread::hardware_concurrency());
    const auto* literal = c.find("BM_Literal16Regions/iterations:1");
    const auto* fast = c.find("BM_Fast16Regions");
    if (literal && fast)
        std::printf("  16 regions, 64 x 64 x 30 grid: literal %.1f ms, engine %.3f ms: %.0f times "
                    "faster (target at least 100)\n",
                    literal->ms, fast->ms, literal->ms / fast->ms);
    const auto* one = c.find("BM_FastSameVoxelsInRegions/1");
    const auto* sixtyFour = c.find("BM_FastSameVoxelsInRegions/64");
    if (one && sixtyFour) {
        std::printf("  engine, the same 64 blobs in 1, 4, 16, 64 regions:");
        for (const char* n : {"1", "4", "16", "64"})
            if (const auto* r = c.find(std::string("BM_FastSameVoxelsInRegions/") + n))
                std::printf(" %.3f", r->ms);
        std::printf(" ms: 64 regions cost %.2f times 1 region (target at most 2)\n",
                    sixtyFour->ms / one->ms);
    }
    if (c.find("BM_FastBlobPerRegion/1")) {
        std::printf("  engine, 1, 4, 16, 64 regions of one blob each:");
        for (const char* n : {"1", "4", "16", "64"})
            if (const auto* r = c.find(std::string("BM_FastBlobPerRegion/") + n))
                std::printf(" %.3f ms (%.0f voxels)", r->ms, r->counters.at("voxels kept"));
        std::printf("\n");
    }
    const auto* save = c.find("BM_SaveVOIMillionVoxels");
    const auto* plain = c.find("BM_PlainWriteSameBytes/how:0");
    const auto* synced = c.find("BM_PlainWriteSameBytes/how:1");
    const auto* replacing = c.find("BM_PlainWriteSameBytes/how:2");
    if (save && plain && synced && replacing)
        std::printf("  VOI save of 1 000 000 voxels: %.1f ms. The same bytes: plain write %.1f ms "
                    "(%.2f times), plain write flushed to disk as the save does %.1f ms (%.2f "
                    "times), through the same replacing save %.1f ms (%.2f times); target at most "
                    "2\n",
                    save->ms, plain->ms, save->ms / plain->ms, synced->ms, save->ms / synced->ms,
                    replacing->ms, save->ms / replacing->ms);
    if (const auto* run = c.find("BM_VocelleRunExample/iterations:3"))
        std::printf("  vocelle run of the example study (two conversions of 5 regions, one job "
                    "reported): %.1f ms\n",
                    run->ms);
    const FMR& f = documents().fmr;
    const double maskMB =
        4.0 * f.ResolutionX.value() * f.ResolutionY.value() * f.NrOfSlices.value() / 1048576.0;
    for (const char* which : {"0", "1"}) {
        const auto* mem =
            c.find(std::string("BM_PeakMemory/whole_grid:") + which + "/iterations:1");
        if (!mem) continue;
        std::printf("  peak memory of one job with %s: documents alone %.1f MB, literal %.1f MB, "
                    "engine %.1f MB (mask %.2f MB, output %.1f MB of voxels)\n",
                    which[0] == '0' ? "the 16 regions" : "one region holding the whole grid",
                    mem->counters.at("documents MB"), mem->counters.at("literal MB"),
                    mem->counters.at("fast MB"), maskMB,
                    static_cast<double>(keptBy(which[0] == '0' ? "blobs" : "grid")) * 12.0 /
                        1048576.0);
    }
}

// The process's peak resident memory so far, in kilobytes (VmHWM of /proc/self/status).
long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    return -1;
}

// --job-once HOW STUDY VOI, HOW literal, fast or none, STUDY blobs or grid: one job as the
// conversion run does it (documents with the slice data, conversion, save), then the peak
// resident memory on standard output.
int runJobOnce(const std::string& how, const std::string& study, const std::string& voiName) {
    const ROI roi = memoryStudy(study);
    const FMR fmr(subject + "run1.fmr", true);
    const TRF ia(subject + "run1_IA.trf");
    const TRF fa(subject + "run1_FA.trf");
    const TRF acpc(subject + "anat_ACPC.trf");
    const TAL tal(subject + "anat.tal");
    if (how != "none") {
        VOI voi = how == "literal" ? literalVoi(roi, fmr, ia, fa, acpc, tal)
                                   : convertROIToVOI(roi, fmr, ia, fa, acpc, tal);
        voi.SaveAs(voiName);
    }
    std::printf("%ld\n", peakResidentKb());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--job-once") == 0)
        return runJobOnce(argv[2], argv[3], argv[4]);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    printSummary(collector);
    std::error_code ignored;
    fs::remove_all(scratch(), ignored);
    return 0;
}
