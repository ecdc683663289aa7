#pragma once
// State shared between the host's commands and the five host functions the program exports.

#include <vocelle/host/outcome.h>
#include <vocelle/host/progress.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/transcript.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vocelle {

// What the program was started with: where it is, and the options of the commands that drive the
// plug-in.
struct HostSettings {
    std::string program;        // this program's file: each process of run --jobs runs it again
    std::string pluginPath;     // --plugin, or the plug-in found beside this program
    std::string transcriptPath; // --transcript
    int version[3] = {2, 8, 0}; // --host-version: what the host reports to the plug-in
};

struct HostSession {
    HostSettings settings;
    Transcript transcript;
    RunOutcome outcome;
    std::string jobList;    // run: the list as given; empty when none was
    bool worker = false;    // run: one process of a --jobs run; log entries go out as records
    bool executing = false; // a message box while the plug-in runs means the list was unreadable
    ProgressLine progress;  // drawn only when standard error is a terminal
    std::vector<std::string> jobRois; // ROI names of the list's jobs, for the progress line
    std::string chosenList; // what the file chooser answers: the job list, or a private copy of it
    std::string listError;  // why the host could not read the job list, in the system's words
    std::vector<RunReport> reports; // run --report: one per part of the list run in a process
    int standardOutput = -1; // while an output is `-`: where standard output went (fd 1 is stderr)
};

// An open file of this process, closed with this object.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    explicit operator bool() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // A name that opens it again from its start, in this process and in a child it is left to:
    // /proc/self/fd/N.
    std::string path() const;

  private:
    int fd_ = -1;
};

// A file holding `text` in memory, with no name in any folder, so nothing is left behind however
// the process ends; closed on exec. Empty, with errno, when none could be made.
FileDescriptor memoryFile(const std::string& text);

// The one session of this process. It outlives the plug-in, whose log may still call in while
// it is being unloaded.
extern HostSession session;

// Prints one log entry as hxLogText does (the text and a line end on standard output, counted
// in the outcome), erasing the progress line first; the caller draws it again. An entry naming
// the private copy of a piped job list names the list as given instead.
void printLogEntry(const char* text);

// Prints one line and flushes, so that it stands in order with what the plug-in prints.
void printLine(std::FILE* stream, const char* text);

// Draws the progress line for the jobs counted so far, when it is on.
void showProgress();

// Reads a file with the system's calls: all of it, or its start up to the first line longer than
// longestLine or past maxBytes, so that an endless device cannot fill the memory. False, with the
// system's reason in error, when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& text, std::string& error,
                   std::size_t longestLine = std::string::npos, std::size_t maxBytes = std::string::npos);

// The line after the unreadable-list message box: the list and why it cannot be read.
std::string unreadableListLine();

} // namespace vocelle
