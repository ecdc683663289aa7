#pragma once
// The host's commands that work on files alone, without the plug-in: print, preview,
// export-nifti, import-nifti, stats and split. Each returns the exit status: 0 done, 2 with a one-line error on
// standard error naming the file.

#include <vocelle/host/hostoptions.h>

#include <exception>
#include <string>

namespace vocelle {

int printCommand(const HostOptions& options);
int previewCommand(const HostOptions& options);
int exportNiftiCommand(const HostOptions& options);
int importNiftiCommand(const HostOptions& options);
int statsCommand(const HostOptions& options);
int splitCommand(const HostOptions& options);

// Prints "vocelle: " and the message as one line on standard error; returns 2, the status of a
// command that failed.
int fail(const std::string& message);
// The same for an exception: a fault in its one line, with the system's reason.
int fail(const std::exception& error);

} // namespace vocelle
