#pragma once
// State shared between the host's commands and the five host functions the program exports.

#include <vocelle/host/hostoptions.h>
#include <vocelle/host/outcome.h>
#include <vocelle/host/progress.h>
#include <vocelle/host/transcript.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vocelle {

struct HostSession {
    HostOptions options;
    Transcript transcript;
    RunOutcome outcome;
    bool executing = false; // a message box while the plug-in runs means the list was unreadable
    ProgressLine progress;  // drawn only when standard output is a terminal
    std::vector<std::string> jobRois; // ROI names of the list's jobs, for the progress line
};

// The one session of this process. It outlives the plug-in, whose log may still call in while
// it is being unloaded.
extern HostSession session;

// Prints one log entry as hxLogText does (the text and a line end on standard output, counted
// in the outcome), erasing the progress line first; the caller draws it again.
void printLogEntry(const char* text);

// Prints one line and flushes, so that it stands in order with what the plug-in prints.
void printLine(std::FILE* stream, const char* text);

// Draws the progress line for the jobs counted so far, when it is on.
void showProgress();

} // namespace vocelle
