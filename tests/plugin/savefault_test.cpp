// Faults while saving during a run: the disk fills up, or the VOI cannot replace what stands at
// its path. The failing job is logged, the earlier VOI survives, no temporary file stays behind,
// and the next job runs.

#include "formats/myVOI.h"
#include "plugin/joblist.h"
#include "tests/formats/conversionfiles.h"
#include "tests/plugin/hostcapture.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

namespace cf = conversionfiles;
using Entries = std::vector<std::string>;

class SaveFaults : public WithHost {
  protected:
    // One job's files on a 16-voxel grid with identity alignments; returns its list lines.
    std::string job(const std::string& name, const cf::Voxels& region) {
        cf::Grid grid;
        grid.nx = grid.ny = grid.nz = 16;
        cf::write(dir.file(name + ".roi"), cf::roi({region}));
        cf::write(dir.file(name + ".fmr"), cf::fmr(name, grid));
        cf::write(dir.file(name + ".stc"), ""); // no volumes: an empty STC file
        for (const char* kind : {"_IA.trf", "_FA.trf", "_ACPC.trf"})
            cf::write(dir.file(name + kind), cf::trf(true));
        return name + ".roi\n" + name + ".fmr\n" + name + "_IA.trf\n" + name + "_FA.trf\n" + name +
               "_ACPC.trf\n";
    }
    std::string voi(const std::string& name) const { return dir.file(name + "_ACPC_.voi"); }
    std::string roi(const std::string& name) const { return dir.file(name + ".roi"); }

    ScratchDir dir;
};

TEST_F(SaveFaults, FailedSaveKeepsTheEarlierVoiAndTheRunGoesOn) {
    cf::Voxels wholeGrid;
    for (int z = 0; z < 16; ++z)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                wholeGrid.emplace_back(x, y, z);
    const cf::Voxels oneVoxel = {{8, 8, 8}};

    // big: its VOI (4096 voxels) outgrows the disk; small ones fit. blocked: a folder stands
    // where its VOI should go, so the finished file cannot be renamed into place.
    const std::string list = dir.path().string() + "/\n" + job("big", wholeGrid) +
                             job("small", oneVoxel) + job("blocked", oneVoxel) +
                             job("last", oneVoxel);
    writeAll(voi("big"), "the earlier VOI\n");
    std::filesystem::create_directory(voi("blocked"));
    std::filesystem::create_directory(voi("blocked") + "/kept");

    const std::string thrown = errorWithFileSizeLimit(16 * 1024, [&] {
        std::istringstream in(list);
        readJobList(in, runConversion);
    });

    EXPECT_EQ(thrown, "no exception");
    EXPECT_EQ(
        logs(),
        (Entries{
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
