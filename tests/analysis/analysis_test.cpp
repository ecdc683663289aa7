// Measuring regions on the example study, whose slice data carries its design planted exactly:
// each region's voxels follow a known combination of the predictors on their own baselines.
#include <vocelle/analysis/glm.h>
#include <vocelle/analysis/measure.h>
#include <vocelle/analysis/timecourse.h>

#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/math/conversionengine.h>
#include <vocelle/math/gridmapping.h>
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>

using namespace vocelle;

namespace {

const std::string study = VOCELLE_EXAMPLES_DIR "/study/s1/";

// The study's files, copied so that a case may damage them.
struct Files {
    ScratchDir dir;
    Files() {
        for (const auto& e : std::filesystem::directory_iterator(study))
            std::filesystem::copy_file(e.path(), dir.path() / e.path().filename());
    }
    std::string operator()(const std::string& name) const { return dir.file(name); }
    RunFiles roi() const { return {(*this)("run1.roi"), (*this)("run1.fmr"), "", "", "", ""}; }
    RunFiles voi(const std::string& voi, bool tal) const {
        return {voi, (*this)("run1.fmr"), (*this)("run1_IA.trf"), (*this)("run1_FA.trf"),
                (*this)("anat_ACPC.trf"), tal ? (*this)("anat.tal") : ""};
    }
};

TEST(Analysis, FitsThePlantedDesignExactly) {
    const Files f;
    const RunRegions run(f.roi());
    const TimeCourses courses = measureTimeCourses(run.fmr, run.regions);
    std::vector<std::string> warnings;
    const Design design = designFromSDM(SDM(f("run1.sdm")), courses.volumes, warnings);
    EXPECT_TRUE(warnings.empty());
    // visual, motor, drift per region (the example's planted weights); region 5 is empty.
    const double planted[4][3] = {{40, 0, 2}, {0, 25, 2}, {0, 25, 2}, {12, 12, 2}};
    const std::vector<Contrast> contrasts = {{"motor-visual", {-1, 1, 0, 0}}};
    for (size_t r = 0; r < 4; ++r) {
        const Fit fit = fitDesign(design, courses.means[r], contrasts);
        for (size_t p = 0; p < 3; ++p)
            EXPECT_NEAR(fit.terms[p].estimate, planted[r][p], 1e-5) << "region " << r + 1 << ", " << fit.terms[p].name;
        EXPECT_NEAR(fit.terms[4].estimate, planted[r][1] - planted[r][0], 1e-5);
        EXPECT_NEAR(fit.r2, 1.0, 1e-12);
        EXPECT_EQ(fit.dof, 8);
    }
    EXPECT_TRUE(courses.means[4].empty());
    ASSERT_EQ(run.warnings.size(), 1u);
    EXPECT_NE(run.warnings[0].find("region 5 has no voxels"), std::string::npos);
}

// The ROI's voxels that some cube voxel lands in.
std::vector<long long> reached(const GridMapping& mapping, const std::vector<long long>& voxels) {
    std::vector<char> hit(size_t(mapping.cells()) + 1);
    for (int z = 0; z < cubeSize; ++z)
        for (int y = 0; y < cubeSize; ++y)
            for (int x = 0; x < cubeSize; ++x) hit[size_t(mapping.voxelOf(x, y, z) + 1)] = 1;
    std::vector<long long> kept;
    std::copy_if(voxels.begin(), voxels.end(), std::back_inserter(kept), [&](long long v) { return hit[size_t(v + 1)]; });
    return kept;
}

// Converting the ROI and measuring the VOI in the same run gives the ROI's time course back, of
// the ROI voxels the cube reaches; with a fine alignment shifted by 100 mm, part of them do not.
TEST(Analysis, ConvertedRegionsMeasureAsTheirROI) {
    const Files f;
    const ROI roi(f("run1.roi"));
    const FMR fmr(f("run1.fmr"), false);
    const TRF ia(f("run1_IA.trf")), acpc(f("anat_ACPC.trf"));
    TRF fa(f("run1_FA.trf"));
    const RunRegions fromRoi(f.roi());
    for (const auto& [tal, shift] : {std::pair{true, 0.0f}, {false, 0.0f}, {true, 100.0f}}) {
        fa.matrix[0][3] += shift;
        fa.SaveAs(f("shifted_FA.trf"));
        const TAL talairach = tal ? TAL(f("anat.tal")) : TAL();
        VOI voi = convertROIToVOI(roi, fmr, ia, fa, acpc, talairach);
        voi.SaveAs(f("run1.voi"));
        RunFiles files = f.voi(f("run1.voi"), tal);
        files.fa = f("shifted_FA.trf");
        const RunRegions fromVoi(files);
        const GridMapping mapping(fmr, ia, fa, acpc, talairach);
        std::vector<Region> expected = fromRoi.regions;
        bool lost = false;
        for (Region& r : expected) {
            const std::vector<long long> kept = reached(mapping, r.voxels);
            lost = lost || kept.size() < r.voxels.size();
            r.voxels = kept;
        }
        EXPECT_EQ(lost, shift != 0) << "the case does not test what it says";
        const TimeCourses a = measureTimeCourses(fmr, expected);
        const TimeCourses b = measureTimeCourses(fmr, fromVoi.regions);
        for (size_t r = 0; r < expected.size(); ++r) {
            EXPECT_EQ(fromVoi.regions[r].voxels, expected[r].voxels) << "region " << r + 1;
            EXPECT_EQ(a.means[r], b.means[r]) << "region " << r + 1;
        }
    }
}

TEST(Analysis, RefusesWhatItCannotMeasure) {
    const struct {
        const char* what;
        std::function<void(const Files&, RunFiles&, std::vector<Contrast>&)> damage;
        const char* message;
    } cases[] = {
        {"ROI voxel outside the grid",
         [](const Files& f, RunFiles&, std::vector<Contrast>&) {
             ROI roi(f("run1.roi"));
             roi.rois[1].voxels[3].x = 64;
             roi.Save();
         },
         "region 2 has voxel 64 "},
        {"geometry for an ROI", [](const Files& f, RunFiles& r, std::vector<Contrast>&) { r.ia = f("run1_IA.trf"); },
         "no alignment files"},
        {"VOI without geometry", [](const Files& f, RunFiles& r, std::vector<Contrast>&) { r = f.voi(f("tal.voi"), true); r.fa = ""; },
         "needs the initial and fine alignment"},
        {"TAL VOI without TAL", [](const Files& f, RunFiles& r, std::vector<Contrast>&) { r = f.voi(f("tal.voi"), false); },
         "A VOI in TAL space needs the TAL file"},
        {"ACPC VOI with TAL", [](const Files& f, RunFiles& r, std::vector<Contrast>&) { r = f.voi(f("acpc.voi"), true); },
         "A VOI in ACPC space must not be given a TAL file"},
        {"CV VOI with TAL", [](const Files& f, RunFiles& r, std::vector<Contrast>&) { r = f.voi(f("cv.voi"), true); },
         "A VOI in CV space must not be given a TAL file"},
        {"short STC", [](const Files& f, RunFiles&, std::vector<Contrast>&) { std::filesystem::resize_file(f("run1.stc"), 2949119); },
         "STC file too short for its FMR header"},
        {"data points", [](const Files& f, RunFiles&, std::vector<Contrast>&) {
             SDM sdm(f("run1.sdm"));
             sdm.NrOfDataPoints.value() = 11;
             for (auto& c : sdm.values) c.pop_back();
             sdm.Save();
         }, "Design has 11 data points, the run 12 volumes"},
        {"rank", [](const Files& f, RunFiles&, std::vector<Contrast>&) {
             SDM sdm(f("run1.sdm"));
             sdm.values[2] = sdm.values[3];
             for (float& v : sdm.values[0]) v *= 2;
             sdm.values.push_back(sdm.values[0]);
             sdm.predictorNames.push_back("visual twice");
             sdm.NrOfPredictors.value() = 5;
             sdm.Save();
         }, "rank-deficient (rank 3 of 5): visual, drift, constant, visual twice"},
        {"dof", [](const Files& f, RunFiles&, std::vector<Contrast>&) {
             SDM sdm(f("run1.sdm"));
             for (int p = 0; p < 8; ++p) sdm.values.push_back(sdm.values[0]);
             sdm.NrOfPredictors.value() = 12;
             sdm.Save();
         }, "Design leaves no degrees of freedom (12 volumes, 12 predictors)"},
        {"weights", [](const Files&, RunFiles&, std::vector<Contrast>& c) { c = {{"c", {1, -1}}}; },
         "Contrast c has 2 weights for 4 predictors"},
    };
    for (const auto& c : cases) {
        const Files f;
        VOI tal = convertROIToVOI(ROI(f("run1.roi")), FMR(f("run1.fmr"), false), TRF(f("run1_IA.trf")),
                                  TRF(f("run1_FA.trf")), TRF(f("anat_ACPC.trf")), TAL(f("anat.tal")));
        tal.SaveAs(f("tal.voi"));
        tal.ReferenceSpace.value() = "ACPC";
        tal.SaveAs(f("acpc.voi"));
        tal.ReferenceSpace.value() = "CV";
        tal.SaveAs(f("cv.voi"));
        RunFiles files = f.roi();
        std::vector<Contrast> contrasts;
        c.damage(f, files, contrasts);
        try {
            const RunRegions run(files);
            const TimeCourses courses = measureTimeCourses(run.fmr, run.regions);
            std::vector<std::string> warnings;
            const Design design = designFromSDM(SDM(f("run1.sdm")), courses.volumes, warnings);
            checkContrasts(design, contrasts, f("run1.sdm"));
            ADD_FAILURE() << c.what << ": not refused";
        } catch (const FaultError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

TEST(Analysis, WarnsOfADesignWithoutConstantAndParsesContrasts) {
    SDM sdm;
    sdm.NrOfPredictors.value() = 1;
    sdm.NrOfDataPoints.value() = 3;
    sdm.values = {{1, 2, 4}};
    sdm.predictorNames = {"ramp"};
    std::vector<std::string> warnings;
    const Design design = designFromSDM(sdm, 3, warnings);
    EXPECT_EQ(warnings.size(), 1u);
    const Fit fit = fitDesign(design, {2, 4, 8}, {});
    EXPECT_NEAR(fit.terms[0].estimate, 2.0, 1e-12);
    Contrast c;
    EXPECT_TRUE(parseContrast("a-b=1,-1.5", c));
    EXPECT_EQ(c.weights, (std::vector<double>{1, -1.5}));
    for (const char* bad : {"=1", "a=", "a=1,,2", "a=1,x", "a"}) EXPECT_FALSE(parseContrast(bad, c)) << bad;
}

} // namespace
