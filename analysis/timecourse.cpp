#include <vocelle/analysis/timecourse.h>

#include <vocelle/formats/myFMR.h>

#include <algorithm>
#include <map>
#include <numeric>

namespace vocelle {

namespace {

// Per slice, the pixels any region needs (ascending, each once) and, per region, where its
// voxels of that slice stand among them.
struct SlicePlan {
    std::vector<int> pixels;
    std::vector<std::pair<size_t, std::vector<size_t>>> regions; // region, positions in pixels
};

std::map<long long, SlicePlan> planSlices(const std::vector<Region>& regions, long long image) {
    std::map<long long, SlicePlan> plans;
    for (const Region& region : regions)
        for (long long v : region.voxels) plans[v / image].pixels.push_back(static_cast<int>(v % image));
    for (auto& [slice, plan] : plans) {
        std::sort(plan.pixels.begin(), plan.pixels.end());
        plan.pixels.erase(std::unique(plan.pixels.begin(), plan.pixels.end()), plan.pixels.end());
    }
    for (size_t r = 0; r < regions.size(); ++r) {
        SlicePlan* plan = nullptr;
        long long planSlice = -1;
        for (long long v : regions[r].voxels) { // ascending, so slice by slice
            const long long slice = v / image;
            if (slice != planSlice) {
                planSlice = slice;
                plan = &plans[slice];
                plan->regions.emplace_back(r, std::vector<size_t>());
            }
            const int pixel = static_cast<int>(v % image);
            plan->regions.back().second.push_back(static_cast<size_t>(
                std::lower_bound(plan->pixels.begin(), plan->pixels.end(), pixel) -
                plan->pixels.begin()));
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

    std::vector<float> values;
    for (const auto& [slice, plan] : planSlices(regions, stc.imageValues())) {
        stc.read(slice, plan.pixels, values);
        const size_t n = plan.pixels.size();
        for (const auto& [r, positions] : plan.regions) {
            double* sum = sums[r].data();
            for (size_t t = 0; t < volumes; ++t) {
                const float* row = values.data() + t * n;
                double s = sum[t];
                for (size_t k : positions) s += static_cast<double>(row[k]);
                sum[t] = s;
            }
        }
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
