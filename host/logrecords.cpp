#include <vocelle/host/logrecords.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vocelle {

void writeLogRecord(const char* text) {
    const std::size_t length = text == nullptr ? 0 : std::strlen(text);
    std::fprintf(stdout, "%zu:", length);
    if (length > 0) std::fwrite(text, 1, length, stdout);
    std::fflush(stdout);
}

std::vector<std::string> readLogRecords(std::string& buffer) {
    std::vector<std::string> records;
    std::size_t position = 0;
    for (;;) {
        const std::size_t colon = buffer.find(':', position);
        if (colon == std::string::npos) break;
        const std::size_t length = std::strtoull(buffer.c_str() + position, nullptr, 10);
        if (buffer.size() - colon - 1 < length) break;
        records.push_back(buffer.substr(colon + 1, length));
        position = colon + 1 + length;
    }
    buffer.erase(0, position);
    return records;
}

} // namespace vocelle
