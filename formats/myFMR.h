#pragma once
// FMR: the text header of a functional run, with its slice data (STC file) when loaded.
//
// Header keys, in file order (each a Line<T> member of the same name; * = used beyond
// reading and printing):
//
//   FileVersion int (-1 until read)   NrOfVolumes int *        NrOfSlices int *
//   NrOfSkippedVolumes int            Prefix string *          DataStorageFormat int
//   DataType int * (2: float STC)     TR int                   InterSliceTime int
//   TimeResolutionVerified bool       TE int                   SliceAcquisitionOrder int
//   SliceAcquisitionOrderVerified bool ResolutionX int *       ResolutionY int *
//   LoadAMRFile string                ShowAMRFile bool         ImageIndex int
//   LayoutNColumns int                LayoutNRows int          LayoutZoomLevel int
//   SegmentSize int                   SegmentOffset int        NrOfLinkedProtocols int
//   ProtocolFile string               InplaneResolutionX float * InplaneResolutionY float *
//   SliceThickness float *            SliceGap float *         VoxelResolutionVerified bool
// Position section, read only after the word "PositionInformationFromImageHeaders" and up to
// GapThickness:
//   PosInfosVerified bool             CoordinateSystem int
//   Slice1CenterX/Y/Z float *         SliceNCenterX/Y/Z float *
//   RowDirX/Y/Z float                 ColDirX/Y/Z float        NRows int   NCols int
//   FoVRows float                     FoVCols float
//   SliceThickness float (member PosSliceThickness)            GapThickness float
// Trailer:
//   NrOfPastSpatialTransformations int  LeftRightConvention string  FirstDataSourceFile string
//   MultibandSequence int             SliceTimingTableSize int, followed by the table values
//
// STC file: getPath(fileName) + Prefix + ".stc". No header; little-endian int16 values (float32
// when DataType is 2), slice outermost, then volume, row, column. In memory one Volume<float>
// of ResolutionX x ResolutionY x NrOfSlices per volume (time point).
//
// Errors are std::runtime_error with a fixed text followed by the path:
//   "Failed opening for reading: ", "Cannot Create file: ", "Failed opening STC for reading: ",
//   "Failed opening STC for writing: ", "Invalid slice data size in FMR: " (a header whose
//   counts are negative or too large for a volume), "STC file too short for its FMR header: ",
//   "STC volumes do not match the FMR header: " (Save after the header was changed).
//
// A short STC file loads without error (missing values are 0) when it lacks at most one
// volume's worth of values and still holds at least half of the run; anything shorter is
// refused before memory is reserved for it.

#include <vocelle/text/fault.h>
#include <vocelle/text/line.h>
#include <vocelle/volume/volume.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace vocelle {

class FMR {
public:
    // Reads the FMR file; with loadSTC also its STC file.
    FMR(std::string fileName, bool loadSTC);
    // Reads the header from `in` (fileName only locates the STC file and names errors).
    FMR(std::istream& in, std::string fileName, bool loadSTC);

    // The header text, beginning with an empty line; sets the stream's adjustment to left.
    void PrintTo(std::ostream& out) const;
    // Writes the header to fileName and, when slice data is loaded, the STC file. Each file is
    // replaced only once it has been written completely.
    void Save();
    // Moves the document, slice data included, to newFileName; Prefix becomes its base name.
    void SaveAs(const std::string& newFileName);
    // Replaces stcVolumes with the STC file's content; unchanged when it throws.
    void LoadSTC();
    // The same from an already opened binary stream that can seek (errors still name
    // stcFileName()).
    void LoadSTC(std::istream& stc);
    // For a caller that needs only the header: fails where LoadSTC would for an STC file that
    // cannot be opened or a header whose counts are invalid, without reading or holding the slice
    // data; returns false when the file is shorter than the run, which LoadSTC may refuse.
    bool CheckSTC() const;

    // getPath(fileName) + Prefix + ".stc"
    std::string stcFileName() const;

    std::string fileName;

    Line<int> FileVersion;
    Line<int> NrOfVolumes;
    Line<int> NrOfSlices;
    Line<int> NrOfSkippedVolumes;
    Line<std::string> Prefix;
    Line<int> DataStorageFormat;
    Line<int> DataType;
    Line<int> TR;
    Line<int> InterSliceTime;
    Line<bool> TimeResolutionVerified;
    Line<int> TE;
    Line<int> SliceAcquisitionOrder;
    Line<bool> SliceAcquisitionOrderVerified;
    Line<int> ResolutionX;
    Line<int> ResolutionY;
    Line<std::string> LoadAMRFile;
    Line<bool> ShowAMRFile;
    Line<int> ImageIndex;
    Line<int> LayoutNColumns;
    Line<int> LayoutNRows;
    Line<int> LayoutZoomLevel;
    Line<int> SegmentSize;
    Line<int> SegmentOffset;
    Line<int> NrOfLinkedProtocols;
    Line<std::string> ProtocolFile;
    Line<float> InplaneResolutionX;
    Line<float> InplaneResolutionY;
    Line<float> SliceThickness;
    Line<float> SliceGap;
    Line<bool> VoxelResolutionVerified;

    Line<bool> PosInfosVerified;
    Line<int> CoordinateSystem;
    Line<float> Slice1CenterX;
    Line<float> Slice1CenterY;
    Line<float> Slice1CenterZ;
    Line<float> SliceNCenterX;
    Line<float> SliceNCenterY;
    Line<float> SliceNCenterZ;
    Line<float> RowDirX;
    Line<float> RowDirY;
    Line<float> RowDirZ;
    Line<float> ColDirX;
    Line<float> ColDirY;
    Line<float> ColDirZ;
    Line<int> NRows;
    Line<int> NCols;
    Line<float> FoVRows;
    Line<float> FoVCols;
    Line<float> PosSliceThickness; // the position section's own "SliceThickness:" line
    Line<float> GapThickness;

    Line<int> NrOfPastSpatialTransformations;
    Line<std::string> LeftRightConvention;
    Line<std::string> FirstDataSourceFile;
    Line<int> MultibandSequence;
    Line<int> SliceTimingTableSize;

    std::vector<float> sliceTimingTable;
    std::vector<Volume<float>> stcVolumes;
    // Empty when the file was read completely; else "Read only partly (why)" with the path: why
    // reading stopped early (a value that does not parse, the file ending before what it
    // announced). What was read up to there is kept.
    Fault readFault;

private:
    void read(std::istream& in);
};

// The slice data of a run, one slice at a time, for a caller that needs only some voxels of some
// slices: each slice (all its volumes, stored together) is one read, and nothing but that slice
// is held. Values are decoded as LoadSTC decodes them.
class StcSlices {
public:
    // Opens the STC file of fmr. Refuses, as FaultError, what LoadSTC refuses, and a file shorter
    // than the header announces: a reader of values must not take missing ones for zeros.
    explicit StcSlices(const FMR& fmr);
    ~StcSlices();
    StcSlices(const StcSlices&) = delete;
    StcSlices& operator=(const StcSlices&) = delete;

    long long volumes() const;
    long long slices() const;
    long long imageValues() const; // ResolutionX * ResolutionY

    // For every group of pixels of slice s (row * ResolutionX + column, each below
    // imageValues()), adds the values of the group's pixels at volume t to sums[g][t], in the
    // group's order and in double precision, for every volume t.
    void addSums(long long s, const std::vector<std::vector<int>>& groups,
                 const std::vector<double*>& sums);

private:
    struct Data;
    std::unique_ptr<Data> data_;
};

} // namespace vocelle
