#include "plugin/conversionrun.h"

#include "plugin/joblist.h"
#include "tests/plugin/hostcapture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::string>;

class ConversionRun : public WithHost {
protected:
    void SetUp() override {
        WithHost::SetUp();
        dir = fs::temp_directory_path() /
              ("vocelle_run_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        WithHost::TearDown();
        fs::remove_all(dir);
    }
    std::string touch(const std::string& name) {
        const std::string path = (dir / name).string();
        std::ofstream(path) << "x\n";
        return path;
    }
    std::string absent(const std::string& name) { return (dir / name).string(); }
    fs::path dir;
};

TEST_F(ConversionRun, MissingTalFileStopsTheWholeJob) {
    ConversionJob job{touch("s1.roi"), touch("s1.fmr"), touch("s1_IA.trf"), touch("s1_FA.trf"),
                      touch("s1_ACPC.trf"), absent("s1.tal")};
    runConversion(job);
    EXPECT_EQ(logs(), (Entries{"!!!! Not enough files could be loaded to convert " + job.roiName,
                               "TAL could not be loaded: " + job.talName}));
    EXPECT_FALSE(fs::exists(voiFileName(job)));
}

TEST(ConversionRunNames, VoiIsWrittenBesideTheRoiFile) {
    const struct {
        const char* roi;
        const char* tal;
        const char* voi;
    } cases[] = {
        {"/data/s1/run1.roi", "/data/s1/anat.tal", "/data/s1/run1_TAL_.voi"},
        {"/data/s1/run1.roi", "", "/data/s1/run1_ACPC_.voi"},
        {"/data/set1.2/subject1roi", "/data/set1.2/a.tal", "/data/set1.2/subject1roi_TAL_.voi"},
        {"C:\\set1.2\\subject1roi", "", "C:\\set1.2\\subject1roi_ACPC_.voi"},
        {"run.1.roi", "", "run.1_ACPC_.voi"},
    };
    for (const auto& c : cases) {
        ConversionJob job;
        job.roiName = c.roi;
        job.talName = c.tal;
        EXPECT_EQ(voiFileName(job), c.voi) << c.roi;
    }
}

// The chooser of a host that misbehaves in different ways; the list must still be handled safely.
std::string chooserAnswer;
bool chooserWritesNoTerminator = false;

void fakeChooser(const char* title, const char* second, const char* filter, char* result) {
    EXPECT_STREQ(title, "Choose a TXT file to read");
    EXPECT_STREQ(second, "");
    EXPECT_STREQ(filter, "Text file (*.txt)");
    if (chooserWritesNoTerminator) {
        std::memset(result, 'a', tarn::fileNameBufferSize);
        return;
    }
    if (!chooserAnswer.empty()) std::memcpy(result, chooserAnswer.c_str(), chooserAnswer.size() + 1);
}

TEST_F(ConversionRun, ListThatCannotBeReadShowsOneMessageBox) {
    const struct {
        const char* what;
        std::string answer;
        bool noTerminator;
    } cases[] = {
        {"cancelled choice (host writes nothing)", "", false},
        {"missing file", absent("jobs.txt"), false},
        {"a folder", dir.string(), false},
        {"no terminator in the whole buffer", "", true},
    };
    tarn::hxGetOpenFileName = &fakeChooser;
    for (const auto& c : cases) {
        boxes().clear();
        logs().clear();
        chooserAnswer = c.answer;
        chooserWritesNoTerminator = c.noTerminator;
        runJobList();
        EXPECT_EQ(boxes(), (Entries{" Error: Can not read this text file!"})) << c.what;
        EXPECT_TRUE(logs().empty()) << c.what;
    }
    chooserWritesNoTerminator = false;
}

} // namespace
