#pragma once
// The host's commands that work on files alone, without the plug-in: print, preview,
// export-nifti and split. Each returns the exit status: 0 done, 2 with a one-line error on
// standard error naming the file.

#include <vocelle/host/hostoptions.h>

#include <string>
#include <vector>

namespace vocelle {

int printCommand(const HostOptions& options);
int previewCommand(const HostOptions& options);
int exportNiftiCommand(const HostOptions& options);
int splitCommand(const HostOptions& options);

// The ROI names of a job list's jobs, in list order, as the plug-in reads the list; empty when
// the list cannot be opened.
std::vector<std::string> jobListRois(const std::string& path);

// A document path's extension, lower case, without its dot ("" when it has none).
std::string documentKind(const std::string& path);

} // namespace vocelle
