#include <vocelle/formats/myROI.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/voxelentries.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/safesave.h>

#include <iomanip>

namespace vocelle {

namespace {

const FieldTable<ROI>& headerFields() {
    static const FieldTable<ROI> fields = {{"FileVersion:", &ROI::FileVersion, 2},
                                           {"SaveVoxelsInROIs:", &ROI::SaveVoxelsInROIs, 2},
                                           {"SaveSortedVoxelList:", &ROI::SaveSortedVoxelList, 2},
                                           {"SaveROIMaxPSC:", &ROI::SaveROIMaxPSC, 2},
                                           {"NrOfTCPlots:", &ROI::NrOfTCPlots, 2}};
    return fields;
}

const FieldTable<single_ROI>& entryFields() {
    static const FieldTable<single_ROI> fields = {
        {"NrOfTCs:", &single_ROI::NrOfTCs, 1}, {"FromSlice:", &single_ROI::FromSlice, 1},
        {"Left:", &single_ROI::Left, 1},       {"Right:", &single_ROI::Right, 1},
        {"Top:", &single_ROI::Top, 1},         {"Bottom:", &single_ROI::Bottom, 1},
        {"NrOfVoxels:", &single_ROI::NrOfVoxels, 1}};
    return fields;
}

} // namespace

ROI::ROI() { FileVersion.value() = 5; }

ROI::ROI(const std::string& fileName) : fileName(fileName) {
    auto in = openForReading(fileName);
    read(in);
}

ROI::ROI(std::istream& in, const std::string& fileName) : fileName(fileName) { read(in); }

void ROI::read(std::istream& in) {
    FileVersion.value() = absentFileVersion;
    readFault.path = fileName;
    if (!scanFields(in, headerFields(), *this, "NrOfTCPlots:", &readFault))
        notePartlyRead(readFault, "NrOfTCPlots: is missing");
    readVoxelEntries(in, NrOfTCPlots, "region", entryFields(), rois, readFault);
}

void ROI::PrintTo(std::ostream& out, bool withVoxels) const {
    printFields(out, headerFields(), *this);
    printVoxelEntries(out, rois, entryFields(), withVoxels,
                      [](std::ostream& o, const std::vector<glm::tvec3<int>>& voxels) {
                          // The adjustment is whatever the header lines left (left-adjusted after
                          // any of them).
                          for (const auto& v : voxels)
                              o << std::setw(3) << v.x << ' ' << std::setw(3) << v.y << ' '
                                << std::setw(3) << v.z << '\n';
                      });
}

void ROI::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out, true); });
}

void ROI::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
