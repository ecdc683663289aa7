#pragma once
// The plug-in's log. Compose a message with ordinary insertions, then flush: each flush hands
// everything written since the previous one to the host's hxLogText as exactly one entry.
// Without a bound hxLogText the flushed text is dropped.

#include <ostream>
#include <sstream>

namespace vocelle {

class TarnLog : public std::ostream {
public:
    // Collects the characters in memory; nothing leaves it except through sync.
    class TarnBuf : public std::stringbuf {
    public:
        TarnBuf();
        ~TarnBuf() override;

    protected:
        int sync() override;
    };

    TarnLog();
    ~TarnLog() override;
    TarnLog(const TarnLog&) = delete;
    TarnLog& operator=(const TarnLog&) = delete;

private:
    TarnBuf* buf;
};

extern TarnLog logger;

} // namespace vocelle
