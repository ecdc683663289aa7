#pragma once
// Size and place of each VOI in RAS+ world millimetres (x to the subject's right, y anterior,
// z superior, the AC at 0), through the same mapping as the NIfTI export.

#include <vocelle/formats/myVOI.h>

#include <string>

namespace vocelle {

// A tab-separated table with a header line and one row per VOI: index (from 1), name, voxels
// (distinct), volume_mm3, centroid_x/y/z, then the lowest and highest voxel centre on each axis
// (min_x/y/z, max_x/y/z). A VOI without voxels leaves its position cells empty. Voxels outside
// the cube are left out and counted in `outside`. Throws FaultError naming the file when
// voiConvention refuses the VOI.
std::string voiStatsTable(const VOI& voi, long long& outside);

} // namespace vocelle
