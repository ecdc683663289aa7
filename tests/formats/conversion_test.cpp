// The ROI conversion: worked cases from document text to the VOI.
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include "tests/formats/conversionfiles.h"
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <optional>

using namespace vocelle;

namespace {

namespace cf = conversionfiles;
using cf::Voxels;

struct Case {
    const char* what;
    std::vector<Voxels> regions, expected; // expected: the VOIs' voxel lists
    const char* space;
    bool acpc;                     // AC-PC transformation present (identity) or absent
    std::optional<int> talVersion; // no value: no TAL document
    cf::Landmarks landmarks;
    cf::Grid grid;
};

// Absent transformations carry a matrix that would move every voxel if it were applied. Claims
// beyond what is stored, as a document built in code may make, must change nothing.
VOI convert(const Case& c) {
    ROI roi = parse<ROI>(cf::roi(c.regions));
    roi.NrOfTCPlots.value() += 2;
    for (auto& region : roi.rois)
        region.NrOfVoxels.value() += 2;
    const TRF absent = parse<TRF>(cf::trf(false, "1 0 0 40\n0 1 0 -30\n0 0 1 20\n0 0 0 1\n"));
    const TRF identity = parse<TRF>(cf::trf(true));
    return roi.ConvertToVOI(parse<FMR>(cf::fmr("run", c.grid), "run.fmr", false), identity, absent,
                            c.acpc ? identity : absent,
                            c.talVersion ? parse<TAL>(cf::tal(*c.talVersion, c.landmarks)) : TAL());
}

// The voxels of 3 x 3 x 3 blocks in scan order: z, then y, then x.
Voxels blocks(const Voxels& firsts) {
    Voxels v;
    for (const auto& f : firsts)
        for (int z = f.z; z < f.z + 3; ++z)
            for (int y = f.y; y < f.y + 3; ++y)
                for (int x = f.x; x < f.x + 3; ++x)
                    v.emplace_back(x, y, z);
    return v;
}

TEST(ConvertToVOI, WorkedCases) {
    cf::Landmarks stretched; // doubles the anterior half of x: Talairach-frame x 69 is AC-PC x 10
    stretched.ap = -12;
    const Voxels one = {{10, 20, 30}}, talOne = {{98, 118, 108}}, none;
    const cf::Grid cube, grid3mm = {64, 64, 64, 3.0f, 3.0f}, halfWay = {255, 255, 255};
    // Seven regions: outside the grid on each side is skipped, not wrapped onto a neighbouring
    // row or slice; output follows the scan order, whatever the order in the ROI.
    // clang-format off
    const std::vector<Voxels> seven = {one, none,
        {{-1, 5, 5}, {256, 5, 5}, {5, -1, 5}, {5, 256, 5}, {5, 5, -1}, {5, 5, 256}, {5, 5, 5}},
        {{255, 255, 255}, {0, 0, 0}}, {{1, 2, 3}, {3, 2, 1}, {2, 3, 1}}, {{100, 100, 100}},
        {{200, 50, 25}}};
    const std::vector<Voxels> sevenKept = {one, none, {{5, 5, 5}}, {{0, 0, 0}, {255, 255, 255}},
        {{3, 2, 1}, {2, 3, 1}, {1, 2, 3}}, seven[5], seven[6]};
    const Case cases[] = {
        {"no AC-PC, no TAL", {one}, {one}, "CV", false, {}, {}, cube},
        {"identity AC-PC", {one}, {one}, "ACPC", true, {}, {}, cube},
        {"TAL fitting the box", {one}, {talOne}, "TAL", true, 1, {}, cube},
        {"TAL stretching x", {one}, {{{98, 59, 108}}}, "TAL", true, 1, stretched, cube},
        {"TAL FileVersion 0: no landmarks", {one}, {talOne}, "TAL", true, 0, stretched, cube},
        {"TAL without AC-PC: labelled CV", {one}, {talOne}, "CV", false, 1, {}, cube},
        // Column 20 covers cube x 92 to 94, row 30 y 122 to 124, slice 40 z 152 to 154.
        {"3 mm voxels", {{{20, 30, 40}, {0, 0, 0}}}, {blocks({{32, 32, 32}, {92, 122, 152}})},
         "CV", false, {}, {}, grid3mm},
        {"seven regions", seven, sevenKept, "CV", false, {}, {}, cube},
        {"no regions", {}, {}, "ACPC", true, {}, {}, cube},
        // Cube 10 is functional 9.5, which counts as 10; rounding down would keep cube 11.
        {"half-way to the upper voxel", {one}, {one}, "CV", false, {}, {}, halfWay},
        {"grid without voxels", {one}, {none}, "CV", false, {}, {}, {0, 256, 256}},
        {"grid of negative size", {one}, {none}, "CV", false, {}, {}, {-4, 256, 256}},
    };
    // clang-format on
    const glm::tvec3<int> colours[] = {{255, 40, 50},  {80, 255, 80},  {40, 30, 255},
                                       {255, 40, 255}, {80, 255, 255}, {255, 255, 30}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const VOI voi = convert(c);
        EXPECT_EQ(voi.ReferenceSpace.value(), c.space);
        EXPECT_EQ(voi.NrOfVOIs.value(), static_cast<int>(c.expected.size()));
        ASSERT_EQ(voi.vois.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(voi.vois[i].color, colours[i % 6]) << "VOI " << i + 1;
            EXPECT_EQ(voi.vois[i].voxels, c.expected[i]) << "VOI " << i + 1;
        }
    }
    // The whole document: the header of the canonical sample, then the one entry (its count and
    // voxels agree in every case, which the fuzz replay checks).
    const std::string sample = readAll(VOCELLE_TEST_DATA "/sample.voi");
    EXPECT_EQ(printed(convert(cases[2]), true),
              sample.substr(0, sample.find("NrOfVOIs:")) +
                  "NrOfVOIs:                   1\n\nNameOfVOI:  VOI 1\nColorOfVOI: 255 40 50\n\n"
                  "NrOfVoxels: 1\n98 118 108\n\n\nNrOfVOIVTCs:                0\n");
}

} // namespace
