#include <vocelle/formats/myTAL.h>

#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>

namespace vocelle {

namespace {

const char* const landmarkKeys[TAL::NrOfLandmarks] = {"AC:", "PC:", "AP:", "PP:", "SP:", "IP:", "RP:", "LP:"};

} // namespace

TAL::TAL() {
    FileVersion.value() = -1;
    landmarks.fill(glm::tvec3<int>(0));
}

TAL::TAL(const std::string& fileName) : TAL() {
    this->fileName = fileName;
    auto in = openForReading(fileName);
    read(in);
}

TAL::TAL(std::istream& in, const std::string& fileName) : TAL() {
    this->fileName = fileName;
    read(in);
}

void TAL::read(std::istream& in) {
    KeyTable keys = {lineKey("FileVersion:", FileVersion), lineKey("Project:", Project),
                     lineKey("TALVMRFramingCube:", TALVMRFramingCube),
                     lineKey("TALVMRVoxelRes:", TALVMRVoxelRes)};
    for (int i = 0; i < NrOfLandmarks; ++i) {
        auto& point = landmarks[i];
        keys.push_back({landmarkKeys[i], [&point](std::istream& s, const std::string&) {
                            s >> point.x >> point.y >> point.z;
                        }});
    }
    scanKeys(in, keys);
}

void TAL::PrintTo(std::ostream& out) const {
    FileVersion.printLineIfAllSet(out, 2);
    Project.printLineIfAllSet(out, 2);
    for (int i = 0; i < NrOfLandmarks; ++i) {
        const auto& point = landmarks[i];
        out << landmarkKeys[i] << ' ' << point.x << ' ' << point.y << ' ' << point.z
            << (i == LP ? "\n\n" : "\n");
    }
    TALVMRFramingCube.printLineIfAllSet(out, 1);
    TALVMRVoxelRes.printLineIfAllSet(out, 1);
}

void TAL::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
}

void TAL::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
