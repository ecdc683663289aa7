#pragma once
// Regions as sets of functional voxels of one run: the voxels whose signal is measured.
//
// An ROI's regions are drawn on the run's slices already. A VOI's are carried into the run's
// grid through the job's alignment files by the rule the conversion keeps a cube voxel by
// (GridMapping): each cube voxel of the VOI goes to the functional voxel it lands in, and the
// region is the set of functional voxels reached. So converting an ROI and measuring the VOI in
// the same run gives back the ROI's voxels wherever they reach the cube.

#include <glm/vec3.hpp>

#include <string>
#include <vector>

namespace vocelle {

class FMR;
class ROI;
class TAL;
class TRF;
class VOI;

struct Region {
    std::string name;
    glm::tvec3<int> colour{0, 0, 0};
    // Functional voxels as linear indices (slice * ResolutionY + row) * ResolutionX + column,
    // ascending, each once.
    std::vector<long long> voxels;
};

// The regions of roi in the grid of fmr, named "region 1", "region 2", ... A voxel outside the
// grid is refused (FaultError naming the region and the voxel).
std::vector<Region> regionsFromROI(const ROI& roi, const FMR& fmr);

// The VOIs of voi carried into the grid of fmr. The VOI's ReferenceSpace must be the space the
// files map from (a TAL VOI needs a TAL file, an ACPC VOI must not be given one; fa, acpc and tal
// count as absent with FileVersion -1), else FaultError.
std::vector<Region> regionsFromVOI(const VOI& voi, const FMR& fmr, const TRF& ia, const TRF& fa,
                                   const TRF& acpc, const TAL& tal);

} // namespace vocelle
