#pragma once
#include <gtest/gtest.h>

using M4 = float[4][4];

inline void expectMatrixNear(const float (*actual)[4], const float (*expected)[4], float tol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], tol) << "row " << r << " col " << c;
}
