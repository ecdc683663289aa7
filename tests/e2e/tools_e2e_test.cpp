// The host's tools through the real vocelle binary: print, convert, preview, export-nifti,
// split, run --jobs and the progress line, on the bundled example study where a study is needed.

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"

#include <gtest/gtest.h>
#include <png.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string vocelle = std::string(VOCELLE_BIN_DIR) + "/vocelle";
const std::string data = VOCELLE_TEST_DATA;

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Tools : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vocelle_tools_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs vocelle in `where` (default: the test folder) with standard output and error to files.
    Outcome run(const std::vector<std::string>& arguments, const fs::path& where = fs::path()) {
        std::string command = "cd " + quoted((where.empty() ? dir : where).string()) + " && " + quoted(vocelle);
        for (const auto& argument : arguments) command += " " + quoted(argument);
        command += " > " + quoted((dir / "out.txt").string()) + " 2> " + quoted((dir / "err.txt").string());
        const int raw = std::system(command.c_str());
        Outcome result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = readFile(dir / "out.txt");
        result.err = readFile(dir / "err.txt");
        return result;
    }

    fs::path copyStudy(const std::string& name) {
        const fs::path study = dir / name;
        fs::copy(fs::path(VOCELLE_EXAMPLES_DIR) / "study", study, fs::copy_options::recursive);
        return study;
    }

    fs::path dir;
};

// Every regular file below root, by relative path, with its bytes.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = readFile(entry.path());
    return files;
}

TEST_F(Tools, PrintShowsEachDocumentThroughItsClass) {
    using Printer = std::function<void(std::ostream&)>;
    const struct {
        std::string file;
        std::vector<std::string> options;
        Printer print;
    } cases[] = {
        {data + "/sample.roi", {}, [](std::ostream& o) { ROI(data + "/sample.roi").PrintTo(o, true); }},
        {data + "/sample.roi", {"--no-voxels"}, [](std::ostream& o) { ROI(data + "/sample.roi").PrintTo(o, false); }},
        {data + "/sample.voi", {"--no-voxels"}, [](std::ostream& o) { VOI(data + "/sample.voi").PrintTo(o, false); }},
        {data + "/sample.voi", {}, [](std::ostream& o) { VOI(data + "/sample.voi").PrintTo(o, true); }},
        {data + "/fmr/run1.fmr", {}, [](std::ostream& o) { FMR(data + "/fmr/run1.fmr", false).PrintTo(o); }},
        {data + "/ia.trf", {}, [](std::ostream& o) { TRF(data + "/ia.trf").PrintTo(o); }},
        {data + "/sample.tal", {}, [](std::ostream& o) { TAL(data + "/sample.tal").PrintTo(o); }},
        {data + "/sample.sdm", {}, [](std::ostream& o) { SDM(data + "/sample.sdm").PrintTo(o); }},
    };
    for (const auto& c : cases) {
        std::ostringstream expected;
        c.print(expected);
        std::vector<std::string> arguments = {"print"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back(c.file);
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 0) << c.file;
        EXPECT_EQ(result.out, expected.str()) << c.file;
        EXPECT_EQ(result.err, "") << c.file;
    }
    EXPECT_NE(run({"print", data + "/sample.voi"}).out.find("-37 -21 58\n"), std::string::npos);
}

