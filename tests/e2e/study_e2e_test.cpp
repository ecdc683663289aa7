// The bundled example study through the real host and every tool, and its generator against the
// committed copy.

#include "formats/myTAL.h"
#include "formats/myVOI.h"
#include "math/trffunctions.h"
#include "tests/e2e/hostrun.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>

namespace {

namespace fs = std::filesystem;

const fs::path studySource = fs::path(VOCELLE_EXAMPLES_DIR) / "study";

glm::dvec3 centroid(const std::vector<glm::tvec3<int>>& voxels) {
    glm::dvec3 sum(0.0);
    for (const auto& v : voxels)
        sum += glm::dvec3(v);
    return sum / double(voxels.size());
}

// Each region lands where examples/README.md says it was drawn: Talairach centre (right,
// anterior, superior) and radius in mm, about as large as its sphere; the AC-PC output is the
// same region before the Talairach normalisation.
void expectRegionsWhereDrawn(const VOI& tal, const VOI& acpc, const TAL& landmarks) {
    const double regions[][4] = {
        {-8, -84, 4, 11}, {-36, -22, 54, 9}, {-30, -12, 60, 7}, {12, -18, 8, 6}, {0, 0, 0, 0}};
    ASSERT_EQ(tal.vois.size(), std::size(regions));
    ASSERT_EQ(acpc.vois.size(), std::size(regions));
    for (size_t i = 0; i < std::size(regions); ++i) {
        const auto& inTal = tal.vois[i].voxels;
        const auto& inAcpc = acpc.vois[i].voxels;
        const double* r = regions[i];
        EXPECT_EQ(tal.vois[i].NameOfVOI.value(), "VOI " + std::to_string(i + 1));
        if (r[3] == 0) {
            EXPECT_TRUE(inTal.empty() && inAcpc.empty());
            continue;
        }
        ASSERT_FALSE(inTal.empty() || inAcpc.empty()) << i;
        const double sphere = 4.0 / 3.0 * 3.14159265358979 * r[3] * r[3] * r[3];
        EXPECT_NEAR(double(inTal.size()), sphere, 0.15 * sphere) << i;
        EXPECT_NEAR(double(inAcpc.size()), double(inTal.size()), 0.15 * inTal.size()) << i;
        const glm::dvec3 c = centroid(inTal);
        EXPECT_NEAR(c.x, r[0], 1.5) << i;
        EXPECT_NEAR(c.y, r[1], 1.5) << i;
        EXPECT_NEAR(c.z, r[2], 1.5) << i;
        for (const auto& v : inTal) // inside the Talairach box, i.e. inside the brain
            ASSERT_TRUE(std::abs(v.x) <= 68 && v.y >= -102 && v.y <= 70 && v.z >= -42 && v.z <= 74)
                << i;
        float p[4] = {float(128 - c.y), float(128 - c.z), float(128 - c.x), 1};
        untal(p, landmarks);
        const glm::dvec3 a = centroid(inAcpc);
        EXPECT_NEAR(a.x, p[0], 1.5) << i;
        EXPECT_NEAR(a.y, p[1], 1.5) << i;
        EXPECT_NEAR(a.z, p[2], 1.5) << i;
    }
}

// Pixels of the PNG at path with exactly this colour, or -1 when it cannot be read.
long long pixelsOfColour(const fs::path& path, unsigned char r, unsigned char g, unsigned char b,
                         int& width) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return -1;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return -1;
    width = int(image.width);
    long long count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        count += rgb[i] == r && rgb[i + 1] == g && rgb[i + 2] == b;
    return count;
}

