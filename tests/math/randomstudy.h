#pragma once
// Seeded random conversion studies: the documents of one job, built in memory.
//
// A study varies what the conversion depends on: grid sizes (odd ones put positions exactly
// half-way between functional voxels), voxel sizes and slice gap, the slice axis and its flip,
// rigid initial alignments, extra matrices, present and absent fine alignment, AC-PC and TAL,
// landmarks that are ordinary or fold an axis back on itself, and regions that are blobs,
// scattered voxels, overlapping, duplicated, empty or partly outside the grid.

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

namespace randomstudy {

struct Study {
    ROI roi;
    FMR fmr = emptyFmr();
    TRF ia, fa, acpc;
    TAL tal;

    static FMR emptyFmr() {
        std::istringstream in("FileVersion: 7\nNrOfVolumes: 0\n");
        return FMR(in, "study.fmr", false);
    }
};

// What a study is built to exercise, beside everything drawn at random.
enum class Flavour {
    Random,
    HalfWay,    // identity setup on an odd grid, every position half-way between two
                // voxels, or a hair's breadth from it (even seeds); the first region holds
                // every other voxel, so a position one ulp off changes the output
    FoldedTal,  // landmarks that make untal run backwards on one axis (by seed)
    Degenerate, // a zero voxel size: infinite scale factors
};

class Random {
public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
    float real(float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(engine_);
    }
    bool chance(double p) { return std::bernoulli_distribution(p)(engine_); }

private:
    std::mt19937 engine_;
};

inline void identity(float (*m)[4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] = r == c ? 1.0f : 0.0f;
}

// Rotation by three angles (radians) and a translation, in float.
inline void rigid(float (*m)[4], float ax, float ay, float az, float tx, float ty, float tz) {
    const double ca = std::cos(ax), sa = std::sin(ax), cb = std::cos(ay), sb = std::sin(ay);
    const double cc = std::cos(az), sc = std::sin(az);
    const double r[3][3] = {{cb * cc, -cb * sc, sb},
                            {sa * sb * cc + ca * sc, -sa * sb * sc + ca * cc, -sa * cb},
                            {-ca * sb * cc + sa * sc, ca * sb * sc + sa * cc, ca * cb}};
    identity(m);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = static_cast<float>(r[i][j]);
    m[0][3] = tx;
    m[1][3] = ty;
    m[2][3] = tz;
}

inline void randomRigid(Random& rnd, float (*m)[4], float angle, float shift) {
    rigid(m, rnd.real(-angle, angle), rnd.real(-angle, angle), rnd.real(-angle, angle),
          rnd.real(-shift, shift), rnd.real(-shift, shift), rnd.real(-shift, shift));
}

inline single_ROI region(std::vector<glm::tvec3<int>> voxels) {
    single_ROI r;
    r.NrOfVoxels.set("NrOfVoxels", static_cast<int>(voxels.size()), 12);
    r.voxels = std::move(voxels);
    return r;
}

inline std::vector<glm::tvec3<int>> blob(Random& rnd, int nx, int ny, int nz, int radius) {
    const glm::tvec3<int> c(rnd.integer(0, nx - 1), rnd.integer(0, ny - 1), rnd.integer(0, nz - 1));
    std::vector<glm::tvec3<int>> voxels;
    for (int z = c.z - radius; z <= c.z + radius; ++z)
        for (int y = c.y - radius; y <= c.y + radius; ++y)
            for (int x = c.x - radius; x <= c.x + radius; ++x) {
                const int d = (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) + (z - c.z) * (z - c.z);
                if (d <= radius * radius && x >= 0 && y >= 0 && z >= 0 && x < nx && y < ny &&
                    z < nz)
                    voxels.emplace_back(x, y, z);
            }
    return voxels;
}

// nRegions regions of mixed kinds on the study's grid.
inline std::vector<single_ROI> randomRegions(Random& rnd, int nx, int ny, int nz, int nRegions) {
    std::vector<single_ROI> regions;
    for (int i = 0; i < nRegions; ++i) {
        std::vector<glm::tvec3<int>> voxels;
        switch (rnd.integer(0, 5)) {
        case 0: // empty
            break;
        case 1: // scattered, with duplicates and voxels outside the grid
            for (int k = rnd.integer(1, 60); k > 0; --k) {
                voxels.emplace_back(rnd.integer(-3, nx + 2), rnd.integer(-3, ny + 2),
                                    rnd.integer(-3, nz + 2));
                if (rnd.chance(0.2)) voxels.push_back(voxels.back());
            }
            break;
        case 2: // overlapping the previous region
            if (!regions.empty()) voxels = regions.back().voxels;
            for (const auto& v : blob(rnd, nx, ny, nz, rnd.integer(1, 3)))
                voxels.push_back(v);
            break;
        default:
            voxels = blob(rnd, nx, ny, nz, rnd.integer(0, 5));
            break;
        }
        regions.push_back(region(std::move(voxels)));
        // A count below the stored list: only the counted voxels belong to the region.
        if (rnd.chance(0.1)) regions.back().NrOfVoxels.value() /= 2;
    }
    return regions;
}

inline void setRois(ROI& roi, std::vector<single_ROI> regions) {
    roi.FileVersion.set("FileVersion", 5, 20);
    roi.NrOfTCPlots.set("NrOfTCPlots", static_cast<int>(regions.size()), 20);
    roi.rois = std::move(regions);
}

inline Study makeStudy(uint32_t seed, Flavour flavour, int nRegions) {
    Random rnd(seed);
    Study s;
    FMR& f = s.fmr;
    int nx = rnd.integer(8, 72), ny = rnd.integer(8, 72), nz = rnd.integer(4, 36);
    if (flavour == Flavour::HalfWay) {
        nx |= 1;
        ny |= 1;
        nz = 2 * (nz / 2) + 1;
    }
    f.ResolutionX.value() = nx;
    f.ResolutionY.value() = ny;
    f.NrOfSlices.value() = nz;

    const float sizes[] = {1.0f, 1.5f, 2.0f, 3.0f, 3.5f};
    f.InplaneResolutionX.value() =
        rnd.chance(0.5) ? sizes[rnd.integer(0, 4)] : rnd.real(0.8f, 4.0f);
    f.InplaneResolutionY.value() =
        rnd.chance(0.7) ? f.InplaneResolutionX.value() : rnd.real(0.8f, 4.0f);
    f.SliceThickness.value() = rnd.chance(0.5) ? sizes[rnd.integer(0, 4)] : rnd.real(1.0f, 5.0f);
    f.SliceGap.value() = rnd.chance(0.5) ? 0.0f : rnd.real(0.0f, 1.0f);

    // Slice centres: the slice axis and its direction decide the flip.
    const float c1[3] = {rnd.real(-30, 30), rnd.real(-30, 30), rnd.real(-30, 30)};
    float cn[3] = {c1[0], c1[1], c1[2]};
    if (rnd.chance(0.85)) {
        const int axis = rnd.integer(0, 2);
        const float extent = (nz - 1) * (f.SliceThickness.value() + f.SliceGap.value());
        cn[axis] += rnd.chance(0.5) ? extent : -extent;
        for (int a = 0; a < 3; ++a)
            if (a != axis) cn[a] += rnd.real(-0.3f, 0.3f) * extent;
    } else {
        for (float& c : cn)
            c += rnd.real(-0.9f, 0.9f); // all differences below 1
    }
    f.Slice1CenterX.value() = c1[0];
    f.Slice1CenterY.value() = c1[1];
    f.Slice1CenterZ.value() = c1[2];
    f.SliceNCenterX.value() = cn[0];
    f.SliceNCenterY.value() = cn[1];
    f.SliceNCenterZ.value() = cn[2];

    // Initial alignment: always used.
    s.ia.FileVersion.value() = 8;
    randomRigid(rnd, s.ia.matrix, 0.6f, 25.0f);
    s.ia.ToVMRVoxelRes.value() = rnd.chance(0.8) ? 1.0f : rnd.real(0.5f, 2.0f);
    s.ia.ExtraVMRTransf.value() = rnd.chance(0.3) ? 1 : 0;
    randomRigid(rnd, s.ia.extraMatrix, 0.2f, 10.0f);
    if (rnd.chance(0.5)) s.ia.extraMatrix[1][1] = 1.0f + rnd.real(-0.2f, 0.2f);

    if (rnd.chance(0.6)) {
        s.fa.FileVersion.value() = 8;
        randomRigid(rnd, s.fa.matrix, 0.1f, 5.0f);
    } else {
        randomRigid(rnd, s.fa.matrix, 0.5f, 40.0f); // absent: must not be applied
    }
    if (rnd.chance(0.7)) {
        s.acpc.FileVersion.value() = 8;
        randomRigid(rnd, s.acpc.matrix, 0.3f, 15.0f);
    }

    const int talVersion[] = {-1, -1, 0, 1, 1, 1, 3};
    s.tal.FileVersion.value() = talVersion[rnd.integer(0, 6)];
    auto& l = s.tal.landmarks;
    l[TAL::AC] = {128, 128, 128};
    l[TAL::AP] = {58 + rnd.integer(-8, 8), 128, 128};
    l[TAL::PC] = {151 + rnd.integer(-6, 6), 128, 128};
    l[TAL::PP] = {230 + rnd.integer(-10, 10), 128, 128};
    l[TAL::SP] = {128, 54 + rnd.integer(-8, 8), 128};
    l[TAL::IP] = {128, 170 + rnd.integer(-8, 8), 128};
    l[TAL::RP] = {128, 128, 60 + rnd.integer(-8, 8)};
    l[TAL::LP] = {128, 128, 196 + rnd.integer(-8, 8)};

    switch (flavour) {
    case Flavour::HalfWay:
        f.InplaneResolutionX.value() = 1.0f;
        f.InplaneResolutionY.value() = 1.0f;
        f.SliceThickness.value() = 1.0f;
        f.SliceGap.value() = 0.0f;
        f.SliceNCenterX.value() = c1[0];
        f.SliceNCenterY.value() = c1[1];
        f.SliceNCenterZ.value() = c1[2];
        identity(s.ia.matrix);
        if (seed % 2 == 0) randomRigid(rnd, s.ia.matrix, 1e-6f, 1e-4f);
        s.ia.ToVMRVoxelRes.value() = 1.0f;
        s.ia.ExtraVMRTransf.value() = 0;
        s.fa.FileVersion.value() = -1;
        s.acpc.FileVersion.value() = -1;
        s.tal.FileVersion.value() = -1;
        break;
    case Flavour::FoldedTal:
        s.tal.FileVersion.value() = 1;
        // A landmark on the wrong side of the AC: the anterior one behind it, the superior one
        // below it, or the right one on the left.
        if (seed % 3 == 0) l[TAL::AP] = {140, 128, 128};
        if (seed % 3 == 1) l[TAL::SP] = {128, 135, 128};
        if (seed % 3 == 2) l[TAL::RP] = {128, 128, 150};
        break;
    case Flavour::Degenerate:
        f.InplaneResolutionY.value() = 0.0f;
        break;
    case Flavour::Random:
        break;
    }

    std::vector<single_ROI> regions = randomRegions(rnd, nx, ny, nz, nRegions);
    if (flavour == Flavour::HalfWay) {
        std::vector<glm::tvec3<int>> voxels;
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x)
                    if ((x + y + z) % 2 == 0) voxels.emplace_back(x, y, z);
        regions.insert(regions.begin(), region(std::move(voxels)));
    }
    setRois(s.roi, std::move(regions));
    // A region count that disagrees with the stored regions, either way.
    if (rnd.chance(0.15)) s.roi.NrOfTCPlots.value() += rnd.chance(0.5) ? 1 : -1;
    return s;
}

} // namespace randomstudy
