#include <vocelle/text/safesave.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vocelle {

namespace {

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// Saving onto a symbolic link replaces the file it points to, as writing through it would, also
// when that file does not exist yet.
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

mode_t modeOfNewFiles() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Without this a crash right after the rename could leave an empty file in place of the old one.
bool syncToDisk(int fd) { return ::fsync(fd) == 0; }

bool syncToDisk(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = syncToDisk(fd);
    ::close(fd);
    return synced;
}

// A new empty file of a short name in `folder`, removed again unless kept.
class Temporary {
public:
    Temporary(const std::string& folder, const std::string& suffix) {
        std::string name = folder + ".vocelle-XXXXXX" + suffix;
        const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
        if (fd < 0) {
            error_ = errno;
            return;
        }
        ::close(fd);
        name_ = name;
    }
    ~Temporary() {
        if (!name_.empty()) std::remove(name_.c_str());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    bool made() const { return !name_.empty(); }
    // Why it could not be made.
    int error() const { return error_; }
    const std::string& name() const { return name_; }
    void kept() { name_.clear(); }

private:
    std::string name_;
    int error_ = 0;
};

// Copies `from` over the content of `target`. Space for the new content is reserved first where
// the file system can, so a full disk refuses the save before the old content is touched.
bool copyInPlace(const std::string& from, const std::string& target) {
    std::ifstream in(from, std::ios::binary);
    struct stat source {};
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (!in || fd < 0 || ::stat(from.c_str(), &source) != 0) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    bool ok = source.st_size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, source.st_size) == 0 ||
              errno == EOPNOTSUPP;
    ok = ok && ::ftruncate(fd, 0) == 0;
    char buffer[1 << 16];
    while (ok && in.read(buffer, sizeof buffer).gcount() > 0) {
        const char* p = buffer;
        for (std::streamsize left = in.gcount(); ok && left > 0;) {
            const ssize_t written = ::write(fd, p, static_cast<std::size_t>(left));
            ok = written > 0;
            p += written;
            left -= written;
        }
    }
    ok = ok && !in.bad() && syncToDisk(fd);
    return ::close(fd) == 0 && ok;
}

void save(const std::string& path, const FileWriter& write, const std::string& suffix,
          const char* what) {
    const auto fail = [&](int reason) { throw FaultError({what, path, "", reason}); };
    if (path.empty() || path.find('\0') != std::string::npos) fail(EINVAL);
    const std::string target = resolveTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // Only a regular file is replaced: a device or a folder of that name is not ours to replace.
    if (exists && !S_ISREG(existing.st_mode)) fail(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) fail(errno);

    Temporary beside(folderOf(target), suffix);
    if (!beside.made()) {
        // A folder that takes no new file: only a file already there can be written, in place.
        const int why = beside.error();
        if (!exists || (why != EACCES && why != EPERM && why != EROFS)) fail(why);
        std::error_code noTemporaryFolder;
        const auto folder = std::filesystem::temp_directory_path(noTemporaryFolder);
        if (noTemporaryFolder) fail(noTemporaryFolder.value());
        Temporary elsewhere(folder.string() + "/", suffix);
        if (!elsewhere.made()) fail(elsewhere.error());
        write(elsewhere.name());
        if (!copyInPlace(elsewhere.name(), target)) fail(errno);
        return;
    }
    write(beside.name());
    // The replacement keeps the permissions of the file it replaces.
    if (::chmod(beside.name().c_str(), exists ? existing.st_mode & 07777 : modeOfNewFiles()) != 0 ||
        !syncToDisk(beside.name()) || std::rename(beside.name().c_str(), target.c_str()) != 0)
        fail(errno);
    beside.kept();
}

} // namespace

void saveReplacing(const std::string& path, const StreamWriter& write, const char* what,
                   std::ios::openmode extraMode) {
    save(
        path,
        [&](const std::string& file) {
            errno = 0;
            std::ofstream out(file, std::ios::out | std::ios::trunc | extraMode);
            if (!out) throw FaultError({what, path, "", errno});
            write(out);
            out.close();
            if (out.fail()) throw FaultError({what, path, "", errno});
        },
        std::string(), what);
}

void saveReplacingFile(const std::string& path, const FileWriter& write, const std::string& suffix,
                       const char* what) {
    save(path, write, suffix, what);
}

} // namespace vocelle
