#include "plugin/joblist.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Each job as "roi|fmr|ia|fa|acpc|tal", jobs separated by " ; ".
std::string cut(const std::string& text, JobListEnd* end = nullptr) {
    std::istringstream list(text);
    std::string jobs;
    const JobListEnd result = readJobList(list, [&](const ConversionJob& j) {
        jobs += (jobs.empty() ? "" : " ; ") + j.roiName + "|" + j.fmrName + "|" + j.iaTrfName +
                "|" + j.faTrfName + "|" + j.acpcTrfName + "|" + j.talName;
    });
    if (end != nullptr) *end = result;
    return jobs;
}

TEST(JobList, CutsListsIntoJobs) {
    const std::string cases[][3] = {
        {"empty file", "", ""},
        {"single line", "/study/\n", ""},
        {"lines before the first ROI line are ignored", "/b/\nx.fmr\nx.tal\ns1.roi\ns1.fmr\n",
         "/b/s1.roi|/b/s1.fmr||||"},
        {"names are trimmed, the first line is not", " /b/ \n\t s1.roi \n  s1.fmr\t\n",
         " /b/ s1.roi| /b/ s1.fmr||||"},
        {"carriage returns end lines; blanks before one on the first line stay",
         "/b/ \r\ns1.roi\r\ns1.fmr\r\ns1.tal\r\n", "/b/ s1.roi|/b/ s1.fmr||||/b/ s1.tal"},
        {"the first of two lines of a kind counts", "/b/\ns1.roi\na.fmr\nb.fmr\na.tal\nb.tal\n",
         "/b/s1.roi|/b/a.fmr||||/b/a.tal"},
        {"ROI lines in a row, the last with a line feed", "/b/\ns1.roi\ns2.roi\ns2.fmr\ns3.roi\n",
         "/b/s1.roi||||| ; /b/s2.roi|/b/s2.fmr|||| ; /b/s3.roi|||||"},
        {"last line without line feed fills its field", "/b/\ns1.roi\ns1.fmr",
         "/b/s1.roi|/b/s1.fmr||||"},
        {"first line ending in roi opens the first job", "/x.roi\ns.fmr\n",
         "/x.roi/x.roi|/x.rois.fmr||||"},
        {"endings are case-sensitive and need no dot",
         "/b/\nS1.ROI\nsubject1roi\ns1.FMR\ns1_ia.trf\ns1_acpc.trf\ns1.TAL\nrunfmr\n",
         "/b/subject1roi|/b/runfmr||||"},
        {"empty first line leaves names as they stand", "\n/abs/s1.roi\n\n   \n/abs/s1.fmr\n",
         "/abs/s1.roi|/abs/s1.fmr||||"},
    };
    for (const auto& [what, list, jobs] : cases) {
        JobListEnd end = JobListEnd::LineTooLong;
        EXPECT_EQ(cut(list, &end), jobs) << what;
        EXPECT_EQ(end, JobListEnd::Finished) << what;
    }
}

TEST(JobList, EachJobRunsBeforeTheNextLinesAreRead) {
    const std::string head = "/b/\ns1.roi\ns1.fmr\ns2.roi\n";
    std::istringstream list(head + "s2.fmr\ns3.roi\n");
    std::vector<std::streamoff> positions;
    readJobList(list, [&](const ConversionJob&) { positions.push_back(list.tellg()); });
    ASSERT_EQ(positions.size(), 3u);
    EXPECT_EQ(positions[0], static_cast<std::streamoff>(head.size()));
}

TEST(JobList, OverlongLineStopsReadingButRunsTheJobSoFar) {
    JobListEnd end = JobListEnd::Finished;
    const std::string tooLong(maxJobListLineLength + 1, 'x');
    EXPECT_EQ(cut("/b/\ns1.roi\ns1.fmr\n" + tooLong + ".tal\ns2.roi\n", &end),
              "/b/s1.roi|/b/s1.fmr||||");
    EXPECT_EQ(end, JobListEnd::LineTooLong);
    // A line of exactly the limit is still an ordinary line.
    const std::string atLimit(maxJobListLineLength - 3, 'y');
    EXPECT_EQ(cut("/b/\ns1.roi\n" + atLimit + "fmr\n", &end),
              "/b/s1.roi|/b/" + atLimit + "fmr||||");
    EXPECT_EQ(end, JobListEnd::Finished);
}

} // namespace
