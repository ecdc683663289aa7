// What a conversion job costs against the work it cannot avoid, side by side in one run, with a
// summary of medians at the end:
// - the realistic study (16 regions on the example's 64 x 64 x 30 grid of 3 mm voxels, about
//   275 000 kept voxels): the whole `vocelle run` of it, `vocelle info` (start and plug-in load)
//   and the replacing save of the same VOI, and run / (info + save);
// - the same job with 300 volumes of slice data against 2: time and peak memory of the run;
// - the engine alone on that study and on the same regions on a 128 x 128 x 60 grid of 1.5 mm
//   voxels, the literal scan once for scale, and the same 64 blobs in 1 to 64 regions (the cost
//   should follow the voxels kept, not the number of regions);
// - saving a VOI of one million voxels against plain writes of the same bytes to a new file.
//
//   bench_conversion [google benchmark options]

#include "bench/benchkit.h"
#include "tests/math/literal_conversion.h"
#include "tests/math/randomstudy.h"
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/conversionengine.h>
#include <vocelle/text/safesave.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
using namespace randomstudy;
using namespace benchkit;

long long kept(const VOI& voi) {
    long long n = 0;
    for (const auto& e : voi.vois)
        n += static_cast<long long>(e.voxels.size());
    return n;
}

const Study& fine() {
    static const Study s = realisticStudy(subject, true);
    return s;
}

VOI convert(const Study& s) {
    return convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
}

// ---- The realistic study as a job on disk, with 2 or 300 volumes of slice data.

// Arg: the number of volumes of slice data.
void BM_VocelleRun(benchmark::State& state) {
    const std::string vocelle = binDir() + "/vocelle";
    const std::string dir = studyFolder(static_cast<int>(state.range(0)));
    ChildUse use;
    for (auto _ : state)
        if (runChild({vocelle, "run", "jobs.txt"}, dir, use) != 0) {
            state.SkipWithError("vocelle run did not convert the study");
            return;
        }
    state.counters["child cpu ms"] =
        benchmark::Counter(use.cpuMs, benchmark::Counter::kAvgIterations);
    state.counters["peak MiB"] = static_cast<double>(use.peakKb) / 1024.0;
}
BENCHMARK(BM_VocelleRun)->Arg(2)->Arg(300)->ArgNames({"volumes"})->Apply(timed);

void BM_VocelleInfo(benchmark::State& state) {
    const std::string vocelle = binDir() + "/vocelle";
    ChildUse use;
    for (auto _ : state)
        if (runChild({vocelle, "info"}, "", use) != 0) {
            state.SkipWithError("vocelle info failed");
            return;
        }
    state.counters["child cpu ms"] =
        benchmark::Counter(use.cpuMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_VocelleInfo)->Apply(timed);

// The realistic study's VOI formatted and put in place of the one before, as the run does.
void BM_SaveRealisticVOI(benchmark::State& state) {
    VOI voi = convert(realistic());
    voi.fileName = (scratch() / "realistic.voi").string();
    for (auto _ : state)
        voi.Save();
    state.counters["kept"] = static_cast<double>(kept(voi));
    state.counters["MB"] = static_cast<double>(fs::file_size(voi.fileName)) / 1e6;
}
BENCHMARK(BM_SaveRealisticVOI)->Apply(timed);

// ---- The engine alone.

// Arg warm 1: each conversion's output goes to memory the process already holds; warm 0: to
// memory it touches first, as in a fresh `vocelle run` (freed memory goes back to the system
// between conversions).
void engine(benchmark::State& state, const Study& s) {
    const bool warm = state.range(0) == 1;
    VOI last;
    for (auto _ : state) {
        if (!warm) {
            state.PauseTiming();
            last = VOI();
            ::malloc_trim(0);
            state.ResumeTiming();
        }
        last = convert(s);
    }
    state.counters["kept"] = static_cast<double>(kept(last));
}

void BM_EngineRealistic(benchmark::State& state) {
    engine(state, realistic());
}
BENCHMARK(BM_EngineRealistic)->Arg(1)->Arg(0)->ArgNames({"warm"})->Apply(timed);

void BM_EngineFineGrid(benchmark::State& state) {
    engine(state, fine());
}
BENCHMARK(BM_EngineFineGrid)->Arg(1)->Arg(0)->ArgNames({"warm"})->Apply(timed);

void BM_LiteralRealistic(benchmark::State& state) {
    const Study& s = realistic();
    for (auto _ : state)
        benchmark::DoNotOptimize(literalConversion(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal));
}
BENCHMARK(BM_LiteralRealistic)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same 64 blobs of radius 3 on the example's documents, blob k in region k mod `regions`.
void BM_EngineSameVoxelsInRegions(benchmark::State& state) {
    Study s = realistic();
    const int regions = static_cast<int>(state.range(0));
    Random rnd(42);
    std::vector<Voxels> voxels(static_cast<size_t>(regions));
    for (int k = 0; k < 64; ++k) {
        const Voxels b = blob(rnd, s.fmr.ResolutionX.value(), s.fmr.ResolutionY.value(),
                              s.fmr.NrOfSlices.value(), 3);
        auto& to = voxels[static_cast<size_t>(k % regions)];
        to.insert(to.end(), b.begin(), b.end());
    }
    s.roi = makeRoi(std::move(voxels));
    VOI last;
    for (auto _ : state)
        last = convert(s);
    state.counters["kept"] = static_cast<double>(kept(last));
}
BENCHMARK(BM_EngineSameVoxelsInRegions)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Apply(timed);

// ---- Saving: a VOI of one million voxels against plain writes of the same bytes.

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
}
BENCHMARK(BM_SaveVOIMillionVoxels)->Apply(timed);

