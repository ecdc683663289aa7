#include <vocelle/imaging/labeltable.h>

#include <vocelle/text/fault.h>
#include <vocelle/text/stringmanipulation.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
    const std::string cell = removeEnclosingWhiteSpaces(text);
    // Digits only: scanf's %x would also take a sign, as in "#-1-1-1".
    if (cell.size() != 7 || cell[0] != '#' ||
        !std::all_of(cell.begin() + 1, cell.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    const long rgb = std::strtol(cell.c_str() + 1, nullptr, 16);
    colour = {int(rgb >> 16), int((rgb >> 8) & 0xff), int(rgb & 0xff)};
    return true;
}

class TableReader {
public:
    TableReader(const std::string& path, std::istream& in) : path_(path), in_(*in.rdbuf()) {}
    [[noreturn]] void fail(const std::string& problem) const {
        throw FaultError({problem, path_, line_ > 0 ? "line " + std::to_string(line_) : ""});
    }
    // The next line without its line end (LF or CR LF); false at the end of the file.
    bool next(std::string& text) {
        text.clear();
        int c = in_.sbumpc();
        if (c == EOF) return false;
        ++line_;
        for (; c != EOF && c != '\n'; c = in_.sbumpc()) {
            if (text.size() == maxLabelTableLine) fail("a line longer than " + std::to_string(maxLabelTableLine) + " bytes");
            text += char(c);
        }
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.find('\r') != std::string::npos) fail("a line end of CR alone (only LF or CR LF end a line)");
        return true;
    }
    std::string name(const std::string& text) const {
        if (text.size() > maxLabelName) fail("a name longer than " + std::to_string(maxLabelName) + " bytes");
        return text;
    }
    void add(LabelEntry entry, std::vector<LabelEntry>& entries) {
        if (!seen_.insert(entry.index).second) fail("label " + std::to_string(entry.index) + " is given twice");
        entries.push_back(std::move(entry));
    }

private:
    std::string path_;
    std::streambuf& in_;
    int line_ = 0;
    std::set<long long> seen_;
};

void readTsv(TableReader& reader, std::vector<LabelEntry>& entries) {
    std::string text;
    if (!reader.next(text)) reader.fail("no header line");
    const std::vector<std::string> header = splitAt(text, '\t');
    const auto column = [&](const char* name) {
        return std::size_t(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const std::size_t index = column("index"), name = column("name"), colour = column("color");
    if (index == header.size()) reader.fail("no column \"index\"");
    while (reader.next(text)) {
        if (isBlank(text)) continue;
        const std::vector<std::string> row = splitAt(text, '\t');
        LabelEntry entry;
        if (index >= row.size() || !parseIndex(row[index], entry.index)) reader.fail("no label number");
        if (name < row.size()) entry.name = reader.name(row[name]);
        if (colour < row.size() && !isBlank(row[colour])) {
            if (!parseHexColour(row[colour], entry.colour)) reader.fail("colour is not #rrggbb");
            entry.hasColour = true;
        }
        reader.add(std::move(entry), entries);
    }
}

void readLut(TableReader& reader, std::vector<LabelEntry>& entries) {
    std::string text;
    while (reader.next(text)) {
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
        entry.name = isBlank(entry.name) ? std::string() : reader.name(removeEnclosingWhiteSpaces(entry.name));
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
        const std::string path = stem + ending;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) continue;
            throw FaultError({faulttext::openForReading, path, "", errno});
        }
        // A table there that cannot be read is reported, not passed over; a pipe is not opened,
        // which could wait for ever.
        if (!S_ISREG(info.st_mode)) throw FaultError({"not a label table (not a regular file)", path});
        std::ifstream in(path, std::ios::binary);
        if (!in) throw FaultError({faulttext::openForReading, path, "", errno});
        tablePath = path;
        TableReader reader(path, in);
        if (std::string(ending) == ".tsv") readTsv(reader, entries);
        else readLut(reader, entries);
        return true;
    }
    return false;
}

void readLabelTableText(const std::string& text, const std::string& source,
                        std::vector<LabelEntry>& entries) {
    std::istringstream in(text);
    TableReader reader(source, in);
    readTsv(reader, entries);
}

} // namespace vocelle
