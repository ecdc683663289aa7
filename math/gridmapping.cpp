#include <vocelle/math/gridmapping.h>

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/math/trffunctions.h>

#include <algorithm>
#include <cmath>

namespace vocelle {

namespace {

// +1 when the table never decreases, -1 when it never increases, 0 otherwise (NaN included).
int direction(const float* t) {
    bool rising = true;
    bool falling = true;
    for (int k = 0; k + 1 < cubeSize; ++k) {
        if (!(t[k] <= t[k + 1])) rising = false;
        if (!(t[k] >= t[k + 1])) falling = false;
    }
    return rising ? 1 : (falling ? -1 : 0);
}

float leastFloatNotBelow(int n) {
    const double bound = static_cast<double>(n) + 2.0;
    float f = static_cast<float>(bound);
    if (static_cast<double>(f) < bound) f = std::nextafter(f, INFINITY);
    return f;
}

} // namespace

bool GridAxis::finite() const {
    for (const auto& t : table)
        for (float v : t)
            if (!std::isfinite(v)) return false;
    return std::isfinite(d) && std::isfinite(h);
}

GridMapping::GridMapping(const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                         const TAL& tal) {
    float m[4][4];
    createVMR2FMRmatrix(fmr, ia, fa, acpc, m);
    // Landmarks are applied only from FileVersion 1 on (a TAL read without them still switches a
    // conversion's output to Talairach coordinates, which is not this class's concern).
    const bool mapFromTalairach = tal.FileVersion.value() > 0;

    // p for cube coordinate t on each axis: untal works on each axis alone.
    float centred[3][cubeSize];
    for (int t = 0; t < cubeSize; ++t) {
        float p[4] = {static_cast<float>(t), static_cast<float>(t), static_cast<float>(t), 1.0f};
        if (mapFromTalairach) untal(p, tal);
        for (int i = 0; i < 3; ++i)
            centred[i][t] = p[i] + cubeCentring;
    }
    const int sizes[3] = {std::max(fmr.ResolutionX.value(), 0), std::max(fmr.ResolutionY.value(), 0),
                          std::max(fmr.NrOfSlices.value(), 0)};
    for (int i = 0; i < 3; ++i) {
        GridAxis& u = axes_[i];
        for (int c = 0; c < 3; ++c)
            for (int t = 0; t < cubeSize; ++t)
                u.table[c][t] = m[i][c] * centred[c][t];
        u.d = m[i][3] * 1.0f;
        // Integer subtraction first, then the conversion to float.
        u.h = static_cast<float>(sizes[i] - 1) * 0.5f;
        u.n = sizes[i];
        u.upper = leastFloatNotBelow(sizes[i]);
        finite_ = finite_ && u.finite();
        for (int t = 0; t < 3; ++t) {
            u.least[t] = *std::min_element(u.table[t], u.table[t] + cubeSize);
            u.most[t] = *std::max_element(u.table[t], u.table[t] + cubeSize);
            u.dir[t] = direction(u.table[t]);
        }
    }
}

} // namespace vocelle
