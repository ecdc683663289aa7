#pragma once
// Volumes of interest: named, coloured voxel sets in the 256-voxel anatomical reference cube.
//
// File layout (white-space separated; header keys in any order before NrOfVOIs:):
//   FileVersion:                 int     default 4
//   ReferenceSpace:              string  "TAL", "ACPC" or "CV"; default ACPC
//   OriginalVMRResolutionX/Y/Z:  int     default 1
//   OriginalVMROffsetX/Y/Z:      int     default 0
//   OriginalVMRFramingCubeDim:   int     default 256
//   LeftRightConvention:         int     default 1
//   SubjectVOINamingConvention:  string  default <VOI>_<SUBJ>
//   NrOfVOIs:                    int     number of entries; ends the header
//   then per entry:
//     NameOfVOI:   string (may be quoted)
//     ColorOfVOI:  r g b
//     NrOfVoxels:  int, ends the entry's header; then that many x y z triples
//   NrOfVOIVTCs:                 int     number of linked time-course files
//   then one linked file name per line
//
// Header lines of the empty document have width 28. Reading stops quietly at the end of the file
// or at the first value that does not parse; an entry cut off before NrOfVoxels is dropped with
// all later ones, and a voxel list keeps only its complete triples. Counts then give what was
// kept (NrOfVOIs, NrOfVoxels), and readFault says where reading stopped.

#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>

#include <glm/vec3.hpp>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vocelle {

class single_VOI {
public:
    single_VOI() = default;
    single_VOI(const single_VOI&) = default;
    single_VOI& operator=(const single_VOI&) = default;
    single_VOI(single_VOI&&) = default;
    single_VOI& operator=(single_VOI&&) = default;

    Line<std::string> NameOfVOI;
    glm::tvec3<int> color{0, 0, 0};  // red, green, blue; 0 0 0 when the file gives none
    Line<int> NrOfVoxels;
    std::vector<glm::tvec3<int>> voxels;
};

class VOI {
public:
    // Every header line set with its default and width 28; no entries, no linked files.
    VOI();
    // Reads the file; throws std::runtime_error "Failed opening for reading: " + path when it is
    // not a regular file or cannot be opened.
    explicit VOI(const std::string& fileName);
    // Reads an already opened document; fileName is only remembered for Save.
    explicit VOI(std::istream& in, const std::string& fileName = std::string());

    VOI(const VOI&) = default;
    VOI& operator=(const VOI&) = default;
    VOI(VOI&&) = default;
    VOI& operator=(VOI&&) = default;

    // withVoxels false replaces each voxel list by "  Skipping coordinate list".
    void PrintTo(std::ostream& out, bool withVoxels) const;
    // Replaces fileName without ever destroying it on failure; throws std::runtime_error
    // "Cannot Create file: " + fileName.
    void Save() const;
    void SaveAs(const std::string& newFileName);

    std::string fileName;
    Line<int> FileVersion;
    Line<std::string> ReferenceSpace;
    Line<int> OriginalVMRResolutionX;
    Line<int> OriginalVMRResolutionY;
    Line<int> OriginalVMRResolutionZ;
    Line<int> OriginalVMROffsetX;
    Line<int> OriginalVMROffsetY;
    Line<int> OriginalVMROffsetZ;
    Line<int> OriginalVMRFramingCubeDim;
    Line<int> LeftRightConvention;
    Line<std::string> SubjectVOINamingConvention;
    Line<int> NrOfVOIs;
    std::vector<single_VOI> vois;
    Line<int> NrOfVOIVTCs;
    std::vector<std::string> vtcFiles;  // one linked file name per line after NrOfVOIVTCs
    // Empty when the file was read completely; else "Read only partly (why)" with the path: why
    // reading stopped early (a value that does not parse, the file ending before what it
    // announced). What was read up to there is kept.
    Fault readFault;

private:
    void read(std::istream& in);
};

} // namespace vocelle
