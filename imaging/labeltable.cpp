#include <vocelle/imaging/labeltable.h>

#include <vocelle/text/fault.h>
#include <vocelle/text/stringmanipulation.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace vocelle {

namespace {

bool isBlank(const std::string& text) { return text.find_first_not_of(" \t\r") == std::string::npos; }

bool parseIndex(const std::string& text, long long& index) {
    std::istringstream in(removeEnclosingWhiteSpaces(text));
    return bool(in >> index) && in.peek() == EOF;
}

bool parseHexColour(const std::string& text, glm::ivec3& colour) {
    unsigned r, g, b;
    char extra;
    const std::string cell = removeEnclosingWhiteSpaces(text);
    if (cell.size() != 7 || std::sscanf(cell.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &extra) != 3) return false;
    colour = {int(r), int(g), int(b)};
    return true;
}

class TableReader {
public:
    explicit TableReader(const std::string& path) : path_(path) {}
    [[noreturn]] void fail(const std::string& problem) const {
        throw FaultError({problem, path_, "line " + std::to_string(line_)});
    }
    bool next(std::istream& in, std::string& text) {
        if (!std::getline(in, text)) return false;
        ++line_;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        return true;
    }
    void add(LabelEntry entry, std::vector<LabelEntry>& entries) {
        if (!seen_.insert(entry.index).second) fail("label " + std::to_string(entry.index) + " is given twice");
        entries.push_back(std::move(entry));
    }

private:
    std::string path_;
    int line_ = 0;
    std::set<long long> seen_;
};

void readTsv(const std::string& path, std::istream& in, std::vector<LabelEntry>& entries) {
    TableReader reader(path);
    std::string text;
    if (!reader.next(in, text)) reader.fail("no header line");
    const std::vector<std::string> header = splitAt(text, '\t');
    const auto column = [&](const char* name) {
        return std::size_t(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const std::size_t index = column("index"), name = column("name"), colour = column("color");
    if (index == header.size()) reader.fail("no column \"index\"");
    while (reader.next(in, text)) {
        if (isBlank(text)) continue;
        const std::vector<std::string> row = splitAt(text, '\t');
        LabelEntry entry;
        if (index >= row.size() || !parseIndex(row[index], entry.index)) reader.fail("no label number");
        if (name < row.size()) entry.name = row[name];
        if (colour < row.size() && !isBlank(row[colour])) {
            if (!parseHexColour(row[colour], entry.colour)) reader.fail("colour is not #rrggbb");
            entry.hasColour = true;
        }
        reader.add(std::move(entry), entries);
    }
}

void readLut(const std::string& path, std::ifstream& in, std::vector<LabelEntry>& entries) {
    TableReader reader(path);
    std::string text;
    while (reader.next(in, text)) {
        if (isBlank(text) || removeEnclosingWhiteSpaces(text)[0] == '#') continue;
        std::istringstream row(text);
        LabelEntry entry;
        double rgb[3];
        if (!(row >> entry.index >> rgb[0] >> rgb[1] >> rgb[2])) reader.fail("expected: label red green blue name");
        for (int c = 0; c < 3; ++c) {
            if (!(rgb[c] >= 0.0 && rgb[c] <= 1.0)) reader.fail("colour values must lie from 0 to 1");
            entry.colour[c] = int(std::lround(rgb[c] * 255.0));
        }
        entry.hasColour = true;
        std::getline(row, entry.name);
        entry.name = isBlank(entry.name) ? std::string() : removeEnclosingWhiteSpaces(entry.name);
        reader.add(std::move(entry), entries);
    }
}

} // namespace

std::string hexColour(const glm::ivec3& colour) {
    char text[8];
    const auto channel = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(colour.r), channel(colour.g), channel(colour.b));
    return text;
}

std::string tableText(const std::string& name) {
    std::string text = name;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return text;
}

bool readLabelTable(const std::string& stem, std::vector<LabelEntry>& entries, std::string& tablePath) {
    for (const char* ending : {".tsv", ".lut"}) {
        // A folder or a pipe of that name is no table: opening a pipe would block.
        if (!isRegularFile(stem + ending)) continue;
        std::ifstream in(stem + ending, std::ios::binary);
        if (!in) continue;
        tablePath = stem + ending;
        if (std::string(ending) == ".tsv") readTsv(tablePath, in, entries);
        else readLut(tablePath, in, entries);
        return true;
    }
    return false;
}

void readLabelTableText(const std::string& text, const std::string& source,
                        std::vector<LabelEntry>& entries) {
    std::istringstream in(text);
    readTsv(source, in, entries);
}

} // namespace vocelle