TEST_F(Tools, PrintRefusesWhatItCannotReadInOneLine) {
    std::ofstream(dir / "notes.txt") << "FileVersion: 4\n";
    fs::create_directories(dir / "folder.voi");
    for (const std::string file : {"notes.txt", "missing.roi", "folder.voi", "noextension"}) {
        const Outcome result = run({"print", file});
        EXPECT_EQ(result.status, 2) << file;
        EXPECT_EQ(result.out, "") << file;
        EXPECT_NE(result.err.find(file), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

Picture readPng(const fs::path& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return picture;
    picture.width = int(image.width);
    picture.height = int(image.height);
    return picture;
}

long long countColour(const Picture& picture, unsigned char r, unsigned char g, unsigned char b) {
    long long count = 0;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        count += picture.rgb[i] == r && picture.rgb[i + 1] == g && picture.rgb[i + 2] == b;
    return count;
}

// One pass over the example study: the conversion in one and in two processes, then every
// tool on its results. The conversions are the slow part, so they are shared.
TEST_F(Tools, ExampleStudyThroughEveryTool) {
    const fs::path one = copyStudy("one"), two = copyStudy("two");
    const Outcome sequential = run({"run", "jobs.txt"}, one);
    const Outcome parallel = run({"run", "--jobs", "2", "jobs.txt"}, two);
    EXPECT_EQ(sequential.status, 1); // the third job lacks files
    EXPECT_EQ(parallel.status, sequential.status);
    EXPECT_EQ(parallel.out, sequential.out);
    EXPECT_EQ(parallel.err, sequential.err);
    EXPECT_EQ(sequential.err, "2 converted, 1 not converted\n");
    const auto files = filesBelow(one);
    EXPECT_EQ(files, filesBelow(two));
    ASSERT_EQ(files.count("s1/run1_TAL_.voi"), 1u);
    ASSERT_EQ(files.count("s1/run1_ACPC_.voi"), 1u);

    // convert: one subject without a list gives the same bytes (each conversion costs a second,
    // so the default name, voiFileName's, is left to the conversion run's tests).
    const std::vector<std::string> s1 = {"--roi", "./s1/run1.roi", "--fmr", "./s1/run1.fmr", "--ia", "./s1/run1_IA.trf",
                                         "--fa", "./s1/run1_FA.trf", "--acpc", "./s1/anat_ACPC.trf"};
    std::vector<std::string> arguments = {"convert", "--tal", "./s1/anat.tal", "-o", "out/tal.voi"};
    arguments.insert(arguments.end(), s1.begin(), s1.end());
    fs::create_directories(two / "out");
    Outcome converted = run(arguments, two);
    EXPECT_EQ(converted.status, 0);
    EXPECT_EQ(converted.out, "Converted ./s1/run1.roi\n");
    EXPECT_EQ(converted.err, "1 converted, 0 not converted\n");
    EXPECT_EQ(readFile(two / "out/tal.voi"), files.at("s1/run1_TAL_.voi"));

    const Outcome missing = run({"convert", "--roi", "./s2/run1.roi", "--fmr", "./s2/run1.fmr", "--ia", "./s2/run1_IA.trf",
                             "--fa", "./s2/run1_FA.trf", "--acpc", "./s2/anat_ACPC.trf", "--tal", "./s2/anat.tal"},
                            two);
    EXPECT_EQ(missing.status, 1);
    const std::string report = "!!!! Not enough files could be loaded to convert ./s2/run1.roi\n";
    ASSERT_NE(sequential.out.find(report), std::string::npos);
    EXPECT_EQ(missing.out, sequential.out.substr(sequential.out.find(report), missing.out.size()));

    // preview: a picture of the views with every drawn VOI's colour in it.
    const Outcome preview = run({"preview", "s1/run1_TAL_.voi", "-o", "check.png"}, one);
    EXPECT_EQ(preview.status, 0) << preview.err;
    const Picture picture = readPng(one / "check.png");
    EXPECT_EQ(picture.width, 1632);
    EXPECT_GT(picture.height, 600);
    EXPECT_GT(countColour(picture, 255, 40, 50), 200);  // VOI 1, in its slice
    EXPECT_GT(countColour(picture, 255, 40, 255), 40);  // VOI 4

    // export-nifti: the label table counts what each label got; VOI 3 overlaps VOI 2.
    const Outcome exported = run({"export-nifti", "s1/run1_TAL_.voi", "-o", "labels.nii.gz"}, one);
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.err.find("belong to more than one VOI"), std::string::npos);
    const VOI voi((one / "s1/run1_TAL_.voi").string());
    std::istringstream table(readFile(one / "labels.tsv"));
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(line, "index\tname\tcolor\tvoxels");
    for (std::size_t n = 0; n < voi.vois.size(); ++n) {
        ASSERT_TRUE(std::getline(table, line));
        std::istringstream fields(line);
        std::string index, name, colour, count;
        std::getline(fields, index, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, colour, '\t');
        std::getline(fields, count, '\t');
        EXPECT_EQ(index, std::to_string(n + 1));
        EXPECT_EQ(name, voi.vois[n].NameOfVOI.value());
        if (n == 2) EXPECT_LT(std::stoll(count), (long long)voi.vois[n].voxels.size());
        else EXPECT_EQ(std::stoll(count), (long long)voi.vois[n].voxels.size());
    }
    EXPECT_GT(fs::file_size(one / "labels.nii.gz"), 348u);

    // split: two lists of whole jobs, each starting with the list's first line.
    const Outcome split = run({"split", "jobs.txt", "2", "-o", "parts"}, one);
    EXPECT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(split.out, "parts/jobs.1.txt\t1 jobs\nparts/jobs.2.txt\t2 jobs\n");
    for (const char* part : {"parts/jobs.1.txt", "parts/jobs.2.txt"}) EXPECT_EQ(readFile(one / part).substr(0, 3), "./\n");
}

// Output of vocelle run on a pseudo-terminal: everything the terminal would show.
std::string runOnTerminal(const fs::path& where, const std::string& list) {
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (chdir(where.c_str()) != 0) _exit(127);
        execl(vocelle.c_str(), "vocelle", "run", list.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string shown;
    char bytes[4096];
    for (ssize_t got; (got = read(master, bytes, sizeof bytes)) > 0;) shown.append(bytes, std::size_t(got));
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    return shown;
}

TEST_F(Tools, ProgressLineOnlyOnATerminal) {
    std::ofstream(dir / "jobs.txt") << "./\na.roi\na.fmr\nb.roi\n";
    const std::string shown = runOnTerminal(dir, "jobs.txt");
    EXPECT_NE(shown.find("\r\x1b[K[0/2] converting ./a.roi"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\x1b[K[1/2] converting ./b.roi"), std::string::npos) << shown;
    // Erased before the summary, which stands on a line of its own.
    EXPECT_NE(shown.find("\r\x1b[K0 converted, 2 not converted"), std::string::npos) << shown;

    const Outcome piped = run({"run", "jobs.txt"});
    EXPECT_EQ(piped.err, "0 converted, 2 not converted\n");
    EXPECT_EQ(piped.out.find('\r'), std::string::npos);
}

} // namespace
