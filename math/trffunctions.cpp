#include <vocelle/math/trffunctions.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/math/Matrix_math.h>

#include <cmath>
#include <limits>

namespace vocelle {

// Operations are written in the order in which they must be evaluated, in single precision:
// a difference in the last bit can move a cube voxel across a half-way boundary of the
// functional grid.

namespace {

// |d| truncated toward zero to an integer. Values an int cannot hold saturate and NaN gives 0,
// where a plain conversion would be undefined.
int truncatedMagnitude(float d) {
    const float magnitude = std::fabs(d);
    if (!(magnitude == magnitude)) return 0;
    if (magnitude >= 2147483648.0f) return std::numeric_limits<int>::max();
    return static_cast<int>(magnitude);
}

// Flips the slice axis (or x) so that slices run in the direction the anatomical data expects,
// decided by the axis along which the first and last slice centres differ most.
void makeSliceFlipMatrix(const FMR& fmr, float (*b)[4]) {
    makeIdentityMatrix(b);
    const float dx = fmr.Slice1CenterX.value() - fmr.SliceNCenterX.value();
    const float dy = fmr.Slice1CenterY.value() - fmr.SliceNCenterY.value();
    const float dz = fmr.Slice1CenterZ.value() - fmr.SliceNCenterZ.value();
    // Integer comparisons: differences below 1 all count as 0, and ties go to x.
    const int ax = truncatedMagnitude(dx);
    const int ay = truncatedMagnitude(dy);
    const int az = truncatedMagnitude(dz);
    if (az > ax || ay > ax) {
        // Also when entered because of y: the sign of z decides.
        if (dz < 0.0f) b[2][2] = -1.0f;
    } else {
        if (dx > 0.0f) b[0][0] = -1.0f;
    }
}

bool hasUnitDiagonal(const float (*m)[4]) {
    return m[0][0] == 1.0f && m[1][1] == 1.0f && m[2][2] == 1.0f;
}

} // namespace

float sliceDistance(const FMR& fmr) { return fmr.SliceThickness.value() + fmr.SliceGap.value(); }

void createVMR2FMRmatrix(const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                         float (*out)[4]) {
    float inverseInitial[4][4];
    invertRotationTranslationMatrix(ia.matrix, inverseInitial);

    float sliceFlip[4][4];
    makeSliceFlipMatrix(fmr, sliceFlip);

    float functionalScale[4][4];
    makeScaleMatrix(functionalScale, 1.0f / fmr.InplaneResolutionX.value(),
                    1.0f / fmr.InplaneResolutionY.value(),
                    1.0f / sliceDistance(fmr));

    const float anatomicalRes = ia.ToVMRVoxelRes.value();
    float anatomicalScale[4][4];
    makeScaleMatrix(anatomicalScale, anatomicalRes, anatomicalRes, anatomicalRes);

    // An extra matrix with unit diagonal is only a shift and is left out on purpose.
    float extra[4][4];
    makeIdentityMatrix(extra);
    if (ia.ExtraVMRTransf.value() == 1 && !hasUnitDiagonal(ia.extraMatrix))
        multiplyMatrixMatrix(sliceFlip, ia.extraMatrix, extra);

    float inverseFine[4][4];
    makeIdentityMatrix(inverseFine);
    if (!countsAsAbsent(fa)) invertMatrix(fa.matrix, inverseFine);

    float acpcTransform[4][4];
    makeIdentityMatrix(acpcTransform);
    if (!countsAsAbsent(acpc)) copyMatrix(acpc.matrix, acpcTransform);

    // Strictly left to right: B * K * A * E * D * F * G.
    float x[4][4];
    float y[4][4];
    multiplyMatrixMatrix(sliceFlip, functionalScale, x);
    multiplyMatrixMatrix(x, inverseInitial, y);
    multiplyMatrixMatrix(y, extra, x);
    multiplyMatrixMatrix(x, anatomicalScale, y);
    multiplyMatrixMatrix(y, inverseFine, x);
    multiplyMatrixMatrix(x, acpcTransform, out);
}

void untal(float* p, const TAL& tal) {
    // Talairach box in cube voxels: AC at 128, anterior edge 58, PC 151, posterior edge 230,
    // superior 54, inferior 170, right 60, left 196.
    const glm::tvec3<int>& pc = tal.landmarks[TAL::PC];
    const glm::tvec3<int>& ap = tal.landmarks[TAL::AP];
    const glm::tvec3<int>& pp = tal.landmarks[TAL::PP];
    const glm::tvec3<int>& sp = tal.landmarks[TAL::SP];
    const glm::tvec3<int>& ip = tal.landmarks[TAL::IP];
    const glm::tvec3<int>& rp = tal.landmarks[TAL::RP];
    const glm::tvec3<int>& lp = tal.landmarks[TAL::LP];

    const float x = p[0];
    if (x < 128.0f) {
        p[0] = ((static_cast<float>(ap[0]) - 128.0f) / -70.0f) * (x - 128.0f) + 128.0f;
    } else if (x < 151.0f) {
        p[0] = ((static_cast<float>(pc[0]) - 128.0f) / 23.0f) * (x - 128.0f) + 128.0f;
    } else {
        // Behind the PC (and NaN). The landmark distance is an integer difference, widened so
        // that extreme coordinates cannot overflow.
        const float span = static_cast<float>(static_cast<long long>(pp[0]) - pc[0]);
        p[0] = static_cast<float>(pc[0]) + (span / 79.0f) * (x - 151.0f);
    }

    const float y = p[1];
    if (y < 128.0f)
        p[1] = (y - 128.0f) * ((static_cast<float>(sp[1]) - 128.0f) / -74.0f) + 128.0f;
    else
        p[1] = (y - 128.0f) * ((static_cast<float>(ip[1]) - 128.0f) / 42.0f) + 128.0f;

    const float z = p[2];
    if (z < 128.0f)
        p[2] = (z - 128.0f) * ((static_cast<float>(rp[2]) - 128.0f) / -68.0f) + 128.0f;
    else
        p[2] = (z - 128.0f) * ((static_cast<float>(lp[2]) - 128.0f) / 68.0f) + 128.0f;
}

} // namespace vocelle
