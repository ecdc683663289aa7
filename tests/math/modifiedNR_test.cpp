#include "math/Matrix_math.h"
#include "math/modifiedNR.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

// Row-pointer matrix that releases itself.
struct Mat {
    int rows, cols;
    float** p;
    Mat(int r, int c) : rows(r), cols(c), p(create2dArray(r, c)) {}
    ~Mat() { delete2dArray(p, rows, cols); }
    Mat(const Mat&) = delete;
    Mat& operator=(const Mat&) = delete;
};

struct Decomposition {
    bool ok;
    std::vector<float> w;
    std::vector<std::vector<float>> u, v, input;
};

Decomposition decompose(const std::vector<std::vector<float>>& input, int m, int n) {
    Mat a(m, n), v(n, n);
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < n; ++c) a.p[r][c] = input[r][c];
    Decomposition d;
    d.input = input;
    d.w.assign(n, 0.0f);
    d.ok = svdcmp(m, n, a.p, d.w.data(), v.p);
    d.u.assign(m, std::vector<float>(n));
    d.v.assign(n, std::vector<float>(n));
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < n; ++c) d.u[r][c] = a.p[r][c];
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) d.v[r][c] = v.p[r][c];
    return d;
}

// Largest deviation of U * diag(w) * V^T from the input, in double.
double reconstructionError(const Decomposition& d) {
    const int m = static_cast<int>(d.u.size());
    const int n = static_cast<int>(d.w.size());
    double worst = 0.0;
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < n; ++c) {
            double sum = 0.0;
            for (int k = 0; k < n; ++k) sum += double(d.u[r][k]) * d.w[k] * d.v[c][k];
            worst = std::max(worst, std::fabs(sum - d.input[r][c]));
        }
    return worst;
}

// Largest deviation of X^T X from the identity over the given columns of X.
double orthonormalityError(const std::vector<std::vector<float>>& x, const std::vector<int>& cols) {
    double worst = 0.0;
    for (int i : cols)
        for (int j : cols) {
            double dot = 0.0;
            for (const auto& row : x) dot += double(row[i]) * row[j];
            worst = std::max(worst, std::fabs(dot - (i == j ? 1.0 : 0.0)));
        }
    return worst;
}

std::vector<int> allColumns(int n) {
    std::vector<int> cols(n);
    for (int i = 0; i < n; ++i) cols[i] = i;
    return cols;
}

TEST(Svdcmp, RandomMatricesReconstructAndAreOrthonormal) {
    struct Shape {
        int m, n;
    };
    const Shape shapes[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6},
                            {5, 3}, {6, 2}, {4, 1}, {2, 4}, {3, 5}, {1, 3}};
    std::mt19937 rng(20240605u);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    int tested = 0;
    for (const Shape& s : shapes) {
        for (int trial = 0; trial < 30; ++trial, ++tested) {
            std::vector<std::vector<float>> input(s.m, std::vector<float>(s.n));
            for (auto& row : input)
                for (float& x : row) x = value(rng);
            const Decomposition d = decompose(input, s.m, s.n);
            SCOPED_TRACE(testing::Message() << s.m << "x" << s.n << " trial " << trial);
            ASSERT_TRUE(d.ok);
            for (float x : d.w) EXPECT_GE(x, 0.0f);
            EXPECT_LT(reconstructionError(d), 2e-5 * 10.0 * s.n);
            EXPECT_LT(orthonormalityError(d.v, allColumns(s.n)), 1e-5);
            // With fewer rows than columns at most m singular values are non-zero; only their
            // columns of U are orthonormal, the others are (nearly) zero.
            const float largest = *std::max_element(d.w.begin(), d.w.end());
            std::vector<int> uCols;
            for (int k = 0; k < s.n; ++k)
                if (s.m >= s.n || d.w[k] > 1e-5f * largest) uCols.push_back(k);
            EXPECT_LE(static_cast<int>(uCols.size()), std::min(s.m, s.n));
            EXPECT_LT(orthonormalityError(d.u, uCols), 1e-5);
        }
    }
    EXPECT_EQ(tested, 360);
}

TEST(Svdcmp, IdentityGivesUnitSingularValues) {
    const std::vector<std::vector<float>> id = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    const Decomposition d = decompose(id, 4, 4);
    ASSERT_TRUE(d.ok);
    for (float x : d.w) EXPECT_EQ(x, 1.0f);
    EXPECT_LT(reconstructionError(d), 1e-7);
}

