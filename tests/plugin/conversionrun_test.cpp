#include <vocelle/plugin/conversionrun.h>

#include <vocelle/plugin/joblist.h>
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace vocelle;

namespace {

namespace cf = conversionfiles;
using Entries = std::vector<std::string>;

using ConversionRun = WithHost;

// A device that never ends, a pipe whose open blocks, a folder: each is reported like a missing
// file, instead of hanging or reading without end. Unusable slice data or a VOI that cannot be
// saved fail their job alone, leaving what stands there. Slice data is checked, never held: a run
// far beyond the memory allowed still converts.
TEST_F(ConversionRun, EachFaultyJobIsLoggedAndTheRunGoesOn) {
    const ScratchDir dir;
    ::alarm(60); // a regression here hangs: end the test process instead
    const auto at = [&](const std::string& name) { return dir.file(name); };
    std::string list = dir.path().string() + "/\n";
    cf::Grid grid;
    grid.nx = grid.ny = grid.nz = 8;
    const cf::Grid tooShort{8, 8, 8, 1.0f, 1.0f, 2}, huge{8, 8, 8, 1.0f, 1.0f, 200000};
    for (const auto& [name, g] : {std::pair<std::string, cf::Grid>{"device", grid}, {"pipe", grid},
                                  {"folder", grid}, {"stcpipe", grid}, {"short", tooShort},
                                  {"blocked", grid}, {"plain", huge}})
        list += cf::job(dir.path().string(), name, {{{4, 4, 4}}}, g) +
                (name == "folder" ? "folder.tal\n" : "");
    std::filesystem::resize_file(at("plain.stc"), 200000ull * 8 * 8 * 8 * 2);
    for (const char* pipe : {"pipe.fmr", "stcpipe.stc"}) {
        std::filesystem::remove(at(pipe));
        ASSERT_EQ(::mkfifo(at(pipe).c_str(), 0600), 0);
    }
    std::filesystem::remove(at("device.roi"));
    std::filesystem::create_symlink("/dev/zero", at("device.roi"));
    std::filesystem::create_directories(at("folder.tal"));
    std::filesystem::create_directories(at("blocked_ACPC_.voi/kept"));
    std::istringstream in(list);
    EXPECT_EQ(errorWithLittleMemory([&] { readJobList(in, runConversion); }), "no exception");
    ::alarm(0);
    const std::string notEnough = "!!!! Not enough files could be loaded to convert ",
                      failed = "!!!! Could not convert ";
    EXPECT_EQ(
        logs(),
        (Entries{notEnough + at("device.roi"), "ROI could not be loaded: " + at("device.roi"),
                 notEnough + at("pipe.roi"), "FMR could not be loaded: " + at("pipe.fmr"),
                 notEnough + at("folder.roi"), "TAL could not be loaded: " + at("folder.tal"),
                 failed + at("stcpipe.roi") +
                     ": Failed opening STC for reading: " + at("stcpipe.stc"),
                 failed + at("short.roi") +
                     ": STC file too short for its FMR header: " + at("short.stc"),
                 failed + at("blocked.roi") + ": Cannot Create file: " + at("blocked_ACPC_.voi"),
                 "Converted " + at("plain.roi")}));
    EXPECT_TRUE(std::filesystem::is_directory(at("blocked_ACPC_.voi/kept")));
}

} // namespace
