// The host's commands that work on files alone, run in process: one group per command for what
// it shows, and the refusals of all of them in one table.

#include <vocelle/formats/myVOI.h>

#include "tests/host/hostrun.h"

#include <gtest/gtest.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
const fs::path data = VOCELLE_TEST_DATA;

// Print shows each kind of document in its file layout; --no-voxels as its class does.
TEST(PrintCommand, ShowsEachDocumentInItsLayout) {
    for (const std::string file :
         {"sample.roi", "sample.voi", "fmr/run1.fmr", "ia.trf", "sample.tal", "sample.sdm"}) {
        const HostRun printed = runHostHere({"print", file}, data);
        EXPECT_EQ(printed.out + printed.err + std::to_string(printed.status),
                  readAll((data / file).string()) + "0");
    }
    std::ostringstream noVoxels;
    VOI((data / "sample.voi").string()).PrintTo(noVoxels, false);
    EXPECT_EQ(runHostHere({"print", "--no-voxels", "sample.voi"}, data).out, noVoxels.str());
}

TEST(PreviewCommand, DrawsThePictureWhereAsked) {
    const ScratchDir dir;
    const HostRun preview =
        runHostHere({"preview", (data / "sample.voi").string(), "-o", "v.png"}, dir.path());
    EXPECT_EQ(preview.out + preview.err + std::to_string(preview.status),
              "v.png: views through cube voxel 148 69 164\n0");
    EXPECT_EQ(readAll(dir.file("v.png")).substr(0, 4), "\x89PNG");
}

// What cannot be done ends with status 2 and one line that names what was refused; nothing is
// written.
TEST(HostCommands, RefuseInOneLineNamingTheFile) {
    const ScratchDir dir;
    fs::copy(data, dir.path(), fs::copy_options::recursive);
    const auto before = filesBelow(dir.path());
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"print", "jobs.txt"}, "jobs.txt"},
        {{"print", "none.voi"}, "Failed opening for reading: none.voi: No such file or directory"},
        {{"export-nifti", "sample.voi", "-o", "a.png"}, "a.png"},
        {{"export-nifti", "sample.voi", "-o", "no/a.nii"},
         "Cannot Create file: no/a.nii: No such file or directory"},
        {{"import-nifti", "fmr/run1.fmr"}, "not a NIfTI-1 image: fmr/run1.fmr"},
        {{"preview", "sample.voi", "--underlay", "none.nii"},
         "Failed opening for reading: none.nii: No such file or directory"},
        {{"stats", "sample.roi"}, "Unknown ReferenceSpace \"\": sample.roi"},
        {{"gather", "fmr"}, "no job list parts or run reports in the folder: fmr"},
        {{"timecourse", "sample.roi", "fmr/run1.fmr", "--acpc", "acpc.trf"},
         "An ROI is measured in its own run: no alignment files are taken: sample.roi"},
        {{"timecourse", "sample.voi", "fmr/run1.fmr"},
         "A VOI needs the initial and fine alignment and the AC-PC file: sample.voi"},
        {{"glm", "sample.roi", "fmr/run1.fmr", "--sdm", "sample.sdm"},
         "region 1 has voxel 10 20 3 outside the functional grid: sample.roi"},
        {{"glm", "--list", "fmr/run1.fmr"},
         "The job list names no job with a design (a line ending \"sdm\"): fmr/run1.fmr"}};
    for (const auto& [arguments, named] : refusals) {
        const HostRun result = runHostHere(arguments, dir.path());
        EXPECT_EQ(result.status, 2) << named;
        EXPECT_EQ(result.out, "") << named;
        EXPECT_TRUE(result.err.rfind("vocelle: ", 0) == 0 &&
                    result.err.find('\n') == result.err.size() - 1 &&
                    result.err.find(named) != std::string::npos)
            << result.err;
    }
    EXPECT_TRUE(filesBelow(dir.path()) == before);
}

} // namespace
