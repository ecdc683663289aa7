// The plug-in's side of the host: its log stream, the host version it accepts, and runs of job
// lists with faulty jobs.
#include <vocelle/plugin/conversionrun.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/tarnlog.h>

#include "tests/formats/conversionfiles.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

using namespace vocelle;

namespace {

using Entries = std::vector<std::string>;

// Stands in for the host: binds a capturing log function directly into the table.
class WithHost : public ::testing::Test {
  protected:
    void SetUp() override {
        logs().clear();
        tarn::hxLogText = [](const char* text) { logs().push_back(text); };
    }
    void TearDown() override { tarn::hxLogText = nullptr; }
    static Entries& logs() {
        static Entries entries;
        return entries;
    }
};

using LogStream = WithHost;

TEST_F(LogStream, EachFlushIsOneEntryAsWritten) {
    logger << "Converted " << std::string("/data/s1/run1.roi") << std::flush;
    logger << "two\nlines\n" << 42;
    EXPECT_EQ(logs(), (Entries{"Converted /data/s1/run1.roi"})); // nothing without a flush
    logger << std::flush;
    logger.flush();
    EXPECT_EQ(logs(), (Entries{"Converted /data/s1/run1.roi", "two\nlines\n42", ""}));
    // Destruction hands over pending text, then its own line; without a host it drops both.
    logs().clear();
    {
        TarnLog log;
        log << "unflushed";
    }
    EXPECT_EQ(logs(), (Entries{"unflushed", "Destructor of TarnLog never called"}));
    logs().clear();
    tarn::hxLogText = nullptr;
    {
        TarnLog log;
        log << "dropped" << std::flush << "also dropped";
    }
    EXPECT_TRUE(logs().empty());
}

// Each part compared as a number.
TEST(HostVersion, ComparedPartByPart) {
    const int cases[][4] = {{1, 99, 99, 0}, {2, 7, 9, 0}, {2, 8, -1, 0},
                            {2, 8, 0, 1},   {2, 9, 0, 1}, {3, 0, 0, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(checkVersionGreaterEqualVersion(c[0], c[1], c[2], 2, 8, 0), c[3] == 1)
            << c[0] << "." << c[1] << "." << c[2];
}

// The test program exports no host functions, so binding fails and leaves the table empty.
TEST_F(LogStream, BindingFailsWithoutAVersionFunction) {
    EXPECT_FALSE(InitHXAccess());
    EXPECT_EQ(tarn::hxGetVersionOfCorvane, nullptr);
}

namespace cf = conversionfiles;
using ConversionRun = WithHost;

// A device that never ends, a pipe whose open blocks, a folder: each is reported like a missing
// file, instead of hanging or reading without end. Slice data that cannot be opened or a VOI that
// cannot be saved fail their job alone, leaving what stands there. Slice data is checked, never
// held: a run far beyond the memory allowed still converts.
TEST_F(ConversionRun, EachFaultyJobIsLoggedAndTheRunGoesOn) {
    const ScratchDir dir;
    ::alarm(60); // a regression here hangs: end the test process instead
    const auto at = [&](const std::string& name) { return dir.file(name); };
    std::string list = dir.path().string() + "/\n";
    const cf::Grid grid{8, 8, 8}, huge{8, 8, 8, 1.0f, 1.0f, 200000};
    for (const auto& [name, g] : {std::pair<std::string, cf::Grid>{"device", grid}, {"pipe", grid},
                                  {"folder", grid}, {"stcpipe", grid}, {"blocked", grid},
                                  {"plain", huge}})
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
                 failed + at("blocked.roi") + ": Cannot Create file: " + at("blocked_ACPC_.voi"),
                 "Converted " + at("plain.roi")}));
    EXPECT_TRUE(std::filesystem::is_directory(at("blocked_ACPC_.voi/kept")));
}

// The chooser's answer counts only when it ends inside the buffer: 512 bytes without a terminator
// were cut off and are a cancelled choice, although the first 511 name a list (holding no job).
TEST_F(ConversionRun, ChosenListMustEndInsideTheBuffer) {
    const ScratchDir dir;
    static std::string path = dir.path().string() + "/" + std::string(200, 'd');
    std::filesystem::create_directories(path + "/" + std::string(200, 'd'));
    path += "/" + std::string(200, 'd') + "/" + std::string(510 - path.size() - 201, 'j');
    writeAll(path, "/b/\nS1.ROI\n");
    static Entries messages;
    tarn::hxMessageBox = [](const char* text) { messages.push_back(text); };
    for (const char end : {'\0', 'x'}) {
        path.resize(511);
        path += end;
        tarn::hxGetOpenFileName = [](const char*, const char*, const char*, char* result) {
            std::memcpy(result, path.data(), 512);
        };
        runJobList();
    }
    path.resize(511);
    EXPECT_EQ(logs(), Entries{"!!!! Job list holds no job (no line ends in roi): " + path});
    EXPECT_EQ(messages, Entries{" Error: Can not read this text file!"});
    tarn::hxGetOpenFileName = nullptr;
    tarn::hxMessageBox = nullptr;
}

} // namespace
