// The host's tools in process: cutting job lists, worker records, command lines, voxel
// conventions, the preview's geometry, NIfTI refusals and the progress line.

#include "host/hostoptions.h"
#include "host/joblistsplit.h"
#include "host/logrecords.h"
#include "host/niftiexport.h"
#include "host/preview.h"
#include "host/progress.h"
#include "host/voispace.h"
#include "plugin/joblist.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

std::vector<ConversionJob> jobsOf(const std::string& list) {
    std::vector<ConversionJob> jobs;
    std::istringstream in(list);
    readJobList(in, [&](const ConversionJob& job) { jobs.push_back(job); });
    return jobs;
}

std::string describe(const ConversionJob& j) {
    return j.roiName + "|" + j.fmrName + "|" + j.iaTrfName + "|" + j.faTrfName + "|" + j.acpcTrfName + "|" + j.talName;
}

TEST(SplitJobList, PartsRunTheJobsOfTheWholeListInOrder) {
    const std::vector<std::string> lists = {
        "study/\ns1.roi\ns1.fmr\ns1_IA.trf\ns1_FA.trf\ns1_ACPC.trf\ns1.tal\n"
        "# subject 2\ns2.roi\ns2.fmr\n\n# subject 3\n  s3.roi  \ns3_ACPC.trf\ns4.roi\ns4.fmr\ns4.fmr\ns5.roi",
        "base/\r\nnotes before any job\r\na.roi\r\na.fmr\r\nb.roi\r\nb_IA.trf\r\n\r\nc.roi\r\nc.tal",
        "/abs/\none.roi\n",
        "only the first line",
        "x/\nno job at all\n",
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
                // Even parts: job counts differ by at most one.
                EXPECT_LE(jobs.size(), whole.size() / n + 1) << list;
                EXPECT_GE(jobs.size(), whole.size() / n) << list;
                EXPECT_EQ(jobs.size(), split.roiNames[p].size());
                for (std::size_t j = 0; j < jobs.size(); ++j) {
                    EXPECT_EQ(jobs[j].roiName, split.roiNames[p][j]);
                    joined.push_back(describe(jobs[j]));
                }
                EXPECT_EQ(split.parts[p].substr(0, split.parts[p].find('\n')), list.substr(0, list.find('\n')));
            }
            std::vector<std::string> expected;
            for (const auto& job : whole) expected.push_back(describe(job));
            EXPECT_EQ(joined, expected) << list << " in " << n;
        }
    }
    // A comment that introduces a subject travels with that subject.
    const JobListParts split = splitJobList(lists[0], 5);
    EXPECT_EQ(split.parts[1], "study/\n# subject 2\ns2.roi\ns2.fmr\n");
}

TEST(SplitJobList, RefusesListsItCannotCutSafely) {
    EXPECT_NE(splitJobList("data/study.roi\na.roi\n", 2).error, "");
    EXPECT_NE(splitJobList("x/\n" + std::string(maxJobListLineLength + 1, 'a') + "\nb.roi\n", 2).error, "");
    EXPECT_EQ(splitJobList("x/\n" + std::string(maxJobListLineLength - 3, 'a') + "roi\n", 2).error, "");
    EXPECT_NE(splitJobListFile("/nonexistent/jobs.txt", 2).error.find("/nonexistent/jobs.txt"), std::string::npos);
    EXPECT_EQ(jobListPartName("dir/jobs.txt", 2, ""), "dir/jobs.2.txt");
    EXPECT_EQ(jobListPartName("dir/jobs.txt", 12, "out"), "out/jobs.12.txt");
    EXPECT_EQ(jobListPartName("list", 1, "out/"), "out/list.1.txt");
}

TEST(LogRecords, EntriesArriveWholeHoweverThePipeCutsThem) {
    const std::vector<std::string> entries = {"\nVocelle>  Running...", "", "a: b\nc", "12:34", "Vocelle>  Plugin finished!\n"};
    std::string stream;
    for (const auto& e : entries) stream += std::to_string(e.size()) + ":" + e;
    std::string buffer;
    std::vector<std::string> got;
    for (char c : stream) {
        buffer += c;
        for (auto& r : readLogRecords(buffer)) got.push_back(r);
    }
    EXPECT_EQ(got, entries);
    EXPECT_EQ(buffer, "");
}

