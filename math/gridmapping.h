#pragma once
// Where each voxel of the 256-voxel cube lands in the functional grid of a run: the rule the
// conversion keeps a cube voxel by, in one place, so that everything that asks "which functional
// voxel is this cube voxel" (the conversion, the measuring of a VOI in a run) gets the same
// answer, float for float.
//
// Cube voxel (x, y, z) goes through untal (when the TAL's FileVersion is above 0), the -127.5
// centring, the functional-from-anatomical matrix and the nearest-voxel rule of
// Volume::nearest (halves rounded upward). untal and the products m[i][j] * p[j] depend on one
// cube axis each, so they are tabulated per axis; component i of the product is then
// ((a[x] + b[y]) + c[z]) + d, the same products summed in the same order as
// multiplyMatrixVector, hence the same float.

#include <vocelle/math/cubespace.h>

namespace vocelle {

class FMR;
class TAL;
class TRF;

// One axis of the functional grid.
struct GridAxis {
    float table[3][cubeSize]; // a, b and c: the terms of cube x, y and z
    float d = 0.0f;
    float h = 0.0f;     // the centre offset (n - 1) * 0.5, added last as the conversion does
    int n = 0;          // grid size along this axis
    float upper = 0.0f; // the least float not below n + 2
    float least[3] = {0, 0, 0};
    float most[3] = {0, 0, 0};
    int dir[3] = {0, 0, 0}; // +1 never decreasing, -1 never increasing, 0 otherwise (NaN too)

    float value(float av, float bv, float cv) const {
        float q = av + bv;
        q = q + cv;
        q = q + d;
        return q + h;
    }

    // The grid index that Volume::nearest picks for coordinate q: -1 below the grid (NaN
    // included), n above it. The float comparison s < upper says exactly what double(s) < n + 2
    // says there.
    int index(float q) const {
        const float s = q + 2.5f;
        if (!(s >= 2.0f)) return -1;
        if (!(s < upper)) return n;
        return static_cast<int>(s) - 2;
    }

    // The index plus 2 of a q known to land in the grid (callers fold the 2 into their offsets).
    int indexPlus2(float q) const { return static_cast<int>(q + 2.5f); }

    // The same, with -1 for both sides of the grid; free of branches, so that a row of them
    // vectorises. Out-of-grid values are replaced before the conversion, which therefore never
    // overflows.
    int cell(float q) const {
        const float s = q + 2.5f;
        const bool inside = (s >= 2.0f) & (s < upper);
        const int i = static_cast<int>(inside ? s : 2.0f) - 2;
        return inside ? i : -1;
    }

    bool finite() const;
};

class GridMapping {
public:
    // The grid of fmr (ResolutionX, ResolutionY, NrOfSlices; a size below 0 counts as 0) and the
    // mapping of ia, fa, acpc and tal; fa, acpc and tal count as absent with FileVersion -1.
    GridMapping(const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc, const TAL& tal);

    const GridAxis (&axes() const)[3] { return axes_; }
    // Every table entry finite: otherwise nothing about the order of positions can be trusted.
    bool finite() const { return finite_; }
    long long cells() const {
        return static_cast<long long>(axes_[0].n) * axes_[1].n * axes_[2].n;
    }

    // The functional voxel cube voxel (x, y, z), each 0 to 255, lands in, as the linear index
    // (slice * ResolutionY + row) * ResolutionX + column; -1 when it lands outside the grid.
    long long voxelOf(int x, int y, int z) const {
        const GridAxis& u = axes_[0];
        const GridAxis& v = axes_[1];
        const GridAxis& w = axes_[2];
        const int i = u.cell(u.value(u.table[0][x], u.table[1][y], u.table[2][z]));
        const int j = v.cell(v.value(v.table[0][x], v.table[1][y], v.table[2][z]));
        const int k = w.cell(w.value(w.table[0][x], w.table[1][y], w.table[2][z]));
        if ((i | j | k) < 0) return -1;
        return (static_cast<long long>(k) * v.n + j) * u.n + i;
    }

private:
    GridAxis axes_[3];
    bool finite_ = true;
};

} // namespace vocelle
