// The conversion engine against the literal conversion on seeded random studies: the same voxel
// lists, region by region. A literal conversion scans the whole cube once per region (about
// 0.2 s optimised), so studies hold few regions.
#include <vocelle/math/conversionengine.h>

#include <vocelle/formats/myVOI.h>
#include "tests/math/literal_conversion.h"
#include "tests/math/randomstudy.h"

#include <gtest/gtest.h>

#include <new>
#include <set>

using namespace vocelle;

namespace {

using namespace randomstudy;

#ifdef VOCELLE_SANITIZED
const uint32_t scale = 1; // a sanitizer makes every literal scan many times slower
#else
const uint32_t scale = 3;
#endif

TEST(ConversionEngine, MatchesTheLiteralConversion) {
    // Of every fifteen seeds, eight random studies, then these.
    const Flavour special[] = {Flavour::HalfWay,   Flavour::HalfWay,   Flavour::FoldedTal, Flavour::FoldedTal,
                               Flavour::FoldedTal, Flavour::LargeGrid, Flavour::Degenerate};
    std::set<ConversionStats::Path> paths;
    bool kept = false;
    for (uint32_t seed = 0; seed < 15 * scale; ++seed) {
        const Study s = makeStudy(seed, seed % 15 < 8 ? Flavour::Random : special[seed % 15 - 8]);
        ConversionStats stats;
        const VOI fast = convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal, &stats);
        const auto literal = literalConversion(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        ASSERT_EQ(fast.vois.size(), literal.size()) << "seed " << seed;
        for (size_t r = 0; r < literal.size(); ++r) {
            ASSERT_TRUE(fast.vois[r].voxels == literal[r]) << "seed " << seed << ", region " << r;
            kept = kept || !literal[r].empty();
        }
        paths.insert(stats.path);
    }
    EXPECT_TRUE(kept);
    EXPECT_EQ(paths.size(), 4u) << "a way through the engine was never taken";
}

// Regions of the size drawn in practice on the example's grid and on a grid twice as fine.
TEST(ConversionEngine, MatchesTheLiteralConversionOnRealisticStudies) {
    for (const bool fine : {false, true}) {
        Study s = realisticStudy(VOCELLE_EXAMPLES_DIR "/study/s1/", fine);
        s.roi.rois.resize(scale + 1); // each region costs a literal scan
        s.roi.NrOfTCPlots.value() = static_cast<int>(s.roi.rois.size());
        const VOI fast = convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        const auto literal = literalConversion(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal);
        for (size_t r = 0; r < literal.size(); ++r) {
            EXPECT_GT(literal[r].size(), 10000u) << "fine " << fine;
            ASSERT_TRUE(fast.vois[r].voxels == literal[r]) << "fine " << fine << ", region " << r;
        }
    }
}

// A grid that no mask could hold is refused before anything is allocated.
TEST(ConversionEngine, RefusesAnImpossibleGrid) {
    Study s = makeStudy(1, Flavour::Random);
    s.fmr.ResolutionX.value() = s.fmr.ResolutionY.value() = 100000;
    s.fmr.NrOfSlices.value() = 0;
    EXPECT_THROW(convertROIToVOI(s.roi, s.fmr, s.ia, s.fa, s.acpc, s.tal),
                 std::bad_array_new_length);
}

} // namespace
