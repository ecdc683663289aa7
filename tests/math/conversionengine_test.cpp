// The conversion engine against the literal conversion: whole VOI documents, byte for byte, on
// seeded random studies. Each literal conversion scans the whole cube once per region (about
// 0.2 s optimised), so studies hold few regions.

#include "math/conversionengine.h"

#include "formats/myROI.h"
#include "formats/myVOI.h"
#include "tests/math/literal_conversion.h"
#include "tests/math/randomstudy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <set>
#include <sstream>

namespace {

using namespace randomstudy;
using Path = ConversionStats::Path;

std::string text(const VOI& voi) {
    std::ostringstream out;
    voi.PrintTo(out, true);
    return out.str();
}

// Empty when equal; otherwise the line where they part, so that a failure stays readable.
std::string firstDifference(const std::string& got, const std::string& expected) {
    if (got == expected) return "";
    const auto at = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    const size_t line = got.rfind('\n', static_cast<size_t>(at.first - got.begin())) + 1;
    return got.substr(line, 40) + " | expected " + expected.substr(line, 40);
}

#ifdef VOCELLE_SANITIZED
const int scale = 1; // a sanitizer makes every literal scan many times slower
#else
const int scale = 3;
#endif

struct Case {
    const char* name;
    Flavour flavour;
    uint32_t firstSeed;
    int studies;
    Path path;      // taken by every study that has a region voxel in the grid
    bool keepsSome; // whether the studies together must keep voxels
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class EngineMatchesLiteral : public ::testing::TestWithParam<Case> {};

TEST_P(EngineMatchesLiteral, WholeDocumentsByteForByte) {
    const Case& c = GetParam();
    std::set<Path> paths;
    long long kept = 0;
    for (uint32_t seed = c.firstSeed; seed < c.firstSeed + c.studies * scale; ++seed) {
        const Study s = makeStudy(seed, c.flavour, static_cast<int>(seed % 3));
        ConversionStats stats;
        const VOI fast = convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal, &stats);
        const VOI literal = literalConvertToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        ASSERT_EQ(firstDifference(text(fast), text(literal)), "") << "seed " << seed;
        EXPECT_TRUE(stats.path == c.path || stats.path == Path::NoScan) << "seed " << seed;
        paths.insert(stats.path);
        for (const auto& entry : literal.vois)
            kept += static_cast<long long>(entry.voxels.size());
    }
    EXPECT_EQ(paths.count(c.path), 1u) << "the path was never taken";
    EXPECT_EQ(kept > 0, c.keepsSome);
}

INSTANTIATE_TEST_SUITE_P(
    Studies, EngineMatchesLiteral,
    ::testing::Values(Case{"random", Flavour::Random, 1000, 8, Path::Pruned, true},
                      Case{"half_way", Flavour::HalfWay, 3000, 2, Path::Pruned, true},
                      Case{"folded_tal", Flavour::FoldedTal, 4000, 3, Path::Partial, true},
                      Case{"large_grid", Flavour::LargeGrid, 5000, 1, Path::Pruned, true},
                      // Every position infinite or NaN: all outside.
                      Case{"degenerate", Flavour::Degenerate, 6001, 1, Path::FullScan, false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The benchmarks' realistic study: 16 regions on the example's 64 x 64 x 30 grid of 3 mm voxels;
// on a 128 x 128 x 60 grid of 1.5 mm voxels, its first regions (each a literal scan more).
TEST(ConversionEngine, RealisticStudies) {
    const struct {
        bool fine;
        int regions;
    } cases[] = {{false, 16}, {true, 4}};
    for (const auto& c : cases) {
        Study s = realisticStudy(VOCELLE_EXAMPLES_DIR "/study/s1/", c.fine);
#ifdef VOCELLE_SANITIZED
        s.roi.NrOfTCPlots.value() = 2;
#else
        s.roi.NrOfTCPlots.value() = c.regions;
#endif
        ConversionStats stats;
        const VOI fast = convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal, &stats);
        const VOI literal = literalConvertToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        ASSERT_EQ(firstDifference(text(fast), text(literal)), "") << "fine " << c.fine;
        EXPECT_EQ(stats.path, Path::Pruned);
        long long kept = 0;
        for (const auto& entry : literal.vois)
            kept += static_cast<long long>(entry.voxels.size());
        EXPECT_GT(kept, 10000 * s.roi.NrOfTCPlots.value()) << "fine " << c.fine;
    }
}

// A grid that a mask could not hold fails alike in both, before any scan.
TEST(ConversionEngine, ImpossibleGrid) {
    Study s = makeStudy(5, Flavour::Random, 1);
    s.fmr.ResolutionX.value() = s.fmr.ResolutionY.value() = 100000;
    s.fmr.NrOfSlices.value() = 0;
    EXPECT_THROW(literalConvertToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal),
                 std::bad_array_new_length);
    EXPECT_THROW(convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal),
                 std::bad_array_new_length);
}

} // namespace