TEST(ExampleStudy, ConvertsThroughTheHostAndEveryTool) {
    const ScratchDir dir;
    const fs::path one = dir.path() / "one", two = dir.path() / "two";
    fs::copy(studySource, one, fs::copy_options::recursive);
    fs::copy(studySource, two, fs::copy_options::recursive);
    const ProgramRun sequential = runHost({"run", "jobs.txt"}, one);
    EXPECT_EQ(
        sequential.out,
        "\nVocelle>  Running...\nConverted ./s1/run1.roi\nConverted ./s1/run1.roi\n"
        "!!!! Not enough files could be loaded to convert ./s2/run1.roi\n"
        "FMR could not be loaded: ./s2/run1.fmr\nFA.trf could not be loaded: ./s2/run1_FA.trf\n"
        "Vocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n");
    EXPECT_EQ(sequential.err, "2 converted, 1 not converted\n");
    EXPECT_EQ(sequential.status, 1);

    // Two worker processes: the same log, summary and files.
    const ProgramRun parallel = runHost({"run", "--jobs", "2", "jobs.txt"}, two);
    EXPECT_EQ(parallel.out, sequential.out);
    EXPECT_EQ(parallel.err, sequential.err);
    EXPECT_EQ(parallel.status, sequential.status);
    const auto files = filesBelow(one);
    EXPECT_TRUE(files == filesBelow(two));

    // The two VOIs are added; nothing else is written or changed.
    auto expected = filesBelow(studySource);
    for (const char* made : {"s1/run1_TAL_.voi", "s1/run1_ACPC_.voi"}) {
        ASSERT_EQ(files.count(made), 1u) << made;
        expected[made] = files.at(made);
    }
    EXPECT_TRUE(files == expected);
    const VOI tal((one / "s1/run1_TAL_.voi").string()), acpc((one / "s1/run1_ACPC_.voi").string());
    EXPECT_EQ(tal.ReferenceSpace.value(), "TAL");
    EXPECT_EQ(acpc.ReferenceSpace.value(), "ACPC");
    expectRegionsWhereDrawn(tal, acpc, TAL((one / "s1/anat.tal").string()));

    // convert: one subject without a list gives the same bytes, and the same report.
    fs::create_directories(two / "out");
    const ProgramRun converted =
        runHost({"convert", "--roi", "./s1/run1.roi", "--fmr", "./s1/run1.fmr", "--ia",
                 "./s1/run1_IA.trf", "--fa", "./s1/run1_FA.trf", "--acpc", "./s1/anat_ACPC.trf",
                 "--tal", "./s1/anat.tal", "-o", "out/tal.voi"},
                two);
    EXPECT_EQ(converted.status, 0);
    EXPECT_EQ(converted.out, "Converted ./s1/run1.roi\n");
    EXPECT_EQ(converted.err, "1 converted, 0 not converted\n");
    EXPECT_EQ(readAll((two / "out/tal.voi").string()), files.at("s1/run1_TAL_.voi"));
    const ProgramRun missing = runHost(
        {"convert", "--roi", "./s2/run1.roi", "--fmr", "./s2/run1.fmr", "--ia", "./s2/run1_IA.trf",
         "--fa", "./s2/run1_FA.trf", "--acpc", "./s2/anat_ACPC.trf", "--tal", "./s2/anat.tal"},
        two);
    EXPECT_EQ(missing.status, 1);
    const auto report = sequential.out.find("!!!! Not enough");
    ASSERT_NE(report, std::string::npos);
    EXPECT_EQ(missing.out, sequential.out.substr(report, missing.out.size()));

    // preview: a picture of the views with the drawn VOIs' colours in it.
    const ProgramRun preview = runHost({"preview", "s1/run1_TAL_.voi", "-o", "check.png"}, one);
    EXPECT_EQ(preview.status, 0) << preview.err;
    int width = 0;
    EXPECT_GT(pixelsOfColour(one / "check.png", 255, 40, 50, width), 200); // VOI 1, in its slice
    EXPECT_GT(pixelsOfColour(one / "check.png", 255, 40, 255, width), 40); // VOI 4
    EXPECT_EQ(width, 1632);

    // export-nifti: the label table counts what each label got; VOI 3 overlaps VOI 2.
    const ProgramRun exported =
        runHost({"export-nifti", "s1/run1_TAL_.voi", "-o", "labels.nii.gz"}, one);
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.err.find("belong to more than one VOI"), std::string::npos);
    const auto table = linesOf(readAll((one / "labels.tsv").string()));
    ASSERT_EQ(table.size(), tal.vois.size() + 1);
    EXPECT_EQ(table[0], "index\tname\tcolor\tvoxels");
    for (std::size_t n = 0; n < tal.vois.size(); ++n) {
        const std::string start =
            std::to_string(n + 1) + "\t" + tal.vois[n].NameOfVOI.value() + "\t";
        EXPECT_EQ(table[n + 1].rfind(start, 0), 0u) << table[n + 1];
        const long long count =
            std::stoll(table[n + 1].substr(table[n + 1].find_last_of('\t') + 1));
        const long long voxels = (long long)tal.vois[n].voxels.size();
        EXPECT_TRUE(n == 2 ? count < voxels : count == voxels) << table[n + 1];
    }

    // split: lists of whole jobs, each starting with the list's first line.
    const ProgramRun split = runHost({"split", "jobs.txt", "2", "-o", "parts"}, one);
    EXPECT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(split.out, "parts/jobs.1.txt\t1 jobs\nparts/jobs.2.txt\t2 jobs\n");
    for (const char* part : {"parts/jobs.1.txt", "parts/jobs.2.txt"})
        EXPECT_EQ(readAll((one / part).string()).substr(0, 3), "./\n");
}

TEST(ExampleStudy, GeneratorReproducesTheCommittedStudy) {
    const ScratchDir dir;
    const ProgramRun run =
        runProgram(std::string(VOCELLE_BIN_DIR) + "/make_study", {"made"}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(filesBelow(dir.path() / "made") == filesBelow(studySource))
        << "regenerate with make_study examples/study";
}

} // namespace
