// Names in a job list that lead to something other than a regular file: a device that never
// ends, a pipe whose open blocks, a folder. Each is reported like a missing file and the run goes
// on, instead of hanging or reading without end.

#include "plugin/joblist.h"
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

namespace {

namespace cf = conversionfiles;
using Entries = std::vector<std::string>;

class SpecialFiles : public WithHost {
  protected:
    void SetUp() override {
        WithHost::SetUp();
        ::alarm(60); // a regression here hangs: end the test process instead
    }
    void TearDown() override {
        ::alarm(0);
        WithHost::TearDown();
    }
    // The files of a complete job on an 8-voxel grid; returns its list lines.
    std::string job(const std::string& name) {
        cf::Grid grid;
        grid.nx = grid.ny = grid.nz = 8;
        cf::write(dir.file(name + ".roi"), cf::roi({{{4, 4, 4}}}));
        cf::write(dir.file(name + ".fmr"), cf::fmr(name, grid));
        cf::write(dir.file(name + ".stc"), "");
        for (const char* kind : {"_IA.trf", "_FA.trf", "_ACPC.trf"})
            cf::write(dir.file(name + kind), cf::trf(true));
        return name + ".roi\n" + name + ".fmr\n" + name + "_IA.trf\n" + name + "_FA.trf\n" + name +
               "_ACPC.trf\n";
    }
    ScratchDir dir;
};

TEST_F(SpecialFiles, DevicesPipesAndFoldersAreNotRead) {
    std::string list = dir.path().string() + "/\n";
    list += job("device");
    std::filesystem::remove(dir.file("device.roi"));
    std::filesystem::create_symlink("/dev/zero", dir.file("device.roi"));
    list += job("pipe");
    std::filesystem::remove(dir.file("pipe.fmr"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.fmr").c_str(), 0600), 0);
    list += job("folder") + "folder.tal\n";
    std::filesystem::create_directory(dir.file("folder.tal"));
    list += job("stcpipe");
    std::filesystem::remove(dir.file("stcpipe.stc"));
    ASSERT_EQ(::mkfifo(dir.file("stcpipe.stc").c_str(), 0600), 0);
    list += job("plain");

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
