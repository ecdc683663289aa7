// The host's commands that work on files alone, run in process: one group per command for what
// it shows, and the refusals of all of them in one table.

#include <vocelle/host/commandline.h>
#include <vocelle/host/logrecords.h>
#include <vocelle/host/progress.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/session.h>
#include <vocelle/host/splitmanifest.h>
#include <vocelle/text/fault.h>

#include "tests/e2e/program.h"

#include <gtest/gtest.h>

using namespace vocelle;

namespace {

namespace fs = std::filesystem;
const fs::path data = VOCELLE_TEST_DATA;

// The command in a child of this process, as `vocelle ARGUMENTS` would run it in folder `in`.
ProgramRun runHostHere(const Lines& arguments, const fs::path& in, const HostSettings& settings = {}) {
    return runInChild([&] { return runHostCommand(arguments, settings); }, in);
}

// The processes of a --jobs run killed before their jobs' outcomes: the jobs count as not
// converted, as the report lists them failed.
TEST(RunCommand, CountsTheJobsOfKilledProcessesAsNotConverted) {
    const ScratchDir dir;
    writeAll(dir.file("jobs.txt"), "./\na.roi\nb.roi\n");
    writeAll(dir.file("killed"), "#!/bin/sh\nkill -9 $$\n");
    fs::permissions(dir.file("killed"), fs::perms::owner_exec, fs::perm_options::add);
    HostSettings settings;
    settings.program = dir.file("killed");
    const ProgramRun run = runHostHere({"run", "--jobs", "2", "--report", "r.tsv", "jobs.txt"}, dir.path(), settings);
    EXPECT_EQ(run.err.substr(run.err.rfind("\n", run.err.size() - 2)) + std::to_string(run.status),
              "\n0 converted, 2 not converted\n2");
    EXPECT_NE(run.err.find("the process for part 2 (1 jobs) was stopped by signal 9"), std::string::npos) << run.err;
    const std::string failed = "\t\tACPC\tfailed\tno outcome was logged: the run stopped first\t\n";
    EXPECT_EQ(readAll(dir.file("r.tsv")), std::string(reportHeader) + "./a.roi" + failed + "./b.roi" + failed);
}

// The progress line: jobs done of all and the ROIs at work, cut to leave the terminal's last
// column free, with dots where they fit.
TEST(RunCommand, ProgressLineFitsTheTerminal) {
    const std::vector<std::string> rois = {"a.roi", "b.roi"};
    EXPECT_EQ(ProgressLine::text(1, 3, rois, 30) + "|" + ProgressLine::text(1, 3, rois, 20) + "|" +
                  ProgressLine::text(12, 30, {}, 5) + "|" + ProgressLine::text(12, 30, {}, 4) + "|" + ProgressLine::text(0, 3, {}, 0),
              "[1/3] converting a.roi, b.roi|[1/3] converting...|[...|[12|[");
}

// A --jobs process's log entries arrive in pieces: whole records are taken, the rest kept.
TEST(RunCommand, TakesWholeLogRecordsOnly) {
    std::string buffer = "5:hello0:3:ab";
    EXPECT_EQ(readLogRecords(buffer), (std::vector<std::string>{"hello", ""}));
    EXPECT_EQ(buffer, "3:ab");
    buffer += "c12:";
    EXPECT_EQ(readLogRecords(buffer), std::vector<std::string>{"abc"});
    EXPECT_EQ(buffer, "12:");
}

// A list is read whole, or up to a line longer than any file name, so that a device without end
// cannot fill the memory; a line just as long as allowed, ending a read, is no such line.
TEST(RunCommand, ReadsAListWholeOrUpToALineTooLong) {
    const ScratchDir dir;
    const std::string fits = std::string(65435, 'x') + "\n" + std::string(100, 'y') + "\nz\n", endless(300000, 'x');
    writeAll(dir.file("fits"), fits);
    writeAll(dir.file("endless"), endless);
    std::string text, more, error;
    EXPECT_TRUE(readWholeFile(dir.file("fits"), text, error, 100) && text == fits);
    EXPECT_TRUE(readWholeFile(dir.file("endless"), more, error, 100) && more.size() < endless.size());
}

// A plug-in that cannot be loaded: the run ends with the reason and the summary.
TEST(RunCommand, EndsWithoutAPlugin) {
    const ProgramRun run = runHostHere({"--plugin", "none.so", "run"}, ".");
    EXPECT_EQ(run.out + run.err + std::to_string(run.status),
              "vocelle: cannot load the plug-in none.so: none.so: cannot open shared object file: No "
              "such file or directory\n0 converted, 0 not converted\n2");
}

// A preview says where its views cross, and how many voxels it could not draw.
TEST(PreviewCommand, SaysWhereTheViewsCrossAndWhatIsNotDrawn) {
    const ScratchDir dir;
    writeAll(dir.file("v.voi"), "FileVersion: 4\nReferenceSpace: TAL\nNrOfVOIs: 1\nNameOfVOI: a\nColorOfVOI: 1 2 3\n"
                                "NrOfVoxels: 2\n30 -40 50\n300 0 0\nNrOfVOIVTCs: 0\n");
    const ProgramRun run = runHostHere({"preview", "v.voi"}, dir.path());
    EXPECT_EQ(run.out + run.err + std::to_string(run.status),
              "v.png: views through cube voxel 168 78 98\nvocelle: 1 voxels of v.voi lie outside the cube and are not drawn\n0");
}

// stats: each VOI's size, centre and bounds in RAS millimetres (the table worked out by hand).
TEST(StatsCommand, GivesEachVoisSizeCentreAndBounds) {
    const ProgramRun run = runHostHere({"stats", "sample.voi"}, data);
    EXPECT_EQ(run.out + run.err + std::to_string(run.status), readAll((data / "sample-stats.tsv").string()) + "0");
}

// gather sums the parts a manifest names: one that was cut or edited is refused at its line, and
// one read whole is the manifest split wrote.
TEST(SplitManifest, IsReadWholeOrRefusedAtItsLine) {
    const std::string head = "vocelle split manifest\nlist\tj.txt\n", part = "part\tj.1.txt\tj.1.tsv\njob\ta.roi\ta.voi\n";
    const std::pair<std::string, std::string> manifests[] = {
        {head + part + "part\tj.2.txt\tj.2.tsv\njob\tb.roi\t\nscript\tj.sbatch\nend\n", ""},
        {"vocelle split manifest \n", "its first line is not \"vocelle split manifest\": m (line 1)"},
        {"vocelle split manifest\nlist\n", "no list line: m (line 2)"}, {"vocelle split manifest\nlist\t\n", "no list line: m (line 2)"},
        {"vocelle split manifest\nlists\tj.txt\n", "no list line: m (line 2)"}, {head + part + "end", "no line end: m (line 5)"},
        {head + "part\tj.1.txt\tj.1.tsv\npart\tj.2.txt\tj.2.tsv\n", "a part without jobs: m (line 4)"},
        {head + part + "script\tj.sbatch\njob\tb.roi\tb.voi\n", "a line after the script line: m (line 6)"},
        {head + "part\t..\tj.1.tsv\n", "\"..\" is no file name in its folder: m (line 3)"},
        {head + "part\tj.1.txt\ta/b\n", "\"a/b\" is no file name in its folder: m (line 3)"},
        {head + part + "part\tj.2.txt\tj.1.tsv\n", "j.1.tsv is named twice: m (line 5)"},
        {head + "job\ta.roi\ta.voi\n", "a line that is no part, job or script line: m (line 3)"},
        {head + part + "part\tj.2.txt\n", "a line that is no part, job or script line: m (line 5)"},
        {head + part, "no end line: the manifest is cut short: m (line 4)"},
        {head + part + "end\nend\n", "a line after the end line: m (line 6)"},
        {head + "end\n", "a part without jobs, or no part: m (line 3)"},
        {head + part + "part\tj.2.txt\tj.2.tsv\nend\n", "a part without jobs, or no part: m (line 6)"}};
    for (const auto& [text, refusal] : manifests) {
        try {
            EXPECT_EQ(manifestText(parseManifest(text, "m")), text);
            EXPECT_EQ(refusal, "");
        } catch (const FaultError& e) {
            EXPECT_EQ(e.fault().line(), "not a split manifest: " + refusal);
        }
    }
}

// What cannot be done ends with status 2 and one line that names what was refused; nothing is
// written.
TEST(HostCommands, RefuseInOneLineNamingTheFile) {
    const ScratchDir dir;
    fs::copy(data, dir.path(), fs::copy_options::recursive);
    for (const std::string full : {"full.nii.gz", "full.nii", "full.png"}) fs::create_symlink("/dev/full", dir.path() / full);
    const auto before = filesBelow(dir.path());
    std::vector<std::pair<Lines, std::string>> refusals = {
        {{"print", "jobs.txt"}, "jobs.txt"},
        {{"print", "none.voi"}, "Failed opening for reading: none.voi: No such file or directory"},
        {{"export-nifti", "sample.voi", "-o", "a.png"}, "a.png"},
        {{"export-nifti", "sample.voi", "-o", "no/a.nii"},
         "Cannot Create file: no/a.nii: No such file or directory"},
        {{"run", "--report", "no/r.tsv", "jobs.txt"}, "Cannot Create file: no/r.tsv: No such file or directory"},
        {{"export-nifti", "sample.voi", "-o", "full.nii.gz"}, "Cannot Create file: full.nii.gz: No space left on device"},
        {{"export-nifti", "sample.voi", "-o", "full.nii"}, "Cannot Create file: full.nii: No space left on device"},
        {{"preview", "sample.voi", "-o", "full.png"}, "Cannot Create file: full.png: No space left on device"},
        {{"import-nifti", "fmr/run1.fmr"}, "not a NIfTI-1 image: fmr/run1.fmr"},
        {{"preview", "sample.voi", "--underlay", "none.nii"},
         "Failed opening for reading: none.nii: No such file or directory"},
        {{"stats", "sample.roi"}, "Read only partly (NrOfVOIs: is missing): sample.roi"},
        {{"stats", "mirrored.voi"}, "LeftRightConvention -1 is not 1, the only convention known: mirrored.voi"},
        {{"export-nifti", "mirrored.voi"}, "LeftRightConvention -1"}, {{"preview", "mirrored.voi"}, "-1"},
        {{"split", "sample.voi", "2"}, "holds no job (no line ends in roi), so there is nothing to split: sample.voi"},
        {{"gather", "fmr"}, "no split manifest (split.manifest, written by vocelle split) in the folder: fmr"},
        {{"glm", "--list", "fmr/run1.fmr"},
         "The job list names no job with a design (a line ending \"sdm\"): fmr/run1.fmr"},
        {{"import-nifti", "nifti/pair.hdr"}, "nifti/pair.img"},
        {{"import-nifti", "nifti/table_colour.nii.gz"}, "nifti/table_colour.tsv (line 3)"},
        {{"import-nifti", "nifti/table_cr.nii.gz"}, "nifti/table_cr.tsv (line 1)"},
        {{"import-nifti", "nifti/table_long.nii.gz"}, "nifti/table_long.tsv (line 2)"}};
    // Images that are no 3-D images of whole numbers with an orientation, or cut, or with a wrong
    // checksum, a dimension of 0 or a voxel size that is not a number; some as underlays too.
    const std::pair<std::string, std::string> images[] = {
        {"flat.nii", "not a 3-D image (it has 2 dimensions): @"}, {"fivedim.nii", "not a 3-D image (dimension 5 is 2): @"},
        {"real.nii", "holds values that are not labels (whole numbers), for example 1.5: @"},
        {"nan.nii", "holds values that are not labels (whole numbers), for example nan: @"},
        {"complex.nii", "holds COMPLEX64 values, not labels: @"}, {"mask2.nii", "each volume must be a mask of 0 and 1; it holds 2: @"},
        {"lost.nii", "no orientation: the sform and qform codes are 0: @"},
        {"singular.nii", "no usable orientation: the voxel-to-world matrix is singular: @"},
        {"cut.nii", "the image data is cut short: @ (byte 479 of 480)"}, {"header.nii", "cut short: @ (byte 352 of 480)"},
        {"crc.nii.gz", "the compressed data is damaged or cut short (incorrect data check): @"},
        {"dim.nii", "no voxels: dimension 3 is 0: @"}, {"size.nii", "voxel size 1 is nan, not a positive size: @"}};
    for (const auto& [image, why] : images)
        refusals.push_back({{"import-nifti", "nifti/" + image}, std::string(why).replace(why.find('@'), 1, "nifti/" + image)});
    for (const auto& [image, why] : {std::pair{"complex", "holds COMPLEX64 values, not intensities"},
                                     {"mask2", "not a 3-D image (dimension 4 is 2)"}, {"fivedim", "(dimension 5 is 2)"},
                                     {"flat", "not a 3-D image (it has 2 dimensions)"}})
        refusals.push_back({{"preview", "sample.voi", "--underlay", "nifti/" + std::string(image) + ".nii"}, why});
    for (const auto& [arguments, named] : refusals) {
        const ProgramRun result = runHostHere(arguments, dir.path());
        EXPECT_TRUE(result.status == 2 && result.out.empty() && result.err.rfind("vocelle: ", 0) == 0 &&
                    result.err.find('\n') + 1 == result.err.size() && result.err.find(named) != std::string::npos)
            << named << ": " << result.status << " " << result.out << result.err;
    }
    EXPECT_TRUE(filesBelow(dir.path()) == before);
}

} // namespace
