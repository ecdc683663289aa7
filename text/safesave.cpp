#include <vocelle/text/safesave.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vocelle {

namespace {

// Saving onto a symbolic link replaces the file it points to, as writing through it would.
std::string resolveTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

std::string temporaryBeside(const std::string& target) {
    static unsigned long counter = 0;
    return target + ".~" + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

// Without this a crash right after the rename could leave an empty file in place of the old one.
bool syncToDisk(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

void saveReplacing(const std::string& path, const StreamWriter& write, const std::string& errorPrefix,
                   std::ios::openmode extraMode) {
    const std::string target = resolveTarget(path);
    const std::string temporary = temporaryBeside(target);
    const auto fail = [&] {
        std::remove(temporary.c_str());
        throw std::runtime_error(errorPrefix + path);
    };

    std::ofstream out(temporary, std::ios::out | std::ios::trunc | extraMode);
    if (!out) fail();
    try {
        write(out);
    } catch (...) {
        out.close();
        std::remove(temporary.c_str());
        throw;
    }
    out.close();
    if (out.fail()) fail();

    // The replacement keeps the permissions of the file it replaces.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) ::chmod(temporary.c_str(), existing.st_mode & 07777);

    if (!syncToDisk(temporary)) fail();
    if (std::rename(temporary.c_str(), target.c_str()) != 0) fail();
}

} // namespace vocelle
