#include "plugin/joblist.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// roi, fmr, ia, fa, acpc, tal
using Names = std::vector<std::string>;

Names namesOf(const ConversionJob& job) {
    return {job.roiName, job.fmrName, job.iaTrfName, job.faTrfName, job.acpcTrfName, job.talName};
}

std::vector<Names> cut(const std::string& text, JobListEnd* end = nullptr) {
    std::istringstream list(text);
    std::vector<Names> jobs;
    const JobListEnd result = readJobList(list, [&](const ConversionJob& job) { jobs.push_back(namesOf(job)); });
    if (end != nullptr) *end = result;
    return jobs;
}

struct CutCase {
    const char* what;
    std::string list;
    std::vector<Names> jobs;
};

TEST(JobList, CutsListsIntoJobs) {
    const CutCase cases[] = {
        {"worked example",
         "/study/\nsubject one\ns1/run1.roi\ns1/run1.fmr\ns1/run1_IA.trf\ns1/run1_FA.trf\n"
         "s1/anat_ACPC.trf\ns1/anat.tal\ns2/run1.roi\ns2/run1.fmr\ns2/run1_IA.trf\n",
         {{"/study/s1/run1.roi", "/study/s1/run1.fmr", "/study/s1/run1_IA.trf", "/study/s1/run1_FA.trf",
           "/study/s1/anat_ACPC.trf", "/study/s1/anat.tal"},
          {"/study/s2/run1.roi", "/study/s2/run1.fmr", "/study/s2/run1_IA.trf", "", "", ""}}},
        {"empty file", "", {}},
        {"single line", "/study/\n", {}},
        {"lines before the first ROI line are ignored",
         "/b/\nx.fmr\nx_IA.trf\nx.tal\ns1.roi\ns1.fmr\n", {{"/b/s1.roi", "/b/s1.fmr", "", "", "", ""}}},
        {"names are trimmed, the first line is not",
         " /b/ \n\t s1.roi \n  s1.fmr\t\n", {{" /b/ s1.roi", " /b/ s1.fmr", "", "", "", ""}}},
        {"carriage-return line ends",
         "/b/\r\ns1.roi\r\ns1.fmr\r\ns1_IA.trf\r\ns1_FA.trf\r\ns1_ACPC.trf\r\ns1.tal\r\n",
         {{"/b/s1.roi", "/b/s1.fmr", "/b/s1_IA.trf", "/b/s1_FA.trf", "/b/s1_ACPC.trf", "/b/s1.tal"}}},
        {"blanks before the carriage return of the first line stay",
         "/b/ \r\ns1.roi\r\n", {{"/b/ s1.roi", "", "", "", "", ""}}},
        {"first of two lines of a kind counts",
         "/b/\ns1.roi\na.fmr\nb.fmr\na.tal\nb.tal\n", {{"/b/s1.roi", "/b/a.fmr", "", "", "", "/b/a.tal"}}},
        {"two ROI lines in a row",
         "/b/\ns1.roi\ns2.roi\ns2.fmr\n",
         {{"/b/s1.roi", "", "", "", "", ""}, {"/b/s2.roi", "/b/s2.fmr", "", "", "", ""}}},
        {"last ROI line without line feed opens a job",
         "/b/\ns1.roi\ns1.fmr\ns2.roi",
         {{"/b/s1.roi", "/b/s1.fmr", "", "", "", ""}, {"/b/s2.roi", "", "", "", "", ""}}},
        {"last ROI line with line feed opens a job",
         "/b/\ns1.roi\ns1.fmr\ns2.roi\n",
         {{"/b/s1.roi", "/b/s1.fmr", "", "", "", ""}, {"/b/s2.roi", "", "", "", "", ""}}},
        {"last line without line feed fills its field",
         "/b/\ns1.roi\ns1.fmr", {{"/b/s1.roi", "/b/s1.fmr", "", "", "", ""}}},
        {"first line ending in roi opens the first job",
         "/x.roi\ns.fmr\n", {{"/x.roi/x.roi", "/x.rois.fmr", "", "", "", ""}}},
        {"endings are case-sensitive and need no dot",
         "/b/\nS1.ROI\nsubject1roi\ns1.FMR\ns1_ia.trf\ns1_acpc.trf\ns1.TAL\nrunfmr\n",
         {{"/b/subject1roi", "/b/runfmr", "", "", "", ""}}},
        {"empty first line leaves names as they stand",
         "\n/abs/s1.roi\n\n   \n/abs/s1.fmr\n", {{"/abs/s1.roi", "/abs/s1.fmr", "", "", "", ""}}},
    };
    for (const CutCase& c : cases) {
        JobListEnd end = JobListEnd::LineTooLong;
        EXPECT_EQ(cut(c.list, &end), c.jobs) << c.what;
        EXPECT_EQ(end, JobListEnd::Finished) << c.what;
    }
}

TEST(JobList, EachJobRunsBeforeTheNextLinesAreRead) {
    const std::string head = "/b/\ns1.roi\ns1.fmr\ns2.roi\n";
    std::istringstream list(head + "s2.fmr\ns3.roi\n");
    std::vector<std::streamoff> positions;
    readJobList(list, [&](const ConversionJob&) { positions.push_back(list.tellg()); });
    ASSERT_EQ(positions.size(), 3u);
    // Job 1 is run as soon as the ROI line that ends it has been read, not later.
    EXPECT_EQ(positions[0], static_cast<std::streamoff>(head.size()));
}

TEST(JobList, OverlongLineStopsReadingButRunsTheJobSoFar) {
    const std::string longLine(maxJobListLineLength + 1, 'x');
    JobListEnd end = JobListEnd::Finished;
    const auto jobs = cut("/b/\ns1.roi\ns1.fmr\n" + longLine + ".tal\ns2.roi\n", &end);
    EXPECT_EQ(end, JobListEnd::LineTooLong);
    EXPECT_EQ(jobs, (std::vector<Names>{{"/b/s1.roi", "/b/s1.fmr", "", "", "", ""}}));

    // A line of exactly the limit is still an ordinary line.
    const auto atLimit = cut("/b/\ns1.roi\n" + std::string(maxJobListLineLength - 3, 'y') + "fmr\n", &end);
    EXPECT_EQ(end, JobListEnd::Finished);
    ASSERT_EQ(atLimit.size(), 1u);
    EXPECT_EQ(atLimit[0][1].size(), 3 + maxJobListLineLength);
}

} // namespace
