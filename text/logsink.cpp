#include <vocelle/text/logsink.h>

namespace vocelle {

namespace {

LogSink currentSink = nullptr;

} // namespace

void setLogSink(LogSink sink) { currentSink = sink; }

void logMessage(const std::string& message) {
    if (currentSink != nullptr) currentSink(message);
}

} // namespace vocelle
