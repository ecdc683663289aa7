#pragma once
// The 256-voxel anatomical reference cube, the spaces a VOI's voxels are stored in, and where
// they lie in RAS+ millimetres.
//
// Cube voxels run 0 to 255 on each axis: x from anterior to posterior, y from superior to
// inferior, z from right to left. The AC lies at 128 on every axis; a point is centred on the cube
// by adding -127.5 to each coordinate. A VOI's ReferenceSpace says how its voxels are stored:
//
//   "TAL"   Talairach coordinates in cube units, (128 - z, 128 - x, 128 - y) of the cube voxel:
//           right, anterior, superior, 0 at the AC
//   "ACPC"  the cube voxel (x, y, z) of the AC-PC aligned anatomy
//   "CV"    the cube voxel (x, y, z) without AC-PC alignment (no AC-PC transformation was given)
//
// World positions are RAS+ millimetres with the AC at 0, the same for every space: the cube voxel
// (x, y, z) lies at (128 - z, 128 - x, 128 - y). A grid over the world, as the NIfTI export
// writes it, has its index 0 at -127 mm on every axis (worldGridOrigin).

#include <vocelle/formats/myVOI.h>

#include <glm/vec3.hpp>

#include <string>

namespace vocelle {

constexpr int cubeSize = 256;
constexpr int cubeAC = 128;
constexpr float cubeCentring = -127.5f; // added to a cube coordinate to centre it
constexpr int worldGridOrigin = 127;    // grid index = world mm + 127 on every axis

enum class ReferenceSpace { CV, ACPC, TAL };

// How a space stores its voxels.
enum class VoxelConvention { Talairach, Cube };

// "CV", "ACPC", "TAL".
const char* referenceSpaceName(ReferenceSpace space);
// False for a name that is none of the three.
bool parseReferenceSpace(const std::string& name, ReferenceSpace& space);
VoxelConvention conventionOf(ReferenceSpace space);

// The space of a conversion: without an AC-PC transformation the native cube, whatever the TAL
// holds; else Talairach with a TAL, AC-PC without.
ReferenceSpace conversionSpace(bool acpcPresent, bool talPresent);

// The convention of a VOI's voxels. Throws FaultError naming the file when its ReferenceSpace
// names no known space, or its LeftRightConvention is given and is not 1.
VoxelConvention voiConvention(const VOI& voi);

// The stored Talairach voxel of cube voxel (x, y, z).
inline glm::ivec3 talairachVoxel(int x, int y, int z) {
    return {cubeAC - z, cubeAC - x, cubeAC - y};
}

// The cube voxel (x, y, z) of a stored voxel. Values far outside the cube stay far outside.
glm::ivec3 cubeVoxel(const glm::ivec3& stored, VoxelConvention convention);

// RAS+ world position in mm of a stored voxel.
glm::ivec3 worldPosition(const glm::ivec3& stored, VoxelConvention convention);

// The stored voxel of a RAS+ world position in mm: the inverse of worldPosition.
glm::ivec3 storedVoxel(const glm::ivec3& world, VoxelConvention convention);

inline bool insideCube(const glm::ivec3& v) {
    return v.x >= 0 && v.x < cubeSize && v.y >= 0 && v.y < cubeSize && v.z >= 0 && v.z < cubeSize;
}

} // namespace vocelle
