#include <vocelle/text/fileopen.h>

#include <vocelle/text/stringmanipulation.h>

#include <stdexcept>

namespace vocelle {

std::ifstream openForReading(const std::string& path, const std::string& errorPrefix,
                             std::ios::openmode mode) {
    std::ifstream in;
    if (isRegularFile(path)) in.open(path, mode);
    if (!in.is_open()) throw std::runtime_error(errorPrefix + path);
    return in;
}

} // namespace vocelle
