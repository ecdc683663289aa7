#include <vocelle/plugin/joblist.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace vocelle;

namespace {

// The jobs a list is cut into, each as "roi|fmr|ia|fa|acpc|tal".
std::vector<std::string> cut(const std::string& list, JobListEnd& end) {
    std::istringstream in(list);
    std::vector<std::string> jobs;
    end = readJobList(in, [&](const ConversionJob& j) {
        jobs.push_back(j.roiName + "|" + j.fmrName + "|" + j.iaTrfName + "|" + j.faTrfName + "|" +
                       j.acpcTrfName + "|" + j.talName);
    });
    return jobs;
}

TEST(JobList, CutsListsIntoJobs) {
    const std::string tooLong(maxJobListLineLength + 1, 'x'),
        atLimit(maxJobListLineLength - 3, 'y');
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        // clang-format off
        {"", {}}, {"/study/\n", {}},
        // Lines before the first ROI line are passed over; names are trimmed, the first line not.
        {" /b/ \nx.fmr\n\t s1.roi \n  s1.fmr\t\n", {" /b/ s1.roi| /b/ s1.fmr||||"}},
        {"/b/\ns.roi\ns_ACPC.trf\ns_FA.trf\ns.tal\ns_IA.trf\ns.fmr\n",
         {"/b/s.roi|/b/s.fmr|/b/s_IA.trf|/b/s_FA.trf|/b/s_ACPC.trf|/b/s.tal"}},
        // CR LF line ends; blanks before the CR of the first line stay.
        {"/b/ \r\ns1.roi\r\ns1.fmr\r\ns1.tal\r\n", {"/b/ s1.roi|/b/ s1.fmr||||/b/ s1.tal"}},
        {"/b/\ns1.roi\na.fmr\nb.fmr\na.tal\nb.tal\n", {"/b/s1.roi|/b/a.fmr||||/b/a.tal"}},
        {"/b/\ns1.roi\ns2.roi\ns2.fmr\ns3.roi\n",
         {"/b/s1.roi|||||", "/b/s2.roi|/b/s2.fmr||||", "/b/s3.roi|||||"}},
        // The last line needs no line feed; a first line ending in roi opens the first job.
        {"/x.roi\ns.fmr\nt.roi", {"/x.roi/x.roi|/x.rois.fmr||||", "/x.roit.roi|||||"}},
        {"/b/\ns1.roi\ns1.fmr", {"/b/s1.roi|/b/s1.fmr||||"}},
        // Endings are case-sensitive and need no dot.
        {"/b/\nS1.ROI\nsubject1roi\ns1.FMR\ns1_ia.trf\ns1.TAL\nrunfmr\n",
         {"/b/subject1roi|/b/runfmr||||"}},
        {"\n/abs/s1.roi\n\n   \n/abs/s1.fmr\n", {"/abs/s1.roi|/abs/s1.fmr||||"}},
        // A line too long for a file name stops reading; the job so far still runs.
        {"/b/\ns1.roi\ns1.fmr\n" + tooLong + ".tal\ns2.roi\n", {"/b/s1.roi|/b/s1.fmr||||"}},
        {"/b/\ns1.roi\n" + atLimit + "fmr\n", {"/b/s1.roi|/b/" + atLimit + "fmr||||"}},
        // clang-format on
    };
    for (const auto& [list, jobs] : cases) {
        JobListEnd end;
        EXPECT_EQ(cut(list, end), jobs) << list.substr(0, 40);
        EXPECT_EQ(end == JobListEnd::LineTooLong, list.find(tooLong) != std::string::npos);
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

} // namespace
