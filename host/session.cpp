#include <vocelle/host/session.h>

#include <vocelle/plugin/logtexts.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vocelle {

HostSession session;

void printLine(std::FILE* stream, const char* text) {
    if (text != nullptr) std::fputs(text, stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

namespace {

// The plug-in names the job list by the file chooser's answer, which for a list read from a pipe
// is the host's private copy: the user hears of the list by the name given.
std::string namingListAsGiven(const std::string& entry) {
    if (session.chosenList != session.jobList)
        for (const char* about : {logtexts::listHoldsNoJob, logtexts::listLineTooLong})
            if (entry == about + session.chosenList) return about + session.jobList;
    return entry;
}

} // namespace

void printLogEntry(const char* text) {
    session.progress.erase();
    if (text == nullptr) return printLine(stdout, nullptr);
    const std::string shown = namingListAsGiven(text);
    printLine(stdout, shown.c_str());
    session.outcome.logEntry(shown);
}

void showProgress() {
    if (!session.progress.active()) return;
    const int done = session.outcome.jobsDone();
    std::vector<std::string> current;
    if (done >= 0 && static_cast<std::size_t>(done) < session.jobRois.size())
        current.push_back(session.jobRois[static_cast<std::size_t>(done)]);
    session.progress.show(done, current);
}

bool readWholeFile(const std::string& path, std::string& text, std::string& error, std::size_t longestLine,
                   std::size_t maxBytes) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file == -1) {
        error = std::strerror(errno);
        return false;
    }
    char bytes[65536];
    for (;;) {
        const ssize_t got = read(file, bytes, sizeof bytes);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::strerror(errno);
            close(file);
            return false;
        }
        text.append(bytes, std::size_t(got));
        const std::size_t lineEnd = text.rfind('\n');
        const std::size_t lineStart = lineEnd == std::string::npos ? 0 : lineEnd + 1;
        if (text.size() - lineStart > longestLine || text.size() > maxBytes) break;
    }
    close(file);
    return true;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
}

std::string FileDescriptor::path() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

FileDescriptor memoryFile(const std::string& text) {
    FileDescriptor file(memfd_create("vocelle", MFD_CLOEXEC));
    for (std::size_t done = 0; file && done < text.size();) {
        const ssize_t written = write(file.get(), text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int reason = written < 0 ? errno : EIO;
            { const FileDescriptor closed = std::move(file); }
            errno = reason;
            return FileDescriptor();
        }
        done += std::size_t(written);
    }
    return file;
}

std::string unreadableListLine() {
    const std::string& list = session.jobList;
    if (list.empty()) return "vocelle: no job list was given (vocelle run JOBLIST)";
    std::string reason = session.listError, ignored;
    if (reason.empty() && readWholeFile(list, ignored, reason)) reason = "the plug-in could not open it";
    return "vocelle: cannot read the job list " + list + ": " + reason;
}

} // namespace vocelle
