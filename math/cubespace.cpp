#include <vocelle/math/cubespace.h>

#include <vocelle/text/fault.h>

#include <algorithm>
#include <cstdint>

namespace vocelle {

namespace {

const char* const spaceNames[] = {"CV", "ACPC", "TAL"};

// 128 - v without overflow for any stored int; far values stay far outside the cube.
int fromAC(int v) {
    const std::int64_t d = std::int64_t(cubeAC) - v;
    return static_cast<int>(std::clamp<std::int64_t>(d, -1000000000, 1000000000));
}

} // namespace

const char* referenceSpaceName(ReferenceSpace space) {
    return spaceNames[static_cast<int>(space)];
}

bool parseReferenceSpace(const std::string& name, ReferenceSpace& space) {
    for (const ReferenceSpace candidate :
         {ReferenceSpace::CV, ReferenceSpace::ACPC, ReferenceSpace::TAL})
        if (name == referenceSpaceName(candidate)) {
            space = candidate;
            return true;
        }
    return false;
}

VoxelConvention conventionOf(ReferenceSpace space) {
    return space == ReferenceSpace::TAL ? VoxelConvention::Talairach : VoxelConvention::Cube;
}

ReferenceSpace conversionSpace(bool acpcPresent, bool talPresent) {
    if (!acpcPresent) return ReferenceSpace::CV;
    return talPresent ? ReferenceSpace::TAL : ReferenceSpace::ACPC;
}

VoxelConvention voiConvention(const VOI& voi) {
    ReferenceSpace space;
    if (!parseReferenceSpace(voi.ReferenceSpace.value(), space))
        throw FaultError(
            {"Unknown ReferenceSpace \"" + voi.ReferenceSpace.value() + "\"", voi.fileName});
    // The cube's axes run with the subject's right on the left (convention 1); the file does not
    // say what any other value would change, so no such VOI is placed.
    if (voi.LeftRightConvention.isSet() && voi.LeftRightConvention.value() != 1)
        throw FaultError({"LeftRightConvention " + std::to_string(voi.LeftRightConvention.value()) +
                              " is not 1, the only convention known",
                          voi.fileName});
    return conventionOf(space);
}

glm::ivec3 cubeVoxel(const glm::ivec3& stored, VoxelConvention convention) {
    if (convention == VoxelConvention::Cube) return stored;
    // Stored (128 - z, 128 - x, 128 - y), solved for x, y, z.
    return {fromAC(stored.y), fromAC(stored.z), fromAC(stored.x)};
}

glm::ivec3 worldPosition(const glm::ivec3& stored, VoxelConvention convention) {
    if (convention == VoxelConvention::Talairach) return stored;
    return {fromAC(stored.z), fromAC(stored.x), fromAC(stored.y)};
}

glm::ivec3 storedVoxel(const glm::ivec3& world, VoxelConvention convention) {
    if (convention == VoxelConvention::Talairach) return world;
    return {fromAC(world.y), fromAC(world.z), fromAC(world.x)};
}

} // namespace vocelle
