// The ROI conversion: worked cases as real files through the whole conversion run, and the
// safety of the conversion itself on documents it cannot make sense of.
//
// Each converted region costs a full scan of the 256-voxel cube, so regions are few.

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "plugin/conversionrun.h"
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <sstream>

namespace {

namespace cf = conversionfiles;
using cf::Voxels;
using Entries = std::vector<std::string>;

struct JobFiles {
    cf::Grid grid;
    bool acpc = false;             // AC-PC transformation present (identity) or absent
    std::optional<int> talVersion; // no value: the job names no TAL file
    cf::Landmarks landmarks;
    std::vector<Voxels> regions;
};

struct Outcome {
    VOI voi;
    std::string text;              // the saved file
    std::set<std::string> written; // every file in the folder after the run
};

class ConversionRunFiles : public WithHost {
  protected:
    // Writes the job's files into dir, runs the job and reads back the VOI it saved. Absent
    // transformations carry a matrix that would move every voxel if it were applied.
    Outcome run(const ScratchDir& dir, const JobFiles& s) {
        logs().clear();
        ConversionJob job;
        job.roiName = dir.file("run.roi");
        job.fmrName = dir.file("run.fmr");
        job.iaTrfName = dir.file("run_IA.trf");
        job.faTrfName = dir.file("run_FA.trf");
        job.acpcTrfName = dir.file("anat_ACPC.trf");
        cf::write(job.roiName, cf::roi(s.regions));
        cf::write(job.fmrName, cf::fmr("run", s.grid));
        cf::write(dir.file("run.stc"), "");
        cf::write(job.iaTrfName, cf::trf(true));
        cf::write(job.faTrfName, cf::trf(false, cf::farShiftRows()));
        cf::write(job.acpcTrfName, s.acpc ? cf::trf(true) : cf::trf(false, cf::farShiftRows()));
        if (s.talVersion) {
            job.talName = dir.file("anat.tal");
            cf::write(job.talName, cf::tal(*s.talVersion, s.landmarks));
        }

        runConversion(job);
        EXPECT_EQ(logs(), Entries{"Converted " + job.roiName});
        const std::string voiName = dir.file(s.talVersion ? "run_TAL_.voi" : "run_ACPC_.voi");
        return Outcome{VOI(voiName), readAll(voiName), dir.names()};
    }
};

const std::set<std::string> inputs = {"run.roi",    "run.fmr",    "run.stc",
                                      "run_IA.trf", "run_FA.trf", "anat_ACPC.trf"};

TEST_F(ConversionRunFiles, SingleVoxelThroughEachReferenceSpace) {
    // Doubles the anterior half of x: Talairach-frame x 69 lands on AC-PC x 10.
    cf::Landmarks stretched;
    stretched.ap = -12;
    const struct {
        const char* what;
        bool acpc;
        std::optional<int> talVersion;
        cf::Landmarks landmarks;
        glm::tvec3<int> voxel;
        const char* space;
    } cases[] = {
        {"no AC-PC, no TAL", false, std::nullopt, {}, {10, 20, 30}, "CV"},
        {"identity AC-PC", true, std::nullopt, {}, {10, 20, 30}, "ACPC"},
        {"TAL fitting the box", true, 1, {}, {98, 118, 108}, "TAL"},
        {"TAL stretching x", true, 1, stretched, {98, 59, 108}, "TAL"},
        {"TAL FileVersion 0: landmarks not applied", true, 0, stretched, {98, 118, 108}, "TAL"},
        {"TAL without AC-PC: labelled by the AC-PC", false, 1, {}, {98, 118, 108}, "CV"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        JobFiles s;
        s.acpc = c.acpc;
        s.talVersion = c.talVersion;
        s.landmarks = c.landmarks;
        s.regions = {{{10, 20, 30}}};
        const Outcome out = run(dir, s);
        EXPECT_EQ(out.voi.ReferenceSpace.value(), c.space) << c.what;
        ASSERT_EQ(out.voi.vois.size(), 1u) << c.what;
        EXPECT_EQ(out.voi.vois[0].voxels, Voxels{c.voxel}) << c.what;
        // Exactly one VOI, its name chosen by the job's TAL line alone.
        std::set<std::string> written = inputs;
        if (c.talVersion) written.insert("anat.tal");
        written.insert(c.talVersion ? "run_TAL_.voi" : "run_ACPC_.voi");
        EXPECT_EQ(out.written, written) << c.what;
    }
}

TEST_F(ConversionRunFiles, SavedTalairachDocument) {
    ScratchDir dir;
    JobFiles s;
    s.acpc = true;
    s.talVersion = 1;
    s.regions = {{{10, 20, 30}}};
    EXPECT_EQ(run(dir, s).text, "\n"
                                "FileVersion:                4\n\n"
                                "ReferenceSpace:             TAL\n\n"
                                "OriginalVMRResolutionX:     1\n"
                                "OriginalVMRResolutionY:     1\n"
                                "OriginalVMRResolutionZ:     1\n"
                                "OriginalVMROffsetX:         0\n"
                                "OriginalVMROffsetY:         0\n"
                                "OriginalVMROffsetZ:         0\n"
                                "OriginalVMRFramingCubeDim:  256\n\n"
                                "LeftRightConvention:        1\n\n"
                                "SubjectVOINamingConvention: <VOI>_<SUBJ>\n\n\n"
                                "NrOfVOIs:                   1\n\n"
                                "NameOfVOI:  VOI 1\n"
                                "ColorOfVOI: 255 40 50\n\n"
                                "NrOfVoxels: 1\n"
                                "98 118 108\n"
                                "\n"
                                "\n"
                                "NrOfVOIVTCs:                0\n");
}

TEST_F(ConversionRunFiles, ThreeMillimetreVoxelsBecomeBlocksOfTwentySeven) {
    ScratchDir dir;
    JobFiles s;
    s.grid = {64, 64, 64, 3.0f, 3.0f};
    s.regions = {{{20, 30, 40}, {0, 0, 0}}};
    // Column 20 covers cube x 92 to 94, row 30 cube y 122 to 124, slice 40 cube z 152 to 154;
    // voxel 0 covers 32 to 34 on every axis. Listed in scan order: z, then y, then x.
    Voxels expected;
    for (const glm::tvec3<int> first : {glm::tvec3<int>(32, 32, 32), glm::tvec3<int>(92, 122, 152)})
        for (int z = first.z; z < first.z + 3; ++z)
            for (int y = first.y; y < first.y + 3; ++y)
                for (int x = first.x; x < first.x + 3; ++x)
                    expected.emplace_back(x, y, z);
    const Outcome out = run(dir, s);
    ASSERT_EQ(out.voi.vois.size(), 1u);
    EXPECT_EQ(out.voi.vois[0].voxels, expected);
    EXPECT_EQ(out.voi.vois[0].NrOfVoxels.value(), 54);
}

TEST_F(ConversionRunFiles, SevenRegions) {
    ScratchDir dir;
    JobFiles s;
    const std::vector<std::pair<Voxels, Voxels>> regions = {
        {{{10, 20, 30}}, {{10, 20, 30}}},
        {{}, {}},
        // Outside the grid on each side: skipped, not wrapped onto a neighbouring row or slice.
        {{{-1, 5, 5}, {256, 5, 5}, {5, -1, 5}, {5, 256, 5}, {5, 5, -1}, {5, 5, 256}, {5, 5, 5}},
         {{5, 5, 5}}},
        // Output follows the scan order, whatever the order in the ROI.
        {{{255, 255, 255}, {0, 0, 0}}, {{0, 0, 0}, {255, 255, 255}}},
        {{{1, 2, 3}, {3, 2, 1}, {2, 3, 1}}, {{3, 2, 1}, {2, 3, 1}, {1, 2, 3}}},
        {{{100, 100, 100}}, {{100, 100, 100}}},
        {{{200, 50, 25}}, {{200, 50, 25}}},
    };
    for (const auto& r : regions)
        s.regions.push_back(r.first);
    const glm::tvec3<int> colours[] = {{255, 40, 50},  {80, 255, 80},  {40, 30, 255},
                                       {255, 40, 255}, {80, 255, 255}, {255, 255, 30},
                                       {255, 40, 50}};

    const VOI voi = run(dir, s).voi;
    EXPECT_EQ(voi.ReferenceSpace.value(), "CV");
    EXPECT_EQ(voi.NrOfVOIs.value(), 7);
    ASSERT_EQ(voi.vois.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        const single_VOI& entry = voi.vois[i];
        EXPECT_EQ(entry.NameOfVOI.value(), "VOI " + std::to_string(i + 1));
        EXPECT_EQ(entry.color, colours[i]) << i;
        EXPECT_EQ(entry.voxels, regions[i].second) << i;
        EXPECT_EQ(entry.NrOfVoxels.value(), static_cast<int>(regions[i].second.size())) << i;
    }
}

TEST_F(ConversionRunFiles, NoRegions) {
    ScratchDir dir;
    JobFiles s;
    s.acpc = true;
    const Outcome out = run(dir, s);
    EXPECT_EQ(out.voi.NrOfVOIs.value(), 0);
    EXPECT_TRUE(out.voi.vois.empty());
    EXPECT_EQ(out.voi.ReferenceSpace.value(), "ACPC");
    EXPECT_NE(out.text.find("NrOfVOIs:                   0\n"), std::string::npos) << out.text;
}

TEST_F(ConversionRunFiles, HalfWayGoesToTheUpperVoxel) {
    // On a 255-voxel grid every cube voxel lies half-way between two functional voxels:
    // cube 10 is functional 9.5, which must count as 10 (rounding down, or truncating, would
    // keep cube 11 instead).
    ScratchDir dir;
    JobFiles s;
    s.grid = {255, 255, 255};
    s.regions = {{{10, 20, 30}}};
    const VOI voi = run(dir, s).voi;
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].voxels, (Voxels{{10, 20, 30}}));
}

