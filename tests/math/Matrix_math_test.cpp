#include "math/Matrix_math.h"
#include "tests/math/mathtest.h"

#include <limits>
#include <vector>

namespace {

void makeTranslation(float (*m)[4], float x, float y, float z) {
    makeIdentityMatrix(m);
    m[0][3] = x;
    m[1][3] = y;
    m[2][3] = z;
}

TEST(MatrixMath, ProductsAndScale) {
    M4 t, s;
    makeTranslation(t, 1, 2, 3);
    const float point[4] = {5, 5, 5, 1}, direction[4] = {5, 5, 5, 0};
    float out[4];
    multiplyMatrixVector(t, point, out);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{6, 7, 8, 1}));
    multiplyMatrixVector(t, direction, out);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{5, 5, 5, 0}));

    makeScaleMatrix(s, 2, 3, 4);
    const M4 diag = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}};
    expectMatrixNear(s, diag, 0);

    // 1e8 + 1 rounds back to 1e8 in single precision: only the strict left-to-right sum
    // ((1e8 + 1) - 1e8) + 1 gives 1; another grouping or a fused multiply-add does not.
    const M4 ones = {{1, 1, 1, 1}};
    const M4 column = {{1e8f}, {1}, {-1e8f}, {1}};
    const float v[4] = {1e8f, 1, -1e8f, 1};
    M4 product;
    multiplyMatrixMatrix(ones, column, product);
    multiplyMatrixVector(ones, v, out);
    EXPECT_EQ(product[0][0], 1.0f);
    EXPECT_EQ(out[0], 1.0f);
}

TEST(MatrixMath, RigidInverse) {
    M4 t, inv, expected, product, id;
    makeTranslation(t, 1, 2, 3);
    invertRotationTranslationMatrix(t, inv);
    makeTranslation(expected, -1, -2, -3);
    expectMatrixNear(inv, expected, 0);

    M4 rigid = {{0, -1, 0, 4}, {1, 0, 0, -5}, {0, 0, 1, 6}, {0, 0, 0, 1}}; // 90 deg about z
    invertRotationTranslationMatrix(rigid, inv);
    multiplyMatrixMatrix(rigid, inv, product);
    makeIdentityMatrix(id);
    expectMatrixNear(product, id, 1e-6f);
    invertRotationTranslationMatrix(rigid, rigid); // in place
    expectMatrixNear(rigid, inv, 0);

    makeScaleMatrix(t, 2, 2, 2); // transposed, not inverted
    invertRotationTranslationMatrix(t, inv);
    expectMatrixNear(inv, t, 0);
}

TEST(MatrixMath, GeneralInverse) {
    const M4 cases[][2] = {
        {{{2, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
         {{0.5f, 0, 0, 0}, {0, 0.25f, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
        // Singular: the zero singular value is left out (pseudo-inverse).
        {{{2, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
         {{0.5f, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
    };
    M4 inv, product, id;
    for (const auto& c : cases) {
        invertMatrix(c[0], inv);
        expectMatrixNear(inv, c[1], 1e-7f);
    }

    const M4 affine = {
        {0.9f, -0.3f, 0.1f, 12}, {0.2f, 1.1f, -0.4f, -7}, {0.05f, 0.3f, 0.95f, 3}, {0, 0, 0, 1}};
    M4 input = {};
    copyMatrix(affine, input);
    invertMatrix(input, inv);
    expectMatrixNear(input, affine, 0); // left unchanged
    multiplyMatrixMatrix(affine, inv, product);
    makeIdentityMatrix(id);
    expectMatrixNear(product, id, 2e-5f);

    float** empty = create2dArray(0, 4);
    EXPECT_TRUE(invertMatrix(empty, empty, 0));
    delete2dArray(empty, 0, 4);
}

TEST(MatrixMath, NonConvergenceGivesIdentity) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const M4 bad = {{1, 2, 0, 0}, {0, nan, 3, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    M4 out, id;
    makeScaleMatrix(out, 7, 7, 7);
    invertMatrix(bad, out);
    makeIdentityMatrix(id);
    expectMatrixNear(out, id, 0);
}

} // namespace
