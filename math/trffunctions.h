#pragma once
// Space mapping between the 256-voxel anatomical cube and the functional slice grid.

namespace vocelle {

class FMR;
class TRF;
class TAL;

// Fills out with the functional-from-anatomical matrix: it maps a point of the AC-PC cube,
// centred (each coordinate minus 127.5), to centred functional voxel coordinates. Combines the
// slice geometry of fmr with the initial alignment ia, the fine alignment fa and the AC-PC
// transformation acpc; fa and acpc count as absent when their FileVersion is -1. Nothing is
// changed but out.
void createVMR2FMRmatrix(const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                         float (*out)[4]);

// SliceThickness + SliceGap of fmr, in single precision: the distance from one slice to the next,
// which the mapping divides by.
float sliceDistance(const FMR& fmr);

// Maps p[0..2] from the Talairach frame of the cube to the AC-PC frame in place, piecewise
// linearly between the landmarks of tal. p[3] is not touched. Allocates and calls nothing: it
// runs once for every voxel of the cube.
void untal(float* p, const TAL& tal);

} // namespace vocelle
