// The conversion engine against the literal conversion: whole VOI documents, byte for byte, on
// seeded random studies. Each reference conversion scans the whole cube once per region
// (about 0.2 s optimised), so studies hold one to three regions.

#include "math/conversionengine.h"

#include "formats/myROI.h"
#include "formats/myVOI.h"
#include "tests/math/literal_conversion.h"
#include "tests/math/randomstudy.h"

#include <gtest/gtest.h>

#include <new>
#include <set>
#include <sstream>
#include <string>

namespace {

using namespace randomstudy;
using Path = ConversionStats::Path;

std::string text(const VOI& voi) {
    std::ostringstream out;
    voi.PrintTo(out, true);
    return out.str();
}

// Empty when equal; otherwise the first line that differs, so a failure stays readable.
std::string firstDifference(const std::string& got, const std::string& expected) {
    if (got == expected) return std::string();
    std::istringstream g(got), e(expected);
    std::string gl, el;
    for (int line = 1;; ++line) {
        const bool more = static_cast<bool>(std::getline(g, gl));
        const bool moreExpected = static_cast<bool>(std::getline(e, el));
        if (!more && !moreExpected) return "texts differ in their final line end";
        if (gl != el || more != moreExpected)
            return "line " + std::to_string(line) + ": \"" + (more ? gl : "<end>") +
                   "\", expected \"" + (moreExpected ? el : "<end>") + "\"";
    }
}

long long keptVoxels(const VOI& voi) {
    long long n = 0;
    for (const auto& entry : voi.vois)
        n += static_cast<long long>(entry.voxels.size());
    return n;
}

#ifdef VOCELLE_SANITIZED
const int scale = 1; // a sanitizer makes every reference scan many times slower
#else
const int scale = 3;
#endif

struct Case {
    const char* name;
    Flavour flavour;
    uint32_t firstSeed;
    int studies;
    Path path;      // the path the engine must take, when any region reaches the grid
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
    for (int k = 0; k < c.studies * scale; ++k) {
        const uint32_t seed = c.firstSeed + static_cast<uint32_t>(k);
        // Half-way studies bring their own extra region.
        const int regions = static_cast<int>(seed % 3) + (c.flavour == Flavour::HalfWay ? 0 : 1);
        const Study s = makeStudy(seed, c.flavour, regions);
        ConversionStats stats;
        const VOI fast = convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal, &stats);
        const VOI literal = literalConvertToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        ASSERT_EQ(firstDifference(text(fast), text(literal)), "") << c.name << ", seed " << seed;
        EXPECT_TRUE(stats.path == c.path || stats.path == Path::NoScan) << "seed " << seed;
        paths.insert(stats.path);
        kept += keptVoxels(literal);
    }
    EXPECT_EQ(paths.count(c.path), 1u) << c.name << ": the path was never taken";
    if (c.keepsSome) {
        EXPECT_GT(kept, 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Studies, EngineMatchesLiteral,
    ::testing::Values(Case{"random_a", Flavour::Random, 1000, 4, Path::Pruned, true},
                      Case{"random_b", Flavour::Random, 2000, 4, Path::Pruned, true},
                      Case{"half_way", Flavour::HalfWay, 3000, 2, Path::Pruned, true},
                      Case{"folded_tal", Flavour::FoldedTal, 4000, 3, Path::Partial, true},
                      // Zero voxel size: infinite and NaN positions, all outside.
                      Case{"degenerate", Flavour::Degenerate, 5000, 1, Path::FullScan, false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Many overlapping regions go through the set bookkeeping and the merged boxes; each entry must
// be what converting its region alone gives (single regions are checked against the literal
// conversion above).
TEST(ConversionEngine, ManyOverlappingRegionsEachAsAlone) {
    Study s = makeStudy(77, Flavour::Random, 0);
    const int nx = s.fmr.ResolutionX.value(), ny = s.fmr.ResolutionY.value();
    const int nz = s.fmr.NrOfSlices.value();
    Random rnd(78);
    std::vector<single_ROI> regions;
    for (int i = 0; i < 24; ++i) {
        auto voxels = blob(rnd, nx, ny, nz, rnd.integer(2, 6));
        if (i % 4 == 3) voxels = regions[static_cast<size_t>(i - 1)].voxels; // identical twin
        regions.push_back(region(voxels));
    }
    setRois(s.roi, regions);
    ConversionStats stats;
    const VOI all = convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal, &stats);
    EXPECT_EQ(stats.path, Path::Pruned);
    ASSERT_EQ(all.vois.size(), regions.size());
    long long kept = 0;
    for (size_t i = 0; i < regions.size(); ++i) {
        ROI one;
        setRois(one, {regions[i]});
        const VOI alone = convertROIToVOI(one, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        EXPECT_EQ(all.vois[i].voxels, alone.vois[0].voxels) << "region " << i;
        EXPECT_EQ(all.vois[i].NrOfVoxels.value(), alone.vois[0].NrOfVoxels.value());
        kept += static_cast<long long>(alone.vois[0].voxels.size());
    }
    EXPECT_GT(kept, 1000);
}

// Grids the mask cannot hold, or that hold nothing, behave as in the literal conversion.
TEST(ConversionEngine, EmptyAndImpossibleGrids) {
    Study s = makeStudy(5, Flavour::Random, 1);
    s.fmr.ResolutionX.value() = -4;
    EXPECT_EQ(text(convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal)),
              text(literalConvertToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal)));

    s.fmr.ResolutionX.value() = 100000;
    s.fmr.ResolutionY.value() = 100000;
    s.fmr.NrOfSlices.value() = 0;
    EXPECT_THROW(literalConvertToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal),
                 std::bad_array_new_length);
    EXPECT_THROW(convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal),
                 std::bad_array_new_length);
}

} // namespace
