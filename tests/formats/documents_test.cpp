// Layouts, reading rules and failures of the ROI, VOI, TRF, TAL and SDM documents.
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "plugin/TarnPluginInterface.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>

namespace {

template <typename Doc, typename... Args>
std::string printed(const Doc& doc, Args... args) {
    std::ostringstream out;
    doc.PrintTo(out, args...);
    return out.str();
}

template <typename Doc>
Doc parse(const std::string& text) {
    std::istringstream in(text);
    return Doc(in);
}

std::string errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no exception";
}

TEST(Documents, ConvertedVoiWorkedLayout) {
    VOI voi;
    voi.ReferenceSpace.value() = "TAL";
    single_VOI entry;
    entry.NameOfVOI.set("NameOfVOI", "VOI 1", 12);
    entry.color = {255, 40, 50};
    entry.voxels = {{98, 118, 108}, {97, 118, 108}};
    entry.NrOfVoxels.set("NrOfVoxels", 2, 12);
    voi.vois.push_back(entry);
    voi.NrOfVOIs = 1;
    EXPECT_EQ(printed(voi, true),
              "\n"
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
              "NrOfVoxels: 2\n"
              "98 118 108\n"
              "97 118 108\n"
              "\n"
              "\n"
              "NrOfVOIVTCs:                0\n");
}

TEST(Documents, EmptyDocuments) {
    EXPECT_EQ(printed(ROI(), true), "");
    EXPECT_EQ(ROI().FileVersion.value(), 5);
    EXPECT_EQ(printed(TRF()), "\n");
    EXPECT_EQ(TRF().FileVersion.value(), -1);
    EXPECT_EQ(TAL().FileVersion.value(), -1);
    EXPECT_EQ(printed(TAL()),
              "AC: 0 0 0\nPC: 0 0 0\nAP: 0 0 0\nPP: 0 0 0\nSP: 0 0 0\nIP: 0 0 0\nRP: 0 0 0\nLP: 0 0 0\n\n");
    EXPECT_EQ(printed(SDM()),
              "FileVersion:            1\n\n"
              "NrOfPredictors:         0\n"
              "NrOfDataPoints:         0\n"
              "IncludesConstant:       0\n"
              "FirstConfoundPredictor: 0\n\n"
              "\n\n");
    const TRF identity;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(identity.matrix[r][c], r == c ? 1.0f : 0.0f);
    EXPECT_NE(identity.ExtraVMRTransf.value(), 1);
}

TEST(Documents, RoiReadingRules) {
    const auto onlyCount = parse<ROI>("NrOfTCPlots: 0\n");
    EXPECT_FALSE(onlyCount.FileVersion.isSet());
    EXPECT_EQ(onlyCount.FileVersion.value(), -1);
    EXPECT_EQ(printed(onlyCount, true), "NrOfTCPlots: 0\n\n");

    // Two complete blocks of three; the third ends before its NrOfVoxels.
    const auto cut = parse<ROI>("NrOfTCPlots: 3\nNrOfVoxels: 1\n1 2 3\nNrOfVoxels: 2\n4 5 6 7 8 9\nNrOfTCs: 1\n");
    ASSERT_EQ(cut.rois.size(), 2u);
    EXPECT_EQ(cut.rois[1].voxels, (std::vector<glm::tvec3<int>>{{4, 5, 6}, {7, 8, 9}}));
    EXPECT_EQ(printed(cut, false),
              "NrOfTCPlots: 3\n\nNrOfVoxels: 1\n  Skipping coordinate list\n\nNrOfVoxels: 2\n  Skipping coordinate list\n\n");

    // A list cut short keeps its complete triples and says how many it kept.
    const auto shortList = parse<ROI>("NrOfTCPlots: 1\nNrOfVoxels: 4\n1 2 3\n4 5\n");
    ASSERT_EQ(shortList.rois.size(), 1u);
    EXPECT_EQ(shortList.rois[0].voxels, (std::vector<glm::tvec3<int>>{{1, 2, 3}}));
    EXPECT_EQ(shortList.rois[0].NrOfVoxels.value(), 1);

    // A block whose count is the file's last word is complete.
    EXPECT_EQ(parse<ROI>("NrOfTCPlots: 1\nNrOfVoxels: 0").rois.size(), 1u);
    // Numbers wider than the field are written whole.
    const auto wide = parse<ROI>("NrOfTCPlots: 1\nNrOfVoxels: 1\n-1000 7 12345\n");
    EXPECT_EQ(printed(wide, true), "NrOfTCPlots: 1\n\nNrOfVoxels: 1\n-1000 7   12345\n\n");
}

