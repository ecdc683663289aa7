#include "math/modifiedNR.h"
#include "tests/math/mathtest.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Rows = std::vector<std::vector<float>>;
const float nan = std::numeric_limits<float>::quiet_NaN();

// svdcmp on `in`, checking U * diag(w) * V^T against it within `fit`, that V is orthonormal and
// that the columns of U with a non-zero w are (at most min(m, n) of them). Returns w, empty when
// svdcmp reports failure.
std::vector<float> svd(const Rows& in, double fit, double orthonormal = 1e-5) {
    const int m = static_cast<int>(in.size()), n = static_cast<int>(in[0].size());
    float** u = create2dArray(m, n);
    float** v = create2dArray(n, n);
    for (int r = 0; r < m; ++r)
        std::copy(in[r].begin(), in[r].end(), u[r]);
    std::vector<float> w(n);
    if (!svdcmp(m, n, u, w.data(), v)) w.clear();
    const float big = w.empty() ? 0 : 1e-5f * *std::max_element(w.begin(), w.end());
    EXPECT_LE(std::count_if(w.begin(), w.end(), [&](float x) { return x > big; }), std::min(m, n));
    for (int i = 0; i < static_cast<int>(w.size()); ++i) {
        EXPECT_GE(w[i], 0.0f);
        for (int j = 0; j < n; ++j) {
            double uu = 0, vv = 0;
            for (int r = 0; r < m; ++r)
                uu += double(u[r][i]) * u[r][j];
            for (int r = 0; r < n; ++r)
                vv += double(v[r][i]) * v[r][j];
            EXPECT_NEAR(vv, i == j, orthonormal) << "V " << i << ", " << j;
            if (w[i] > big && w[j] > big) {
                EXPECT_NEAR(uu, i == j, orthonormal) << "U " << i << ", " << j;
            }
        }
    }
    for (int r = 0; r < m && !w.empty(); ++r)
        for (int c = 0; c < n; ++c) {
            double fitted = 0;
            for (int k = 0; k < n; ++k)
                fitted += double(u[r][k]) * w[k] * v[c][k];
            EXPECT_NEAR(fitted, in[r][c], fit) << "element " << r << ", " << c;
        }
    delete2dArray(u, m, n);
    delete2dArray(v, n, n);
    return w;
}

TEST(Svdcmp, RandomMatrices) {
    std::mt19937 rng(20240605u);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    const int shapes[][2] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6},
                             {5, 3}, {6, 2}, {4, 1}, {2, 4}, {3, 5}, {1, 3}};
    for (const auto& [m, n] : shapes)
        for (int trial = 0; trial < 30; ++trial) {
            Rows in(m, std::vector<float>(n));
            for (auto& row : in)
                for (float& x : row)
                    x = value(rng);
            SCOPED_TRACE(testing::Message() << m << "x" << n << " trial " << trial);
            EXPECT_EQ(svd(in, 2e-4 * n).size(), size_t(n));
        }
}

