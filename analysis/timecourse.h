#pragma once
// The mean signal of regions at every volume of a run, read from its STC file.
//
// The STC file holds each slice's volumes together, so only the slices the regions touch are
// read, one slice (all its volumes) at a time in one read: memory beyond the result is one
// slice's data, however long the run. Means are taken in double precision over the float values,
// voxels in ascending order, so the same voxel set always gives the same bits.

#include <vocelle/analysis/regions.h>

#include <vector>

namespace vocelle {

class FMR;

struct TimeCourses {
    long long volumes = 0;
    // means[r][t]: the mean of region r at volume t (from 0); empty for a region without voxels.
    std::vector<std::vector<double>> means;
};

// The time courses of the regions in the run of fmr (header read; its STC file is opened here).
// Refuses (FaultError) an STC file that cannot be opened or is shorter than the header announces.
TimeCourses measureTimeCourses(const FMR& fmr, const std::vector<Region>& regions);

// Each value as percent signal change against its region's mean over the run:
// 100 * (v - mean) / mean.
void toPercentSignalChange(TimeCourses& courses);

} // namespace vocelle
