#include "plugin/tarnlog.h"

#include "plugin/TarnPluginInterface.h"

TarnLog logger;

TarnLog::TarnBuf::TarnBuf() : std::stringbuf(std::ios_base::in | std::ios_base::out) {}

TarnLog::TarnBuf::~TarnBuf() {
    // Text written but never flushed still reaches the host.
    try {
        TarnBuf::sync();
    } catch (...) {
    }
}

int TarnLog::TarnBuf::sync() {
    const std::string text = str();
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
