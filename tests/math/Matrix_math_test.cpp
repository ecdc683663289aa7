#include "math/Matrix_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using M4 = float[4][4];

void expectMatrixNear(const float (*actual)[4], const float (*expected)[4], float tol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], tol) << "row " << r << " col " << c;
}

void makeTranslation(float (*m)[4], float x, float y, float z) {
    makeIdentityMatrix(m);
    m[0][3] = x;
    m[1][3] = y;
    m[2][3] = z;
}

TEST(MatrixMath, ScaleIdentityCopyTranspose) {
    M4 s;
    makeScaleMatrix(s, 2, 3, 4);
    const M4 diag = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}};
    expectMatrixNear(s, diag, 0);

    const M4 src = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
    M4 copy, t;
    copyMatrix(src, copy);
    expectMatrixNear(copy, src, 0);
    transposeMatrix(src, t);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(t[r][c], src[c][r]);
}

TEST(MatrixMath, VectorProductAppliesTranslationToPointsOnly) {
    M4 t;
    makeTranslation(t, 1, 2, 3);
    const float point[4] = {5, 5, 5, 1};
    const float direction[4] = {5, 5, 5, 0};
    float out[4];
    multiplyMatrixVector(t, point, out);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(out[2], 8);
    EXPECT_EQ(out[3], 1);
    multiplyMatrixVector(t, direction, out);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 5);
    EXPECT_EQ(out[2], 5);
    EXPECT_EQ(out[3], 0);
}

// 1e8 + 1 rounds back to 1e8 in single precision, so only the strict left-to-right sum
// ((1e8 + 1) - 1e8) + 1 gives 1; any other grouping or a fused multiply-add gives 2 or 0.
TEST(MatrixMath, ProductsSumStrictlyLeftToRight) {
    const M4 rowOnes = {{1, 1, 1, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    const M4 column = {{1e8f, 0, 0, 0}, {1, 0, 0, 0}, {-1e8f, 0, 0, 0}, {1, 0, 0, 0}};
    M4 out;
    multiplyMatrixMatrix(rowOnes, column, out);
    EXPECT_EQ(out[0][0], 1.0f);

    const float v[4] = {1e8f, 1, -1e8f, 1};
    float r[4];
    multiplyMatrixVector(rowOnes, v, r);
    EXPECT_EQ(r[0], 1.0f);
}

TEST(MatrixMath, ProductOrderMatters) {
    M4 scale, shift, st, ts;
    makeScaleMatrix(scale, 2, 2, 2);
    makeTranslation(shift, 1, 2, 3);
    multiplyMatrixMatrix(scale, shift, st); // translate, then scale
    multiplyMatrixMatrix(shift, scale, ts); // scale, then translate
    EXPECT_EQ(st[0][3], 2);
    EXPECT_EQ(st[2][3], 6);
    EXPECT_EQ(ts[0][3], 1);
    EXPECT_EQ(ts[2][3], 3);
    EXPECT_EQ(st[1][1], 2);
    EXPECT_EQ(st[3][3], 1);
}

TEST(MatrixMath, RigidInverse) {
    M4 t, inv;
    makeTranslation(t, 1, 2, 3);
    invertRotationTranslationMatrix(t, inv);
    M4 expected;
    makeTranslation(expected, -1, -2, -3);
    expectMatrixNear(inv, expected, 0);

    // 90 degrees about z, then a translation.
    const M4 rigid = {{0, -1, 0, 4}, {1, 0, 0, -5}, {0, 0, 1, 6}, {0, 0, 0, 1}};
    invertRotationTranslationMatrix(rigid, inv);
    M4 product, id;
    multiplyMatrixMatrix(rigid, inv, product);
    makeIdentityMatrix(id);
    expectMatrixNear(product, id, 1e-6f);

    // In place.
    M4 same;
    copyMatrix(rigid, same);
    invertRotationTranslationMatrix(same, same);
    expectMatrixNear(same, inv, 0);

    // A scaling block is transposed, not inverted.
    M4 scale;
    makeScaleMatrix(scale, 2, 2, 2);
    invertRotationTranslationMatrix(scale, inv);
    expectMatrixNear(inv, scale, 0);
}

TEST(MatrixMath, GeneralInverse4x4) {
    struct Case {
        M4 m, expected;
    };
    const Case cases[] = {
        {{{2, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
         {{0.5f, 0, 0, 0}, {0, 0.25f, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
        // Singular: the zero singular value is left out (pseudo-inverse).
        {{{2, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
         {{0.5f, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        M4 inv;
        invertMatrix(c.m, inv);
        expectMatrixNear(inv, c.expected, 1e-7f);
    }

    const M4 affine = {{0.9f, -0.3f, 0.1f, 12}, {0.2f, 1.1f, -0.4f, -7}, {0.05f, 0.3f, 0.95f, 3},
                       {0, 0, 0, 1}};
    M4 input, inv, product, id;
    copyMatrix(affine, input);
    invertMatrix(input, inv);
    expectMatrixNear(input, affine, 0); // left unchanged
    multiplyMatrixMatrix(affine, inv, product);
    makeIdentityMatrix(id);
    expectMatrixNear(product, id, 2e-5f);

    // In place works too.
    invertMatrix(input, input);
    expectMatrixNear(input, inv, 0);
}

TEST(MatrixMath, NonConvergenceGivesIdentityOrLeavesOutputAlone) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    M4 bad = {{1, 2, 0, 0}, {0, nan, 3, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    M4 out = {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}};
    M4 id;
    makeIdentityMatrix(id);
    invertMatrix(bad, out);
    expectMatrixNear(out, id, 0);

    float** a = create2dArray(4, 4);
    float** o = create2dArray(4, 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = bad[r][c];
            o[r][c] = 7;
        }
    EXPECT_FALSE(invertMatrix(a, o, 4));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(o[r][c], 7);
    delete2dArray(a, 4, 4);
    delete2dArray(o, 4, 4);
}

TEST(MatrixMath, GeneralInverseOfOtherSizes) {
    float** a = create2dArray(3, 3);
    float** out = create2dArray(3, 3);
    const float m[3][3] = {{4, 7, 2}, {3, 6, 1}, {2, 5, 3}}; // determinant 9
    const float inverse[3][3] = {{13.0f / 9, -11.0f / 9, -5.0f / 9},
                                 {-7.0f / 9, 8.0f / 9, 2.0f / 9},
                                 {3.0f / 9, -6.0f / 9, 3.0f / 9}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a[r][c] = m[r][c];
    ASSERT_TRUE(invertMatrix(a, out, 3));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[r][c], inverse[r][c], 1e-5f);
    delete2dArray(a, 3, 3);
    delete2dArray(out, 3, 3);

    float** empty = create2dArray(0, 4);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(invertMatrix(empty, empty, 0));
    delete2dArray(empty, 0, 4);
    delete2dArray(nullptr, 3, 3);
}

} // namespace
