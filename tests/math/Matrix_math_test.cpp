#include <vocelle/math/modifiedNR.h>
#include "tests/math/mathtest.h"

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

using namespace vocelle;

namespace {

using Rows = std::vector<std::vector<float>>;

// svdcmp on `in`: U * diag(w) * V^T gives it back within `fit`, with w non-negative. Returns w,
// empty when svdcmp reports failure.
std::vector<float> svd(const Rows& in, double fit) {
    const int m = static_cast<int>(in.size()), n = static_cast<int>(in[0].size());
    float** u = create2dArray(m, n);
    float** v = create2dArray(n, n);
    for (int r = 0; r < m; ++r)
        std::copy(in[r].begin(), in[r].end(), u[r]);
    std::vector<float> w(n);
    if (!svdcmp(m, n, u, w.data(), v)) w.clear();
    for (int r = 0; r < m && !w.empty(); ++r)
        for (int c = 0; c < n; ++c) {
            double fitted = 0;
            for (int k = 0; k < n; ++k)
                fitted += double(u[r][k]) * w[k] * v[c][k];
            EXPECT_NEAR(fitted, in[r][c], fit) << "element " << r << ", " << c;
        }
    for (float x : w)
        EXPECT_GE(x, 0.0f);
    delete2dArray(u, m, n);
    delete2dArray(v, n, n);
    return w;
}

TEST(Svdcmp, RandomAndDegenerateMatrices) {
    std::mt19937 rng(20240605u);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    const int shapes[][2] = {{1, 1}, {2, 2}, {3, 3},   {4, 4}, {5, 5}, {6, 6}, {20, 20}, {5, 3},
                             {6, 2}, {4, 1}, {30, 12}, {2, 4}, {3, 5}, {1, 3}, {12, 30}};
    for (const auto& [m, n] : shapes)
        for (int trial = 0; trial < 30; ++trial) {
            Rows in(m, std::vector<float>(n));
            for (auto& row : in)
                std::generate(row.begin(), row.end(), [&] { return value(rng); });
            SCOPED_TRACE(testing::Message() << m << "x" << n << " trial " << trial);
            EXPECT_EQ(svd(in, 2e-4 * n).size(), size_t(n));
        }
    EXPECT_EQ(svd({{0}}, 0), std::vector<float>{0}); // a singular value of exactly 0
    float untouched[1] = {42.0f};                    // no columns: nothing to write
    EXPECT_TRUE(svdcmp(3, 0, nullptr, untouched, nullptr));
    EXPECT_EQ(untouched[0], 42.0f);
    EXPECT_EQ(SIGN(-2.0f, 0.0f), 2.0f); // zero counts as positive
}

TEST(MatrixMath, Inverses) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const M4 rigid = {{0, -1, 0, 4}, {1, 0, 0, -5}, {0, 0, 1, 6}, {0, 0, 0, 1}}; // 90 deg about z
    const M4 rigidInverse = {{0, 1, 0, 5}, {-1, 0, 0, 4}, {0, 0, 1, -6}, {0, 0, 0, 1}};
    const M4 bad = {{1, 2, 0, 0}, {0, nan, 3, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    M4 inv;
    // A zero singular value is left out; without convergence, the identity.
    const Affine scale(2, 4, 1), scaleInverse(0.5f, 0.25f, 1), singular(2, 0, 1),
        pseudoInverse(0.5f, 0, 1), identity(1, 1, 1);
    const struct {
        const float (*in)[4], (*out)[4];
    } cases[] = {{rigid, rigidInverse},
                 {scale.m, scaleInverse.m},
                 {singular.m, pseudoInverse.m},
                 {bad, identity.m}};
    for (const auto& c : cases) {
        invertMatrix(c.in, inv);
        expectMatrixNear(inv, c.out, 1e-5f);
    }
}

} // namespace
