#include <vocelle/formats/myTRF.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/text/fileopen.h>
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

// A line that announces a matrix: its 16 numbers follow the line when `announced` holds.
template <typename T>
Field<TRF> announcingField(const std::string& key, Line<T> TRF::*line, float (TRF::*matrix)[4][4],
                           bool (*announced)(const TRF&)) {
    return {key, line, 2,
            [matrix, announced](TRF& trf, std::istream& in) {
                if (announced(trf)) readMatrix(in, trf.*matrix);
            },
            [matrix, announced](const TRF& trf, std::ostream& out) {
                if (announced(trf)) printMatrix(out, trf.*matrix);
            }};
}

const FieldTable<TRF>& fields() {
    static const FieldTable<TRF> table = {
        {"FileVersion:", &TRF::FileVersion, 2},
        announcingField("DataFormat:", &TRF::DataFormat, &TRF::matrix,
                        [](const TRF& trf) { return trf.hasMatrix(); }),
        {"TransformationType:", &TRF::TransformationType, 1},
        {"CoordinateSystem:", &TRF::CoordinateSystem, 2},
        {"NSlicesFMRVMR:", &TRF::NSlicesFMRVMR, 1},
        {"SlThickFMRVMR:", &TRF::SlThickFMRVMR, 1},
        {"SlGapFMRVMR:", &TRF::SlGapFMRVMR, 1},
        {"CreateFMR3DMethod:", &TRF::CreateFMR3DMethod, 1},
        {"AlignmentStep:", &TRF::AlignmentStep, 1},
        announcingField("ExtraVMRTransf:", &TRF::ExtraVMRTransf, &TRF::extraMatrix,
                        [](const TRF& trf) { return trf.ExtraVMRTransf.value() == 1; }),
        {"ToVMRFramingCube:", &TRF::ToVMRFramingCube, 1},
        {"ToVMRVoxelRes:", &TRF::ToVMRVoxelRes, 2},
        {"SourceFile:", &TRF::SourceFile, 1},
        {"TargetFile:", &TRF::TargetFile, 2},
        {"ACPCVMRFramingCube:", &TRF::ACPCVMRFramingCube, 1},
        {"ACPCVMRVoxelRes:", &TRF::ACPCVMRVoxelRes, 2}};
    return table;
}

} // namespace

TRF::TRF() {
    FileVersion.value() = absentFileVersion;
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
    readFault.path = fileName;
    scanFields(in, fields(), *this, std::string(), &readFault);
}

void TRF::PrintTo(std::ostream& out) const {
    out << '\n';
    printFields(out, fields(), *this);
}

void TRF::Save() const {
    saveReplacing(fileName, [this](std::ostream& out) { PrintTo(out); });
}

void TRF::SaveAs(const std::string& newFileName) {
    fileName = newFileName;
    Save();
}

} // namespace vocelle