TEST(Svdcmp, DiagonalKeepsOrderAndMovesSignsIntoUAndV) {
    const std::vector<std::vector<float>> diag = {
        {3, 0, 0, 0}, {0, -2, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, 0, -7}};
    const Decomposition d = decompose(diag, 4, 4);
    ASSERT_TRUE(d.ok);
    const float expected[] = {3.0f, 2.0f, 0.5f, 7.0f}; // not sorted
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.w[i], expected[i]) << i;
    EXPECT_LT(reconstructionError(d), 1e-6);
    EXPECT_LT(orthonormalityError(d.u, allColumns(4)), 1e-6);
    EXPECT_LT(orthonormalityError(d.v, allColumns(4)), 1e-6);
}

TEST(Svdcmp, OneByOne) {
    for (float c : {-2.5f, 4.0f, 0.0f}) {
        const Decomposition d = decompose({{c}}, 1, 1);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.w[0], std::fabs(c));
        EXPECT_EQ(d.u[0][0] * d.w[0] * d.v[0][0], c);
        if (c == 0.0f) {
            EXPECT_EQ(d.u[0][0], 1.0f);
            EXPECT_EQ(d.v[0][0], 1.0f);
        }
    }
}

TEST(Svdcmp, SingularMatrixHasAZeroSingularValue) {
    const std::vector<std::vector<float>> twoEqualRows = {
        {1, 2, 3, 4}, {2, -1, 0, 5}, {1, 2, 3, 4}, {0, 3, -2, 1}};
    const Decomposition d = decompose(twoEqualRows, 4, 4);
    ASSERT_TRUE(d.ok);
    const float largest = *std::max_element(d.w.begin(), d.w.end());
    const float smallest = *std::min_element(d.w.begin(), d.w.end());
    EXPECT_LT(smallest, 1e-6f * largest);
    EXPECT_LT(reconstructionError(d), 1e-5);
}

TEST(Svdcmp, EmptyMatrixWritesNothing) {
    float w[1] = {42.0f};
    float* rowsV[1] = {nullptr};
    float* rowsA[1] = {nullptr};
    EXPECT_TRUE(svdcmp(0, 0, rowsA, w, rowsV));
    EXPECT_TRUE(svdcmp(3, 0, rowsA, w, rowsV));
    EXPECT_EQ(w[0], 42.0f);
}

TEST(Svdcmp, NaNDoesNotConvergeAndReturnsFalse) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<std::vector<float>> allNaN(4, std::vector<float>(4, nan));
    EXPECT_FALSE(decompose(allNaN, 4, 4).ok);

    std::vector<std::vector<float>> oneNaN = {{1, 2, 0, 0}, {0, 1, 3, 0}, {0, 0, 1, nan}, {4, 0, 0, 1}};
    EXPECT_FALSE(decompose(oneNaN, 4, 4).ok);
}

TEST(Pythag, ScalesWithoutOverflowOrUnderflow) {
    struct Case {
        float a, b, expected;
    };
    const Case cases[] = {
        {3.0f, 4.0f, 5.0f},
        {-3.0f, 4.0f, 5.0f},
        {4.0f, -3.0f, 5.0f},
        {0.0f, 0.0f, 0.0f},
        {0.0f, -2.0f, 2.0f},
        {1.0f, 1.0f, static_cast<float>(std::sqrt(2.0))},
        {3e30f, 4e30f, 5e30f},     // squares would overflow
        {3e-30f, 4e-30f, 5e-30f},  // squares would underflow
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(pythag(c.a, c.b), c.expected) << c.a << ", " << c.b;
    EXPECT_EQ(pythag(1.0f, 1.0f), static_cast<float>(std::sqrt(2.0)));
}

TEST(ScalarHelpers, SignMaxMin) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(SIGN(2.0f, 5.0f), 2.0f);
    EXPECT_EQ(SIGN(2.0f, -5.0f), -2.0f);
    EXPECT_EQ(SIGN(-2.0f, 5.0f), 2.0f);
    EXPECT_EQ(SIGN(-2.0f, -5.0f), -2.0f);
    EXPECT_EQ(SIGN(-2.0f, 0.0f), 2.0f); // zero counts as positive
    EXPECT_EQ(MAX(1.0f, nan), 1.0f);
    EXPECT_EQ(MIN(1.0f, nan), 1.0f);
    EXPECT_EQ(MAX(-1.0f, 2.0f), 2.0f);
    EXPECT_EQ(MIN(-1.0f, 2.0f), -1.0f);
    EXPECT_EQ(MAX(3, 7), 7);
    EXPECT_EQ(MIN(3, 7), 3);
}

} // namespace
