#include <vocelle/text/keyscan.h>

namespace vocelle {

namespace {

// Calls the reader of the key equal to `word`, if any.
void dispatchKey(std::istream& in, const std::string& word, const KeyTable& keys) {
    for (const auto& entry : keys) {
        if (entry.key == word) {
            entry.read(in, word);
            return;
        }
    }
}

} // namespace

bool readWord(std::istream& in, std::string& word) {
    if (in >> word) return true;
    word.clear();
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

} // namespace vocelle
