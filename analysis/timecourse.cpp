#include <vocelle/analysis/timecourse.h>

#include <vocelle/formats/myFMR.h>
#include <vocelle/text/fault.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <string>

namespace vocelle {

namespace {

// Per slice, the regions that have voxels there and their pixels (ascending).
using SlicePlan = std::vector<std::pair<size_t, std::vector<int>>>;

std::map<long long, SlicePlan> planSlices(const std::vector<Region>& regions, const StcSlices& stc,
                                          const std::string& fmrPath) {
    const long long image = stc.imageValues();
    std::map<long long, SlicePlan> plans;
    for (size_t r = 0; r < regions.size(); ++r) {
        SlicePlan* plan = nullptr;
        long long planSlice = -1;
        for (long long v : regions[r].voxels) { // ascending, so slice by slice
            if (v < 0 || v >= image * stc.slices())
                throw FaultError({regions[r].name + " has voxels outside the run's grid", fmrPath});
            if (v / image != planSlice) {
                planSlice = v / image;
                plan = &plans[planSlice];
                plan->emplace_back(r, std::vector<int>());
            }
            plan->back().second.push_back(static_cast<int>(v % image));
        }
    }
    return plans;
}

} // namespace

TimeCourses measureTimeCourses(const FMR& fmr, const std::vector<Region>& regions) {
    StcSlices stc(fmr);
    TimeCourses result;
    result.volumes = stc.volumes();
    const size_t volumes = static_cast<size_t>(stc.volumes());
    std::vector<std::vector<double>> sums(regions.size());
    for (size_t r = 0; r < regions.size(); ++r)
        if (!regions[r].voxels.empty()) sums[r].assign(volumes, 0.0);

    std::vector<std::vector<int>> groups;
    std::vector<double*> targets;
    for (auto& [slice, plan] : planSlices(regions, stc, fmr.fileName)) {
        groups.clear();
        targets.clear();
        for (auto& [r, pixels] : plan) {
            groups.push_back(std::move(pixels));
            targets.push_back(sums[r].data());
        }
        stc.addSums(slice, groups, targets);
    }
    for (size_t r = 0; r < regions.size(); ++r) {
        const double count = static_cast<double>(regions[r].voxels.size());
        for (double& s : sums[r]) s /= count;
    }
    result.means = std::move(sums);
    return result;
}

void toPercentSignalChange(TimeCourses& courses) {
    for (auto& course : courses.means) {
        if (course.empty()) continue;
        const double mean =
            std::accumulate(course.begin(), course.end(), 0.0) / static_cast<double>(course.size());
        for (double& v : course) v = 100.0 * (v - mean) / mean;
    }
}

} // namespace vocelle
