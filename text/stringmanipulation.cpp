#include <vocelle/text/stringmanipulation.h>

#include <cstdint>
#include <fstream>

#include <sys/stat.h>

namespace vocelle {

namespace {

const char* const separators = "/\\";
const char* const whiteSpace = " \t\n\v\f\r";

// Position of the extension dot, or npos when the file part has none.
std::string::size_type extensionDot(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos) return dot;
    const auto separator = path.find_last_of(separators);
    if (separator != std::string::npos && separator > dot) return std::string::npos;
    return dot;
}

std::string stem(const std::string& path) { return path.substr(0, extensionDot(path)); }

} // namespace

std::string getPath(const std::string& path) {
    const auto separator = path.find_last_of(separators);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string getFileName(const std::string& path) {
    const auto separator = path.find_last_of(separators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string getExtension(const std::string& path) {
    const auto dot = extensionDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string removeExtension(const std::string& path) { return stem(path); }

std::string addToFileName(const std::string& path, const std::string& addition) {
    return stem(path) + addition + getExtension(path);
}

std::string addToFileNameNewExtension(const std::string& path, const std::string& newEnding) {
    return stem(path) + newEnding;
}

std::string replaceExtension(const std::string& path, const std::string& newExtension) {
    return stem(path) + "." + newExtension;
}

std::string extractPartBetweenQuotes(const std::string& text) {
    const auto first = text.find('"');
    if (first == std::string::npos) return std::string();
    const auto second = text.find('"', first + 1);
    if (second == std::string::npos) return text.substr(first + 1);
    return text.substr(first + 1, second - first - 1);
}

std::string getLastCharacters(const std::string& text, int count) {
    // A negative count reads as a huge unsigned one and so returns the whole text.
    const auto wanted = static_cast<std::uint64_t>(static_cast<std::int64_t>(count));
    if (wanted > text.size()) return text;
    return text.substr(text.size() - wanted);
}

std::string removeEnclosingWhiteSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(whiteSpace);
    if (first == std::string::npos) return text;
    const auto last = text.find_last_not_of(whiteSpace);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        pieces.push_back(text.substr(start, at - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

bool hasExtension(const std::string& path, const std::string& extension) {
    return endsWith(path, "." + extension);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

namespace {

// Every file call cuts a name at its first NUL byte, so such a name would reach another file.
bool canNameAFile(const std::string& path) { return path.find('\0') == std::string::npos; }

} // namespace

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return canNameAFile(path) && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool fileExists(const std::string& path) {
    if (!canNameAFile(path)) return false;
    std::ifstream file(path);
    return file.good();
}

} // namespace vocelle
