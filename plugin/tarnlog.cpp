#include <vocelle/plugin/tarnlog.h>

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/text/logsink.h>

namespace vocelle {

TarnLog logger;

namespace {

void toHostLog(const std::string& message) { logger << message << std::flush; }

// What the core reports goes to the host log from the moment the log exists.
const bool coreReportsBound = (setLogSink(toHostLog), true);

} // namespace

TarnLog::TarnBuf::TarnBuf() : std::stringbuf(std::ios_base::in | std::ios_base::out) {}

TarnLog::TarnBuf::~TarnBuf() {
    // Text written but never flushed still reaches the host.
    try {
        TarnBuf::sync();
    } catch (...) {
    }
}

int TarnLog::TarnBuf::sync() {
    // The host takes C strings: a NUL byte (a name from a damaged job list) is shown as "\0", so
    // the entry does not name the shorter file that the name would be cut to.
    std::string text = str();
    for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at))
        text.replace(at, 1, "\\0");
    if (tarn::hxLogText != nullptr) tarn::hxLogText(text.c_str());
    str(std::string());
    return 0;
}

TarnLog::TarnLog() : std::ostream(nullptr), buf(new TarnBuf) { rdbuf(buf); }

TarnLog::~TarnLog() {
    rdbuf(nullptr);
    delete buf;
    if (tarn::hxLogText != nullptr) tarn::hxLogText("Destructor of TarnLog never called");
}

} // namespace vocelle
