// Loading and saving a 64 x 64 x 30 run of 300 int16 volumes (73.7 MB of STC data), against a
// plain read and a plain write of the same bytes in the same run. Ratios are printed at the end.

#include <vocelle/formats/myFMR.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace vocelle;

namespace {

constexpr int kX = 64, kY = 64, kSlices = 30, kVolumes = 300;

struct Fixture {
    std::filesystem::path dir;
    std::string fmr;
    std::string stc;
    std::string plainCopy;
    std::vector<char> bytes;

    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "stcbench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        dir = pattern;
        fmr = (dir / "run.fmr").string();
        stc = (dir / "run.stc").string();
        plainCopy = (dir / "plain.bin").string();
        std::ofstream(fmr) << "\nFileVersion:          7\nNrOfVolumes:          " << kVolumes
                           << "\nNrOfSlices:           " << kSlices
                           << "\nPrefix:               \"run\"\nDataType:             1"
                           << "\nResolutionX:          " << kX
                           << "\nResolutionY:          " << kY << "\n";
        bytes.resize(size_t(kX) * kY * kSlices * kVolumes * 2);
        std::mt19937 random(7);
        for (char& b : bytes) b = static_cast<char>(random());
        std::ofstream(stc, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    ~Fixture() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_PlainRead(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        std::ifstream in(f.stc, std::ios::binary);
        std::unique_ptr<char[]> buffer(new char[f.bytes.size()]);
        in.read(buffer.get(), std::streamsize(f.bytes.size()));
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

void BM_LoadSTC(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        FMR fmr(f.fmr, true);
        benchmark::DoNotOptimize(fmr.stcVolumes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

// Only the output of a load: 300 new zeroed float volumes, each page touched once. Twice the
// bytes of the file, so this alone sets a floor for the load well above the plain read.
void BM_NewVolumes(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Volume<float>> volumes;
        volumes.reserve(kVolumes);
        for (int t = 0; t < kVolumes; ++t) {
            volumes.emplace_back(kX, kY, kSlices);
            float* data = volumes.back().data();
            for (int i = 0; i < volumes.back().size(); i += 1024) data[i] = 1;
        }
        benchmark::DoNotOptimize(volumes.data());
    }
}

// Always to a new file, as the save writes one.
void BM_PlainWrite(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        ::unlink(f.plainCopy.c_str());
        std::ofstream out(f.plainCopy, std::ios::binary);
        out.write(f.bytes.data(), std::streamsize(f.bytes.size()));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

// The same write flushed to disk, as the save does before it replaces a file.
void BM_PlainWriteSynced(benchmark::State& state) {
    const Fixture& f = fixture();
    for (auto _ : state) {
        ::unlink(f.plainCopy.c_str());
        {
            std::ofstream out(f.plainCopy, std::ios::binary);
            out.write(f.bytes.data(), std::streamsize(f.bytes.size()));
        }
        const int fd = ::open(f.plainCopy.c_str(), O_RDONLY);
        ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

void BM_SaveSTC(benchmark::State& state) {
    const Fixture& f = fixture();
    FMR fmr(f.fmr, true);
    for (auto _ : state) fmr.Save();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bytes.size()));
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_LoadSTC)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_NewVolumes)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_PlainWriteSynced)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_SaveSTC)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

// Keeps the median of every benchmark so the ratios can be printed after the table.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& m = reporter.medians;
    const auto ratio = [&](const char* a, const char* b) {
        if (m.count(a) && m.count(b) && m[b] > 0)
            std::printf("%-22s %6.2f x %s (%.1f ms / %.1f ms)\n", a, m[a] / m[b], b, m[a], m[b]);
    };
    std::printf("\nSTC run of %d x %d x %d x %d int16 values, medians:\n", kX, kY, kSlices, kVolumes);
    ratio("BM_LoadSTC", "BM_PlainRead");
    ratio("BM_NewVolumes", "BM_PlainRead");
    ratio("BM_SaveSTC", "BM_PlainWrite");
    ratio("BM_SaveSTC", "BM_PlainWriteSynced");
    benchmark::Shutdown();
    return 0;
}
