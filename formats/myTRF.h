#pragma once
// One spatial transformation: a 4x4 matrix and the header values describing how it was made.
//
// File layout (keys in any order; unknown words are passed over):
//   FileVersion:         int     -1 until read; a TRF left at -1 counts as absent
//   DataFormat:          string  "Matrix" (quotes allowed) announces 16 numbers: `matrix`, row by row
//   TransformationType:  int
//   CoordinateSystem:    int
//   NSlicesFMRVMR:       int
//   SlThickFMRVMR:       float
//   SlGapFMRVMR:         float
//   CreateFMR3DMethod:   int
//   AlignmentStep:       int
//   ExtraVMRTransf:      int     1 announces 16 more numbers: `extraMatrix`, row by row
//   ToVMRFramingCube:    int
//   ToVMRVoxelRes:       float   voxel resolution of the anatomical target
//   SourceFile:          string
//   TargetFile:          string
//   ACPCVMRFramingCube:  int
//   ACPCVMRVoxelRes:     float
//
// Matrices are row-major (matrix[row][column]) and act on column vectors; both start as the
// identity. Matrices are printed fixed with 17 decimals, so a printed file reads back exactly.

#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>

#include <istream>
#include <ostream>
#include <string>

namespace vocelle {

class TRF {
public:
    // Absent transformation: every line unset, FileVersion's value -1, identity matrices.
    TRF();
    // Reads the file; throws std::runtime_error "Failed opening for reading: " + path when it is
    // not a regular file or cannot be opened.
    explicit TRF(const std::string& fileName);
    // Reads an already opened document; fileName is only remembered for Save.
    explicit TRF(std::istream& in, const std::string& fileName = std::string());

    // Leaves precision 17 set on the stream when a matrix was printed.
    void PrintTo(std::ostream& out) const;
    // Replaces fileName without ever destroying it on failure; throws std::runtime_error
    // "Cannot Create file: " + fileName.
    void Save() const;
    void SaveAs(const std::string& newFileName);
    // DataFormat announces the matrix ("Matrix"); without it `matrix` stays the identity.
    bool hasMatrix() const { return DataFormat.value() == "Matrix"; }

    std::string fileName;
    Line<int> FileVersion;
    Line<std::string> DataFormat;
    float matrix[4][4];
    Line<int> TransformationType;
    Line<int> CoordinateSystem;
    Line<int> NSlicesFMRVMR;
    Line<float> SlThickFMRVMR;
    Line<float> SlGapFMRVMR;
    Line<int> CreateFMR3DMethod;
    Line<int> AlignmentStep;
    Line<int> ExtraVMRTransf;
    float extraMatrix[4][4];
    Line<int> ToVMRFramingCube;
    Line<float> ToVMRVoxelRes;
    Line<std::string> SourceFile;
    Line<std::string> TargetFile;
    Line<int> ACPCVMRFramingCube;
    Line<float> ACPCVMRVoxelRes;
    // Empty when the file was read completely; else "Read only partly (why)" with the path: why
    // reading stopped early (a value that does not parse, the file ending before what it
    // announced). What was read up to there is kept.
    Fault readFault;

private:
    void read(std::istream& in);
};

} // namespace vocelle