TEST(Documents, VoiReadingRules) {
    const std::string header = "NrOfVOIs: 2\n"
                               "NameOfVOI: first\nNrOfVoxels: 1\n1 2 3\n"
                               "NameOfVOI: \"second one\"\nColorOfVOI: 1 2 3\nNrOfVoxels: 0\n\n";
    const auto sameLine = parse<VOI>(header + "NrOfVOIVTCs: 2 a.vtc\r\nb.vtc\r\n\r\nnever.vtc\n");
    EXPECT_EQ(sameLine.vtcFiles, (std::vector<std::string>{"a.vtc", "b.vtc"}));
    ASSERT_EQ(sameLine.vois.size(), 2u);
    EXPECT_EQ(sameLine.vois[0].color, glm::tvec3<int>(0, 0, 0));
    const auto text = printed(sameLine, true);
    EXPECT_NE(text.find("NameOfVOI: first\nColorOfVOI: 0 0 0\n\nNrOfVoxels: 1\n1 2 3\n\n"), std::string::npos);
    const std::string tail = "\n\nNrOfVOIVTCs: 2\na.vtc\nb.vtc\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

    const auto none = parse<VOI>(header + "NrOfVOIVTCs: 0\nstray.vtc\n");
    EXPECT_TRUE(none.vtcFiles.empty());
    EXPECT_TRUE(none.NrOfVOIVTCs.isSet());
}

TEST(Documents, TrfReadingRules) {
    // The last line's value survives the failed extraction at the end of the file.
    for (const char* ending : {"", "\n", "\n\n  \n"}) {
        const auto trf = parse<TRF>(std::string("FileVersion: 8\nToVMRVoxelRes: 1.5") + ending);
        EXPECT_EQ(trf.ToVMRVoxelRes.value(), 1.5f) << "ending " << ending;
        EXPECT_EQ(trf.FileVersion.value(), 8);
    }
    const auto unannounced = parse<TRF>("DataFormat: Other\n2 0 0 0 0 2 0 0 0 0 2 0 0 0 0 1\n"
                                        "ExtraVMRTransf: 0\n3 0 0 0 0 3 0 0 0 0 3 0 0 0 0 1\nAlignmentStep: 2\n");
    EXPECT_EQ(unannounced.FileVersion.value(), -1);
    EXPECT_EQ(unannounced.matrix[0][0], 1.0f);
    EXPECT_EQ(unannounced.extraMatrix[0][0], 1.0f);
    EXPECT_EQ(unannounced.AlignmentStep.value(), 2);
    EXPECT_EQ(printed(unannounced), "\nDataFormat: Other\n\nAlignmentStep: 2\nExtraVMRTransf: 0\n\n");

    // Float lines use six digits when no matrix came before them, seventeen after one.
    EXPECT_EQ(printed(parse<TRF>("SlThickFMRVMR: 0.1\n")), "\nSlThickFMRVMR: 0.1\n");
    EXPECT_NE(printed(parse<TRF>("DataFormat: Matrix\n1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\nSlThickFMRVMR: 0.1\n"))
                  .find("SlThickFMRVMR: 0.10000000149011612\n"),
              std::string::npos);
}

