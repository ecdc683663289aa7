#include <vocelle/host/session.h>

namespace vocelle {

HostSession session;

void printLine(std::FILE* stream, const char* text) {
    if (text != nullptr) std::fputs(text, stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void printLogEntry(const char* text) {
    session.progress.erase();
    printLine(stdout, text);
    if (text != nullptr) session.outcome.logEntry(text);
}

void showProgress() {
    if (!session.progress.active()) return;
    const int done = session.outcome.jobsDone();
    std::vector<std::string> current;
    if (done >= 0 && static_cast<std::size_t>(done) < session.jobRois.size())
        current.push_back(session.jobRois[static_cast<std::size_t>(done)]);
    session.progress.show(done, current);
}

} // namespace vocelle
