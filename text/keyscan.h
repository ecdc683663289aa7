#pragma once
// The field tables of the documents and the one token scan that reads them.
//
// A document lists its fields once, in print order: the key with its colon, the header line the
// key fills and the line ends printed after it. Reading and printing walk the same table:
//
//     const FieldTable<SDM> fields = {{"FileVersion:", &SDM::FileVersion, 2}, ...};
//     scanFields(in, fields, sdm, "FirstConfoundPredictor:");  // until that key has been read
//     printFields(out, fields, sdm);
//
// A field may carry a body (a matrix, a table, a nested section), read right after its line and
// printed right after it, or be a body alone, without a line.
//
// Words are compared exactly and case-sensitively; a word that matches no key is passed over.
// Only words actually extracted are dispatched: at the end of the file there is no word, and
// nothing is read a second time.

#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>

#include <glm/vec3.hpp>

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace vocelle {

// Reads the value of `key`; the stream stands just after the key token.
using KeyReader = std::function<void(std::istream& in, const std::string& key)>;

struct HeaderKey {
    std::string key;
    KeyReader read;
};

// Refers to the document being read, so it lives only as long as the scan that uses it.
using KeyTable = std::vector<HeaderKey>;

// Extracts the next white-space-delimited word; false, with `word` cleared, when there is none.
// Reaching the end of the stream without a word leaves it at its end but not failed: only a value
// that could not be read fails it.
bool readWord(std::istream& in, std::string& word);

// While the stream is good: read a word, dispatch it, and return true once `endKey` has been
// dispatched. Returns false when the stream stops first. With an empty `endKey` the scan runs to
// the end of the stream. The end key's own value may have failed to parse: check the stream.
// When reading a key's values fails the stream, `fault` (if given) notes the document as read
// partly: "a value after Key: does not parse" or "the values after Key: are cut off".
bool scanKeys(std::istream& in, const KeyTable& keys, const std::string& endKey = std::string(),
              Fault* fault = nullptr);

// Why reading the values after `key` failed the stream.
std::string valueFault(const std::istream& in, const std::string& key);

template <typename Doc>
using LineMember = std::variant<std::monostate, Line<int> Doc::*, Line<float> Doc::*,
                                Line<bool> Doc::*, Line<std::string> Doc::*>;

template <typename Doc> struct Field {
    using BodyReader = std::function<void(Doc&, std::istream&)>;
    using BodyPrinter = std::function<void(const Doc&, std::ostream&)>;

    // A header line, with the body that follows it, if any.
    template <typename T>
    Field(std::string key, Line<T> Doc::*line, int breaks, BodyReader readBody = {},
          BodyPrinter printBody = {})
        : key(std::move(key)), line(line), breaks(breaks), readBody(std::move(readBody)),
          printBody(std::move(printBody)) {}
    // A body alone.
    Field(std::string key, BodyReader readBody, BodyPrinter printBody)
        : key(std::move(key)), readBody(std::move(readBody)), printBody(std::move(printBody)) {}

    std::string key;      // with its colon
    LineMember<Doc> line; // empty for a body alone
    int breaks = 0;       // line ends printed after the line
    BodyReader readBody;
    BodyPrinter printBody;
};

template <typename Doc> using FieldTable = std::vector<Field<Doc>>;

namespace detail {

// Calls use(line) for the line `member` selects in `doc`; nothing for an empty member.
template <typename Doc, typename Use>
void withLine(Doc& doc, const LineMember<std::remove_const_t<Doc>>& member, Use use) {
    std::visit(
        [&](auto m) {
            if constexpr (!std::is_same_v<decltype(m), std::monostate>) use(doc.*m);
        },
        member);
}

} // namespace detail

// The keys of `fields`, each reading into `doc`; the table refers to both.
template <typename Doc> KeyTable keysOf(const FieldTable<Doc>& fields, Doc& doc) {
    KeyTable keys;
    keys.reserve(fields.size());
    for (const auto& field : fields)
        keys.push_back({field.key, [&field, &doc](std::istream& in, const std::string& key) {
                            detail::withLine(doc, field.line,
                                             [&](auto& line) { line.readLine(in, key); });
                            if (field.readBody) field.readBody(doc, in);
                        }});
    return keys;
}

// scanKeys over the fields of `doc`.
template <typename Doc>
bool scanFields(std::istream& in, const FieldTable<Doc>& fields, Doc& doc,
                const std::string& endKey = std::string(), Fault* fault = nullptr) {
    return scanKeys(in, keysOf(fields, doc), endKey, fault);
}

// Every field in table order: its line when set, with its breaks, then its body.
template <typename Doc>
void printFields(std::ostream& out, const FieldTable<Doc>& fields, const Doc& doc) {
    for (const auto& field : fields) {
        detail::withLine(doc, field.line,
                         [&](const auto& line) { line.printLineIfAllSet(out, field.breaks); });
        if (field.printBody) field.printBody(doc, out);
    }
}

// Sets every line of the table with its key's name and `width`, keeping its value: the default
// header of an empty document.
template <typename Doc> void setLineNames(const FieldTable<Doc>& fields, Doc& doc, int width) {
    for (const auto& field : fields)
        detail::withLine(doc, field.line,
                         [&](auto& line) { line.set(nameOfKey(field.key), line.value(), width); });
}

// "Key: x y z": three integers behind the key, printed with single spaces. `get` returns the
// triple of a document, const or not (a generic lambda).
template <typename Doc, typename Get>
Field<Doc> tripleField(const std::string& key, Get get, int breaks) {
    return {key,
            [get](Doc& doc, std::istream& in) {
                auto& v = get(doc);
                in >> v.x >> v.y >> v.z;
            },
            [get, key, breaks](const Doc& doc, std::ostream& out) {
                const glm::tvec3<int>& v = get(doc);
                out << key << ' ' << v.x << ' ' << v.y << ' ' << v.z;
                printLineEnds(out, breaks);
            }};
}

} // namespace vocelle
