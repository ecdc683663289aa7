#pragma once
// The tab-separated tables of the measuring commands. Numbers are printed with 9 significant
// digits, so a float read back is the float that was meant; a value that does not exist (a
// region without voxels, R² of a flat time course) leaves its cell empty.

#include <vocelle/analysis/glm.h>
#include <vocelle/analysis/regions.h>
#include <vocelle/analysis/timecourse.h>

#include <ostream>
#include <string>
#include <vector>

namespace vocelle {

// volume (from 1), then one column per region.
void writeTimeCourses(std::ostream& out, const std::vector<Region>& regions,
                      const TimeCourses& courses);

// One line: the voxel count of every region ("region 1: 98 voxels, ...").
std::string voxelCounts(const std::vector<Region>& regions);

// The header of the fit table; with a job column first when `job` is true.
void writeFitHeader(std::ostream& out, bool job);
// One row per region and term; fits[r] has no terms for a region that was not fitted, which
// then gets its rows with empty cells. `job` non-empty gives the first column.
void writeFits(std::ostream& out, const std::string& job, const std::vector<Region>& regions,
               const std::vector<Fit>& fits, const Design& design,
               const std::vector<Contrast>& contrasts);

} // namespace vocelle
