#include <vocelle/formats/myVOI.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/voxelentries.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>

namespace vocelle {

namespace {

const int headerWidth = 28;

// The header; it ends at NrOfVOIs:.
const FieldTable<VOI>& headerFields() {
    static const FieldTable<VOI> fields = {
        {"FileVersion:", &VOI::FileVersion, 2},
        {"ReferenceSpace:", &VOI::ReferenceSpace, 2},
        {"OriginalVMRResolutionX:", &VOI::OriginalVMRResolutionX, 1},
        {"OriginalVMRResolutionY:", &VOI::OriginalVMRResolutionY, 1},
        {"OriginalVMRResolutionZ:", &VOI::OriginalVMRResolutionZ, 1},
        {"OriginalVMROffsetX:", &VOI::OriginalVMROffsetX, 1},
        {"OriginalVMROffsetY:", &VOI::OriginalVMROffsetY, 1},
        {"OriginalVMROffsetZ:", &VOI::OriginalVMROffsetZ, 1},
        {"OriginalVMRFramingCubeDim:", &VOI::OriginalVMRFramingCubeDim, 2},
        {"LeftRightConvention:", &VOI::LeftRightConvention, 2},
        {"SubjectVOINamingConvention:", &VOI::SubjectVOINamingConvention, 3},
        {"NrOfVOIs:", &VOI::NrOfVOIs, 2}};
    return fields;
}

// After the entries: the count of linked files that follow.
const FieldTable<VOI>& trailerFields() {
    static const FieldTable<VOI> fields = {{"NrOfVOIVTCs:", &VOI::NrOfVOIVTCs, 1}};
    return fields;
}

const FieldTable<single_VOI>& entryFields() {
    static const FieldTable<single_VOI> fields = {
        {"NameOfVOI:", &single_VOI::NameOfVOI, 1},
        tripleField<single_VOI>("ColorOfVOI:", [](auto& entry) -> auto& { return entry.color; }, 2),
        {"NrOfVoxels:", &single_VOI::NrOfVoxels, 1}};
    return fields;
}

// Voxel lines are formatted into a large block and written in few pieces: through the stream,
// number by number, a list of a million voxels costs several times the write itself. The text is
// what `out << x << ' ' << y << ' ' << z << '\n'` gives with the classic locale.
class VoxelLines {
public:
    void print(std::ostream& out, const std::vector<glm::tvec3<int>>& voxels) {
        if (!block_) block_.reset(new char[blockSize]);
        char* const begin = block_.get();
        char* const end = begin + blockSize;
        char* p = begin;
        for (const auto& v : voxels) {
            if (end - p < longestLine) {
                out.write(begin, p - begin);
                p = begin;
            }
            p = put(p, end, v.x);
            *p++ = ' ';
            p = put(p, end, v.y);
            *p++ = ' ';
            p = put(p, end, v.z);
            *p++ = '\n';
        }
        out.write(begin, p - begin);
    }

private:
    static const std::ptrdiff_t blockSize = 1 << 18;
    static const std::ptrdiff_t longestLine = 3 * 11 + 3; // three times "-2147483648", 2 blanks, \n

    // Cube coordinates have at most three digits: they are copied from a table, sign included,
    // four bytes at a time (the block always has room for a whole line), without a branch on
    // their sign or length.
    static char* put(char* p, char* end, int value) {
        if (value <= -1000 || value >= 1000) return std::to_chars(p, end, value).ptr;
        const Table::Entry& e = table().entries[value + 999];
        std::memcpy(p, e.text, 4);
        return p + e.length;
    }

    struct Table {
        struct Entry {
            char text[4];
            int length;
        };
        Entry entries[1999]; // -999 to 999
        Table() {
            for (int v = -999; v <= 999; ++v) {
                Entry& e = entries[v + 999];
                e.length = static_cast<int>(std::to_chars(e.text, e.text + 4, v).ptr - e.text);
            }
        }
    };
    static const Table& table() {
        static const Table t;
        return t;
    }

    std::unique_ptr<char[]> block_;
};

} // namespace

VOI::VOI() {
    FileVersion = 4;
    ReferenceSpace = "ACPC";
    OriginalVMRResolutionX = 1;
    OriginalVMRResolutionY = 1;
    OriginalVMRResolutionZ = 1;
    OriginalVMRFramingCubeDim = 256;
    LeftRightConvention = 1;
    SubjectVOINamingConvention = "<VOI>_<SUBJ>";
    setLineNames(headerFields(), *this, headerWidth);
    setLineNames(trailerFields(), *this, headerWidth);
}

VOI::VOI(const std::string& fileName) : fileName(fileName) {
    auto in = openForReading(fileName);
    read(in);
}

VOI::VOI(std::istream& in, const std::string& fileName) : fileName(fileName) { read(in); }

void VOI::read(std::istream& in) {
    FileVersion.value() = absentFileVersion;
    readFault.path = fileName;
    if (!scanFields(in, headerFields(), *this, "NrOfVOIs:", &readFault)) {
        notePartlyRead(readFault, "NrOfVOIs: is missing");
        return;
    }
    readVoxelEntries(in, NrOfVOIs, "VOI", entryFields(), vois, readFault);
    if (!in.good()) return;
    if (!scanFields(in, trailerFields(), *this, "NrOfVOIVTCs:", &readFault) || in.fail()) return;

    // The linked files stand one per line after the count; a name on the count's own line is
    // taken as the first. Blank lines are passed over; the list ends with the file.
    const long long count = NrOfVOIVTCs.value();
    std::string text;
    while (static_cast<long long>(vtcFiles.size()) < count && std::getline(in, text)) {
        auto name = removeEnclosingWhiteSpaces(text);
        // A blank line comes back as it was.
        if (!name.empty() && !std::isspace(static_cast<unsigned char>(name.front())))
            vtcFiles.push_back(std::move(name));
    }
}

void VOI::PrintTo(std::ostream& out, bool withVoxels) const {
    out << '\n';
    printFields(out, headerFields(), *this);
    VoxelLines voxelLines;
    printVoxelEntries(out, vois, entryFields(), withVoxels,
                      [&voxelLines](std::ostream& o, const std::vector<glm::tvec3<int>>& voxels) {
                          voxelLines.print(o, voxels);
                      });
    out << '\n';
    printFields(out, trailerFields(), *this);
    for (const auto& name : vtcFiles) out << name << '\n';
}

void VOI::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out, true); });
}

void VOI::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
