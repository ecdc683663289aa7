#include <vocelle/formats/myTRF.h>

#include <vocelle/text/keyscan.h>
#include <vocelle/text/safesave.h>

#include <iomanip>

namespace vocelle {

namespace {

void setIdentity(float m[4][4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r == c ? 1.0f : 0.0f;
}

// Stops at the first number that does not parse; that entry reads as 0, later ones keep their content.
void readMatrix(std::istream& in, float m[4][4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!(in >> m[r][c])) return;
}

void printMatrix(std::ostream& out, const float m[4][4]) {
    out << std::fixed << std::setprecision(17) << std::left;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out << std::setw(21) << m[r][c] << ' ';
        out << '\n';
    }
    out << '\n';
    out.unsetf(std::ios::floatfield);
}

} // namespace

TRF::TRF() {
    FileVersion.value() = -1;
    setIdentity(matrix);
    setIdentity(extraMatrix);
}

TRF::TRF(const std::string& fileName) : TRF() {
    this->fileName = fileName;
    auto in = openForReading(fileName);
    read(in);
}

TRF::TRF(std::istream& in, const std::string& fileName) : TRF() {
    this->fileName = fileName;
    read(in);
}

void TRF::read(std::istream& in) {
    const KeyTable keys = {
        lineKey("FileVersion:", FileVersion),
        {"DataFormat:",
         [this](std::istream& s, const std::string& key) {
             DataFormat.readLine(s, key);
             if (DataFormat.value() == "Matrix") readMatrix(s, matrix);
         }},
        lineKey("TransformationType:", TransformationType),
        lineKey("CoordinateSystem:", CoordinateSystem),
        lineKey("NSlicesFMRVMR:", NSlicesFMRVMR),
        lineKey("SlThickFMRVMR:", SlThickFMRVMR),
        lineKey("SlGapFMRVMR:", SlGapFMRVMR),
        lineKey("CreateFMR3DMethod:", CreateFMR3DMethod),
        lineKey("AlignmentStep:", AlignmentStep),
        {"ExtraVMRTransf:",
         [this](std::istream& s, const std::string& key) {
             ExtraVMRTransf.readLine(s, key);
             if (ExtraVMRTransf.value() == 1) readMatrix(s, extraMatrix);
         }},
        lineKey("ToVMRFramingCube:", ToVMRFramingCube),
        lineKey("ToVMRVoxelRes:", ToVMRVoxelRes),
        lineKey("SourceFile:", SourceFile),
        lineKey("TargetFile:", TargetFile),
        lineKey("ACPCVMRFramingCube:", ACPCVMRFramingCube),
        lineKey("ACPCVMRVoxelRes:", ACPCVMRVoxelRes)};
    scanKeys(in, keys);
}

void TRF::PrintTo(std::ostream& out) const {
    out << '\n';
    FileVersion.printLineIfAllSet(out, 2);
    DataFormat.printLineIfAllSet(out, 2);
    if (DataFormat.value() == "Matrix") printMatrix(out, matrix);
    TransformationType.printLineIfAllSet(out, 1);
    CoordinateSystem.printLineIfAllSet(out, 2);
    NSlicesFMRVMR.printLineIfAllSet(out, 1);
    SlThickFMRVMR.printLineIfAllSet(out, 1);
    SlGapFMRVMR.printLineIfAllSet(out, 1);
    CreateFMR3DMethod.printLineIfAllSet(out, 1);
    AlignmentStep.printLineIfAllSet(out, 1);
    ExtraVMRTransf.printLineIfAllSet(out, 2);
    if (ExtraVMRTransf.value() == 1) printMatrix(out, extraMatrix);
    ToVMRFramingCube.printLineIfAllSet(out, 1);
    ToVMRVoxelRes.printLineIfAllSet(out, 2);
    SourceFile.printLineIfAllSet(out, 1);
    TargetFile.printLineIfAllSet(out, 2);
    ACPCVMRFramingCube.printLineIfAllSet(out, 1);
    ACPCVMRVoxelRes.printLineIfAllSet(out, 2);
}

void TRF::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
}

void TRF::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
