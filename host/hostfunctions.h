#pragma once
// State shared between the host's main program and the five host functions it exports.

#include "host/hostoptions.h"
#include "host/outcome.h"
#include "host/transcript.h"

struct HostSession {
    HostOptions options;
    Transcript transcript;
    RunOutcome outcome;
    bool executing = false; // a message box while the plug-in runs means the list was unreadable
};

// The one session of this process. It outlives the plug-in, whose log may still call in while
// it is being unloaded.
extern HostSession session;
