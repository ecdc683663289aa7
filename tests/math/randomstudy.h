#pragma once
// Seeded random conversion studies: the documents of one job, built in memory, varying grid and
// voxel sizes, slice axis and flip, alignments, absent files, and regions that are blobs,
// scattered, overlapping, duplicated, empty, partly outside the grid or counted short.

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace randomstudy {

using Voxels = std::vector<glm::tvec3<int>>;

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

// What a study exercises beside the random draws. HalfWay: identity setup on an odd grid, so
// positions fall half-way between voxels (even seeds: a hair's breadth from it) and the first
// region holds every other voxel; one ulp off changes the output. FoldedTal: a landmark on the
// wrong side of the AC. Degenerate: a zero voxel size, so infinite and NaN positions.
// LargeGrid: a large grid with a region in every tile of it.
enum class Flavour { Random, HalfWay, FoldedTal, Degenerate, LargeGrid };

struct Random {
    explicit Random(uint32_t seed) : engine(seed) {}
    int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }
    float real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
    bool chance(double p) { return std::bernoulli_distribution(p)(engine); }
    std::mt19937 engine;
};

// Rotation by angles up to `angle` (radians) about each axis and a shift up to `shift`.
inline void randomRigid(Random& rnd, float (*m)[4], float angle, float shift) {
    const double a = rnd.real(-angle, angle), b = rnd.real(-angle, angle),
                 c = rnd.real(-angle, angle);
    const double r[3][3] = {{std::cos(b) * std::cos(c), -std::cos(b) * std::sin(c), std::sin(b)},
                            {std::sin(a) * std::sin(b) * std::cos(c) + std::cos(a) * std::sin(c),
                             -std::sin(a) * std::sin(b) * std::sin(c) + std::cos(a) * std::cos(c),
                             -std::sin(a) * std::cos(b)},
                            {-std::cos(a) * std::sin(b) * std::cos(c) + std::sin(a) * std::sin(c),
                             std::cos(a) * std::sin(b) * std::sin(c) + std::sin(a) * std::cos(c),
                             std::cos(a) * std::cos(b)}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = i < 3 && j < 3 ? static_cast<float>(r[i][j]) : (i == j ? 1.0f : 0.0f);
    for (int i = 0; i < 3; ++i)
        m[i][3] = rnd.real(-shift, shift);
}

inline single_ROI region(Voxels voxels) {
    single_ROI r;
    r.NrOfVoxels.set("NrOfVoxels", static_cast<int>(voxels.size()), 12);
    r.voxels = std::move(voxels);
    return r;
}

inline void setRois(ROI& roi, std::vector<single_ROI> regions) {
    roi.FileVersion.set("FileVersion", 5, 20);
    roi.NrOfTCPlots.set("NrOfTCPlots", static_cast<int>(regions.size()), 20);
    roi.rois = std::move(regions);
}

// The grid voxels within `radius` of centre c.
inline Voxels blobAt(glm::tvec3<int> c, int nx, int ny, int nz, int radius) {
    Voxels voxels;
    for (int z = std::max(0, c.z - radius); z <= std::min(nz - 1, c.z + radius); ++z)
        for (int y = std::max(0, c.y - radius); y <= std::min(ny - 1, c.y + radius); ++y)
            for (int x = std::max(0, c.x - radius); x <= std::min(nx - 1, c.x + radius); ++x) {
                const glm::tvec3<int> d = glm::tvec3<int>(x, y, z) - c;
                if (d.x * d.x + d.y * d.y + d.z * d.z <= radius * radius)
                    voxels.emplace_back(x, y, z);
            }
    return voxels;
}

// The grid voxels within `radius` of a random centre.
inline Voxels blob(Random& rnd, int nx, int ny, int nz, int radius) {
    const glm::tvec3<int> c(rnd.integer(0, nx - 1), rnd.integer(0, ny - 1), rnd.integer(0, nz - 1));
    return blobAt(c, nx, ny, nz, radius);
}

// Every grid voxel whose coordinates' sum is divisible by `step`, on a lattice of `spacing`.
inline Voxels lattice(int nx, int ny, int nz, int spacing, int step) {
    Voxels voxels;
    for (int z = 0; z < nz; z += spacing)
        for (int y = 0; y < ny; y += spacing)
            for (int x = 0; x < nx; x += spacing)
                if ((x + y + z) % step == 0) voxels.emplace_back(x, y, z);
    return voxels;
}

inline Study makeStudy(uint32_t seed, Flavour flavour, int nRegions) {
    Random rnd(seed);
    Study s;
    FMR& f = s.fmr;
    int nx = rnd.integer(8, 72), ny = rnd.integer(8, 72), nz = rnd.integer(4, 36);
    if (flavour == Flavour::HalfWay) nx |= 1, ny |= 1, nz |= 1;
    if (flavour == Flavour::LargeGrid) nx = 150 + nx, ny = 150 + ny, nz = 40 + nz;
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
    if (flavour == Flavour::LargeGrid)
        f.InplaneResolutionX.value() = f.InplaneResolutionY.value() = 1.2f;

    // The slice axis and its direction decide the flip; sometimes all differences are below 1.
    float c1[3], cn[3];
    for (int a = 0; a < 3; ++a)
        c1[a] = cn[a] = rnd.real(-30, 30);
    const int axis = rnd.integer(0, 3);
    const float extent = (nz - 1) * (f.SliceThickness.value() + f.SliceGap.value());
    for (int a = 0; a < 3; ++a)
        cn[a] += axis == 3 ? rnd.real(-0.9f, 0.9f)
                           : (a == axis ? (rnd.chance(0.5) ? extent : -extent)
                                        : rnd.real(-0.3f, 0.3f) * extent);
    Line<float>* centres[6] = {&f.Slice1CenterX, &f.Slice1CenterY, &f.Slice1CenterZ,
                               &f.SliceNCenterX, &f.SliceNCenterY, &f.SliceNCenterZ};
    for (int a = 0; a < 3; ++a) {
        centres[a]->value() = c1[a];
        centres[3 + a]->value() = flavour == Flavour::HalfWay ? c1[a] : cn[a];
    }

    s.ia.FileVersion.value() = 8; // always used
    randomRigid(rnd, s.ia.matrix, 0.6f, 25.0f);
    s.ia.ToVMRVoxelRes.value() = rnd.chance(0.8) ? 1.0f : rnd.real(0.5f, 2.0f);
    s.ia.ExtraVMRTransf.value() = rnd.chance(0.3) ? 1 : 0;
    randomRigid(rnd, s.ia.extraMatrix, 0.2f, 10.0f);
    if (rnd.chance(0.5)) s.ia.extraMatrix[1][1] = 1.0f + rnd.real(-0.2f, 0.2f);
    // An absent transformation gets a matrix that would show if it were applied.
    const bool fa = rnd.chance(0.6);
    s.fa.FileVersion.value() = fa ? 8 : -1;
    randomRigid(rnd, s.fa.matrix, fa ? 0.1f : 0.5f, fa ? 5.0f : 40.0f);
    s.acpc.FileVersion.value() = rnd.chance(0.7) ? 8 : -1;
    randomRigid(rnd, s.acpc.matrix, 0.3f, 15.0f);

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

    std::vector<single_ROI> regions;
    if (flavour == Flavour::HalfWay) {
        f.InplaneResolutionX.value() = f.InplaneResolutionY.value() = f.SliceThickness.value() =
            1.0f;
        f.SliceGap.value() = 0.0f;
        randomRigid(rnd, s.ia.matrix, seed % 2 == 0 ? 1e-6f : 0.0f, seed % 2 == 0 ? 1e-4f : 0.0f);
        s.ia.ToVMRVoxelRes.value() = 1.0f;
        s.ia.ExtraVMRTransf.value() = 0;
        s.fa.FileVersion.value() = s.acpc.FileVersion.value() = s.tal.FileVersion.value() = -1;
        regions.push_back(region(lattice(nx, ny, nz, 1, 2)));
    }
    if (flavour == Flavour::FoldedTal) {
        s.tal.FileVersion.value() = 1;
        if (seed % 3 == 0) l[TAL::AP] = {140, 128, 128};
        if (seed % 3 == 1) l[TAL::SP] = {128, 135, 128};
        if (seed % 3 == 2) l[TAL::RP] = {128, 128, 150};
    }
    if (flavour == Flavour::Degenerate) f.InplaneResolutionY.value() = 0.0f;
    if (flavour == Flavour::LargeGrid) regions.push_back(region(lattice(nx, ny, nz, 3, 2)));

    for (int i = 0; i < nRegions; ++i) {
        Voxels v;
        const int kind = rnd.integer(0, 5);
        if (kind == 1) { // scattered, with duplicates and voxels outside the grid
            for (int k = rnd.integer(1, 60); k > 0; --k) {
                v.emplace_back(rnd.integer(-3, nx + 2), rnd.integer(-3, ny + 2),
                               rnd.integer(-3, nz + 2));
                if (rnd.chance(0.2)) v.push_back(v.back());
            }
        } else if (kind == 2 && !regions.empty()) { // overlapping the previous region
            v = regions.back().voxels;
            const Voxels more = blob(rnd, nx, ny, nz, rnd.integer(1, 3));
            v.insert(v.end(), more.begin(), more.end());
        } else if (kind != 0) { // kind 0: empty
            v = blob(rnd, nx, ny, nz, rnd.integer(0, 5));
        }
        regions.push_back(region(std::move(v)));
        if (rnd.chance(0.1)) regions.back().NrOfVoxels.value() /= 2; // only these belong to it
    }
    setRois(s.roi, std::move(regions));
    // A region count that disagrees with the stored regions, either way.
    if (rnd.chance(0.15)) s.roi.NrOfTCPlots.value() += rnd.chance(0.5) ? 1 : -1;
    return s;
}

// The example study's subject 1 (documents read from `folder`, which ends with '/') with 16
// regions of the size drawn in practice: balls of 15 mm radius inside its 64 x 64 x 30 grid of
// 3 mm voxels, about 275 000 cube voxels in all. `fine`: the same run and balls on a
// 128 x 128 x 60 grid of 1.5 mm voxels.
inline Study realisticStudy(const std::string& folder, bool fine) {
    Study s;
    s.fmr = FMR(folder + "run1.fmr", false);
    s.ia = TRF(folder + "run1_IA.trf");
    s.fa = TRF(folder + "run1_FA.trf");
    s.acpc = TRF(folder + "anat_ACPC.trf");
    s.tal = TAL(folder + "anat.tal");
    const int k = fine ? 2 : 1;
    FMR& f = s.fmr;
    f.ResolutionX.value() *= k;
    f.ResolutionY.value() *= k;
    f.NrOfSlices.value() *= k;
    f.InplaneResolutionX.value() /= k;
    f.InplaneResolutionY.value() /= k;
    f.SliceThickness.value() /= k;
    f.SliceGap.value() /= k;
    const int nx = f.ResolutionX.value(), ny = f.ResolutionY.value(), nz = f.NrOfSlices.value();
    const int radius = 5 * k;
    Random rnd(15);
    std::vector<single_ROI> regions;
    for (int r = 0; r < 16; ++r) {
        const glm::tvec3<int> c(rnd.integer(5, 58) * k, rnd.integer(5, 58) * k,
                                rnd.integer(5, 24) * k);
        regions.push_back(region(blobAt(c, nx, ny, nz, radius)));
    }
    setRois(s.roi, std::move(regions));
    return s;
}

} // namespace randomstudy