TEST(HostArguments, ToolCommandLines) {
    const auto parse = [](std::vector<std::string> a) { return parseHostArguments(a); };
    auto p = parse({"print", "--no-voxels", "a.voi"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.command, HostOptions::Command::Print);
    EXPECT_FALSE(p.options.withVoxels);
    p = parse({"convert", "--roi", "r", "--fmr", "f", "--ia", "i", "--fa", "a", "--acpc", "c", "-o", "o.voi"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.roi + p.options.fmr + p.options.ia + p.options.fa + p.options.acpc + p.options.output, "rfiaco.voi");
    p = parse({"run", "--jobs", "4", "jobs.txt"});
    EXPECT_EQ(p.options.jobs, 4);
    p = parse({"split", "jobs.txt", "8", "-o", "parts"});
    EXPECT_EQ(p.options.parts, 8);
    EXPECT_EQ(p.options.output, "parts");

    const std::vector<std::vector<std::string>> wrong = {
        {"print"}, {"print", "a.voi", "b.voi"}, {"preview", "a.voi", "--no-voxels"},
        {"convert", "--roi", "r", "--fmr", "f", "--ia", "i", "--fa", "a"}, {"convert", "--roi", "r", "x"},
        {"run", "--jobs", "0", "j"}, {"run", "--jobs", "2x", "j"}, {"run", "--jobs", "2", "--transcript", "t", "j"},
        {"split", "j"}, {"split", "j", "0"}, {"split", "j", "-3"}, {"print", "-o", "x", "a.voi"}, {"info", "--tal", "t"},
    };
    for (const auto& arguments : wrong) {
        std::string line;
        for (const auto& a : arguments) line += a + " ";
        EXPECT_NE(parse(arguments).error, "") << line;
    }
}

TEST(VoiSpace, BothConventionsPlaceACubeVoxelAtOneWorldPosition) {
    for (const glm::ivec3 cube : {glm::ivec3(128, 128, 128), glm::ivec3(0, 0, 0), glm::ivec3(255, 255, 255),
                                  glm::ivec3(58, 170, 60), glm::ivec3(10, 20, 30)}) {
        const glm::ivec3 talairach(128 - cube.z, 128 - cube.x, 128 - cube.y);
        EXPECT_EQ(cubeVoxel(talairach, VoiConvention::Talairach), cube);
        EXPECT_EQ(worldPosition(talairach, VoiConvention::Talairach), worldPosition(cube, VoiConvention::Cube));
    }
    EXPECT_EQ(worldPosition({128, 128, 128}, VoiConvention::Cube), glm::ivec3(0, 0, 0));
    // Anterior edge of the box (x 58), superior (y 54), right (z 60): +70 anterior, +74 up, +68 right.
    EXPECT_EQ(worldPosition({58, 54, 60}, VoiConvention::Cube), glm::ivec3(68, 70, 74));
    EXPECT_FALSE(insideCube(cubeVoxel({-2147483647 - 1, 0, 0}, VoiConvention::Talairach)));
}

VOI talairachVoi(std::vector<std::vector<glm::ivec3>> regions) {
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

bool same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

TEST(Preview, EachViewShowsAVoxelOnItsSideOfTheAC) {
    // Right, anterior and superior of the AC.
    const glm::ivec3 stored(20, 30, 40);
    const Preview preview = renderPreview(talairachVoi({{stored}}), "t");
    const glm::ivec3 cube = cubeVoxel(stored, VoiConvention::Talairach);
    EXPECT_EQ(preview.centre, cube);
    for (int view = 0; view < 3; ++view) {
        int x, y, acX, acY;
        previewPixel(view, cube, x, y);
        previewPixel(view, {128, 128, 128}, acX, acY);
        EXPECT_TRUE(same(preview.image.at(x, y), Rgb{255, 40, 50})) << view;
        EXPECT_LT(x, acX) << view; // axial, coronal: right on the left; sagittal: anterior on the left
        EXPECT_LT(y, acY) << view; // axial: anterior up; coronal, sagittal: superior up
    }
}

TEST(Preview, VoxelsOffTheSlicesAreFaintAndTheCentreMovesIntoAVoi) {
    // Two VOIs far apart: their common centre (z 0) holds no voxel, so the axial view moves
    // into the nearer one and shows the other faint.
    const Preview preview = renderPreview(talairachVoi({{{20, 30, 40}}, {{-20, 30, -44}}}), "t");
    EXPECT_EQ(preview.centre.y, 128 - 40);
    int x, y;
    previewPixel(0, cubeVoxel({20, 30, 40}, VoiConvention::Talairach), x, y);
    EXPECT_TRUE(same(preview.image.at(x, y), Rgb{255, 40, 50}));
    previewPixel(0, cubeVoxel({-20, 30, -44}, VoiConvention::Talairach), x, y);
    const Rgb faint = preview.image.at(x, y);
    EXPECT_FALSE(same(faint, Rgb{80, 255, 80}));
    EXPECT_GT(faint.g, 60);
    EXPECT_GT(faint.g, faint.r);

    VOI unknown = talairachVoi({{{0, 0, 0}}});
    unknown.ReferenceSpace.value() = "MNI";
    EXPECT_THROW(renderPreview(unknown, "t"), std::runtime_error);
}

TEST(NiftiExport, RefusesBadTargetsWithoutTouchingFiles) {
    const fs::path dir = fs::temp_directory_path() / ("vocelle_nifti_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const VOI voi = talairachVoi({{{1, 2, 3}}});
    try {
        exportNifti(voi, (dir / "missing" / "x.nii.gz").string());
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing/x.nii.gz"), std::string::npos) << e.what();
    }
    EXPECT_THROW(exportNifti(voi, (dir / "x.png").string()), std::runtime_error);
    EXPECT_EQ(labelTablePath("a/b.nii.gz"), "a/b.tsv");
    EXPECT_EQ(labelTablePath("a/b.nii"), "a/b.tsv");
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

TEST(ProgressLine, FitsTheTerminalWidth) {
    EXPECT_EQ(ProgressLine::text(3, 10, {"s1/run1.roi"}, 80), "[3/10] converting s1/run1.roi");
    EXPECT_EQ(ProgressLine::text(0, 2, {"a.roi", "b.roi"}, 80), "[0/2] converting a.roi, b.roi");
    const std::string cut = ProgressLine::text(3, 10, {std::string(200, 'x') + ".roi"}, 40);
    EXPECT_EQ(cut.size(), 39u);
    EXPECT_EQ(cut.substr(0, 7), "[3/10] ");
    EXPECT_EQ(cut.substr(36), "...");
}

} // namespace
