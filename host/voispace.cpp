#include <vocelle/host/voispace.h>

#include <algorithm>
#include <cstdint>

namespace vocelle {

namespace {

// 128 - v without overflow for any stored int; far values stay far outside the cube.
int fromAC(int v) {
    const std::int64_t d = std::int64_t(cubeAC) - v;
    return static_cast<int>(std::clamp<std::int64_t>(d, -1000000000, 1000000000));
}

} // namespace

bool voiConvention(const VOI& voi, VoiConvention& convention) {
    const std::string& space = voi.ReferenceSpace.value();
    if (space == "TAL") {
        convention = VoiConvention::Talairach;
        return true;
    }
    // "CV" is the cube without the AC-PC alignment; its voxels are stored like AC-PC ones.
    if (space == "ACPC" || space == "CV") {
        convention = VoiConvention::Cube;
        return true;
    }
    return false;
}

glm::ivec3 cubeVoxel(const glm::ivec3& stored, VoiConvention convention) {
    if (convention == VoiConvention::Cube) return stored;
    // Stored (128 - z, 128 - x, 128 - y), solved for x, y, z.
    return {fromAC(stored.y), fromAC(stored.z), fromAC(stored.x)};
}

glm::ivec3 worldPosition(const glm::ivec3& stored, VoiConvention convention) {
    if (convention == VoiConvention::Talairach) return stored;
    return {fromAC(stored.z), fromAC(stored.x), fromAC(stored.y)};
}

glm::ivec3 storedVoxel(const glm::ivec3& world, VoiConvention convention) {
    if (convention == VoiConvention::Talairach) return world;
    return {fromAC(world.y), fromAC(world.z), fromAC(world.x)};
}

} // namespace vocelle
