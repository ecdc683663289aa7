#pragma once
// The one token scan behind every document reader.
//
// A reader lists its keys, each written with its colon, and what each fills:
//
//     const KeyTable keys = {lineKey("FileVersion:", FileVersion),
//                            yesNoKey("Verified:", Verified),
//                            {"ColorOfVOI:", [&](std::istream& in, const std::string&) {...}}};
//     scanKeys(in, keys, "NrOfVOIs:");   // reads until NrOfVOIs: has been read, or the stream stops
//
// Words are compared exactly and case-sensitively; a word that matches no key is passed over.
// Only words actually extracted are dispatched: at the end of the file there is no word, and
// nothing is read a second time. A table refers to the reader's lines, so it lives only as long
// as the scan that uses it.

#include <vocelle/text/line.h>

#include <fstream>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace vocelle {

// Reads the value of `key`; the stream stands just after the key token.
using KeyReader = std::function<void(std::istream& in, const std::string& key)>;

struct HeaderKey {
    std::string key;
    KeyReader read;
};

using KeyTable = std::vector<HeaderKey>;

// Key whose value is read by the line's own readLine.
template <typename T>
HeaderKey lineKey(std::string key, Line<T>& line) {
    return {std::move(key), [&line](std::istream& in, const std::string& k) { line.readLine(in, k); }};
}

// Key whose value is YES or NO.
HeaderKey yesNoKey(std::string key, Line<bool>& line);

// Extracts the next white-space-delimited word; false, with `word` cleared, when there is none.
bool readWord(std::istream& in, std::string& word);

// Calls the reader of the key equal to `word`; false when no key matches.
bool dispatchKey(std::istream& in, const std::string& word, const KeyTable& keys);

// While the stream is good: read a word, dispatch it, and return true once `endKey` has been
// dispatched. Returns false when the stream stops first. With an empty `endKey` the scan runs to
// the end of the stream. The end key's own value may have failed to parse: check the stream.
bool scanKeys(std::istream& in, const KeyTable& keys, const std::string& endKey = std::string());

// Opens a document as a text stream; throws std::runtime_error "Failed opening for reading: " + path.
std::ifstream openForReading(const std::string& path);

} // namespace vocelle
