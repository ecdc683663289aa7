#include <vocelle/formats/myROI.h>

#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/triples.h>

#include <iomanip>

namespace vocelle {

ROI::ROI() { FileVersion.value() = 5; }

ROI::ROI(const std::string& fileName) : fileName(fileName) {
    auto in = openForReading(fileName);
    read(in);
}

ROI::ROI(std::istream& in, const std::string& fileName) : fileName(fileName) { read(in); }

void ROI::read(std::istream& in) {
    FileVersion.value() = -1;
    const KeyTable headerKeys = {
        lineKey("FileVersion:", FileVersion),     lineKey("SaveVoxelsInROIs:", SaveVoxelsInROIs),
        lineKey("SaveSortedVoxelList:", SaveSortedVoxelList), lineKey("SaveROIMaxPSC:", SaveROIMaxPSC),
        lineKey("NrOfTCPlots:", NrOfTCPlots)};
    scanKeys(in, headerKeys, "NrOfTCPlots:");

    // A stream that has stopped can deliver no further block, so the claimed count is not
    // walked through to its end.
    for (int i = 0; i < NrOfTCPlots.value() && in.good(); ++i) {
        single_ROI entry;
        const KeyTable entryKeys = {
            lineKey("NrOfTCs:", entry.NrOfTCs), lineKey("FromSlice:", entry.FromSlice),
            lineKey("Left:", entry.Left),       lineKey("Right:", entry.Right),
            lineKey("Top:", entry.Top),         lineKey("Bottom:", entry.Bottom),
            lineKey("NrOfVoxels:", entry.NrOfVoxels)};
        // Kept once its count has been read, even when the file ends right after it.
        if (!scanKeys(in, entryKeys, "NrOfVoxels:") || in.fail()) break;
        const auto kept = readTriples(in, entry.NrOfVoxels.value(), entry.voxels);
        if (kept < entry.NrOfVoxels.value()) entry.NrOfVoxels.value() = static_cast<int>(kept);
        rois.push_back(std::move(entry));
    }
}

void ROI::PrintTo(std::ostream& out, bool withVoxels) const {
    for (const auto* line : {&FileVersion, &SaveVoxelsInROIs, &SaveSortedVoxelList, &SaveROIMaxPSC, &NrOfTCPlots})
        line->printLineIfAllSet(out, 2);
    for (const auto& entry : rois) {
        for (const auto* line : {&entry.NrOfTCs, &entry.FromSlice, &entry.Left, &entry.Right, &entry.Top,
                                 &entry.Bottom, &entry.NrOfVoxels})
            line->printLineIfAllSet(out, 1);
        if (withVoxels) {
            // The adjustment is whatever the header lines left (left-adjusted after any of them).
            for (const auto& v : entry.voxels)
                out << std::setw(3) << v.x << ' ' << std::setw(3) << v.y << ' ' << std::setw(3) << v.z << '\n';
        } else {
            out << "  Skipping coordinate list\n";
        }
        out << '\n';
    }
}

void ROI::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out, true); });
}

void ROI::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
