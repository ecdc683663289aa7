// 500 jobs through the real host, complete ones and ones with missing files: each accounted for
// in list order, and memory that does not grow with the list (documents are released per job).

#include "tests/e2e/hostrun.h"
#include "tests/formats/conversionfiles.h"

#include <gtest/gtest.h>

namespace {

namespace cf = conversionfiles;

struct Job {
    std::string roi, voi;
    bool complete;
};

// Kinds cycle by ten: five complete (a region to convert only every 100 jobs, so the
// run stays short while each loads its slice data and saves a VOI), five each missing a file.
std::vector<Job> writeJobList(const ScratchDir& dir, int count, const std::string& listName) {
    std::string list = dir.path().string() + "/\n";
    std::vector<Job> jobs;
    for (int i = 0; i < count; ++i) {
        const std::string roi = "job" + std::to_string(i) + ".roi";
        const int kind = i % 10;
        if (kind != 8)
            writeAll(dir.file(roi),
                     cf::roi(kind == 0 && i % 100 == 0 ? std::vector<cf::Voxels>{{{32, 32, 8}}}
                                                       : std::vector<cf::Voxels>{}));
        list += "subject " + std::to_string(i) + "\n" + roi + "\n" +
                (kind == 5 ? "missing.fmr\n" : "run.fmr\n") +
                (kind == 6 ? "missing_IA.trf\n" : "run_IA.trf\n") +
                (kind == 9 ? "" : "run_FA.trf\n") + "anat_ACPC.trf\n" +
                (kind == 7       ? "missing.tal\n"
                 : kind % 2 == 1 ? "anat.tal\n"
                                 : "");
        jobs.push_back(
            {dir.file(roi),
             dir.file("job" + std::to_string(i) + (kind % 2 ? "_TAL_.voi" : "_ACPC_.voi")),
             kind < 5});
    }
    writeAll(dir.file(listName), list);
    return jobs;
}

TEST(LongRun, FiveHundredJobsAreEachAccountedForAndMemoryStaysFlat) {
    ScratchDir dir;
    // A 64 x 64 x 16 run of 8 volumes: 1 MB of slice data, twice that once loaded.
    cf::Grid grid;
    grid.nx = grid.ny = 64;
    grid.nz = 16;
    std::string fmr = cf::fmr("run", grid);
    fmr.replace(fmr.find("NrOfVolumes: 0"), 14, "NrOfVolumes: 8");
    writeAll(dir.file("run.fmr"), fmr);
    writeAll(dir.file("run.stc"), std::string(64 * 64 * 16 * 8 * 2, '\1'));
    for (const char* name : {"run_IA.trf", "run_FA.trf", "anat_ACPC.trf"})
        writeAll(dir.file(name), cf::trf(true));
    writeAll(dir.file("anat.tal"), cf::tal(1));
    const auto few = writeJobList(dir, 5, "few.txt");
    const auto many = writeJobList(dir, 500, "many.txt");
    const ProgramRun small = runHost({"run", dir.file("few.txt")}, dir.path());
    const ProgramRun large = runHost({"run", dir.file("many.txt")}, dir.path());

    for (const auto& [run, jobs] : {std::pair(&small, &few), std::pair(&large, &many)}) {
        std::vector<std::string> expected, settled;
        int converted = 0;
        for (const auto& job : *jobs) {
            expected.push_back(job.complete
                                   ? "Converted " + job.roi
                                   : "!!!! Not enough files could be loaded to convert " + job.roi);
            converted += job.complete;
        }
        for (const auto& line : linesOf(run->out)) // exactly one settling line per job
            if (line.rfind("Converted ", 0) == 0 || line.rfind("!!!! ", 0) == 0)
                settled.push_back(line);
        EXPECT_EQ(settled, expected);
        EXPECT_EQ(run->status, converted == int(jobs->size()) ? 0 : 1);
        EXPECT_NE(run->err.find(std::to_string(converted) + " converted, " +
                                std::to_string(jobs->size() - converted) + " not converted"),
                  std::string::npos)
            << run->err;
    }
    for (const auto& job : many)
        EXPECT_EQ(std::filesystem::exists(job.voi), job.complete) << job.voi;
#ifndef VOCELLE_SANITIZED
    // Sanitizers hold freed memory back, so peak memory means something only here; 250 jobs
    // each keeping 2 MB of slice data would show as hundreds of megabytes.
    EXPECT_LE(large.peakKb, small.peakKb + 16 * 1024)
        << "5 jobs: " << small.peakKb << " kB, 500 jobs: " << large.peakKb << " kB";
#endif
}

} // namespace
