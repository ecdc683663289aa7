#include <vocelle/math/Matrix_math.h>

#include <vocelle/math/modifiedNR.h>

#include <memory>

namespace vocelle {

// Sums are formed left to right, term by term, exactly as written: with -ffp-contract=off the
// results then match bit for bit wherever the code is built.

float** create2dArray(int rows, int cols) {
    const int nRows = rows < 1 ? 0 : rows;
    const int nCols = cols < 1 ? 0 : cols;
    float** a = new float*[nRows]();
    try {
        for (int r = 0; r < nRows; ++r)
            a[r] = new float[nCols]();
    } catch (...) {
        delete2dArray(a, nRows, nCols);
        throw;
    }
    return a;
}

void delete2dArray(float** a, int rows, int /*cols*/) {
    if (a == nullptr) return;
    for (int r = 0; r < rows; ++r)
        delete[] a[r];
    delete[] a;
}

void makeIdentityMatrix(float (*m)[4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = r == c ? 1.0f : 0.0f;
}

void makeScaleMatrix(float (*m)[4], float sx, float sy, float sz) {
    makeIdentityMatrix(m);
    m[0][0] = sx;
    m[1][1] = sy;
    m[2][2] = sz;
}

void copyMatrix(const float (*src)[4], float (*dst)[4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dst[r][c] = src[r][c];
}

void transposeMatrix(const float (*src)[4], float (*dst)[4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dst[r][c] = src[c][r];
}

void multiplyMatrixMatrix(const float (*a)[4], const float (*b)[4], float (*out)[4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[i][j] =
                a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j] + a[i][3] * b[3][j];
}

void multiplyMatrixVector(const float (*m)[4], const float* v, float* out) {
    for (int i = 0; i < 4; ++i)
        out[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2] + m[i][3] * v[3];
}

void invertRotationTranslationMatrix(const float (*m)[4], float (*out)[4]) {
    float negTranslation[4][4];
    makeIdentityMatrix(negTranslation);
    for (int i = 0; i < 3; ++i)
        negTranslation[i][3] = -m[i][3];

    float rotation[4][4];
    copyMatrix(m, rotation);
    for (int i = 0; i < 3; ++i)
        rotation[i][3] = 0.0f;

    float rotationT[4][4];
    transposeMatrix(rotation, rotationT);
    // m has been read completely, so out may be m.
    multiplyMatrixMatrix(rotationT, negTranslation, out);
}

bool invertMatrix(float** a, float** out, int n) {
    const int size = n < 0 ? 0 : n;
    std::unique_ptr<float[]> w(new float[size]());
    float** v = create2dArray(size, size);
    bool converged = false;
    try {
        converged = svdcmp(size, size, a, w.get(), v);
    } catch (...) {
        delete2dArray(v, size, size);
        throw;
    }
    if (converged && size >= 1) {
        // V * diag(1/w) * U^T; a singular value of exactly 0 contributes nothing.
        for (int i = 0; i < size; ++i)
            for (int j = 0; j < size; ++j) {
                out[i][j] = 0.0f;
                for (int k = 0; k < size; ++k)
                    if (w[k] != 0.0f) out[i][j] += (a[j][k] * v[i][k]) / w[k];
            }
    }
    delete2dArray(v, size, size);
    return converged;
}

namespace {
struct Array2d {
    float** p;
    int rows, cols;
    Array2d(int r, int c) : p(create2dArray(r, c)), rows(r), cols(c) {}
    ~Array2d() { delete2dArray(p, rows, cols); }
    Array2d(const Array2d&) = delete;
    Array2d& operator=(const Array2d&) = delete;
};
} // namespace

void invertMatrix(const float (*m)[4], float (*out)[4]) {
    Array2d a(4, 4);
    Array2d inverse(4, 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            a.p[r][c] = m[r][c];
    // Callers of this form do not check for failure. A matrix the decomposition cannot handle
    // (NaN or infinite entries) has no usable inverse, and the identity is the one result that
    // leaves such a step out of a chain of transformations instead of spreading garbage.
    if (!invertMatrix(a.p, inverse.p, 4)) {
        makeIdentityMatrix(out);
        return;
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[r][c] = inverse.p[r][c];
}

} // namespace vocelle
