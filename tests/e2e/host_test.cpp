// The host's logic in process: transcripts, cutting job lists, worker records,
// voxel conventions, the preview's geometry, NIfTI refusals and the progress line.

#include "host/joblistsplit.h"
#include "host/logrecords.h"
#include "host/niftiexport.h"
#include "host/preview.h"
#include "host/progress.h"
#include "host/transcript.h"
#include "host/voispace.h"
#include "plugin/joblist.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace {

TEST(Transcript, JsonStringsKeepEveryByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"a\"b\\c\r\t\n", R"("a\"b\\c\r\t\n")"},
        {std::string("\x01\x1f\x7f", 3), R"("\u0001\u001f\u007f")"},
        {"caf\xc3\xa9 \xe2\x82\xac", "\"caf\xc3\xa9 \xe2\x82\xac\""},
        {"latin1 \xe9 cut \xc3", R"("latin1 \u00e9 cut \u00c3")"},
        {"overlong \xc0\xaf", R"("overlong \u00c0\u00af")"},
    };
    for (const auto& [bytes, json] : cases)
        EXPECT_EQ(jsonString(bytes), json);
    JsonLine line;
    line.add("a", "x").add("b", 2).add("c", true).add("d", (const char*)nullptr);
    EXPECT_EQ(line.str(), R"({"a":"x","b":2,"c":true,"d":null})");
}

std::vector<std::string> jobsOf(const std::string& list) {
    std::vector<std::string> jobs;
    std::istringstream in(list);
    readJobList(in, [&](const ConversionJob& j) {
        jobs.push_back(j.roiName + "|" + j.fmrName + "|" + j.iaTrfName + "|" + j.faTrfName + "|" +
                       j.acpcTrfName + "|" + j.talName);
    });
    return jobs;
}

TEST(SplitJobList, PartsRunTheJobsOfTheWholeListInOrder) {
    const std::string lists[] = {
        "study/\ns1.roi\ns1.fmr\ns1_IA.trf\ns1_FA.trf\ns1_ACPC.trf\ns1.tal\n"
        "# subject 2\ns2.roi\ns2.fmr\n\n# subject 3\n  s3.roi  "
        "\ns3_ACPC.trf\ns4.roi\ns4.fmr\ns4.fmr\ns5.roi",
        "base/\r\nnotes before any "
        "job\r\na.roi\r\na.fmr\r\nb.roi\r\nb_IA.trf\r\n\r\nc.roi\r\nc.tal",
        "only the first line",
    };
    for (const auto& list : lists) {
        const auto whole = jobsOf(list);
        for (int n : {1, 2, 3, 7}) {
            const JobListParts split = splitJobList(list, n);
            ASSERT_EQ(split.error, "") << list;
            ASSERT_EQ(split.parts.size(), std::size_t(n));
            EXPECT_EQ(split.jobCount, int(whole.size()));
            std::vector<std::string> joined;
            for (std::size_t p = 0; p < split.parts.size(); ++p) {
                const auto jobs = jobsOf(split.parts[p]);
                // Even parts: job counts differ by one at most.
                EXPECT_LE(jobs.size(), whole.size() / n + 1) << list;
                EXPECT_GE(jobs.size(), whole.size() / n) << list;
                ASSERT_EQ(jobs.size(), split.roiNames[p].size());
                for (std::size_t j = 0; j < jobs.size(); ++j)
                    EXPECT_EQ(jobs[j].substr(0, jobs[j].find('|')), split.roiNames[p][j]);
                joined.insert(joined.end(), jobs.begin(), jobs.end());
                EXPECT_EQ(split.parts[p].substr(0, split.parts[p].find('\n')),
                          list.substr(0, list.find('\n')));
            }
            EXPECT_EQ(joined, whole) << list << " in " << n;
        }
    }
    // A comment that introduces a subject travels with that subject.
    EXPECT_EQ(splitJobList(lists[0], 5).parts[1], "study/\n# subject 2\ns2.roi\ns2.fmr\n");

    EXPECT_NE(splitJobList("data/study.roi\na.roi\n", 2).error, "");
    EXPECT_NE(
        splitJobList("x/\n" + std::string(maxJobListLineLength + 1, 'a') + "\nb.roi\n", 2).error,
        "");
    EXPECT_EQ(splitJobList("x/\n" + std::string(maxJobListLineLength - 3, 'a') + "roi\n", 2).error,
              "");
    EXPECT_NE(splitJobListFile("/nonexistent/jobs.txt", 2).error.find("/nonexistent/jobs.txt"),
              std::string::npos);
    EXPECT_EQ(jobListPartName("dir/jobs.txt", 2, ""), "dir/jobs.2.txt");
    EXPECT_EQ(jobListPartName("list", 12, "out/"), "out/list.12.txt");
}

