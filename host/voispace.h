#pragma once
// Where the voxels of a VOI lie. A VOI stores them in one of two conventions, told by its
// ReferenceSpace: "TAL" stores Talairach coordinates (right, anterior, superior; 0 at the AC,
// 1 mm steps); "ACPC" and "CV" store cube voxels (x anterior to posterior, y superior to
// inferior, z right to left; the AC at 128). The preview works in cube voxels, the NIfTI export
// in RAS+ world millimetres; both convert through here.

#include <vocelle/formats/myVOI.h>

#include <glm/vec3.hpp>

#include <string>

namespace vocelle {

enum class VoiConvention { Talairach, Cube };

// False when ReferenceSpace names a space whose convention is unknown.
bool voiConvention(const VOI& voi, VoiConvention& convention);

// The cube voxel (x, y, z) of a stored voxel.
glm::ivec3 cubeVoxel(const glm::ivec3& stored, VoiConvention convention);

// RAS+ world position in mm of a stored voxel: x towards the subject's right, y anterior,
// z superior, the AC at 0.
glm::ivec3 worldPosition(const glm::ivec3& stored, VoiConvention convention);

// The stored voxel of a RAS+ world position in mm: the inverse of worldPosition.
glm::ivec3 storedVoxel(const glm::ivec3& world, VoiConvention convention);

// Cube voxels run 0 to 255 on each axis.
constexpr int cubeSize = 256;
constexpr int cubeAC = 128;
inline bool insideCube(const glm::ivec3& v) {
    return v.x >= 0 && v.x < cubeSize && v.y >= 0 && v.y < cubeSize && v.z >= 0 && v.z < cubeSize;
}

} // namespace vocelle
