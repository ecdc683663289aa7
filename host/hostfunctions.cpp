// The host functions the plug-in looks up by name in the running process. The executable is
// linked with its symbols exported, so dlopen(NULL) plus dlsym finds exactly these five.

#include <vocelle/host/logrecords.h>
#include <vocelle/host/session.h>

#include <vocelle/plugin/TarnPluginInterface.h>

#include <cstdio>
#include <cstring>
#include <string>

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

// The exported host functions have C names and no namespace, as the plug-in looks them up.
using namespace vocelle;

HOST_EXPORT void hxGetVersionOfCorvane(int* major, int* minor, int* sub) {
    const int* version = session.settings.version;
    if (major != nullptr) *major = version[0];
    if (minor != nullptr) *minor = version[1];
    if (sub != nullptr) *sub = version[2];
    session.transcript.write(JsonLine()
                                 .add("call", "hxGetVersionOfCorvane")
                                 .add("major", version[0])
                                 .add("minor", version[1])
                                 .add("sub", version[2]));
}

HOST_EXPORT void hxShowLogTab() { session.transcript.write(JsonLine().add("call", "hxShowLogTab")); }

HOST_EXPORT void hxLogText(const char* text) {
    session.transcript.write(JsonLine().add("call", "hxLogText").add("text", text));
    if (session.worker) {
        writeLogRecord(text);
        if (text != nullptr) session.outcome.logEntry(text);
        return;
    }
    printLogEntry(text);
    if (text != nullptr && !session.reports.empty()) session.reports.front().logEntry(text);
    showProgress();
}

HOST_EXPORT void hxMessageBox(const char* text) {
    session.transcript.write(JsonLine().add("call", "hxMessageBox").add("text", text));
    session.progress.erase();
    printLine(stderr, text);
    if (session.executing) {
        session.outcome.listUnreadable();
        printLine(stderr, unreadableListLine().c_str());
    }
    showProgress();
}

HOST_EXPORT void hxGetOpenFileName(const char* title, const char* second, const char* filter,
                                   char* result) {
    std::string answer = session.chosenList;
    if (answer.size() >= static_cast<std::size_t>(tarn::fileNameBufferSize)) {
        // A cut-off path would name another file; answer as a cancelled choice instead.
        std::fprintf(stderr, "vocelle: the job list path is longer than %d bytes\n",
                     tarn::fileNameBufferSize - 1);
        answer.clear();
    }
    if (result != nullptr) std::memcpy(result, answer.c_str(), answer.size() + 1);
    session.transcript.write(JsonLine()
                                 .add("call", "hxGetOpenFileName")
                                 .add("title", title)
                                 .add("second", second)
                                 .add("filter", filter)
                                 .add("answer", answer));
    showProgress(); // the run starts here
}
