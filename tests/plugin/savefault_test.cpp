// Faults while saving during a run: the disk fills up, or a folder stands where the VOI goes.
// The job is logged, the earlier VOI survives, no temporary file stays, the next job runs.

#include "formats/myVOI.h"
#include "plugin/joblist.h"
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

namespace cf = conversionfiles;
using SaveFaults = WithHost;

TEST_F(SaveFaults, FailedSaveKeepsTheEarlierVoiAndTheRunGoesOn) {
    const ScratchDir dir;
    cf::Grid grid;
    grid.nx = grid.ny = grid.nz = 16;
    cf::Voxels wholeGrid; // its VOI (4096 voxels) outgrows the 16 kB disk
    for (int z = 0; z < 16; ++z)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                wholeGrid.emplace_back(x, y, z);
    const auto job = [&](const std::string& name, const cf::Voxels& region) {
        return cf::job(dir.path().string(), name, {region}, grid);
    };
    const auto voi = [&](const std::string& name) { return dir.file(name + "_ACPC_.voi"); };
    const auto roi = [&](const std::string& name) { return dir.file(name + ".roi"); };
    const std::string list = dir.path().string() + "/\n" + job("big", wholeGrid) +
                             job("small", {{8, 8, 8}}) + job("blocked", {{8, 8, 8}}) +
                             job("last", {{8, 8, 8}});
    writeAll(voi("big"), "the earlier VOI\n");
    std::filesystem::create_directories(voi("blocked") + "/kept");

    EXPECT_EQ(errorWithFileSizeLimit(16 * 1024,
                                     [&] {
                                         std::istringstream in(list);
                                         readJobList(in, runConversion);
                                     }),
              "no exception");
    EXPECT_EQ(
        logs(),
        (std::vector<std::string>{
            "!!!! Could not convert " + roi("big") + ": Cannot Create file: " + voi("big"),
            "Converted " + roi("small"),
            "!!!! Could not convert " + roi("blocked") + ": Cannot Create file: " + voi("blocked"),
            "Converted " + roi("last"),
        }));
    EXPECT_EQ(readAll(voi("big")), "the earlier VOI\n");
    EXPECT_TRUE(std::filesystem::is_directory(voi("blocked") + "/kept"));
    for (const char* name : {"small", "last"}) {
        const VOI saved(voi(name));
        ASSERT_EQ(saved.vois.size(), 1u) << name;
        EXPECT_EQ(saved.vois[0].voxels.size(), 1u) << name;
    }
    for (const auto& name : dir.names())
        EXPECT_EQ(name.find(".~"), std::string::npos) << name;
    EXPECT_TRUE(boxes().empty());
}

} // namespace
