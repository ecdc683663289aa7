#include <vocelle/imaging/voistats.h>

#include <vocelle/imaging/labeltable.h>
#include <vocelle/math/cubespace.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace vocelle {

namespace {

// The cube's voxels are 1 mm on every axis.
constexpr double voxelVolume = 1.0;

std::string decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return std::string(text) == "-0.00" ? "0.00" : text;
}

} // namespace

std::string voiStatsTable(const VOI& voi, long long& outside) {
    const VoxelConvention convention = voiConvention(voi);
    std::string table = "index\tname\tvoxels\tvolume_mm3\tcentroid_x\tcentroid_y\tcentroid_z\t"
                        "min_x\tmin_y\tmin_z\tmax_x\tmax_y\tmax_z\n";
    for (std::size_t n = 0; n < voi.vois.size(); ++n) {
        // A voxel listed twice is counted once; one outside the cube not at all, as the NIfTI
        // export and the preview leave it out.
        std::vector<std::tuple<int, int, int>> world;
        for (const auto& stored : voi.vois[n].voxels) {
            if (!insideCube(cubeVoxel(stored, convention))) {
                ++outside;
                continue;
            }
            const glm::ivec3 w = worldPosition(stored, convention);
            world.emplace_back(w.x, w.y, w.z);
        }
        std::sort(world.begin(), world.end());
        world.erase(std::unique(world.begin(), world.end()), world.end());

        table += std::to_string(n + 1) + '\t' + tableText(voi.vois[n].NameOfVOI.value()) + '\t' +
                 std::to_string(world.size()) + '\t' + decimal(double(world.size()) * voxelVolume);
        if (world.empty()) {
            table += std::string(9, '\t') + '\n';
            continue;
        }
        double sum[3] = {0, 0, 0};
        int low[3] = {std::get<0>(world[0]), std::get<1>(world[0]), std::get<2>(world[0])};
        int high[3] = {low[0], low[1], low[2]};
        for (const auto& [x, y, z] : world) {
            const int v[3] = {x, y, z};
            for (int a = 0; a < 3; ++a) {
                sum[a] += v[a];
                low[a] = std::min(low[a], v[a]);
                high[a] = std::max(high[a], v[a]);
            }
        }
        for (int a = 0; a < 3; ++a) table += '\t' + decimal(sum[a] / double(world.size()));
        for (int a = 0; a < 3; ++a) table += '\t' + std::to_string(low[a]);
        for (int a = 0; a < 3; ++a) table += '\t' + std::to_string(high[a]);
        table += '\n';
    }
    return table;
}

} // namespace vocelle
