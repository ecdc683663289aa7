// Reading rules and hostile input. Every fuzz seed and every input that ever failed a fuzz target
// is replayed whole and cut at every byte through the fuzz bodies, which check what a reader may
// keep of a cut file; the limits that matter are spelled out.
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include "fuzz/fuzzbodies.h"
#include <vocelle/plugin/TarnPluginInterface.h>
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"
#include <vocelle/text/logsink.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
using Triples = std::vector<glm::tvec3<int>>;

void replay(FuzzBody body, const std::string& bytes, const std::string& what) {
    try {
        body(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": " << e.what();
    }
}

TEST(FuzzReplay, SeedsAndRegressionsWholeAndCutAtEveryByte) {
    for (const FuzzTarget* target = fuzzTargets; target->name != nullptr; ++target) {
        // A conversion scans the cube, so its seeds are replayed whole.
        const bool cut = std::string(target->name) != "conversion";
        int seeds = 0;
        for (const std::string folder : {"corpus", "regressions"}) {
            const fs::path dir = fs::path(VOCELLE_FUZZ_DIR) / folder / target->name;
            for (const auto& entry :
                 fs::is_directory(dir) ? fs::directory_iterator(dir) : fs::directory_iterator()) {
                const std::string bytes = readAll(entry.path().string());
                for (std::size_t n = cut ? 0 : bytes.size(); n <= bytes.size(); ++n)
                    replay(target->body, bytes.substr(0, n),
                           entry.path().string() + " cut at " + std::to_string(n));
                seeds += folder == "corpus";
            }
        }
        EXPECT_GT(seeds, 0) << "no seed corpus for " << target->name;
    }
}

template <typename Entries> std::vector<Triples> voxelLists(const Entries& entries) {
    std::vector<Triples> lists;
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.NrOfVoxels.value(), static_cast<int>(entry.voxels.size()));
        lists.push_back(entry.voxels);
    }
    return lists;
}

