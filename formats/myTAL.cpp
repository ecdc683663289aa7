#include <vocelle/formats/myTAL.h>

#include <vocelle/text/fileopen.h>
#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>

namespace vocelle {

namespace {

const FieldTable<TAL>& fields() {
    static const FieldTable<TAL> table = [] {
        FieldTable<TAL> t = {{"FileVersion:", &TAL::FileVersion, 2},
                             {"Project:", &TAL::Project, 2}};
        // In the order of TAL::Landmark; an empty line after the last.
        const char* const landmarkKeys[] = {"AC:", "PC:", "AP:", "PP:", "SP:", "IP:", "RP:", "LP:"};
        for (int i = 0; i < TAL::NrOfLandmarks; ++i)
            t.push_back(tripleField<TAL>(
                landmarkKeys[i], [i](auto& tal) -> auto& { return tal.landmarks[i]; },
                i == TAL::LP ? 2 : 1));
        t.push_back({"TALVMRFramingCube:", &TAL::TALVMRFramingCube, 1});
        t.push_back({"TALVMRVoxelRes:", &TAL::TALVMRVoxelRes, 1});
        return t;
    }();
    return table;
}

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

void TAL::read(std::istream& in) { scanFields(in, fields(), *this); }

void TAL::PrintTo(std::ostream& out) const { printFields(out, fields(), *this); }

void TAL::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
}

void TAL::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
