#pragma once
// The progress line of a run on a terminal: jobs done of all and the ROI being converted, kept
// on one line of standard error and rewritten in place. Other output first erases it, then it
// is drawn again below that output. Off unless switched on, so pipes and files get the log
// lines alone.

#include <string>
#include <vector>

namespace vocelle {

class ProgressLine {
public:
    // Switches the line on for a run of `total` jobs.
    void start(int total);
    bool active() const { return active_; }
    // Draws "[done/total] converting NAME, NAME".
    void show(int done, const std::vector<std::string>& current);
    // Erases the line (before other output goes to the terminal).
    void erase();
    // Erases the line and switches it off.
    void stop();

    // The text for a terminal `columns` wide (cut to fit, never wrapping).
    static std::string text(int done, int total, const std::vector<std::string>& current, int columns);

private:
    bool active_ = false;
    bool drawn_ = false;
    int total_ = 0;
    std::string shown_;
};

// True when standard error, where the line is drawn, is a terminal: the only case with a progress
// line.
bool errorIsTerminal();

} // namespace vocelle