TEST(Svdcmp, DiagonalSingularEmptyAndNaN) {
    // Singular values of a diagonal matrix stay in their order; the signs move into U and V.
    for (const Rows& diag : {Rows{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                             Rows{{3, 0, 0, 0}, {0, -2, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, 0, -7}},
                             Rows{{-2.5f}}, Rows{{0}}}) {
        const std::vector<float> w = svd(diag, 1e-6, 1e-6);
        ASSERT_EQ(w.size(), diag.size());
        for (size_t i = 0; i < w.size(); ++i)
            EXPECT_EQ(w[i], std::fabs(diag[i][i])) << i;
    }
    const std::vector<float> w =
        svd({{1, 2, 3, 4}, {2, -1, 0, 5}, {1, 2, 3, 4}, {0, 3, -2, 1}}, 1e-5);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_LT(*std::min_element(w.begin(), w.end()), 1e-6f * *std::max_element(w.begin(), w.end()));

    float untouched[1] = {42.0f};
    EXPECT_TRUE(svdcmp(3, 0, nullptr, untouched, nullptr));
    EXPECT_EQ(untouched[0], 42.0f);
    // Gives up after its sweeps instead of looping forever.
    EXPECT_TRUE(svd(Rows(4, std::vector<float>(4, nan)), 0).empty());
    EXPECT_TRUE(svd({{1, 2, 0, 0}, {0, 1, 3, 0}, {0, 0, 1, nan}, {4, 0, 0, 1}}, 0).empty());
}

TEST(Svdcmp, ScalarHelpers) {
    // Squares of the large and small pairs would over- or underflow.
    const float cases[][3] = {
        {-3, 4, 5}, {4, -3, 5}, {0, 0, 0}, {3e30f, 4e30f, 5e30f}, {3e-30f, 4e-30f, 5e-30f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(pythag(c[0], c[1]), c[2]) << c[0] << ", " << c[1];
    EXPECT_EQ(pythag(6.0f, 1.0f), 6.08276272f); // root and product in double (float: 6.08276224)
    EXPECT_EQ(SIGN(2.0f, -5.0f), -2.0f);
    EXPECT_EQ(SIGN(-2.0f, 0.0f), 2.0f);
    EXPECT_EQ(MAX(1.0f, nan), 1.0f);
}

TEST(MatrixMath, ProductsInStrictOrder) {
    // 1e8 + 1 rounds back to 1e8 in single precision: only the strict left-to-right sum
    // ((1e8 + 1) - 1e8) + 1 gives 1; another grouping or a fused multiply-add does not.
    const M4 ones = {{1, 1, 1, 1}}, column = {{1e8f}, {1}, {-1e8f}, {1}};
    const float v[4] = {1e8f, 1, -1e8f, 1};
    M4 product;
    float out[4];
    multiplyMatrixMatrix(ones, column, product);
    multiplyMatrixVector(ones, v, out);
    EXPECT_EQ(product[0][0], 1.0f);
    EXPECT_EQ(out[0], 1.0f);
}

TEST(MatrixMath, RigidInverse) {
    M4 inv, product;
    M4 rigid = {{0, -1, 0, 4}, {1, 0, 0, -5}, {0, 0, 1, 6}, {0, 0, 0, 1}}; // 90 deg about z
    invertRotationTranslationMatrix(rigid, inv);
    multiplyMatrixMatrix(rigid, inv, product);
    expectMatrixNear(product, Affine(1, 1, 1).m, 1e-6f);
    invertRotationTranslationMatrix(rigid, rigid); // in place
    expectMatrixNear(rigid, inv, 0);

    invertRotationTranslationMatrix(Affine(2, 2, 2).m, inv); // transposed, not inverted
    expectMatrixNear(inv, Affine(2, 2, 2).m, 0);
}

TEST(MatrixMath, GeneralInverse) {
    M4 inv, product;
    invertMatrix(Affine(2, 4, 1).m, inv);
    expectMatrixNear(inv, Affine(0.5f, 0.25f, 1).m, 1e-7f);
    invertMatrix(Affine(2, 0, 1).m, inv); // singular: the zero singular value is left out
    expectMatrixNear(inv, Affine(0.5f, 0, 1).m, 1e-7f);

    const M4 affine = {
        {0.9f, -0.3f, 0.1f, 12}, {0.2f, 1.1f, -0.4f, -7}, {0.05f, 0.3f, 0.95f, 3}, {0, 0, 0, 1}};
    M4 input;
    copyMatrix(affine, input);
    invertMatrix(input, inv);
    expectMatrixNear(input, affine, 0); // left unchanged
    multiplyMatrixMatrix(affine, inv, product);
    expectMatrixNear(product, Affine(1, 1, 1).m, 2e-5f);

    const M4 bad = {{1, 2, 0, 0}, {0, nan, 3, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    invertMatrix(bad, inv); // no convergence: the identity
    expectMatrixNear(inv, Affine(1, 1, 1).m, 0);

    float** empty = create2dArray(0, 4);
    EXPECT_TRUE(invertMatrix(empty, empty, 0));
    delete2dArray(empty, 0, 4);
}

} // namespace
