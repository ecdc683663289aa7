#pragma once
// Writes the VOIs of a VOI document as one label image: a 256^3 NIfTI-1 volume in which each
// voxel holds the number (1, 2, ...) of the VOI it belongs to, 0 elsewhere, with an affine to
// RAS+ world millimetres (the AC at 0). Both voxel conventions (Talairach and cube) land on the
// same grid: voxel (i, j, k) is world (i - 127, j - 127, k - 127).
// With one volume per VOI instead, a 4-D image of 0/1 masks keeps voxels that lie in several
// VOIs in all of them.
// A label table goes beside the image: the image name without ".nii.gz" (or ".nii") and ".tsv",
// tab-separated with the columns index, name, color (#rrggbb) and voxels.

#include <vocelle/formats/myVOI.h>

#include <string>

namespace vocelle {

struct NiftiExportReport {
    std::string imagePath;
    std::string tablePath;
    long long labelled = 0;    // voxels that got a label
    long long outside = 0;     // stored voxels outside the 256^3 grid, left out
    long long overlapping = 0; // voxels of a later VOI already labelled by an earlier one (label image only)
};

// The path without ".nii.gz" or ".nii"; empty when it ends in neither.
std::string niftiStem(const std::string& path);

// The label table's path for an image path; empty when the path ends in neither ".nii.gz" nor
// ".nii".
std::string labelTablePath(const std::string& imagePath);

// Writes the image and its table, each replacing an existing file only once it is complete.
// Throws std::runtime_error naming the file for an unknown ReferenceSpace, a name without a
// NIfTI ending, more VOIs than labels fit, no VOI for a 4-D image, a VOI name longer than a label
// table holds, a LeftRightConvention other than 1, or a file that cannot be written (with the
// system's reason).
NiftiExportReport exportNifti(const VOI& voi, const std::string& imagePath, bool oneVolumePerVoi = false);

} // namespace vocelle
