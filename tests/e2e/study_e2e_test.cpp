// The bundled example study converted by the real vocelle host and plug-in, output naming in a
// dotted folder, and the study's generator against the committed copy.

#include "formats/myTAL.h"
#include "formats/myVOI.h"
#include "math/trffunctions.h"
#include "tests/formats/conversionfiles.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace cf = conversionfiles;

const std::string binDir = VOCELLE_BIN_DIR;
const fs::path studySource = fs::path(VOCELLE_EXAMPLES_DIR) / "study";

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every regular file below root, relative to it.
std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            names.insert(fs::relative(entry.path(), root).generic_string());
    return names;
}

struct ShellRun {
    int status = -1;
    std::string out, err;
};

class Study : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vocelle_study_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs `command` in folder `in`; its output goes to files outside that folder.
    ShellRun shell(const fs::path& in, const std::string& command) {
        const std::string line = "cd " + quoted(in.string()) + " && " + command + " > " +
                                 quoted((dir / "out.txt").string()) + " 2> " +
                                 quoted((dir / "err.txt").string());
        const int raw = std::system(line.c_str());
        return ShellRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(dir / "out.txt"),
                        readFile(dir / "err.txt")};
    }

    fs::path dir;
};

// The regions of the study as examples/README.md lists them: Talairach centre (right,
// anterior, superior) and radius in millimetres; radius 0 is the region left empty.
struct Sphere {
    double right, anterior, superior, radius;
};
const Sphere regions[] = {
    {-8, -84, 4, 11}, {-36, -22, 54, 9}, {-30, -12, 60, 7}, {12, -18, 8, 6}, {0, 0, 0, 0},
};
const double pi = 3.14159265358979;

glm::dvec3 centroid(const std::vector<glm::tvec3<int>>& voxels) {
    glm::dvec3 sum(0.0);
    for (const auto& v : voxels)
        sum += glm::dvec3(v);
    return sum / static_cast<double>(voxels.size());
}

std::set<std::vector<int>> asSet(const single_VOI& entry) {
    std::set<std::vector<int>> s;
    for (const auto& v : entry.voxels)
        s.insert({v.x, v.y, v.z});
    return s;
}

// Regions 2 and 3 overlap without one holding the other.
void expectPartialOverlap(const VOI& voi) {
    const auto a = asSet(voi.vois[1]);
    const auto b = asSet(voi.vois[2]);
    std::vector<std::vector<int>> common;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
    EXPECT_FALSE(common.empty());
    EXPECT_LT(common.size(), a.size());
    EXPECT_LT(common.size(), b.size());
}

