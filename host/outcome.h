#pragma once
// What a run of the plug-in achieved, counted from what it told the host.

#include <string>

namespace vocelle {

class RunOutcome {
public:
    // Counts one log entry: "Converted " lines as converted jobs, the missing-files report
    // header and the failed-conversion line as jobs not converted.
    void logEntry(const std::string& text);
    // Jobs whose outcome never came (their process was stopped) count as not converted.
    void withoutOutcome(int jobs) { notConvertedJobs += jobs > 0 ? jobs : 0; }
    // The job list could not be read (message box during the run, or reading stopped early), or
    // held no job.
    void listUnreadable() { unreadableList = true; }
    // The plug-in could not be loaded, created or initialised.
    void startFailed() { failedStart = true; }

    bool listHeldNoJob() const { return noJob; }
    int converted() const { return convertedJobs; }
    int notConverted() const { return notConvertedJobs; }
    int jobsDone() const { return convertedJobs + notConvertedJobs; }
    // 2 for an unreadable list, a list without jobs or a failed start, else 1 when a job was not
    // converted, else 0.
    int exitStatus() const;
    // "3 converted, 1 not converted"
    std::string summary() const;

private:
    int convertedJobs = 0;
    int notConvertedJobs = 0;
    bool unreadableList = false;
    bool noJob = false;
    bool failedStart = false;
};

} // namespace vocelle
