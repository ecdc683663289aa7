#pragma once
// 4x4 homogeneous transformation matrices and square matrices of any size.
//
// A 4x4 matrix is row-major, m[row][column], and acts on column vectors: the transformed point
// is m * p. Points are four floats (x, y, z, w) with w = 1, so column 3 holds the translation.
// General matrices are float** arrays of row pointers made by create2dArray and released by
// delete2dArray. Nothing keeps state between calls.

namespace vocelle {

// rows row pointers, each to cols floats (zeroed). Counts below 1 allocate no rows (or empty
// rows); the pointer array is always allocated. Release with delete2dArray.
float** create2dArray(int rows, int cols);
// Releases the first rows rows (null rows are skipped) and the pointer array; a may be null.
void delete2dArray(float** a, int rows, int cols);

void makeIdentityMatrix(float (*m)[4]);
// diag(sx, sy, sz, 1).
void makeScaleMatrix(float (*m)[4], float sx, float sy, float sz);
// Source first, destination second.
void copyMatrix(const float (*src)[4], float (*dst)[4]);
// dst must not be src.
void transposeMatrix(const float (*src)[4], float (*dst)[4]);
// out = a * b; out must be neither a nor b.
void multiplyMatrixMatrix(const float (*a)[4], const float (*b)[4], float (*out)[4]);
// out = m * v for all four components; out must not be v.
void multiplyMatrixVector(const float (*m)[4], const float* v, float* out);

// Inverse of a rotation plus translation by transposition: upper-left block R^T, translation
// -R^T * t. R is not checked; a block that scales or shears comes back transposed, not
// inverted. out may be m.
void invertRotationTranslationMatrix(const float (*m)[4], float (*out)[4]);

// General inverse of the n x n matrix a through the singular value decomposition. a is
// overwritten. Singular values that are exactly 0 are left out, so a singular matrix yields
// its pseudo-inverse. Returns false, leaving out unwritten, when the decomposition does not
// converge.
bool invertMatrix(float** a, float** out, int n);
// 4x4 form; m is left unchanged and may be out. Gives the identity when the decomposition
// does not converge.
void invertMatrix(const float (*m)[4], float (*out)[4]);

} // namespace vocelle
