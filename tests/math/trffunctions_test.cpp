#include "math/trffunctions.h"

#include "formats/myFMR.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "tests/math/mathtest.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace {

const float third = 1.0f / 3.0f;
const TRF absent;

// Slice centres x, y, z of the first slice, then of the last.
FMR makeFmr(const float (&c)[6], float inplane = 3, float thickness = 3, float gap = 0) {
    std::ostringstream t;
    t << "FileVersion: 6\nInplaneResolutionX: " << inplane << "\nInplaneResolutionY: " << inplane
      << "\nSliceThickness: " << thickness << "\nSliceGap: " << gap
      << "\nPositionInformationFromImageHeaders\n";
    for (int i = 0; i < 6; ++i)
        t << "Slice" << (i < 3 ? '1' : 'N') << "Center"
          << "XYZ"[i % 3] << ": " << c[i] << "\n";
    std::istringstream in(t.str());
    return FMR(in, "run.fmr", false);
}

// Identity, anatomical voxel size 1, no extra transformation.
TRF initialAlignment() {
    TRF ia;
    ia.FileVersion.set("FileVersion", 5, 13);
    ia.ToVMRVoxelRes.set("ToVMRVoxelRes", 1.0f, 15);
    return ia;
}

TEST(CreateVMR2FMRmatrix, SliceFlipRule) {
    const struct {
        const char* what;
        float centres[6];
        float sx, sz; // expected sign of row 0 and row 2
    } cases[] = {
        {"slices ascending along z", {0, 0, 0, 0, 0, 1}, 1, -1},
        {"slices descending along z", {0, 0, 1, 0, 0, 0}, 1, 1},
        {"x dominant, dx > 0", {5, 0, 0, 0, 0, -2}, -1, 1},
        {"x dominant, dx < 0", {0, 0, 0, 5, 0, 2}, 1, 1},
        // Differences below 1 truncate to 0 and tie, so x decides.
        {"sub-voxel, dx <= 0", {-0.4f, 0, 0, 0, 0, 0.9f}, 1, 1},
        {"sub-voxel, dx > 0", {0.5f, 0, 0, 0, 0, 0.9f}, -1, 1},
        {"tie after truncation", {2.5f, 0, 0, 0, 0, 2.9f}, -1, 1},
        // y dominant: the sign of dz decides, even when |dz| < 1.
        {"y dominant, dz < 0", {0, 10, 0, 0, 0, 0.5f}, 1, -1},
        {"y dominant, dz > 0", {0, 10, 3, 0, 0, 0}, 1, 1},
    };
    M4 out;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        createVMR2FMRmatrix(makeFmr(c.centres), initialAlignment(), absent, absent, out);
        expectMatrixNear(out, Affine(c.sx * third, third, c.sz * third).m, 0);
    }
    // The slice distance is thickness plus gap.
    createVMR2FMRmatrix(makeFmr({0, 0, 1, 0, 0, 0}, 2, 3, 1), initialAlignment(), absent, absent,
                        out);
    expectMatrixNear(out, Affine(0.5f, 0.5f, 0.25f).m, 0);
}

