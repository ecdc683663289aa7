#include <vocelle/formats/myVOI.h>

#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/triples.h>

#include <charconv>
#include <cstring>
#include <memory>

namespace vocelle {

namespace {

const int headerWidth = 28;

std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
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

VOI::VOI()
    : FileVersion("FileVersion", 4, headerWidth),
      ReferenceSpace("ReferenceSpace", "ACPC", headerWidth),
      OriginalVMRResolutionX("OriginalVMRResolutionX", 1, headerWidth),
      OriginalVMRResolutionY("OriginalVMRResolutionY", 1, headerWidth),
      OriginalVMRResolutionZ("OriginalVMRResolutionZ", 1, headerWidth),
      OriginalVMROffsetX("OriginalVMROffsetX", 0, headerWidth),
      OriginalVMROffsetY("OriginalVMROffsetY", 0, headerWidth),
      OriginalVMROffsetZ("OriginalVMROffsetZ", 0, headerWidth),
      OriginalVMRFramingCubeDim("OriginalVMRFramingCubeDim", 256, headerWidth),
      LeftRightConvention("LeftRightConvention", 1, headerWidth),
      SubjectVOINamingConvention("SubjectVOINamingConvention", "<VOI>_<SUBJ>", headerWidth),
      NrOfVOIs("NrOfVOIs", 0, headerWidth),
      NrOfVOIVTCs("NrOfVOIVTCs", 0, headerWidth) {}

VOI::VOI(const std::string& fileName) : fileName(fileName) {
    auto in = openForReading(fileName);
    read(in);
}

VOI::VOI(std::istream& in, const std::string& fileName) : fileName(fileName) { read(in); }

void VOI::read(std::istream& in) {
    FileVersion.value() = -1;
    const KeyTable headerKeys = {
        lineKey("FileVersion:", FileVersion),
        lineKey("ReferenceSpace:", ReferenceSpace),
        lineKey("OriginalVMRResolutionX:", OriginalVMRResolutionX),
        lineKey("OriginalVMRResolutionY:", OriginalVMRResolutionY),
        lineKey("OriginalVMRResolutionZ:", OriginalVMRResolutionZ),
        lineKey("OriginalVMROffsetX:", OriginalVMROffsetX),
        lineKey("OriginalVMROffsetY:", OriginalVMROffsetY),
        lineKey("OriginalVMROffsetZ:", OriginalVMROffsetZ),
        lineKey("OriginalVMRFramingCubeDim:", OriginalVMRFramingCubeDim),
        lineKey("LeftRightConvention:", LeftRightConvention),
        lineKey("SubjectVOINamingConvention:", SubjectVOINamingConvention),
        lineKey("NrOfVOIs:", NrOfVOIs)};
    if (!scanKeys(in, headerKeys, "NrOfVOIs:")) return;

    // A stream that has stopped can deliver no further entry, so the claimed count is not
    // walked through to its end.
    for (int i = 0; i < NrOfVOIs.value() && in.good(); ++i) {
        single_VOI entry;
        const KeyTable entryKeys = {
            lineKey("NameOfVOI:", entry.NameOfVOI),
            {"ColorOfVOI:", [&entry](std::istream& s, const std::string&) {
                 s >> entry.color.x >> entry.color.y >> entry.color.z;
             }},
            lineKey("NrOfVoxels:", entry.NrOfVoxels)};
        // Kept once its count has been read, even when the file ends right after it.
        if (!scanKeys(in, entryKeys, "NrOfVoxels:") || in.fail()) return;
        const auto kept = readTriples(in, entry.NrOfVoxels.value(), entry.voxels);
        if (kept < entry.NrOfVoxels.value()) entry.NrOfVoxels.value() = static_cast<int>(kept);
        vois.push_back(std::move(entry));
    }

    if (!in.good()) return;
    if (!scanKeys(in, {lineKey("NrOfVOIVTCs:", NrOfVOIVTCs)}, "NrOfVOIVTCs:") || in.fail()) return;

    // The linked files stand one per line after the count; a name on the count's own line is
    // taken as the first. Blank lines are passed over; the list ends with the file.
    const long long count = NrOfVOIVTCs.value();
    std::string text;
    while (static_cast<long long>(vtcFiles.size()) < count && std::getline(in, text)) {
        auto name = trimmed(text);
        if (!name.empty()) vtcFiles.push_back(std::move(name));
    }
}

void VOI::PrintTo(std::ostream& out, bool withVoxels) const {
    out << '\n';
    FileVersion.printLineIfAllSet(out, 2);
    ReferenceSpace.printLineIfAllSet(out, 2);
    OriginalVMRResolutionX.printLineIfAllSet(out, 1);
    OriginalVMRResolutionY.printLineIfAllSet(out, 1);
    OriginalVMRResolutionZ.printLineIfAllSet(out, 1);
    OriginalVMROffsetX.printLineIfAllSet(out, 1);
    OriginalVMROffsetY.printLineIfAllSet(out, 1);
    OriginalVMROffsetZ.printLineIfAllSet(out, 1);
    OriginalVMRFramingCubeDim.printLineIfAllSet(out, 2);
    LeftRightConvention.printLineIfAllSet(out, 2);
    SubjectVOINamingConvention.printLineIfAllSet(out, 3);
    NrOfVOIs.printLineIfAllSet(out, 2);
    VoxelLines voxelLines;
    for (const auto& entry : vois) {
        entry.NameOfVOI.printLineIfAllSet(out, 1);
        out << "ColorOfVOI: " << entry.color.x << ' ' << entry.color.y << ' ' << entry.color.z << "\n\n";
        entry.NrOfVoxels.printLineIfAllSet(out, 1);
        if (withVoxels) {
            voxelLines.print(out, entry.voxels);
        } else {
            out << "  Skipping coordinate list\n";
        }
        out << '\n';
    }
    out << '\n';
    NrOfVOIVTCs.printLineIfAllSet(out, 1);
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
