#pragma once
// Singular value decomposition (Golub-Reinsch) and its scalar companions.
// Single precision, zero-based, matrices as arrays of row pointers (see create2dArray).
// SIGN, MAX and MIN are declared and called with their names in parentheses, so that the macros
// of the same names that system headers define cannot expand them.

namespace vocelle {

// Decomposes the m x n matrix a in place: a becomes U (m x n, orthonormal columns), w receives
// the n singular values (non-negative, unsorted) and v (n x n) receives V itself, so that the
// input equals U * diag(w) * V^T. Returns false when a singular value does not converge within
// 29 QR sweeps; a, w and v then hold a partial result. Writes nothing when n is 0.
bool svdcmp(int m, int n, float** a, float* w, float** v);

// sqrt(a*a + b*b) without destructive overflow or underflow.
float pythag(float a, float b);

// The magnitude of a with the sign of b: a when both lie on the same side of zero, else -a.
inline float (SIGN)(const float& a, const float& b) {
    const bool sameSide = (a >= 0.0f && b >= 0.0f) || (a < 0.0f && b < 0.0f);
    return sameSide ? a : -a;
}

// a is returned unless b is strictly greater (or smaller): NaN in b never wins.
inline float (MAX)(const float& a, const float& b) {
    return b > a ? b : a;
}
inline int (MAX)(const int& a, const int& b) {
    return b > a ? b : a;
}
inline float (MIN)(const float& a, const float& b) {
    return b < a ? b : a;
}
inline int (MIN)(const int& a, const int& b) {
    return b < a ? b : a;
}

} // namespace vocelle
