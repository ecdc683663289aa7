#pragma once
// The host's commands that drive the plug-in: run and info load it as the desktop host does,
// convert runs the plug-in's conversion code on one job in this process. Each returns the exit
// status; run's and convert's are the run's outcome (0, 1 or 2).

#include <vocelle/host/hostoptions.h>

namespace vocelle {

int runCommand(const HostOptions& options);
int infoCommand(const HostOptions& options);
int convertCommand(const HostOptions& options);

} // namespace vocelle
