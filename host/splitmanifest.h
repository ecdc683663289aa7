#pragma once
// What vocelle split writes beside its parts, so that vocelle gather sums exactly the parts of
// one split and can tell whether a report belongs to its part:
//
//     vocelle split manifest
//     list     /study/jobs.txt           the list split read, absolute
//     part     jobs.1.txt  jobs.1.tsv    a part's list and its report, in the manifest's folder
//     job      ./s1/run1.roi  ./s1/run1_TAL_.voi    the part's jobs: their ROI and the VOI they
//     job      ./s1/run1.roi  ./s1/run1_ACPC_.voi   write, the roi and voi cells of their report rows
//     part     jobs.2.txt  jobs.2.tsv
//     job      ./s2/run1.roi  ./s2/run1_TAL_.voi
//     script   jobs.sbatch               the Slurm script, when split wrote one
//     end                                so that a manifest cut at a line end is not taken whole
//
// Cells are separated by one tab, every line ends in LF. A folder holds at most one split.

#include <string>
#include <vector>

namespace vocelle {

constexpr const char* manifestFileName = "split.manifest";

struct SplitManifest {
    struct Job {
        std::string roi, voi;
        bool operator==(const Job& other) const { return roi == other.roi && voi == other.voi; }
        // A report row (roi, voi, space, status, ...) of this job: its ROI, and the VOI it writes
        // when it was converted (a job that wrote nothing has no VOI cell).
        bool reportedBy(const std::vector<std::string>& row) const;
    };
    struct Part {
        std::string list, report;
        std::vector<Job> jobs;
    };
    std::string list;
    std::vector<Part> parts;
    std::string script; // empty when split wrote none

    // The files of the split in its folder, the manifest left out: lists, reports, script.
    std::vector<std::string> files() const;
};

// The jobs of a job list's text as the manifest and the report name them.
std::vector<SplitManifest::Job> manifestJobs(const std::string& listText);

std::string manifestText(const SplitManifest& manifest);

// Whether something of that name is there, found without opening it (a pipe would wait).
bool isPresent(const std::string& path);

// Reads a file of a split (its manifest, a part, a report), which names at most every job of a
// list: up to 512 MiB, a larger one then fails to parse or match. False, with why in error, when
// it cannot be read or is no regular file (a pipe would keep the reader waiting).
bool readSplitFile(const std::string& path, std::string& text, std::string& error);

// Reads what manifestText writes. Throws FaultError naming path and the line for any other text:
// a part without jobs, a file name that is empty, holds a '/' or is named twice.
SplitManifest parseManifest(const std::string& text, const std::string& path);

} // namespace vocelle
