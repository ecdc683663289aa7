#include <vocelle/text/keyscan.h>

#include <stdexcept>

namespace vocelle {

HeaderKey yesNoKey(std::string key, Line<bool>& line) {
    return {std::move(key), [&line](std::istream& in, const std::string& k) { readYesNo(line, in, k); }};
}

bool readWord(std::istream& in, std::string& word) {
    if (in >> word) return true;
    word.clear();
    return false;
}

bool dispatchKey(std::istream& in, const std::string& word, const KeyTable& keys) {
    for (const auto& entry : keys) {
        if (entry.key == word) {
            entry.read(in, word);
            return true;
        }
    }
    return false;
}

bool scanKeys(std::istream& in, const KeyTable& keys, const std::string& endKey) {
    std::string word;
    while (in.good()) {
        if (!readWord(in, word)) return false;
        dispatchKey(in, word, keys);
        if (!endKey.empty() && word == endKey) return true;
    }
    return false;
}

std::ifstream openForReading(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) throw std::runtime_error("Failed opening for reading: " + path);
    return in;
}

} // namespace vocelle
