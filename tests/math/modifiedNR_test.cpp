#include "math/Matrix_math.h"
#include "math/modifiedNR.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Rows = std::vector<std::vector<float>>;

struct Svd {
    bool ok;
    Rows input, u, v;
    std::vector<float> w;

    Svd(const Rows& in, int m, int n) : input(in), u(in), v(n, std::vector<float>(n)), w(n) {
        float** a = create2dArray(m, n);
        float** vv = create2dArray(n, n);
        for (int r = 0; r < m; ++r)
            std::copy(in[r].begin(), in[r].end(), a[r]);
        ok = svdcmp(m, n, a, w.data(), vv);
        for (int r = 0; r < m; ++r)
            std::copy(a[r], a[r] + n, u[r].begin());
        for (int r = 0; r < n; ++r)
            std::copy(vv[r], vv[r] + n, v[r].begin());
        delete2dArray(a, m, n);
        delete2dArray(vv, n, n);
    }

    // Largest deviation of U * diag(w) * V^T from the input.
    double reconstructionError() const {
        double worst = 0.0;
        for (size_t r = 0; r < u.size(); ++r)
            for (size_t c = 0; c < w.size(); ++c) {
                double sum = 0.0;
                for (size_t k = 0; k < w.size(); ++k)
                    sum += double(u[r][k]) * w[k] * v[c][k];
                worst = std::max(worst, std::fabs(sum - input[r][c]));
            }
        return worst;
    }
};

// Largest deviation of X^T X from the identity over the columns whose w passes `keep`.
template <typename Keep>
double orthonormalityError(const Rows& x, const std::vector<float>& w, Keep keep) {
    double worst = 0.0;
    for (size_t i = 0; i < w.size(); ++i)
        for (size_t j = 0; j < w.size(); ++j) {
            if (!keep(w[i]) || !keep(w[j])) continue;
            double dot = 0.0;
            for (const auto& row : x)
                dot += double(row[i]) * row[j];
            worst = std::max(worst, std::fabs(dot - (i == j ? 1.0 : 0.0)));
        }
    return worst;
}

TEST(Svdcmp, RandomMatricesReconstructAndAreOrthonormal) {
    const std::pair<int, int> shapes[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6},
                                          {5, 3}, {6, 2}, {4, 1}, {2, 4}, {3, 5}, {1, 3}};
    std::mt19937 rng(20240605u);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    for (const auto& [m, n] : shapes)
        for (int trial = 0; trial < 30; ++trial) {
            Rows input(m, std::vector<float>(n));
            for (auto& row : input)
                for (float& x : row)
                    x = value(rng);
            const Svd d(input, m, n);
            SCOPED_TRACE(testing::Message() << m << "x" << n << " trial " << trial);
            ASSERT_TRUE(d.ok);
            EXPECT_GE(*std::min_element(d.w.begin(), d.w.end()), 0.0f);
            EXPECT_LT(d.reconstructionError(), 2e-4 * n);
            EXPECT_LT(orthonormalityError(d.v, d.w, [](float) { return true; }), 1e-5);
            // With fewer rows than columns only the columns of U whose singular value is
            // non-zero are orthonormal (at most m of them).
            const float big = 1e-5f * *std::max_element(d.w.begin(), d.w.end());
            auto keepU = [&](float w) { return m >= n || w > big; };
            EXPECT_LE(std::count_if(d.w.begin(), d.w.end(), keepU), std::min(m, n));
            EXPECT_LT(orthonormalityError(d.u, d.w, keepU), 1e-5);
        }
}

TEST(Svdcmp, DiagonalKeepsOrderAndMovesSignsIntoUAndV) {
    const Rows cases[] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                          {{3, 0, 0, 0}, {0, -2, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, 0, -7}},
                          {{-2.5f}},
                          {{0}}};
    for (const Rows& diag : cases) {
        const int n = static_cast<int>(diag.size());
        const Svd d(diag, n, n);
        ASSERT_TRUE(d.ok);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(d.w[i], std::fabs(diag[i][i])) << i; // unsorted
        EXPECT_LT(d.reconstructionError(), 1e-6);
        EXPECT_LT(orthonormalityError(d.u, d.w, [](float) { return true; }), 1e-6);
    }
}

TEST(Svdcmp, SingularMatrixHasAZeroSingularValue) {
    const Svd d({{1, 2, 3, 4}, {2, -1, 0, 5}, {1, 2, 3, 4}, {0, 3, -2, 1}}, 4, 4);
    ASSERT_TRUE(d.ok);
    EXPECT_LT(*std::min_element(d.w.begin(), d.w.end()),
              1e-6f * *std::max_element(d.w.begin(), d.w.end()));
    EXPECT_LT(d.reconstructionError(), 1e-5);
}

TEST(Svdcmp, EmptyMatrixWritesNothingAndNaNFails) {
    float w[1] = {42.0f};
    EXPECT_TRUE(svdcmp(3, 0, nullptr, w, nullptr));
    EXPECT_EQ(w[0], 42.0f);

    // Must give up after its sweeps instead of looping forever.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(Svd(Rows(4, std::vector<float>(4, nan)), 4, 4).ok);
    EXPECT_FALSE(Svd({{1, 2, 0, 0}, {0, 1, 3, 0}, {0, 0, 1, nan}, {4, 0, 0, 1}}, 4, 4).ok);
}

TEST(Svdcmp, ScalarHelpers) {
    const float cases[][3] = {{-3, 4, 5},
                              {4, -3, 5},
                              {0, 0, 0},
                              {3e30f, 4e30f, 5e30f},
                              {3e-30f, 4e-30f, 5e-30f}}; // squares would over- or underflow
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(pythag(c[0], c[1]), c[2]) << c[0] << ", " << c[1];
    EXPECT_EQ(pythag(6.0f, 1.0f), 6.08276272f); // root and product in double (float: 6.08276224)

    EXPECT_EQ(SIGN(2.0f, -5.0f), -2.0f);
    EXPECT_EQ(SIGN(-2.0f, 0.0f), 2.0f);
    EXPECT_EQ(MAX(1.0f, std::numeric_limits<float>::quiet_NaN()), 1.0f);
}

} // namespace
