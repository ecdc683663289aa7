#pragma once
// Regions of interest drawn on the slices of a functional run.
//
// File layout (white-space separated; keys in any order before the key that ends their block):
//   FileVersion:          int   format version (-1 after reading a file without it)
//   SaveVoxelsInROIs:     int   kept and written back only
//   SaveSortedVoxelList:  int   kept and written back only
//   SaveROIMaxPSC:        int   kept and written back only
//   NrOfTCPlots:          int   number of region blocks; ends the header
//   then per region:
//     NrOfTCs:, FromSlice:, Left:, Right:, Top:, Bottom:   int, optional, kept only
//     NrOfVoxels:         int   number of voxel triples that follow; ends the block's header
//     column row slice    one triple per voxel, in the functional slice grid
//
// Reading stops quietly at the end of the file or at the first value that does not parse: a
// region block cut off before NrOfVoxels is dropped with all later ones, and a voxel list keeps
// only its complete triples. Counts then give what was kept (NrOfTCPlots, NrOfVoxels), and
// readFault says where reading stopped.

#include <vocelle/formats/myVOI.h>
#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>

#include <glm/vec3.hpp>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace vocelle {

class FMR;
class TRF;
class TAL;

class single_ROI {
public:
    single_ROI() = default;
    single_ROI(const single_ROI&) = default;
    single_ROI& operator=(const single_ROI&) = default;
    single_ROI(single_ROI&&) = default;
    single_ROI& operator=(single_ROI&&) = default;

    Line<int> NrOfTCs;
    Line<int> FromSlice;
    Line<int> Left;
    Line<int> Right;
    Line<int> Top;
    Line<int> Bottom;
    Line<int> NrOfVoxels;
    std::vector<glm::tvec3<int>> voxels;  // (column, row, slice) in file order
};

class ROI {
public:
    // Empty document: no lines set, FileVersion's value 5, no regions; prints nothing.
    ROI();
    // Reads the file; throws std::runtime_error "Failed opening for reading: " + path when it is
    // not a regular file or cannot be opened.
    explicit ROI(const std::string& fileName);
    // Reads an already opened document; fileName is only remembered for Save.
    explicit ROI(std::istream& in, const std::string& fileName = std::string());

    // withVoxels false replaces each voxel list by "  Skipping coordinate list".
    void PrintTo(std::ostream& out, bool withVoxels) const;
    // Replaces fileName without ever destroying it on failure; throws std::runtime_error
    // "Cannot Create file: " + fileName.
    void Save() const;
    void SaveAs(const std::string& newFileName);

    // The regions as volumes of interest in the 256-voxel anatomical cube: Talairach
    // coordinates when tal was read (FileVersion not -1), AC-PC cube coordinates otherwise.
    // fa, acpc and tal count as absent with FileVersion -1. One entry per stored region, named
    // "VOI 1", "VOI 2", ...; region voxels outside the functional grid are skipped. The result
    // has no file name. Changes nothing.
    VOI ConvertToVOI(const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                     const TAL& tal) const;

    std::string fileName;
    Line<int> FileVersion;
    Line<int> SaveVoxelsInROIs;
    Line<int> SaveSortedVoxelList;
    Line<int> SaveROIMaxPSC;
    Line<int> NrOfTCPlots;
    std::vector<single_ROI> rois;
    // Empty when the file was read completely; else "Read only partly (why)" with the path: why
    // reading stopped early (a value that does not parse, the file ending before what it
    // announced). What was read up to there is kept.
    Fault readFault;

private:
    void read(std::istream& in);
};

} // namespace vocelle
