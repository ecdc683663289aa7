#include <vocelle/text/safesave.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <streambuf>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vocelle {

namespace {

bool unnamedAllowed = true;

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

std::string resolveTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof link)) return path;
        const std::string next(link, static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : folderOf(path) + next;
    }
    return path; // a loop of links: the save fails on it
}

// The descriptor of this process that the path names (/dev/stdout, /dev/fd/3, /proc/self/fd/3),
// or -1.
int namedDescriptor(const std::string& path) {
    if (path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (path.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string number = path.substr(prefix.size());
        if (number.empty() || number.size() > 9 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::atoi(number.c_str());
    }
    return -1;
}

mode_t modeOfNewFiles() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Named temporaries alive now: a stop by SIGINT or SIGTERM removes them before the process ends
// by it. Only installed where the signal would end the process anyway.
constexpr int cleanupSlots = 16;
const char* volatile cleanupNames[cleanupSlots] = {};
int namedAlive = 0;
bool handling[2] = {false, false};
struct sigaction previous[2];
const int stopSignals[2] = {SIGINT, SIGTERM};

extern "C" void removeTemporariesAndStop(int signal) {
    for (const char* volatile& name : cleanupNames)
        if (name != nullptr) ::unlink(name);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal); // delivered as the handler returns
}

void keepForCleanup(const char* name) {
    for (const char* volatile& slot : cleanupNames)
        if (slot == nullptr) {
            slot = name;
            break;
        }
    if (namedAlive++ > 0) return;
    for (int i = 0; i < 2; ++i) {
        ::sigaction(stopSignals[i], nullptr, &previous[i]);
        handling[i] = previous[i].sa_handler == SIG_DFL && !(previous[i].sa_flags & SA_SIGINFO);
        if (!handling[i]) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = removeTemporariesAndStop;
        sigemptyset(&cleanup.sa_mask);
        ::sigaction(stopSignals[i], &cleanup, nullptr);
    }
}

void forgetForCleanup(const char* name) {
    for (const char* volatile& slot : cleanupNames)
        if (slot == name) slot = nullptr;
    if (--namedAlive > 0) return;
    for (int i = 0; i < 2; ++i)
        if (handling[i]) ::sigaction(stopSignals[i], &previous[i], nullptr);
}

// Gives an unnamed file a name; false with errno set (EEXIST: the name is taken).
bool linkUnnamed(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != ENOENT || ::access(self.c_str(), F_OK) == 0) return false;
    // Without /proc, the call that needs a privilege.
    return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

std::string randomName() {
    static std::minstd_rand generator(std::random_device{}());
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = ".vocelle-";
    for (int i = 0; i < 6; ++i)
        name += letters[generator() % (sizeof letters - 1)];
    return name;
}

// So that a crash right after the rename cannot bring the old name back.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Writes through a descriptor, remembering the system's reason for the first failure.
class DescriptorBuffer : public std::streambuf {
  public:
    DescriptorBuffer() { setp(bytes_, bytes_ + sizeof bytes_); }
    void attach(int fd) { fd_ = fd; }
    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        if (!drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

  private:
    bool drain() {
        for (const char* next = pbase(); error_ == 0 && next < pptr();) {
            const ssize_t written = ::write(fd_, next, static_cast<std::size_t>(pptr() - next));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) error_ = written < 0 ? errno : EIO;
            else next += written;
        }
        setp(bytes_, bytes_ + sizeof bytes_);
        return error_ == 0;
    }

    char bytes_[1 << 16];
    int fd_ = -1;
    int error_ = 0;
};

enum class Mode { Direct, Unnamed, Named };

const char* const folderTakesNoFile =
    "its folder takes no new file, and a file is only ever replaced whole: make the folder "
    "writable, or save elsewhere";
const char* const ownerNotKept =
    "it belongs to another user or group, which a new file cannot be given: save it as its "
    "owner, or remove it first";

} // namespace

struct PendingSave::State {
    std::string path, target, folder;
    std::string temporary; // the name of a named temporary
    const char* what = faulttext::createFile;
    Mode mode = Mode::Direct;
    int fd = -1;
    bool exists = false;
    struct stat existing {};
    DescriptorBuffer buffer;
    std::ostream stream{&buffer};

    [[noreturn]] void fail(int reason, const char* why = "") const {
        throw FaultError({what, path, why, reason});
    }

