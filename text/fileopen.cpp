#include <vocelle/text/fileopen.h>

#include <vocelle/text/stringmanipulation.h>

#include <cerrno>

namespace vocelle {

std::ifstream openForReading(const std::string& path, std::ios::openmode mode, const char* what) {
    std::ifstream in;
    errno = 0; // a folder or device is refused without a reason from the system
    if (isRegularFile(path)) in.open(path, mode);
    if (!in.is_open()) throw FaultError({what, path, "", errno});
    return in;
}

} // namespace vocelle