TEST_F(Study, ConvertsThroughTheHost) {
    const fs::path study = dir / "study";
    fs::copy(studySource, study, fs::copy_options::recursive);
    const std::set<std::string> before = filesBelow(study);

    const ShellRun run = shell(study, quoted(binDir + "/vocelle") + " run jobs.txt");
    EXPECT_EQ(run.out, "\nVocelle>  Running...\n"
                       "Converted ./s1/run1.roi\n"
                       "Converted ./s1/run1.roi\n"
                       "!!!! Not enough files could be loaded to convert ./s2/run1.roi\n"
                       "FMR could not be loaded: ./s2/run1.fmr\n"
                       "FA.trf could not be loaded: ./s2/run1_FA.trf\n"
                       "Vocelle>  Plugin finished!\n\n\nDestructor of TarnLog never called\n");
    EXPECT_EQ(run.err, "2 converted, 1 not converted\n");
    EXPECT_EQ(run.status, 1);

    std::set<std::string> after = before;
    after.insert({"s1/run1_TAL_.voi", "s1/run1_ACPC_.voi"});
    ASSERT_EQ(filesBelow(study), after);

    const VOI tal((study / "s1/run1_TAL_.voi").string());
    const VOI acpc((study / "s1/run1_ACPC_.voi").string());
    const TAL landmarks((study / "s1/anat.tal").string());
    EXPECT_EQ(tal.ReferenceSpace.value(), "TAL");
    EXPECT_EQ(acpc.ReferenceSpace.value(), "ACPC");
    ASSERT_EQ(tal.vois.size(), std::size(regions));
    ASSERT_EQ(acpc.vois.size(), std::size(regions));

    for (size_t i = 0; i < std::size(regions); ++i) {
        const Sphere& r = regions[i];
        const auto& inTal = tal.vois[i].voxels;
        const auto& inAcpc = acpc.vois[i].voxels;
        EXPECT_EQ(tal.vois[i].NameOfVOI.value(), "VOI " + std::to_string(i + 1));
        if (r.radius == 0) {
            EXPECT_TRUE(inTal.empty());
            EXPECT_TRUE(inAcpc.empty());
            continue;
        }
        ASSERT_FALSE(inTal.empty()) << i;
        ASSERT_FALSE(inAcpc.empty()) << i;

        // Back where the region was drawn, about as large as the sphere (1 voxel = 1 mm^3).
        const double sphere = 4.0 / 3.0 * pi * r.radius * r.radius * r.radius;
        EXPECT_NEAR(static_cast<double>(inTal.size()), sphere, 0.15 * sphere) << i;
        const glm::dvec3 c = centroid(inTal);
        EXPECT_NEAR(c.x, r.right, 1.5) << i;
        EXPECT_NEAR(c.y, r.anterior, 1.5) << i;
        EXPECT_NEAR(c.z, r.superior, 1.5) << i;
        for (const auto& v : inTal) {
            // Inside the Talairach box, i.e. inside the brain.
            ASSERT_TRUE(std::abs(v.x) <= 68 && v.y >= -102 && v.y <= 70 && v.z >= -42 && v.z <= 74)
                << i << ": " << v.x << " " << v.y << " " << v.z;
        }

        // The AC-PC output is the same region before the Talairach normalisation: its centroid
        // is where the landmarks carry the Talairach centroid.
        float p[4] = {static_cast<float>(128 - c.y), static_cast<float>(128 - c.z),
                      static_cast<float>(128 - c.x), 1};
        untal(p, landmarks);
        const glm::dvec3 a = centroid(inAcpc);
        EXPECT_NEAR(a.x, p[0], 1.5) << i;
        EXPECT_NEAR(a.y, p[1], 1.5) << i;
        EXPECT_NEAR(a.z, p[2], 1.5) << i;
        EXPECT_NEAR(static_cast<double>(inAcpc.size()), static_cast<double>(inTal.size()),
                    0.15 * inTal.size())
            << i;
    }
    expectPartialOverlap(tal);
    expectPartialOverlap(acpc);
}

TEST_F(Study, OutputIsWrittenInADottedFolderBesideTheRoi) {
    // An ROI line without a dot of its own: the VOI name is formed from the file name, never by
    // cutting at the dot of the folder.
    const fs::path folder = dir / "set1.2";
    fs::create_directories(folder);
    cf::Grid grid;
    grid.nx = grid.ny = grid.nz = 8;
    cf::write((folder / "subject1roi").string(), cf::roi({{{3, 3, 3}}}));
    cf::write((folder / "run.fmr").string(), cf::fmr("run", grid));
    cf::write((folder / "run.stc").string(), "");
    cf::write((folder / "run_IA.trf").string(), cf::trf(true));
    cf::write((folder / "run_FA.trf").string(), cf::trf(false));
    cf::write((folder / "anat_ACPC.trf").string(), cf::trf(true));
    cf::write((folder / "anat.tal").string(), cf::tal(1));
    const std::string base = folder.string() + "/";
    cf::write((dir / "jobs.txt").string(),
              base + "\nsubject1roi\nrun.fmr\nrun_IA.trf\nrun_FA.trf\nanat_ACPC.trf\nanat.tal\n");

    const ShellRun run = shell(dir, quoted(binDir + "/vocelle") + " run jobs.txt");
    EXPECT_NE(run.out.find("\nConverted " + base + "subject1roi\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(fs::exists(dir / "set1_TAL_.voi"));
    ASSERT_TRUE(fs::exists(folder / "subject1roi_TAL_.voi"));
    // Functional voxel 3 of an 8-voxel grid is cube voxel 127: Talairach (1, 1, 1).
    const VOI voi((folder / "subject1roi_TAL_.voi").string());
    ASSERT_EQ(voi.vois.size(), 1u);
    EXPECT_EQ(voi.vois[0].voxels, (std::vector<glm::tvec3<int>>{{1, 1, 1}}));
}

TEST_F(Study, GeneratorReproducesTheCommittedStudy) {
    const fs::path made = dir / "made";
    const ShellRun run = shell(dir, quoted(binDir + "/make_study") + " " + quoted(made.string()));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::set<std::string> committed = filesBelow(studySource);
    ASSERT_EQ(filesBelow(made), committed);
    for (const auto& name : committed)
        EXPECT_TRUE(readFile(made / name) == readFile(studySource / name))
            << name << " differs; regenerate with make_study examples/study";
}

} // namespace