    // Everything up to the first byte: the checks, and the new file. A probe only checks.
    void open(bool probe) {
        if (path.empty() || path.find('\0') != std::string::npos) fail(EINVAL);
        const int descriptor = namedDescriptor(path);
        if (descriptor >= 0) {
            fd = probe ? -1 : ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
            if (!probe && fd < 0) fail(errno);
            return;
        }
        target = resolveTarget(path);
        folder = folderOf(target);
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) {
                // No O_TRUNC: a pipe has nothing to cut, and a device knows what it takes.
                if (probe && ::access(path.c_str(), W_OK) != 0) fail(errno);
                fd = probe ? -1 : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
                if (!probe && fd < 0) fail(errno);
                return;
            }
            // A folder, block device or socket of that name is not ours to replace.
            if (!S_ISREG(info.st_mode)) fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
            exists = true;
            existing = info;
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) fail(errno);
        } else if (errno != ENOENT) {
            fail(errno);
        }
        const std::string place = folder.empty() ? "." : folder;
        mode = Mode::Unnamed;
        fd = unnamedAllowed ? ::open(place.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
        if (fd < 0 &&
            (!unnamedAllowed || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            mode = Mode::Named;
            std::string name = folder + ".vocelle-XXXXXX";
            fd = ::mkostemp(&name[0], O_CLOEXEC);
            if (fd >= 0) {
                temporary = name;
                keepForCleanup(temporary.c_str());
            }
        }
        if (fd < 0) {
            const int reason = errno;
            fail(reason, exists && (reason == EACCES || reason == EPERM || reason == EROFS)
                             ? folderTakesNoFile
                             : "");
        }
        if (exists) keepOwner();
    }

    void keepOwner() {
        struct stat made {};
        if (::fstat(fd, &made) != 0) fail(errno);
        const bool otherUser = made.st_uid != existing.st_uid,
                   otherGroup = made.st_gid != existing.st_gid;
        if ((otherUser || otherGroup) &&
            ::fchown(fd, otherUser ? existing.st_uid : uid_t(-1),
                     otherGroup ? existing.st_gid : gid_t(-1)) != 0)
            fail(errno, ownerNotKept);
    }

    void putInPlace() {
        if (mode == Mode::Named) {
            if (::rename(temporary.c_str(), target.c_str()) != 0) fail(errno);
            discardTemporary(false);
            return;
        }
        if (!exists && linkUnnamed(fd, target)) return;
        if (!exists && errno != EEXIST) fail(errno);
        // A name of its own first, since a link cannot replace a file; then one rename.
        for (int attempt = 0;; ++attempt) {
            const std::string name = folder + randomName();
            if (linkUnnamed(fd, name)) {
                if (::rename(name.c_str(), target.c_str()) == 0) return;
                const int reason = errno;
                ::unlink(name.c_str());
                fail(reason);
            }
            if (errno != EEXIST || attempt == 100) fail(errno);
        }
    }

    void discardTemporary(bool remove) {
        if (temporary.empty()) return;
        if (remove) ::unlink(temporary.c_str());
        forgetForCleanup(temporary.c_str());
        temporary.clear();
    }
};

PendingSave::PendingSave(const std::string& path, const char* what)
    : state_(std::make_unique<State>()) {
    state_->path = path;
    state_->what = what;
    state_->open(false);
    state_->buffer.attach(state_->fd);
}

PendingSave::~PendingSave() {
    State& s = *state_;
    if (s.fd >= 0) ::close(s.fd);
    s.discardTemporary(true);
}

std::ostream& PendingSave::out() { return state_->stream; }

int PendingSave::fd() const { return state_->fd; }

void PendingSave::fail(int reason) const { state_->fail(reason); }

void PendingSave::commit() {
    State& s = *state_;
    s.stream.flush();
    if (s.buffer.error() != 0) s.fail(s.buffer.error());
    if (!s.stream) s.fail(EIO);
    if (s.mode == Mode::Direct) return;
    // The owner was given back when the file was made; the mode comes after it, since a chown
    // clears the set-user and set-group bits.
    const bool setMode = s.exists || s.mode == Mode::Named;
    if (setMode && ::fchmod(s.fd, s.exists ? s.existing.st_mode & 07777 : modeOfNewFiles()) != 0)
        s.fail(errno);
    if (::fsync(s.fd) != 0) s.fail(errno);
    s.putInPlace();
    syncFolder(s.folder.empty() ? "." : s.folder);
}

void saveReplacing(const std::string& path, const StreamWriter& write, const char* what,
                   std::ios::openmode) {
    PendingSave save(path, what);
    write(save.out());
    save.commit();
}

void checkSavable(const std::string& path, const char* what) {
    PendingSave::State probe;
    probe.path = path;
    probe.what = what;
    try {
        probe.open(true);
    } catch (...) {
        if (probe.fd >= 0) ::close(probe.fd);
        probe.discardTemporary(true);
        throw;
    }
    if (probe.fd >= 0) ::close(probe.fd);
    probe.discardTemporary(true);
}

std::string saveTarget(const std::string& path) { return resolveTarget(path); }

void allowUnnamedTemporaries(bool allowed) { unnamedAllowed = allowed; }

} // namespace vocelle