TEST(CreateVMR2FMRmatrix, ExtraTransformationAndAlignments) {
    const FMR flipped = makeFmr({0, 0, 0, 0, 0, 1}), unflipped = makeFmr({0, 0, 1, 0, 0, 0});
    TRF ia = initialAlignment();
    M4 out;

    // A unit diagonal has no effect, whatever else the matrix holds.
    ia.ExtraVMRTransf.set("ExtraVMRTransf", 1, 16);
    copyMatrix(Affine(1, 1, 1, 7, 0, 9).m, ia.extraMatrix);
    ia.extraMatrix[0][1] = 0.5f;
    createVMR2FMRmatrix(flipped, ia, absent, absent, out);
    expectMatrixNear(out, Affine(third, third, -third).m, 0);
    // Otherwise it enters as flip * extra, so the two flips cancel: K * extra.
    copyMatrix(Affine(2, 1, 1, 6, 0, 6).m, ia.extraMatrix);
    createVMR2FMRmatrix(flipped, ia, absent, absent, out);
    expectMatrixNear(out, Affine(2 * third, third, third, 2, 0, 2).m, 1e-6f);
    ia.ExtraVMRTransf.set("ExtraVMRTransf", 0, 16); // not announced
    createVMR2FMRmatrix(flipped, ia, absent, absent, out);
    expectMatrixNear(out, Affine(third, third, -third).m, 0);

    // K * A * D: scale by 2 first, then the rigid inverse shift by -3.
    ia = initialAlignment();
    ia.matrix[0][3] = 3;
    ia.ToVMRVoxelRes.set("ToVMRVoxelRes", 2.0f, 15);
    createVMR2FMRmatrix(unflipped, ia, absent, absent, out);
    expectMatrixNear(out, Affine(2 * third, 2 * third, 2 * third, -1).m, 1e-6f);

    TRF moved;
    moved.FileVersion.set("FileVersion", 5, 13);
    copyMatrix(Affine(1, 1, 1, 3, 6, -9).m, moved.matrix);
    createVMR2FMRmatrix(unflipped, initialAlignment(), moved, absent, out); // FA inverted
    expectMatrixNear(out, Affine(third, third, third, -1, -2, 3).m, 1e-6f);
    createVMR2FMRmatrix(unflipped, initialAlignment(), absent, moved, out); // AC-PC as stored
    expectMatrixNear(out, Affine(third, third, third, 1, 2, -3).m, 1e-6f);
}

TAL makeTal(int ap, int pc, int pp, int sp, int ip, int rp, int lp) {
    TAL tal;
    tal.FileVersion.set("FileVersion", 1, 13);
    auto& l = tal.landmarks;
    l[TAL::AC] = {128, 128, 128};
    l[TAL::AP] = {ap, 0, 0}, l[TAL::PC] = {pc, 0, 0}, l[TAL::PP] = {pp, 0, 0};
    l[TAL::SP] = {0, sp, 0}, l[TAL::IP] = {0, ip, 0}, l[TAL::RP] = {0, 0, rp};
    l[TAL::LP] = {0, 0, lp};
    return tal;
}

TEST(Untal, BoxPlanesMapOntoLandmarks) {
    const TAL box = makeTal(58, 151, 230, 54, 170, 60, 196);
    for (float v : {-20.0f, 0.0f, 57.5f, 100.25f, 127.5f, 128.0f, 150.5f, 151.0f, 255.0f, 300.0f}) {
        float p[4] = {v, v, v, 1.0f};
        untal(p, box); // a brain that fits the box stays as it is
        EXPECT_EQ(std::vector<float>(p, p + 4), (std::vector<float>{v, v, v, 1.0f}));
    }

    const TAL tal = makeTal(61, 155, 236, 47, 173, 63, 190);
    const float cases[][3] = {// axis, Talairach, AC-PC
                              {0, 58, 61}, {0, 151, 155}, {0, 230, 236}, {0, 309, 317},
                              {1, 54, 47}, {1, 170, 173}, {2, 60, 63},   {2, 196, 190}};
    for (const auto& c : cases) {
        const int axis = static_cast<int>(c[0]);
        float p[4] = {128, 128, 128, 7.0f};
        p[axis] = c[1];
        untal(p, tal);
        EXPECT_NEAR(p[axis], c[2], 1e-4f) << "axis " << axis << " at " << c[1];
        EXPECT_EQ(p[(axis + 1) % 3] + p[(axis + 2) % 3] + p[3], 263.0f); // others untouched
    }
    float below151[4] = {std::nextafter(151.0f, 0.0f), 128, 128, 1};
    untal(below151, tal);
    EXPECT_NEAR(below151[0], 155.0f, 1e-3f); // continuous at the PC

    // The AC stays at 128 for any landmarks.
    for (const TAL& t :
         {tal, makeTal(0, 0, 0, 0, 0, 0, 0), makeTal(200, 100, 50, 250, 10, 255, 1)}) {
        float ac[4] = {128, 128, 128, 1};
        untal(ac, t);
        EXPECT_EQ(ac[0] + ac[1] + ac[2], 384.0f);
    }

    // PP - PC does not fit an int; the distance must still be the true one.
    float p[4] = {230, 128, 128, 1};
    untal(p,
          makeTal(0, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), 0, 0, 0, 0));
    EXPECT_NEAR(p[0], 2147483647.0f, 1e3f);
}

} // namespace