TEST(Documents, TalReadingRules) {
    const auto tal = parse<TAL>("FileVersion: 1\nPC:   127    93 122\nAC: 1 2 3\nAC: 4 5 6\n");
    EXPECT_EQ(tal.landmarks[TAL::AC], glm::tvec3<int>(4, 5, 6));
    EXPECT_EQ(tal.landmarks[TAL::RP], glm::tvec3<int>(0, 0, 0));
    EXPECT_EQ(printed(tal),
              "FileVersion: 1\n\nAC: 4 5 6\nPC: 127 93 122\nAP: 0 0 0\nPP: 0 0 0\nSP: 0 0 0\nIP: 0 0 0\n"
              "RP: 0 0 0\nLP: 0 0 0\n\n");

    const auto fraction = parse<TAL>("AC: 127.5 93 122\nTALVMRFramingCube: 256\n");
    EXPECT_EQ(fraction.landmarks[TAL::AC], glm::tvec3<int>(127, 0, 0));
    EXPECT_FALSE(fraction.TALVMRFramingCube.isSet());
}

TEST(Documents, SdmReadingRules) {
    const auto sdm = parse<SDM>("Junk: 3 NrOfDataPoints:   2\nNrOfPredictors: 3\nFirstConfoundPredictor: 1\n\n"
                                "1 2 3   4 5 6\n"
                                "\"alpha\" \"beta gamma\"\n"
                                "  1.000000   0.000000  -0.500000\n"
                                "  2.000000   3.000000   4.000000\n");
    EXPECT_FALSE(sdm.IncludesConstant.isSet());
    EXPECT_EQ(sdm.predictorNames, (std::vector<std::string>{"alpha", "beta gamma", "NoName"}));
    EXPECT_EQ(sdm.red, (std::vector<int>{1, 4, 0}));
    ASSERT_EQ(sdm.values.size(), 3u);
    EXPECT_EQ(sdm.values[2], (std::vector<float>{-0.5f, 4.0f}));
    const auto text = printed(sdm);
    EXPECT_EQ(text.find("IncludesConstant"), std::string::npos);
    EXPECT_NE(text.find("\n  1.000000   0.000000  -0.500000\n"), std::string::npos);

    const auto fields = SDM(std::string(VOCELLE_TEST_DATA) + "/fields.sdm");
    ASSERT_EQ(fields.values.size(), 3u);
    EXPECT_EQ(fields.values[0], (std::vector<float>{-1234.56789f, 1.5f}));
    EXPECT_EQ(fields.values[2], (std::vector<float>{0.0f, 3.5f}));
    EXPECT_EQ(fields.predictorNames[2], "NoName");
}

TEST(Documents, SdmRowsWithoutNumbersNameTheFile) {
    const std::string head = "NrOfPredictors: 2\nNrOfDataPoints: 2\nFirstConfoundPredictor: 0\n1 1 1 2 2 2\n\"a\" \"b\"\n";
    for (const auto& rows : {std::string("  1.000000   2.000000\n"),  // a row missing
                             std::string("  1.000000   2.000000\n              \n")}) {
        std::istringstream in(head + rows);
        try {
            SDM sdm(in, "/data/design.sdm");
            ADD_FAILURE() << "no error for " << rows;
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid data row in SDM file: /data/design.sdm");
        }
    }
}

std::vector<std::string> sdmLog;

TEST(Documents, SdmUnopenableFileIsLoggedNotThrown) {
    tarn::hxLogText = [](const char* text) { sdmLog.push_back(text); };
    const SDM sdm("/no/such/folder/design.sdm");
    tarn::hxLogText = nullptr;
    EXPECT_EQ(sdmLog, std::vector<std::string>{"!!!  Failed opening SDM for reading: /no/such/folder/design.sdm"});
    EXPECT_EQ(sdm.FileVersion.value(), -1);
    EXPECT_FALSE(sdm.FileVersion.isSet());
}

struct FailureCase {
    const char* name;
    std::function<void(const std::string&)> read;
    std::function<void(const std::string&)> saveAs;
};

