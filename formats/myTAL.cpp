#include <vocelle/formats/myTAL.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>

namespace vocelle {

namespace {

// In the order of TAL::Landmark.
const char* const landmarkKeys[] = {"AC:", "PC:", "AP:", "PP:", "SP:", "IP:", "RP:", "LP:"};

const FieldTable<TAL>& fields() {
    static const FieldTable<TAL> table = [] {
        FieldTable<TAL> t = {{"FileVersion:", &TAL::FileVersion, 2},
                             {"Project:", &TAL::Project, 2}};
        // An empty line after the last landmark.
        for (int i = 0; i < TAL::NrOfLandmarks; ++i) {
            auto field = tripleField<TAL>(
                landmarkKeys[i], [i](auto& tal) -> auto& { return tal.landmarks[i]; },
                i == TAL::LP ? 2 : 1);
            field.readBody = [read = field.readBody, i](TAL& tal, std::istream& in) {
                read(tal, in);
                tal.landmarkGiven[i] = true;
            };
            t.push_back(std::move(field));
        }
        t.push_back({"TALVMRFramingCube:", &TAL::TALVMRFramingCube, 1});
        t.push_back({"TALVMRVoxelRes:", &TAL::TALVMRVoxelRes, 1});
        return t;
    }();
    return table;
}

} // namespace

TAL::TAL() {
    FileVersion.value() = absentFileVersion;
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
    readFault.path = fileName;
    scanFields(in, fields(), *this, std::string(), &readFault);
    // A file with a FileVersion announces the whole grid; without one it counts as absent anyway.
    if (!FileVersion.isSet() || landmarkGiven.all()) return;
    std::string missing = "the landmarks";
    for (int i = 0; i < NrOfLandmarks; ++i)
        if (!landmarkGiven[i]) missing += std::string(" ") + landmarkKeys[i];
    notePartlyRead(readFault, missing + " are missing");
}

void TAL::PrintTo(std::ostream& out) const { printFields(out, fields(), *this); }

void TAL::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
}

void TAL::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
