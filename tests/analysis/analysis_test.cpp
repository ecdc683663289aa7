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
#include <iterator>
#include <tuple>

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

// A VOI is measured only with the files that map from the space it is stored in. (An ROI's own
// refusals, missing geometry and short slice data are shown through the host's commands.)
TEST(Analysis, RefusesAVoiWithFilesOfAnotherSpace) {
    const Files f;
    VOI voi = convertROIToVOI(ROI(f("run1.roi")), FMR(f("run1.fmr"), false), TRF(f("run1_IA.trf")),
                              TRF(f("run1_FA.trf")), TRF(f("anat_ACPC.trf")), TAL(f("anat.tal")));
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"TAL", false, "A VOI in TAL space needs the TAL file"},
        {"ACPC", true, "A VOI in ACPC space must not be given a TAL file"},
        {"CV", true, "A VOI in CV space must not be given a TAL file"}};
    for (const auto& [space, tal, message] : cases) {
        voi.ReferenceSpace.value() = space;
        voi.SaveAs(f("run1.voi"));
        EXPECT_EQ(errorOf([&] { RunRegions{f.voi(f("run1.voi"), tal)}; }),
                  message + std::string(": ") + f("run1.voi"));
    }
}

// A design in memory: one column of values per predictor, named a, b, c, ...
SDM sdmOf(const std::vector<std::vector<float>>& columns, int points) {
    SDM sdm;
    sdm.fileName = "d.sdm";
    sdm.NrOfPredictors.value() = static_cast<int>(columns.size());
    sdm.NrOfDataPoints.value() = points;
    sdm.values = columns;
    for (size_t p = 0; p < columns.size(); ++p) sdm.predictorNames.push_back(std::string(1, char('a' + p)));
    return sdm;
}

TEST(Analysis, RefusesADesignItCannotFit) {
    const std::vector<float> one(6, 1), ramp = {1, 2, 3, 5, 8, 13}, odd = {0, 1, 0, 1, 0, 0};
    const std::vector<float> twice = {2, 4, 6, 10, 16, 26};
    const struct {
        SDM sdm;
        long long volumes;
        std::vector<Contrast> contrasts;
        const char* message;
    } cases[] = {
        {sdmOf({ramp, one}, 6), 7, {}, "Design has 6 data points, the run 7 volumes"},
        {sdmOf({ramp, one, odd, ramp, one, odd}, 6), 6, {},
         "Design leaves no degrees of freedom (6 volumes, 6 predictors)"},
        // Two separate dependencies, each named in full; the independent one is not.
        {sdmOf({ramp, twice, odd, one, one}, 6), 6, {}, "Design is rank-deficient (rank 3 of 5): a, b, d, e"},
        {sdmOf({ramp, one}, 6), 6, {{"c", {1, -1, 0}}}, "Contrast c has 3 weights for 2 predictors"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> warnings;
        EXPECT_EQ(errorOf([&] { checkContrasts(designFromSDM(c.sdm, c.volumes, warnings), c.contrasts, "d.sdm"); }),
                  c.message + std::string(": d.sdm"));
    }
}

// The fits themselves are checked against an independent least-squares fit (tests/e2e).
// The planted weights come back exactly; an empty region keeps its empty course.
TEST(Analysis, FitsThePlantedDesignExactly) {
    const Files f;
    const RunRegions run(f.roi());
    ASSERT_EQ(run.warnings.size(), 1u);
    EXPECT_NE(run.warnings[0].find("region 5 has no voxels"), std::string::npos);
    const TimeCourses courses = measureTimeCourses(run.fmr, run.regions);
    EXPECT_TRUE(courses.means[4].empty());
    std::vector<std::string> warnings;
    const Design planted = designFromSDM(SDM(f("run1.sdm")), courses.volumes, warnings);
    EXPECT_TRUE(warnings.empty());
    // visual, motor, drift per region, as the example generator plants them.
    const double weights[4][3] = {{40, 0, 2}, {0, 25, 2}, {0, 25, 2}, {12, 12, 2}};
    for (size_t r = 0; r < 4; ++r) {
        const Fit fit = fitDesign(planted, courses.means[r], {{"motor-visual", {-1, 1, 0, 0}}});
        for (size_t p = 0; p < 3; ++p) EXPECT_NEAR(fit.terms[p].estimate, weights[r][p], 1e-5) << r << " " << p;
        EXPECT_NEAR(fit.terms[4].estimate, weights[r][1] - weights[r][0], 1e-5);
        EXPECT_NEAR(fit.r2, 1.0, 1e-12);
        EXPECT_EQ(fit.dof, 8);
    }
}

TEST(Analysis, WarnsOfADesignWithoutConstantAndParsesContrasts) {
    std::vector<std::string> warnings;
    const Design design = designFromSDM(sdmOf({{1, 2, 4}}, 3), 3, warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{"d.sdm: design has no constant predictor; fitted as given"});
    const Fit fit = fitDesign(design, {2, 4, 8}, {});
    EXPECT_NEAR(fit.terms[0].estimate, 2.0, 1e-12);
    Contrast c;
    EXPECT_TRUE(parseContrast("a-b=1,-1.5", c));
    EXPECT_EQ(c.weights, (std::vector<double>{1, -1.5}));
    for (const char* bad : {"=1", "a=", "a=1,,2", "a=1,x", "a"}) EXPECT_FALSE(parseContrast(bad, c)) << bad;
}

} // namespace
