// Reading rules, layouts and hostile counts of the ROI, VOI, TRF, TAL and SDM documents.
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "plugin/TarnPluginInterface.h"
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace {

using Triples = std::vector<glm::tvec3<int>>;

TEST(Documents, RoiReadingRules) {
    const auto onlyCount = parse<ROI>("NrOfTCPlots: 0\n");
    EXPECT_EQ(printed(onlyCount, true), "NrOfTCPlots: 0\n\n");
    // Two complete blocks; the third ends before its NrOfVoxels.
    const auto cut = parse<ROI>(
        "NrOfTCPlots: 3\nNrOfVoxels: 1\n1 2 3\nNrOfVoxels: 2\n4 5 6 7 8 9\nNrOfTCs: 1\n");
    ASSERT_EQ(cut.rois.size(), 2u);
    EXPECT_EQ(cut.rois[1].voxels, (Triples{{4, 5, 6}, {7, 8, 9}}));
    EXPECT_EQ(printed(cut, false), "NrOfTCPlots: 3\n\nNrOfVoxels: 1\n  Skipping coordinate list\n\n"
                                   "NrOfVoxels: 2\n  Skipping coordinate list\n\n");
    // A block whose count is the file's last word is complete; wide numbers are written whole.
    EXPECT_EQ(parse<ROI>("NrOfTCPlots: 1\nNrOfVoxels: 0").rois.size(), 1u);
    EXPECT_EQ(printed(parse<ROI>("NrOfTCPlots: 1\nNrOfVoxels: 1\n-1000 7 12345\n"), true),
              "NrOfTCPlots: 1\n\nNrOfVoxels: 1\n-1000 7   12345\n\n");
}

TEST(Documents, VoiKeepsItsLinkedFiles) {
    const std::string head = "NrOfVOIs: 2\nNameOfVOI: first\nNrOfVoxels: 1\n1 2 3\n"
                             "NameOfVOI: \"second one\"\nColorOfVOI: 1 2 3\nNrOfVoxels: 0\n\n";
    const auto voi = parse<VOI>(head + "NrOfVOIVTCs: 2 a.vtc\r\nb.vtc\r\n\r\nnever.vtc\n");
    EXPECT_EQ(voi.vtcFiles, (std::vector<std::string>{"a.vtc", "b.vtc"}));
    ASSERT_EQ(voi.vois.size(), 2u);
    const auto text = printed(voi, true);
    EXPECT_NE(text.find("NameOfVOI: first\nColorOfVOI: 0 0 0\n\nNrOfVoxels: 1\n1 2 3\n\n"),
              std::string::npos);
    const std::string tail = "\n\nNrOfVOIVTCs: 2\na.vtc\nb.vtc\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    const auto none = parse<VOI>(head + "NrOfVOIVTCs: 0\nstray.vtc\n");
    EXPECT_TRUE(none.vtcFiles.empty());
    EXPECT_TRUE(none.NrOfVOIVTCs.isSet());
}

// Voxel lists are formatted in blocks, not through the stream; the text must be what the stream
// gives, across block boundaries and for every int.
TEST(Documents, VoiVoxelListsAsTheStreamWritesThem) {
    const int extremes[] = {0, 7, -7, 10, -10, 255, -99999, INT_MAX, INT_MIN, INT_MIN + 1};
    VOI voi;
    voi.vois.resize(1);
    voi.NrOfVOIs.value() = 1;
    auto& voxels = voi.vois[0].voxels;
    for (int a : extremes)
        for (int b : extremes)
            voxels.emplace_back(a, b, a ^ b);
    for (int k = 0; k < 40000; ++k)
        voxels.emplace_back(k * 7919 - 140000000, -k, k % 256);
    std::ostringstream list;
    for (const auto& v : voxels)
        list << v.x << ' ' << v.y << ' ' << v.z << '\n';
    const std::string placeholder = "  Skipping coordinate list\n", got = printed(voi, true);
    std::string expected = printed(voi, false);
    expected.replace(expected.find(placeholder), placeholder.size(), list.str());
    EXPECT_TRUE(got == expected) << "lengths " << got.size() << ", " << expected.size();
    EXPECT_NE(got.find("\n-2147483648 2147483647 -1\n"), std::string::npos);
}

TEST(Documents, TrfReadingRules) {
    // The last line's value survives the failed extraction at the end of the file.
    for (const char* ending : {"", "\n", "\n\n  \n"}) {
        const auto trf = parse<TRF>(std::string("FileVersion: 8\nToVMRVoxelRes: 1.5") + ending);
        EXPECT_EQ(trf.ToVMRVoxelRes.value(), 1.5f) << "ending " << ending;
        EXPECT_EQ(trf.FileVersion.value(), 8);
    }
    const auto unannounced =
        parse<TRF>("DataFormat: Other\n2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 1\nExtraVMRTransf: 0\n"
                   "3 0 0 0 0 3 0 0 0 0 3 0 0 0 0 1\nAlignmentStep: 2\n");
    EXPECT_EQ(unannounced.matrix[0][0], 1.0f);
    EXPECT_EQ(unannounced.extraMatrix[0][0], 1.0f);
    EXPECT_EQ(printed(unannounced),
              "\nDataFormat: Other\n\nAlignmentStep: 2\nExtraVMRTransf: 0\n\n");
    // Float lines use six digits when no matrix came before them, seventeen after one.
    EXPECT_EQ(printed(parse<TRF>("SlThickFMRVMR: 0.1\n")), "\nSlThickFMRVMR: 0.1\n");
    EXPECT_NE(printed(parse<TRF>("DataFormat: Matrix\n1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
                                 "SlThickFMRVMR: 0.1\n"))
                  .find("SlThickFMRVMR: 0.10000000149011612\n"),
              std::string::npos);
}

TEST(Documents, TalReadingRules) {
    const auto tal = parse<TAL>("FileVersion: 1\nPC:   127    93 122\nAC: 1 2 3\nAC: 4 5 6\n");
    EXPECT_EQ(printed(tal), "FileVersion: 1\n\nAC: 4 5 6\nPC: 127 93 122\nAP: 0 0 0\nPP: 0 0 0\n"
                            "SP: 0 0 0\nIP: 0 0 0\nRP: 0 0 0\nLP: 0 0 0\n\n");
    const auto fraction = parse<TAL>("AC: 127.5 93 122\nTALVMRFramingCube: 256\n");
    EXPECT_EQ(fraction.landmarks[TAL::AC], glm::tvec3<int>(127, 0, 0));
    EXPECT_FALSE(fraction.TALVMRFramingCube.isSet());
}

TEST(Documents, SdmReadingRules) {
    const auto sdm = parse<SDM>("Junk: 3 NrOfDataPoints:   2\nNrOfPredictors: 3\n"
                                "FirstConfoundPredictor: 1\n\n1 2 3   4 5 6\n"
                                "\"alpha\" \"beta gamma\"\n"
                                "  1.000000   0.000000  -0.500000\n"
                                "  2.000000   3.000000   4.000000\n");
    EXPECT_EQ(sdm.predictorNames, (std::vector<std::string>{"alpha", "beta gamma", "NoName"}));
    EXPECT_EQ(sdm.red, (std::vector<int>{1, 4, 0}));
    ASSERT_EQ(sdm.values.size(), 3u);
    EXPECT_EQ(sdm.values[2], (std::vector<float>{-0.5f, 4.0f}));
    const auto text = printed(sdm);
    EXPECT_EQ(text.find("IncludesConstant"), std::string::npos);
    EXPECT_NE(text.find("\n  1.000000   0.000000  -0.500000\n"), std::string::npos);
    // Fields of twelve characters that touch.
    const auto fields = SDM(std::string(VOCELLE_TEST_DATA) + "/fields.sdm");
    ASSERT_EQ(fields.values.size(), 3u);
    EXPECT_EQ(fields.values[0], (std::vector<float>{-1234.56789f, 1.5f}));
    EXPECT_EQ(fields.values[2], (std::vector<float>{0.0f, 3.5f}));
    // A value too small for a normal float reads as the nearest float, not as an error.
    const auto tiny = parse<SDM>("NrOfPredictors: 2\nNrOfDataPoints: 1\nFirstConfoundPredictor: 1\n"
                                 "1 2 3 4 5 6\n\"a\" \"b\"\n1e-45 1e-50\n");
    ASSERT_EQ(tiny.values.size(), 2u);
    EXPECT_EQ(tiny.values[0][0], std::strtof("1e-45", nullptr));
    EXPECT_EQ(tiny.values[1][0], 0.0f);
}

std::vector<std::string> sdmLog;

TEST(Documents, SdmFailures) {
    const std::string head = "NrOfPredictors: 2\nNrOfDataPoints: 2\nFirstConfoundPredictor: 0\n"
                             "1 1 1 2 2 2\n\"a\" \"b\"\n  1.000000   2.000000\n";
    for (const std::string rows : {"", "              \n"}) // a row missing, or blank
        EXPECT_EQ(errorOf([&] { parse<SDM>(head + rows, "/data/design.sdm"); }),
                  "Invalid data row in SDM file: /data/design.sdm");
    // A file that cannot be opened is logged, not thrown.
    tarn::hxLogText = [](const char* text) { sdmLog.push_back(text); };
    const SDM sdm("/no/such/folder/design.sdm");
    tarn::hxLogText = nullptr;
    EXPECT_EQ(sdmLog, std::vector<std::string>{
                          "!!!  Failed opening SDM for reading: /no/such/folder/design.sdm"});
    EXPECT_FALSE(sdm.FileVersion.isSet());
}

// Tiny files claiming two billion voxels, entries, linked files, predictors or rows cost only
// what they hold: complete triples are kept, the rest is never allocated.
TEST(Documents, HostileCounts) {
    const std::string huge = "2000000000";
    const auto roi =
        parse<ROI>("NrOfTCPlots: " + huge + "\nNrOfVoxels: " + huge + "\n1 2 3\n4 5 6\n7 8\n");
    ASSERT_EQ(roi.rois.size(), 1u);
    EXPECT_EQ(roi.rois[0].voxels, (Triples{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(roi.rois[0].NrOfVoxels.value(), 2);
    EXPECT_EQ(
        parse<ROI>("NrOfTCPlots: " + huge + "\nNrOfVoxels: 1\n1 2 3\nNrOfVoxels: 0\n").rois.size(),
        2u);
    const auto voi =
        parse<VOI>("NrOfVOIs: " + huge + "\nNameOfVOI: x\nNrOfVoxels: " + huge + "\n1 2 3\n");
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].voxels, (Triples{{1, 2, 3}}));
    EXPECT_EQ(parse<VOI>("NrOfVOIs: 0\nNrOfVOIVTCs: " + huge + "\na.vtc\nb.vtc\n").vtcFiles.size(),
              2u);
    const auto sdmHead = [&](const std::string& n, const std::string& t) {
        return "NrOfPredictors: " + n + "\nNrOfDataPoints: " + t + "\nFirstConfoundPredictor: 0\n";
    };
    EXPECT_THROW(parse<SDM>(sdmHead(huge, huge) + "1 2 3\n\"a\"\n 1.000000\n"), std::out_of_range);
    EXPECT_THROW(parse<SDM>(sdmHead("2", huge) + "1 2 3 4 5 6\n\"a\" \"b\"\n 1.0 2.0\n"),
                 std::invalid_argument);
    const auto named = parse<SDM>(sdmHead(huge, "0") + "1 2 3 4 5 6\n\"a\" \"b\" \"c\"\n");
    EXPECT_EQ(named.predictorNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(parse<SDM>(sdmHead("0", huge)).values.empty());
}

} // namespace
