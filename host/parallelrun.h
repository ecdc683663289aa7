#pragma once
// vocelle run --jobs N: the list is cut into N parts of whole jobs (as vocelle split cuts it),
// and each part runs in a process of this same program with its own plug-in instance. Log
// entries are printed in list order: the first part's as they come, each later part's once
// every part before it is done; the plug-in's start line appears once at the top and its
// closing line once at the end, so the output reads as that of a single run.

#include <string>

namespace vocelle {

// Runs the list (listText, the bytes of the job list) in `jobs` processes of this program and
// returns the exit status, or -1 when the list is better run in this process alone: it cannot be
// cut, or holds fewer than two jobs. With `report`, session.reports gets one report per part.
int runInParallel(const std::string& listText, int jobs, bool report);

} // namespace vocelle
