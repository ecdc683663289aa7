#include <vocelle/text/keyscan.h>

namespace vocelle {

namespace {

// Calls the reader of the key equal to `word`, if any; false when there is none.
bool dispatchKey(std::istream& in, const std::string& word, const KeyTable& keys) {
    for (const auto& entry : keys) {
        if (entry.key == word) {
            entry.read(in, word);
            return true;
        }
    }
    return false;
}

} // namespace

bool readWord(std::istream& in, std::string& word) {
    if (in >> word) return true;
    word.clear();
    if (in.eof() && !in.bad()) in.clear(std::ios::eofbit);
    return false;
}

std::string valueFault(const std::istream& in, const std::string& key) {
    return in.eof() ? "the values after " + key + " are cut off"
                    : "a value after " + key + " does not parse";
}

bool scanKeys(std::istream& in, const KeyTable& keys, const std::string& endKey,
              Fault* fault) {
    std::string word;
    while (in.good()) {
        if (!readWord(in, word)) return false;
        if (dispatchKey(in, word, keys) && in.fail() && fault != nullptr)
            notePartlyRead(*fault, valueFault(in, word));
        if (!endKey.empty() && word == endKey) return true;
    }
    return false;
}

} // namespace vocelle
