// The host's commands that work on files alone: what print shows, and the refusals of all of
// them in one table (tests/e2e/promises_test.cpp checks their files).

#include <vocelle/formats/myVOI.h>

#include "tests/e2e/program.h"

#include <gtest/gtest.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
const fs::path data = VOCELLE_TEST_DATA;

// Print shows each kind of document in its file layout; --no-voxels as its class does.
TEST(PrintCommand, ShowsEachDocumentInItsLayout) {
    for (const std::string file :
         {"sample.roi", "sample.voi", "fmr/run1.fmr", "ia.trf", "sample.tal", "sample.sdm"}) {
        const ProgramRun printed = runHost({"print", file}, data);
        EXPECT_EQ(printed.out + printed.err + std::to_string(printed.status),
                  readAll((data / file).string()) + "0");
    }
    std::ostringstream noVoxels;
    VOI((data / "sample.voi").string()).PrintTo(noVoxels, false);
    EXPECT_EQ(runHost({"print", "--no-voxels", "sample.voi"}, data).out, noVoxels.str());
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
        {{"stats", "sample.roi"}, "Read only partly (NrOfVOIs: is missing): sample.roi"},
        {{"gather", "fmr"}, "no job list parts or run reports in the folder: fmr"}};
    for (const auto& [arguments, named] : refusals) {
        const ProgramRun result = runHost(arguments, dir.path());
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
