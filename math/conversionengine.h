#pragma once
// The ROI conversion with a cost that follows its output.
//
// Same inputs, same result, byte for byte, as visiting every voxel of the 256-voxel cube once
// per region: every cube voxel goes through untal (when the TAL applies), the -127.5 centring,
// the functional-from-anatomical matrix and the nearest-voxel lookup with exactly the same
// float operations in the same order. What changes is how much work that takes:
// - one pass over the cube serves every region: each functional voxel knows the set of regions
//   that contain it, and the pass records runs of cube voxels that land in one set; the entries'
//   voxel lists are then sized from those runs and filled once, each in scan order;
// - untal and the matrix products m[i][j] * p[j] depend on one cube axis each and are
//   tabulated per axis, then summed in the order of the matrix-vector product (GridMapping,
//   which everything else that carries cube voxels into a run's grid uses too);
// - only the parts of cube rows that can land in a bounding box of marked functional voxels are
//   visited (boxes of tiles of the grid, joined where that keeps them nearly full, whatever
//   region the voxels belong to). Planes and rows are narrowed per box, and where a row enters
//   and leaves a box is searched for exactly, each search starting where the one for the row
//   before ended. The proof rests on rounding being monotone; it is used only where the tables
//   are finite and, for the exact parts of rows, monotone along cube x, which is checked on the
//   tables themselves. Otherwise the rows a box can reach are visited whole, or every cube voxel.
// No threads; the working memory beside the output is one 32-bit set number per functional
// voxel (the size of the float mask it replaces), one small node per region membership and one
// small record per run of kept voxels.

#include <glm/vec3.hpp>

namespace vocelle {

class FMR;
class ROI;
class TAL;
class TRF;
class VOI;

// How one conversion went; for tests.
struct ConversionStats {
    enum Path {
        NoScan,  // no region has a voxel in the grid: nothing to visit
        Pruned,  // bounding boxes used, tables monotone on every axis
        Partial, // bounding boxes used, but some axis table is not monotone
        FullScan // tables not finite: every cube voxel visited
    };
    Path path = NoScan;
};

// The colour of the entry at position index (from 0) of a converted VOI; six colours repeat.
glm::tvec3<int> voiColour(long long index);

// The regions of roi converted as ROI::ConvertToVOI describes; stats, when given, says how.
VOI convertROIToVOI(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                    const TAL& tal, ConversionStats* stats = nullptr);

} // namespace vocelle