// Regions and VOIs alike: a block cut before its count is dropped with all later ones, a voxel
// list cut short keeps its complete triples, and counts of billions cost only what the file holds.
TEST(Truncation, CutBlocksKeepWhatTheFileHeld) {
    const struct {
        std::string text; // after the document's count key
        std::vector<Triples> kept;
    } cases[] = {
        {"2000000000\nNrOfVoxels: 2000000000\n1 2 3\n4 5 6\n7 8", {{{1, 2, 3}, {4, 5, 6}}}},
        {"3\nNrOfVoxels: 1\n1 2 3\nNrOfTCs: 1\n", {{{1, 2, 3}}}},
        {"2000000000\nNrOfVoxels: 1\n1 2 3\nNrOfVoxels: 0", {{{1, 2, 3}}, {}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(voxelLists(parse<ROI>("NrOfTCPlots: " + c.text).rois), c.kept) << c.text;
        EXPECT_EQ(voxelLists(parse<VOI>("NrOfVOIs: " + c.text).vois), c.kept) << c.text;
    }
}

// The linked files stand one per line after their count, the first perhaps on the count's line;
// a count of billions keeps what the file holds.
TEST(Documents, VoiKeepsItsLinkedFiles) {
    const std::string head = "NrOfVOIs: 1\nNameOfVOI: \"a one\"\nNrOfVoxels: 1\n1 2 3\n\n";
    const auto voi = parse<VOI>(head + "NrOfVOIVTCs: 2000000000 a.vtc\r\nb.vtc\r\n\r\n");
    const std::string text = printed(voi, true),
                      tail = "NameOfVOI: \"a one\"\nColorOfVOI: 0 0 0\n\nNrOfVoxels: 1\n1 2 3\n\n"
                             "\nNrOfVOIVTCs: 2000000000\na.vtc\nb.vtc\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(parse<VOI>(head + "NrOfVOIVTCs: 1\nb.vtc\nnever.vtc\n").vtcFiles,
              std::vector<std::string>{"b.vtc"});
    const auto none = parse<VOI>(head + "NrOfVOIVTCs: 0\nstray.vtc\n");
    EXPECT_TRUE(none.vtcFiles.empty() && none.NrOfVOIVTCs.isSet());
}

// Voxel lists are formatted in blocks, not through the stream; the text must be what the stream
// gives, across block boundaries and for every int.
TEST(Documents, VoiVoxelListsAsTheStreamWritesThem) {
    const int extremes[] = {0, 7, -7, 10, -10, 999, -999, 1000, -1000, INT_MAX, INT_MIN};
    VOI voi;
    voi.vois.resize(1);
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
}

// The last line's value survives the failed extraction at the end of the file.
TEST(Documents, TrfValueAtTheEndOfTheFile) {
    EXPECT_EQ(parse<TRF>("FileVersion: 8\nToVMRVoxelRes: 1.5").ToVMRVoxelRes.value(), 1.5f);
}

std::string sdmHead(const std::string& predictors, const std::string& rows) {
    return "NrOfPredictors: " + predictors + "\nNrOfDataPoints: " + rows +
           "\nFirstConfoundPredictor: 0\n";
}

TEST(Documents, SdmReadingRules) {
    // Colours and names may fall short of the predictors, rows be free-form or 12-character
    // fields that touch; a value too small for a normal float reads as the nearest float.
    const SDM sdm(VOCELLE_TEST_DATA "/freeform.sdm");
    EXPECT_EQ(sdm.predictorNames, (std::vector<std::string>{"alpha", "beta gamma", "NoName"}));
    EXPECT_EQ(sdm.red, (std::vector<int>{1, 4, 0}));
    ASSERT_EQ(sdm.values.size(), 3u);
    EXPECT_EQ(sdm.values[0], (std::vector<float>{1.0f, -1234.56789f, 2.0f}));
    EXPECT_EQ(sdm.values[1], (std::vector<float>{0.0f, -1.5f, 0.0f}));
    EXPECT_EQ(sdm.values[2], (std::vector<float>{-0.5f, 0.0f, std::strtof("1e-45", nullptr)}));
    EXPECT_NE(printed(sdm).find("\n  1.000000   0.000000  -0.500000\n"), std::string::npos);
    EXPECT_TRUE(sdm.readFault.empty());
    // A file cut after its header still has every predictor it claims, the read noted as partial;
    // counts of billions cost only what the file holds.
    const auto cut = parse<SDM>(sdmHead("3", "0"));
    EXPECT_EQ(printed(cut).substr(printed(cut).find("\n\n") + 2) + cut.readFault.what,
              "0 0 0   0 0 0   0 0 0\n\"NoName\" \"NoName\" \"NoName\"\n"
              "Read only partly (the file ends after 0 of the 3 colours)");
    const auto named = parse<SDM>(sdmHead("2000000000", "0") + "1 2 3 4 5 6\n\"a\" \"b\" \"c\"\n");
    EXPECT_EQ(named.predictorNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(named.readFault.what,
              "Read only partly (NrOfPredictors: 2000000000 is more than the file holds)");
    EXPECT_TRUE(parse<SDM>(sdmHead("0", "2000000000")).values.empty());
}

// A folder or a device named as a document gives the one opening error, without blocking; an SDM
// logs it instead.
TEST(Documents, OnlyRegularFilesAreOpened) {
    static std::vector<std::string> logged;
    setLogSink([](const std::string& message) { logged.push_back(message); });
    for (const std::string path : {VOCELLE_TEST_DATA, "/dev/null"}) {
        for (const auto& read : std::vector<std::function<void()>>{
                 [&] { ROI{path}; }, [&] { VOI{path}; }, [&] { TRF{path}; }, [&] { TAL{path}; },
                 [&] { FMR(path, false); }})
            EXPECT_EQ(errorOf(read), "Failed opening for reading: " + path);
        logged.clear();
        EXPECT_FALSE(SDM(path).FileVersion.isSet());
        EXPECT_EQ(logged, std::vector<std::string>{"!!!  Failed opening SDM for reading: " + path});
    }
    setLogSink(nullptr);
}

} // namespace
