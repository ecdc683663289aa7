// Tiny files that claim two billion voxels, entries, predictors or rows cost only what they hold.
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myVOI.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Triples = std::vector<glm::tvec3<int>>;

class HostileCounts : public ::testing::Test {
protected:
    std::string file(const std::string& text) {
        const auto path = dir.file("hostile" + std::to_string(++count));
        writeAll(path, text);
        return path;
    }
    ScratchDir dir;
    int count = 0;
};

TEST_F(HostileCounts, Roi) {
    const ROI voxels(file("NrOfTCPlots: 2000000000\nNrOfVoxels: 2000000000\n1 2 3\n4 5 6\n7 8\n"));
    ASSERT_EQ(voxels.rois.size(), 1u);
    EXPECT_EQ(voxels.rois[0].voxels, (Triples{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(voxels.rois[0].NrOfVoxels.value(), 2);

    const ROI regions(file("NrOfTCPlots: 2000000000\nNrOfVoxels: 1\n1 2 3\nNrOfVoxels: 1\n4 5 6\n"));
    EXPECT_EQ(regions.rois.size(), 2u);
    EXPECT_EQ(regions.NrOfTCPlots.value(), 2000000000);
}

TEST_F(HostileCounts, Voi) {
    const VOI entries(file("NrOfVOIs: 2000000000\nNameOfVOI: x\nNrOfVoxels: 2000000000\n1 2 3\n"));
    ASSERT_EQ(entries.vois.size(), 1u);
    EXPECT_EQ(entries.vois[0].voxels, (Triples{{1, 2, 3}}));

    const VOI linked(file("NrOfVOIs: 0\n\nNrOfVOIVTCs: 2000000000\na.vtc\nb.vtc\n"));
    EXPECT_EQ(linked.vtcFiles, (std::vector<std::string>{"a.vtc", "b.vtc"}));
}

TEST_F(HostileCounts, Sdm) {
    const std::string huge = "2000000000";
    EXPECT_THROW(SDM(file("NrOfPredictors: " + huge + "\nNrOfDataPoints: " + huge +
                          "\nFirstConfoundPredictor: 0\n1 2 3\n\"a\"\n 1.000000\n")),
                 std::out_of_range);
    EXPECT_THROW(SDM(file("NrOfPredictors: 2\nNrOfDataPoints: " + huge +
                          "\nFirstConfoundPredictor: 0\n1 2 3 4 5 6\n\"a\" \"b\"\n 1.0 2.0\n")),
                 std::invalid_argument);

    const SDM named(file("NrOfPredictors: " + huge + "\nNrOfDataPoints: 0\nFirstConfoundPredictor: 0\n"
                         "1 2 3 4 5 6\n\"a\" \"b\" \"c\"\n"));
    EXPECT_EQ(named.predictorNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(named.red, (std::vector<int>{1, 4, 0}));
    EXPECT_EQ(named.values.size(), 3u);

    const SDM noPredictors(file("NrOfPredictors: 0\nNrOfDataPoints: " + huge + "\nFirstConfoundPredictor: 0\n"));
    EXPECT_TRUE(noPredictors.values.empty());
}

} // namespace
