#pragma once
// Cuts a job list into parts that can run apart (on several processes or cluster nodes): each
// part starts with the list's first line, exactly as written, and holds a run of whole jobs, in
// list order, the parts as even in job count as they can be. Run one after the other, the parts
// convert exactly the jobs the whole list converts.
//
// A job is its ROI line and every line up to the next ROI line, as the plug-in reads the list.
// Lines that name no file and stand right before an ROI line (a comment introducing the next
// subject) go with that next job.

#include <string>
#include <vector>

namespace vocelle {

struct JobListParts {
    std::vector<std::string> parts;         // as many as asked for, or as jobs when fewer (at least one)
    std::vector<std::vector<std::string>> roiNames; // per part: first line + ROI line of each job
    int jobCount = 0;
    std::string error; // non-empty when the list cannot be cut; parts is then empty
};

// text: the whole list file. partCount must be at least 1.
JobListParts splitJobList(const std::string& text, int partCount);

// Reads the file and splits it; error names the file when it cannot be read.
JobListParts splitJobListFile(const std::string& path, int partCount);

// "jobs.txt" cut into 3 parts gives "jobs.1.txt", "jobs.2.txt", "jobs.3.txt"; folder, when not
// empty, replaces the list's own folder.
std::string jobListPartName(const std::string& listPath, int part, const std::string& folder);

} // namespace vocelle
