#include "plugin/conversionrun.h"

#include "plugin/joblist.h"
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

namespace {

namespace cf = conversionfiles;
using Entries = std::vector<std::string>;

class Run : public WithHost {
  protected:
    ScratchDir dir;
};

// What the host's file chooser does: write the answer (nothing when it is empty), or fill the
// whole buffer without a terminator.
std::string chooserAnswer;
bool chooserFillsBuffer = false;

TEST_F(Run, ListThatCannotBeReadShowsOneMessageBox) {
    tarn::hxGetOpenFileName = [](const char*, const char*, const char*, char* result) {
        if (chooserFillsBuffer)
            std::memset(result, 'a', tarn::fileNameBufferSize);
        else if (!chooserAnswer.empty())
            std::memcpy(result, chooserAnswer.c_str(), chooserAnswer.size() + 1);
    };
    const std::pair<std::string, bool> cases[] = {{"", false}, {dir.path(), false}, {"", true}};
    for (const auto& [answer, fillsBuffer] : cases) {
        boxes().clear();
        chooserAnswer = answer;
        chooserFillsBuffer = fillsBuffer;
        runJobList();
        EXPECT_EQ(boxes(), (Entries{" Error: Can not read this text file!"}))
            << answer << fillsBuffer;
        EXPECT_TRUE(logs().empty());
    }
}

// A device that never ends, a pipe whose open blocks, a folder: each is reported like a missing
// file and the run goes on, instead of hanging or reading without end.
TEST_F(Run, DevicesPipesAndFoldersAreNotRead) {
    struct Alarm { // a regression here hangs: end the test process instead
        Alarm() { ::alarm(60); }
        ~Alarm() { ::alarm(0); }
    } alarm;
    std::string list = dir.path().string() + "/\n";
    for (const std::string name : {"device", "pipe", "folder", "stcpipe", "plain"}) {
        cf::Grid grid;
        grid.nx = grid.ny = grid.nz = 8;
        cf::write(dir.file(name + ".roi"), cf::roi({{{4, 4, 4}}}));
        cf::write(dir.file(name + ".fmr"), cf::fmr(name, grid));
        cf::write(dir.file(name + ".stc"), "");
        for (const char* kind : {"_IA.trf", "_FA.trf", "_ACPC.trf"})
            cf::write(dir.file(name + kind), cf::trf(true));
        list += name + ".roi\n" + name + ".fmr\n" + name + "_IA.trf\n" + name + "_FA.trf\n" + name +
                "_ACPC.trf\n" + (name == "folder" ? "folder.tal\n" : "");
    }
    std::filesystem::remove(dir.file("device.roi"));
    std::filesystem::create_symlink("/dev/zero", dir.file("device.roi"));
    std::filesystem::remove(dir.file("pipe.fmr"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.fmr").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.tal"));
    std::filesystem::remove(dir.file("stcpipe.stc"));
    ASSERT_EQ(::mkfifo(dir.file("stcpipe.stc").c_str(), 0600), 0);

    std::istringstream in(list);
    readJobList(in, runConversion);
    const std::string notEnough = "!!!! Not enough files could be loaded to convert ";
    EXPECT_EQ(logs(), (Entries{
                          notEnough + dir.file("device.roi"),
                          "ROI could not be loaded: " + dir.file("device.roi"),
                          notEnough + dir.file("pipe.roi"),
                          "FMR could not be loaded: " + dir.file("pipe.fmr"),
                          notEnough + dir.file("folder.roi"),
                          "TAL could not be loaded: " + dir.file("folder.tal"),
                          "!!!! Could not convert " + dir.file("stcpipe.roi") +
                              ": Failed opening STC for reading: " + dir.file("stcpipe.stc"),
                          "Converted " + dir.file("plain.roi"),
                      }));
}

} // namespace
