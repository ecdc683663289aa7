#pragma once
// Reads a NIfTI-1 label image, or a 4-D image of 0/1 masks, as VOIs in the 256-voxel cube.
//
// A 3-D image gives one VOI per label (every non-zero whole value), in the order of the labels;
// a 4-D image one VOI per volume. Labels named in the label table that the image carries inside
// (export-nifti writes one), else in the table beside it (STEM.tsv as export-nifti writes it, or
// an FSLeyes STEM.lut), give their names and colours and are kept even when no voxel holds them;
// others are named "Label N" and coloured as converted VOIs are.
// Voxels are placed through the sform (the qform when the sform code is 0) into the cube of the
// NIfTI export (world x, y, z in mm at cube grid i, j, k = x + 127, y + 127, z + 127): every cube
// voxel whose centre lies in a labelled image voxel is taken, at any voxel size and angle.

#include <vocelle/formats/myVOI.h>

#include <string>

namespace vocelle {

struct NiftiImportReport {
    std::string tablePath; // the label table read (the image when it carries one); empty: none
    std::string differingTable; // a table beside the image that differs from the one it carries
    long long outside = 0;     // labelled image voxels whose centre lies outside the cube
    bool mniCode = false;      // the image says MNI space and no space was asked for
};

// space: "TAL" or "ACPC", or empty to take TAL when the image's code says Talairach and ACPC
// otherwise. Throws FaultError with one line naming the file for an image that readNiftiImage
// refuses, that is not 3-D (or 4-D masks), has no usable orientation or holds values that are not
// whole numbers (not-a-number and infinities included), and for a label table that exists but
// cannot be read.
VOI importNifti(const std::string& imagePath, const std::string& space, NiftiImportReport& report);

} // namespace vocelle