// ---- The conversion on its own, with documents the run would not always let through ----------

FMR fmrOf(const cf::Grid& g) {
    std::istringstream in(cf::fmr("run", g));
    return FMR(in, "run.fmr", false);
}

TRF trfOf(const std::string& text) {
    std::istringstream in(text);
    return TRF(in);
}

ROI roiOf(const std::vector<Voxels>& regions) {
    std::istringstream in(cf::roi(regions));
    return ROI(in);
}

VOI convert(const ROI& roi, const cf::Grid& g) {
    return roi.ConvertToVOI(fmrOf(g), trfOf(cf::trf(true)), TRF(), TRF(), TAL());
}

TEST(ConvertToVOI, GridWithoutVoxelsGivesEmptyEntries) {
    for (const int columns : {0, -4}) {
        cf::Grid g;
        g.nx = columns;
        const VOI voi = convert(roiOf({{{0, 0, 0}, {1, 1, 1}}}), g);
        ASSERT_EQ(voi.vois.size(), 1u) << columns;
        EXPECT_EQ(voi.vois[0].NrOfVoxels.value(), 0) << columns;
        EXPECT_TRUE(voi.vois[0].voxels.empty()) << columns;
    }
}

TEST(ConvertToVOI, ZeroVoxelSizeFindsNothing) {
    // 1 / 0 makes the matrix infinite and every sample position NaN; such positions are
    // outside, and no float-to-int conversion may happen on them.
    cf::Grid g;
    g.nx = g.ny = g.nz = 64;
    g.inplane = 0.0f;
    const VOI voi = convert(roiOf({{{20, 30, 40}}}), g);
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].NrOfVoxels.value(), 0);
}

TEST(ConvertToVOI, OnlyStoredRegionsAndVoxelsCount) {
    // A document built in code may claim more than it holds.
    ROI roi = roiOf({{{10, 20, 30}}});
    roi.NrOfTCPlots.value() = 3;
    roi.rois[0].NrOfVoxels.value() = 4;
    const VOI voi = convert(roi, cf::Grid());
    EXPECT_EQ(voi.NrOfVOIs.value(), 1);
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].voxels, (Voxels{{10, 20, 30}}));
}

} // namespace
