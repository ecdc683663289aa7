#include <vocelle/host/progress.h>

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace vocelle {

namespace {

int terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

} // namespace

bool errorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ProgressLine::start(int total) {
    active_ = true;
    total_ = total;
}

std::string ProgressLine::text(int done, int total, const std::vector<std::string>& current, int columns) {
    std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "]";
    if (!current.empty()) {
        line += " converting ";
        for (std::size_t i = 0; i < current.size(); ++i) line += (i ? ", " : "") + current[i];
    }
    // The last column stays free: writing into it makes some terminals wrap the line.
    const std::size_t room = columns > 1 ? std::size_t(columns - 1) : 1;
    if (line.size() > room) line = line.substr(0, room > 3 ? room - 3 : room) + (room > 3 ? "..." : "");
    return line;
}

void ProgressLine::show(int done, const std::vector<std::string>& current) {
    if (!active_) return;
    const std::string line = text(done, total_, current, terminalColumns());
    if (drawn_ && line == shown_) return;
    shown_ = line;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressLine::erase() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void ProgressLine::stop() {
    erase();
    active_ = false;
}

} // namespace vocelle