// The same bytes, always to a new file as the save writes one: arg 0 written and closed; arg 1
// also flushed to disk; arg 2 through the same replacing save as VOI::Save (temporary file,
// flush to disk, rename), so that only the formatting of the voxel lists differs.
void BM_PlainWriteSameBytes(benchmark::State& state) {
    std::ostringstream text;
    millionVoxels().PrintTo(text, true);
    const std::string bytes = text.str();
    const std::string path = (scratch() / "plain.voi").string();
    for (auto _ : state) {
        if (state.range(0) == 2) {
            saveReplacing(path, [&](std::ostream& out) {
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            });
            continue;
        }
        ::unlink(path.c_str());
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (state.range(0) == 1) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::fsync(fd);
            ::close(fd);
        }
    }
}
BENCHMARK(BM_PlainWriteSameBytes)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"how"})->Apply(timed);

void printSummary(const Collector& c) {
    std::printf("\nSummary, medians (%u cores)\n", std::thread::hardware_concurrency());
    const auto* run = c.find("BM_VocelleRun/volumes:2");
    const auto* info = c.find("BM_VocelleInfo");
    const auto* save = c.find("BM_SaveRealisticVOI");
    if (run && info && save) {
        const double ratio = run->ms / (info->ms + save->ms);
        const double runCpu = run->counters.at("child cpu ms");
        const double infoCpu = info->counters.at("child cpu ms");
        std::printf("  realistic study (16 regions, 64 x 64 x 30 grid of 3 mm voxels, %.0f voxels "
                    "kept, VOI of %.1f MB):\n"
                    "    vocelle run %.2f ms, vocelle info %.2f ms, replacing save of the VOI "
                    "%.2f ms\n"
                    "    run / (info + save) = %.2f (target at most 1.6: %s)\n"
                    "    processor time alone: run %.2f ms, info %.2f ms, save %.2f ms: %.2f\n",
                    save->counters.at("kept"), save->counters.at("MB"), run->ms, info->ms, save->ms,
                    ratio, verdict(ratio <= 1.6), runCpu, infoCpu, save->cpuMs,
                    runCpu / (infoCpu + save->cpuMs));
    }
    const auto* many = c.find("BM_VocelleRun/volumes:300");
    if (run && many) {
        const double slower = many->ms / run->ms - 1.0;
        const double more = many->counters.at("peak MiB") - run->counters.at("peak MiB");
        std::printf("  the same job with 300 volumes of slice data: %.2f ms, peak %.1f MiB; with 2 "
                    "volumes: %.2f ms, peak %.1f MiB\n"
                    "    time %+.0f%% (target at most 10%%: %s), memory %+.1f MiB (target at most "
                    "5: %s)\n",
                    many->ms, many->counters.at("peak MiB"), run->ms, run->counters.at("peak MiB"),
                    100.0 * slower, verdict(slower <= 0.10), more, verdict(more <= 5.0));
    }
    const auto* engine = c.find("BM_EngineRealistic/warm:1");
    const auto* engineCold = c.find("BM_EngineRealistic/warm:0");
    const auto* fineGrid = c.find("BM_EngineFineGrid/warm:1");
    const auto* fineCold = c.find("BM_EngineFineGrid/warm:0");
    const auto* literal = c.find("BM_LiteralRealistic");
    if (engine && engineCold && fineGrid && fineCold)
        std::printf("  engine alone, output to memory already held (first touched): realistic "
                    "study %.2f ms (%.2f ms), %.0f voxels kept; the same regions on a 128 x 128 x "
                    "60 grid of 1.5 mm voxels %.2f ms (%.2f ms), %.0f kept\n",
                    engine->ms, engineCold->ms, engine->counters.at("kept"), fineGrid->ms,
                    fineCold->ms, fineGrid->counters.at("kept"));
    if (engine && literal)
        std::printf("  literal scan of the realistic study %.0f ms: %.0f times the engine\n",
                    literal->ms, literal->ms / engine->ms);
    const auto* one = c.find("BM_EngineSameVoxelsInRegions/1");
    const auto* sixtyFour = c.find("BM_EngineSameVoxelsInRegions/64");
    if (one && sixtyFour) {
        std::printf("  engine, the same 64 blobs in 1, 4, 16, 64 regions:");
        for (const char* n : {"1", "4", "16", "64"})
            if (const auto* r = c.find(std::string("BM_EngineSameVoxelsInRegions/") + n))
                std::printf(" %.3f", r->ms);
        std::printf(" ms: 64 regions cost %.2f times 1 region (target at most 2: %s)\n",
                    sixtyFour->ms / one->ms, verdict(sixtyFour->ms / one->ms <= 2.0));
    }
    const auto* million = c.find("BM_SaveVOIMillionVoxels");
    const auto* plain = c.find("BM_PlainWriteSameBytes/how:0");
    const auto* synced = c.find("BM_PlainWriteSameBytes/how:1");
    const auto* replacing = c.find("BM_PlainWriteSameBytes/how:2");
    if (million && plain && synced && replacing)
        std::printf("  VOI save of 1 000 000 voxels: %.1f ms. The same bytes to a new file: plain "
                    "write %.1f ms (%.2f times), flushed to disk as the save does %.1f ms (%.2f "
                    "times), through the same replacing save %.1f ms (%.2f times; target at most "
                    "2: %s)\n",
                    million->ms, plain->ms, million->ms / plain->ms, synced->ms,
                    million->ms / synced->ms, replacing->ms, million->ms / replacing->ms,
                    verdict(million->ms / replacing->ms <= 2.0));
}

} // namespace

int main(int argc, char** argv) { return runBenchmarks(argc, argv, printSummary); }
