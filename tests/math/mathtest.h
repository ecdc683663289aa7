#pragma once
#include <vocelle/math/Matrix_math.h>

#include <gtest/gtest.h>

namespace vocelle {

using M4 = float[4][4];

// diag(sx, sy, sz, 1) with translation (tx, ty, tz).
struct Affine {
    M4 m;
    Affine(float sx, float sy, float sz, float tx = 0, float ty = 0, float tz = 0) {
        makeScaleMatrix(m, sx, sy, sz);
        m[0][3] = tx, m[1][3] = ty, m[2][3] = tz;
    }
};

inline void expectMatrixNear(const float (*actual)[4], const float (*expected)[4], float tol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], tol) << "row " << r << " col " << c;
}

} // namespace vocelle
