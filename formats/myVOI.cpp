#include "formats/myVOI.h"

#include "text/keyscan.h"
#include "text/safesave.h"
#include "text/triples.h"

namespace {

const int headerWidth = 28;

std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\n\v\f\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

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
    for (const auto& entry : vois) {
        entry.NameOfVOI.printLineIfAllSet(out, 1);
        out << "ColorOfVOI: " << entry.color.x << ' ' << entry.color.y << ' ' << entry.color.z << "\n\n";
        entry.NrOfVoxels.printLineIfAllSet(out, 1);
        if (withVoxels) {
            for (const auto& v : entry.voxels) out << v.x << ' ' << v.y << ' ' << v.z << '\n';
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
