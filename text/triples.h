#pragma once
// Voxel lists of the ROI and VOI documents: a count from the file, then that many integer triples.

#include <glm/vec3.hpp>

#include <istream>
#include <vector>

namespace vocelle {

// Appends up to `count` triples read with formatted integer extraction (any white space between
// the numbers). Stops at the first number that does not parse or at the end of the stream; a
// triple cut short there is not kept. Storage grows with what is read, never with the count, so
// a file that claims billions of voxels costs only what it holds. Returns the number appended.
long long readTriples(std::istream& in, long long count, std::vector<glm::tvec3<int>>& triples);

} // namespace vocelle