TEST(Documents, FailuresNameThePath) {
    const FailureCase cases[] = {
        {"ROI", [](const std::string& p) { ROI{p}; }, [](const std::string& p) { ROI().SaveAs(p); }},
        {"VOI", [](const std::string& p) { VOI{p}; }, [](const std::string& p) { VOI().SaveAs(p); }},
        {"TRF", [](const std::string& p) { TRF{p}; }, [](const std::string& p) { TRF().SaveAs(p); }},
        {"TAL", [](const std::string& p) { TAL{p}; }, [](const std::string& p) { TAL().SaveAs(p); }},
        {"SDM", nullptr, [](const std::string& p) { SDM().SaveAs(p); }},
    };
    ScratchDir dir;
    const auto missing = dir.file("absent/doc.txt");
    for (const auto& c : cases) {
        if (c.read) {
            EXPECT_EQ(errorOf([&] { c.read(missing); }), "Failed opening for reading: " + missing) << c.name;
        }
        EXPECT_EQ(errorOf([&] { c.saveAs(missing); }), "Cannot Create file: " + missing) << c.name;
    }
    EXPECT_TRUE(dir.names().empty());
}

TEST(Documents, SaveFailingHalfWayKeepsTheOldFile) {
    ScratchDir dir;
    const auto target = dir.file("big.roi");
    writeAll(target, "NrOfTCPlots: 0\n");
    ROI roi;
    roi.rois.resize(1);
    roi.rois[0].voxels.assign(50000, glm::tvec3<int>(100, 100, 10));
    EXPECT_EQ(errorWithFileSizeLimit(32 * 1024, [&] { roi.SaveAs(target); }), "Cannot Create file: " + target);
    EXPECT_EQ(readAll(target), "NrOfTCPlots: 0\n");
    EXPECT_EQ(dir.names(), std::set<std::string>{"big.roi"});
}

// Tiny files claiming two billion voxels, entries, linked files, predictors or rows cost only
// what they hold: complete triples are kept, the rest is never allocated.
TEST(Documents, HostileCounts) {
    using Triples = std::vector<glm::tvec3<int>>;
    const std::string huge = "2000000000";
    const auto roi = parse<ROI>("NrOfTCPlots: " + huge + "\nNrOfVoxels: " + huge + "\n1 2 3\n4 5 6\n7 8\n");
    ASSERT_EQ(roi.rois.size(), 1u);
    EXPECT_EQ(roi.rois[0].voxels, (Triples{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(roi.rois[0].NrOfVoxels.value(), 2);
    EXPECT_EQ(parse<ROI>("NrOfTCPlots: " + huge + "\nNrOfVoxels: 1\n1 2 3\nNrOfVoxels: 0\n").rois.size(), 2u);

    const auto voi = parse<VOI>("NrOfVOIs: " + huge + "\nNameOfVOI: x\nNrOfVoxels: " + huge + "\n1 2 3\n");
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].voxels, (Triples{{1, 2, 3}}));
    EXPECT_EQ(parse<VOI>("NrOfVOIs: 0\nNrOfVOIVTCs: " + huge + "\na.vtc\nb.vtc\n").vtcFiles.size(), 2u);

    const auto sdmHead = [&](const std::string& n, const std::string& t) {
        return "NrOfPredictors: " + n + "\nNrOfDataPoints: " + t + "\nFirstConfoundPredictor: 0\n";
    };
    EXPECT_THROW(parse<SDM>(sdmHead(huge, huge) + "1 2 3\n\"a\"\n 1.000000\n"), std::out_of_range);
    EXPECT_THROW(parse<SDM>(sdmHead("2", huge) + "1 2 3 4 5 6\n\"a\" \"b\"\n 1.0 2.0\n"), std::invalid_argument);
    const auto named = parse<SDM>(sdmHead(huge, "0") + "1 2 3 4 5 6\n\"a\" \"b\" \"c\"\n");
    EXPECT_EQ(named.predictorNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(named.red, (std::vector<int>{1, 4, 0}));
    EXPECT_TRUE(parse<SDM>(sdmHead("0", huge)).values.empty());
}

} // namespace
