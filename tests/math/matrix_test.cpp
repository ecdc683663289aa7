// The matrix toolkit: singular value decomposition, inverses, and the matrices and Talairach
// mapping built from the documents.
#include <vocelle/math/Matrix_math.h>
#include <vocelle/math/modifiedNR.h>
#include <vocelle/math/trffunctions.h>

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include "tests/formats/doctext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace vocelle;

namespace {

using M4 = float[4][4];

// diag(sx, sy, sz, 1) with translation (tx, ty, tz).
struct Affine {
    M4 m;
    Affine(float sx, float sy, float sz, float tx = 0, float ty = 0, float tz = 0) {
        makeScaleMatrix(m, sx, sy, sz);
        m[0][3] = tx, m[1][3] = ty, m[2][3] = tz;
    }
};

void expectMatrixNear(const float (*actual)[4], const float (*expected)[4], float tol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], tol) << "row " << r << " col " << c;
}

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


const float third = 1.0f / 3.0f;

// FileVersion `version` (-1: absent), `matrix`, the anatomical voxel size, and an extra
// transformation, announced when `extra` is 1.
TRF trf(const Affine& matrix = {1, 1, 1}, float voxel = 1, int extra = 0,
        const Affine& extraMatrix = {1, 1, 1}, int version = 5) {
    TRF t;
    t.FileVersion.value() = version;
    copyMatrix(matrix.m, t.matrix);
    t.ToVMRVoxelRes.value() = voxel;
    t.ExtraVMRTransf.value() = extra;
    copyMatrix(extraMatrix.m, t.extraMatrix);
    return t;
}

// The matrix for slice centres x, y, z of the first slice, then of the last, and voxels of
// 3 mm (slices: 3 mm plus `gap`).
const float (*matrix(const std::vector<float>& centres, const TRF& ia, const TRF& fa,
                     const TRF& acpc, float gap = 0))[4] {
    FMR f = parse<FMR>("FileVersion: 6\n", "run.fmr", false);
    f.InplaneResolutionX.value() = f.InplaneResolutionY.value() = f.SliceThickness.value() = 3;
    f.SliceGap.value() = gap;
    Line<float>* lines[] = {&f.Slice1CenterX, &f.Slice1CenterY, &f.Slice1CenterZ,
                            &f.SliceNCenterX, &f.SliceNCenterY, &f.SliceNCenterZ};
    for (int i = 0; i < 6; ++i)
        lines[i]->value() = centres[i];
    static M4 out;
    createVMR2FMRmatrix(f, ia, fa, acpc, out);
    return out;
}

TEST(CreateVMR2FMRmatrix, WorkedCases) {
    const std::vector<float> flipped = {0, 0, 0, 0, 0, 1}, unflipped = {0, 0, 1, 0, 0, 0};
    const Affine moved(1, 1, 1, 3, 6, -9);
    const TRF absentMoved = trf(moved, 1, 0, {1, 1, 1}, -1);
    const struct {
        std::vector<float> centres;
        TRF ia, fa, acpc;
        Affine expected;
    } cases[] = {
        // clang-format off
        // The integer parts of the centre differences decide: the largest, ties to x, flipped
        // when dx > 0; z or y, when dz < 0, even when |dz| < 1. NaN counts as 0.
        {{0, 0, 0, 5, 0, 2}, trf(), {}, {}, {third, third, third}},
        {{0.5f, 0, 0, 0, 0, 0.9f}, trf(), {}, {}, {-third, third, third}},
        {{0, 0, 0, 0, 0, 0}, trf(), {}, {}, {third, third, third}},
        {{0, 10, 0, 0, 0, 0}, trf(), {}, {}, {third, third, third}},
        {{0, 10, 0, 0, 0, 0.5f}, trf(), {}, {}, {third, third, -third}},
        {{0, 5, -0.5f, 0, 5, 0}, trf(), {}, {}, {third, third, third}},
        {{NAN, 0, 0, 0, 0, 1}, trf(), {}, {}, {third, third, -third}},
        // An extra transformation with a unit diagonal has no effect, whatever else it holds;
        // otherwise it enters as flip * extra, so the two flips cancel. Unannounced, nothing.
        {flipped, trf({1, 1, 1}, 1, 1, {1, 1, 1, 7, 0, 9}), {}, {}, {third, third, -third}},
        {flipped, trf({1, 1, 1}, 1, 1, {2, 1, 1, 6, 0, 6}), {}, {},
         {2 * third, third, third, 2, 0, 2}},
        {flipped, trf({1, 1, 1}, 1, 0, {2, 1, 1, 6, 0, 6}), {}, {}, {third, third, -third}},
        // Scaled by the anatomical voxel size first, then shifted by the inverse alignment.
        {unflipped, trf({1, 1, 1, 3}, 2), {}, {}, {2 * third, 2 * third, 2 * third, -1}},
        // The fine alignment inverted, the AC-PC transformation as stored, absent ones left out.
        {unflipped, trf(), trf(moved), {}, {third, third, third, -1, -2, 3}},
        {unflipped, trf(), {}, trf(moved), {third, third, third, 1, 2, -3}},
        {unflipped, trf(), absentMoved, absentMoved, {third, third, third}},
        // clang-format on
    };
    for (const auto& c : cases)
        expectMatrixNear(matrix(c.centres, c.ia, c.fa, c.acpc), c.expected.m, 1e-6f);
    // The slice distance is thickness plus gap.
    expectMatrixNear(matrix(unflipped, trf(), {}, {}, 1), Affine(third, third, 0.25f).m, 0);
}

TEST(Untal, BoxPlanesMapOntoLandmarks) {
    TAL tal;
    tal.FileVersion.value() = 1;
    // AC, PC, AP, PP on x; SP, IP on y; RP, LP on z. The box's: 128 151 58 230 54 170 60 196.
    const int landmarks[] = {128, 155, 61, 236, 47, 173, 63, 190};
    for (int k = 0; k < TAL::NrOfLandmarks; ++k)
        tal.landmarks[k][k < 4 ? 0 : k < 6 ? 1 : 2] = landmarks[k];
    const float cases[][3] = {// axis, Talairach, AC-PC
                              {0, 58, 61},   {0, 128, 128}, {0, 139.5f, 141.5f}, {0, 151, 155},
                              {0, 230, 236}, {0, 309, 317}, {1, 54, 47},         {1, 128, 128},
                              {1, 170, 173}, {2, 60, 63},   {2, 128, 128},       {2, 196, 190}};
    for (const auto& c : cases) {
        const int axis = static_cast<int>(c[0]);
        float p[4] = {128, 128, 128, 7.0f};
        p[axis] = c[1];
        untal(p, tal);
        EXPECT_NEAR(p[axis], c[2], 1e-4f) << "axis " << axis << " at " << c[1];
        EXPECT_EQ(p[(axis + 1) % 3] + p[(axis + 2) % 3] + p[3], 263.0f); // others untouched
    }
    // PP - PC does not fit an int; the distance must still be the true one.
    tal.landmarks[TAL::PC].x = INT_MIN;
    tal.landmarks[TAL::PP].x = INT_MAX;
    float p[4] = {230, 128, 128, 1};
    untal(p, tal);
    EXPECT_NEAR(p[0], 2147483647.0f, 1e3f);
}

} // namespace
