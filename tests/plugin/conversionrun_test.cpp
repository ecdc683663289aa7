#include <vocelle/plugin/conversionrun.h>

#include "fuzz/fuzzbodies.h"
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"
#include <vocelle/plugin/joblist.h>

#include <cstring>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

using namespace vocelle;

namespace {

namespace cf = conversionfiles;
using Entries = std::vector<std::string>;

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
    cf::Grid grid;
    grid.nx = grid.ny = grid.nz = 8;
    const cf::Grid huge{8, 8, 8, 1.0f, 1.0f, 200000};
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

// Whatever a list holds, a run writes nothing but the VOIs of its jobs. Lists are drawn from the
// lines of a study's jobs, names holding a NUL byte (the VOI of s1/run1.roi NUL .roi would be the
// ROI itself to every file call), both line ends and first lines of every sort; the job-list fuzz
// body runs each on its study folder and compares every file before and after.
TEST(JobListRun, WritesOnlyTheVoisOfItsJobs) {
    const std::string bases[] = {"study/", "/study/", "", "study/s1/run1.roi"},
                      lines[] = {"s1/run1.roi",
                                 "s1/run1.fmr",
                                 "s1/run1_IA.trf",
                                 "s1/run1_FA.trf",
                                 "s1/anat_ACPC.trf",
                                 "s1/anat.tal",
                                 "s2/run1.roi",
                                 " s1/run1_ACPC_.voi",
                                 std::string("s1/run1.roi\0.roi", 16),
                                 std::string("s1/anat.tal\0.roi", 16)};
    std::mt19937 random(14);
    for (int n = 0; n < 300; ++n) {
        std::string list = bases[random() % std::size(bases)];
        for (auto count = random() % 14; count > 0; --count)
            list += (random() % 4 ? "\n" : "\r\n") + lines[random() % std::size(lines)];
        try {
            findFuzzBody("joblist")(reinterpret_cast<const std::uint8_t*>(list.data()),
                                    list.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what() << " on the list:\n" << list;
        }
    }
}

} // namespace
