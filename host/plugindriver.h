#pragma once
// The plug-in session: the plug-in loaded and driven as the desktop host drives it (its six
// information functions, then create, initialise, execute when initialised, destroy, unload),
// every call written to the transcript, and the run summed up from what it logged.

#include <string>

namespace vocelle {

enum class Drive { InfoOnly, Run };

// Opens the transcript of session.settings, when one was asked for. Throws FaultError.
void openTranscript();

// Puts the transcript in place (host/transcript.h); false, with the line printed, when it could
// not be written.
bool closeTranscript();

// Loads the plug-in of session.settings and drives it; InfoOnly prints its information and
// creates nothing. Returns 0, or 2 after a failed start (printed, and counted in the outcome).
int drivePlugin(Drive how);

// Prints "vocelle: " and the message and counts a failed start; returns 2.
int startFailed(const std::string& message);

// Prints the summary line after everything the run printed (and, before it, that the list held
// no job when so); returns the run's exit status.
int summedUp();

} // namespace vocelle
