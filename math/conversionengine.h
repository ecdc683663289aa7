#pragma once
// The ROI conversion with a cost that follows its output.
//
// Same inputs, same result, byte for byte, as visiting every voxel of the 256-voxel cube once
// per region: every cube voxel goes through untal (when the TAL applies), the -127.5 centring,
// the functional-from-anatomical matrix and the nearest-voxel lookup with exactly the same
// float operations in the same order. What changes is how much work that takes:
// - one pass over the cube serves every region: each functional voxel knows the set of regions
//   that contain it, and a kept cube voxel is appended to each of them, so every list stays in
//   scan order;
// - untal and the matrix products m[i][j] * p[j] depend on one cube axis each and are
//   tabulated per axis, then summed in the order of the matrix-vector product;
// - planes, rows and runs of a row that provably cannot land in a bounding box of marked
//   functional voxels (one box per tile of the grid, whatever region the voxels belong to) are
//   skipped. The proof rests on rounding being monotone; it is used only where the tables are
//   finite and, for the finer levels, monotone along their axis, which is checked on the
//   tables themselves. Otherwise the pass falls back to visiting those voxels one by one.
// No threads; the working memory beside the output is one 32-bit set number per functional
// voxel (the size of the float mask it replaces) plus one small node per region membership.

namespace vocelle {

class FMR;
class ROI;
class TAL;
class TRF;
class VOI;

// How one conversion went; for tests and benchmarks.
struct ConversionStats {
    enum Path {
        NoScan,  // no region has a voxel in the grid: nothing to visit
        Pruned,  // bounding boxes used, tables monotone on every axis
        Partial, // bounding boxes used, but some axis table is not monotone
        FullScan // tables not finite: every cube voxel visited
    };
    Path path = NoScan;
    long long visited = 0; // cube voxels carried into the functional grid
};

// The regions of roi converted as ROI::ConvertToVOI describes; stats, when given, says how.
VOI convertROIToVOI(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                    const TAL& tal, ConversionStats* stats = nullptr);

} // namespace vocelle