TEST(LogRecords, EntriesArriveWholeHoweverThePipeCutsThem) {
    const std::vector<std::string> entries = {"\nVocelle>  Running...", "", "a: b\nc", "12:34",
                                              "done\n"};
    std::string stream, buffer;
    for (const auto& e : entries)
        stream += std::to_string(e.size()) + ":" + e;
    std::vector<std::string> got;
    for (char c : stream) {
        buffer += c;
        for (auto& r : readLogRecords(buffer))
            got.push_back(r);
    }
    EXPECT_EQ(got, entries);
    EXPECT_EQ(buffer, "");
}

VOI talairachVoi(const std::vector<std::vector<glm::ivec3>>& regions) {
    VOI voi;
    voi.ReferenceSpace.value() = "TAL";
    const glm::ivec3 colours[] = {{255, 40, 50}, {80, 255, 80}};
    for (std::size_t i = 0; i < regions.size(); ++i) {
        single_VOI entry;
        entry.NameOfVOI.set("NameOfVOI", "VOI " + std::to_string(i + 1), 12);
        entry.color = colours[i % 2];
        entry.voxels = regions[i];
        voi.vois.push_back(entry);
    }
    return voi;
}

bool same(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

TEST(Preview, ViewsShowVoxelsOnTheirSideOfTheACAndFaintOffTheSlice) {
    // Right, anterior and superior of the AC; the second VOI far below it. Their common centre
    // (z 0) holds no voxel, so the views move into the nearer VOI and show the other faint.
    const glm::ivec3 near(20, 30, 40), far(-20, 30, -44);
    const Preview preview = renderPreview(talairachVoi({{near}, {far}}), "t");
    const glm::ivec3 cube = cubeVoxel(near, VoiConvention::Talairach);
    EXPECT_EQ(preview.centre.y, 128 - 40);
    for (int view = 0; view < 3; ++view) {
        int x, y, acX, acY;
        previewPixel(view, cube, x, y);
        previewPixel(view, {128, 128, 128}, acX, acY);
        EXPECT_TRUE(same(preview.image.at(x, y), Rgb{255, 40, 50})) << view;
        // Axial, coronal: right on the left, sagittal: anterior on the left; axial: anterior
        // up, coronal, sagittal: superior up.
        EXPECT_LT(x, acX) << view;
        EXPECT_LT(y, acY) << view;
    }
    int x, y;
    previewPixel(0, cubeVoxel(far, VoiConvention::Talairach), x, y);
    const Rgb faint = preview.image.at(x, y);
    EXPECT_FALSE(same(faint, Rgb{80, 255, 80}));
    EXPECT_GT(faint.g, 60);
    EXPECT_GT(faint.g, faint.r);

    VOI unknown = talairachVoi({{{0, 0, 0}}});
    unknown.ReferenceSpace.value() = "MNI";
    EXPECT_THROW(renderPreview(unknown, "t"), std::runtime_error);
    // A stored coordinate whose cube position would overflow lies outside the cube.
    EXPECT_FALSE(insideCube(cubeVoxel({-2147483647 - 1, 0, 0}, VoiConvention::Talairach)));
}

TEST(NiftiExport, RefusesBadTargetsWithoutTouchingFiles) {
    const ScratchDir dir;
    const VOI voi = talairachVoi({{{1, 2, 3}}});
    try {
        exportNifti(voi, dir.file("missing/x.nii.gz"));
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing/x.nii.gz"), std::string::npos) << e.what();
    }
    EXPECT_THROW(exportNifti(voi, dir.file("x.png")), std::runtime_error);
    EXPECT_TRUE(dir.names().empty());
}

TEST(ProgressLine, FitsTheTerminalWidth) {
    EXPECT_EQ(ProgressLine::text(0, 2, {"a.roi", "b.roi"}, 80), "[0/2] converting a.roi, b.roi");
    const std::string cut = ProgressLine::text(3, 10, {std::string(200, 'x') + ".roi"}, 40);
    EXPECT_EQ(cut.size(), 39u);
    EXPECT_EQ(cut.substr(0, 7), "[3/10] ");
    EXPECT_EQ(cut.substr(36), "...");
}

} // namespace
