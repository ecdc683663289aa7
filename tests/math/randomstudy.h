#pragma once
// Seeded random conversion studies: the documents of one job, built in memory, varying grid and
// voxel sizes, slice axis and flip, alignment, Talairach landmarks or none, and regions that are
// blobs, scattered, overlapping, duplicated, empty, partly outside the grid or counted short.

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include "tests/formats/doctext.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <random>
#include <string>

namespace vocelle {

namespace randomstudy {

using Voxels = std::vector<glm::tvec3<int>>;

struct Study {
    ROI roi;
    FMR fmr = parse<FMR>("FileVersion: 7\nNrOfVolumes: 0\n", "study.fmr", false);
    TRF ia, fa, acpc;
    TAL tal;
};

// HalfWay: identity set-up on an odd grid, so positions fall half-way between voxels (even
// seeds: a hair's breadth from it), and a region of every other voxel. FoldedTal: a landmark on
// the wrong side of the AC. Degenerate: a zero voxel size, so infinite and NaN positions.
// LargeGrid: a region in every tile of a large grid, more boxes than a plane searches one by one.
enum class Flavour { Random, HalfWay, FoldedTal, Degenerate, LargeGrid };

struct Random {
    explicit Random(uint32_t seed) : engine(seed) {}
    int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }
    float real(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
    bool chance(double p) { return std::bernoulli_distribution(p)(engine); }
    std::mt19937 engine;
};

// Rotation by up to `angle` radians about each axis, then a shift of up to `shift`.
inline void randomRigid(Random& rnd, float (*m)[4], float angle, float shift) {
    glm::mat4 r(1.0f);
    for (int axis = 0; axis < 3; ++axis)
        r = glm::rotate(r, rnd.real(-angle, angle), glm::vec3(axis == 0, axis == 1, axis == 2));
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] = i % 4 == 3 && i < 12 ? rnd.real(-shift, shift) : r[i % 4][i / 4];
}

// An ROI document holding these regions.
inline ROI makeRoi(std::vector<Voxels> regions) {
    ROI roi;
    roi.FileVersion.set("FileVersion", 5, 20);
    roi.NrOfTCPlots.set("NrOfTCPlots", static_cast<int>(regions.size()), 20);
    for (Voxels& voxels : regions) {
        roi.rois.emplace_back().NrOfVoxels.set("NrOfVoxels", static_cast<int>(voxels.size()), 12);
        roi.rois.back().voxels = std::move(voxels);
    }
    return roi;
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

// Every other voxel of the lattice of `spacing` in the grid.
inline Voxels lattice(const int (&n)[3], int spacing) {
    Voxels voxels;
    for (int z = 0; z < n[2]; z += spacing)
        for (int y = 0; y < n[1]; y += spacing)
            for (int x = 0; x < n[0]; x += spacing)
                if ((x + y + z) % 2 == 0) voxels.emplace_back(x, y, z);
    return voxels;
}

inline Study makeStudy(uint32_t seed, Flavour flavour) {
    Random rnd(seed);
    Study s;
    FMR& f = s.fmr;
    int n[3] = {rnd.integer(8, 72), rnd.integer(8, 72), rnd.integer(4, 36)};
    if (flavour == Flavour::LargeGrid) n[0] += 150, n[1] += 150, n[2] += 40;
    if (flavour == Flavour::HalfWay) n[0] |= 1, n[1] |= 1, n[2] |= 1;
    f.ResolutionX.value() = n[0], f.ResolutionY.value() = n[1], f.NrOfSlices.value() = n[2];
    const auto size = [&](float lo, float hi) { // often a common one
        return rnd.chance(0.5) ? 1.0f + 0.5f * rnd.integer(0, 5) : rnd.real(lo, hi);
    };
    f.InplaneResolutionX.value() = size(0.8f, 4.0f);
    f.InplaneResolutionY.value() =
        rnd.chance(0.7) ? f.InplaneResolutionX.value() : size(0.8f, 4.0f);
    f.SliceThickness.value() = size(1.0f, 5.0f);
    f.SliceGap.value() = rnd.chance(0.5) ? 0.0f : rnd.real(0.0f, 1.0f);
    // The slice axis and its direction decide the flip; axis 3: all differences below 1.
    const int sliceAxis = rnd.integer(0, 3);
    const float extent = (n[2] - 1) * (f.SliceThickness.value() + f.SliceGap.value());
    Line<float>* centres[6] = {&f.Slice1CenterX, &f.Slice1CenterY, &f.Slice1CenterZ,
                               &f.SliceNCenterX, &f.SliceNCenterY, &f.SliceNCenterZ};
    for (int a = 0; a < 3; ++a) {
        centres[a]->value() = rnd.real(-30, 30);
        centres[3 + a]->value() =
            centres[a]->value() + (sliceAxis == 3   ? rnd.real(-0.9f, 0.9f)
                                   : a == sliceAxis ? (rnd.chance(0.5) ? extent : -extent)
                                                    : rnd.real(-0.3f, 0.3f) * extent);
    }

    // Only the matrix the documents make matters to the engine: a rotation, flipped or not,
    // shifted and scaled; the TAL decides the Talairach mapping and output.
    s.ia.FileVersion.value() = 8;
    randomRigid(rnd, s.ia.matrix, 0.6f, 25.0f);
    s.ia.ToVMRVoxelRes.value() = rnd.chance(0.8) ? 1.0f : rnd.real(0.5f, 2.0f);
    const int talVersions[] = {-1, -1, 0, 1, 1, 1, 3};
    s.tal.FileVersion.value() = talVersions[rnd.integer(0, 6)];
    // Landmarks near the box's own (AC PC AP PP SP IP RP LP), each on its axis.
    const int box[] = {128, 151, 58, 230, 54, 170, 60, 196}, axis[] = {0, 0, 0, 0, 1, 1, 2, 2};
    for (int k = 0; k < TAL::NrOfLandmarks; ++k) {
        s.tal.landmarks[k] = glm::tvec3<int>(128);
        s.tal.landmarks[k][axis[k]] = box[k] + (k == TAL::AC ? 0 : rnd.integer(-8, 8));
    }

    std::vector<Voxels> regions;
    if (flavour == Flavour::HalfWay) {
        f.InplaneResolutionX.value() = f.InplaneResolutionY.value() = f.SliceThickness.value() = 1;
        f.SliceGap.value() = 0;
        for (int a = 0; a < 3; ++a)
            centres[3 + a]->value() = centres[a]->value();
        randomRigid(rnd, s.ia.matrix, seed % 2 ? 0.0f : 1e-6f, seed % 2 ? 0.0f : 1e-4f);
        s.ia.ToVMRVoxelRes.value() = 1;
        s.tal.FileVersion.value() = -1;
        regions.push_back(lattice(n, 1));
    }
    if (flavour == Flavour::FoldedTal) {
        s.tal.FileVersion.value() = 1;
        const int k = TAL::AP + 2 * static_cast<int>(seed % 3); // AP, SP or RP
        s.tal.landmarks[k][axis[k]] = 140;
    }
    if (flavour == Flavour::Degenerate) f.InplaneResolutionY.value() = 0;
    if (flavour == Flavour::LargeGrid) {
        f.InplaneResolutionX.value() = f.InplaneResolutionY.value() = 1.2f;
        regions.push_back(lattice(n, 3));
    }
    for (uint32_t i = 0; i < seed % 3; ++i) {
        const int kind = rnd.integer(0, 5); // 0 empty, 1 scattered, 2 overlapping the last, blobs
        Voxels v = kind == 2 && !regions.empty() ? regions.back() : Voxels();
        if (kind == 1) { // with a duplicate and voxels outside the grid
            for (int k = rnd.integer(1, 60); k > 0; --k)
                v.emplace_back(rnd.integer(-3, n[0] + 2), rnd.integer(-3, n[1] + 2),
                               rnd.integer(-3, n[2] + 2));
            v.push_back(v.front());
        } else if (kind != 0) {
            const Voxels more = blob(rnd, n[0], n[1], n[2], rnd.integer(0, 5));
            v.insert(v.end(), more.begin(), more.end());
        }
        regions.push_back(std::move(v));
    }
    s.roi = makeRoi(std::move(regions));
    for (single_ROI& r : s.roi.rois)
        if (rnd.chance(0.1)) r.NrOfVoxels.value() /= 2; // only these belong to it
    // A region count that disagrees with the stored regions, either way.
    if (rnd.chance(0.15)) s.roi.NrOfTCPlots.value() += rnd.chance(0.5) ? 1 : -1;
    return s;
}

// The example study's subject 1 (documents read from `folder`, which ends with '/') with 16
// regions of the size drawn in practice: balls of 15 mm radius in its 64 x 64 x 30 grid of 3 mm
// voxels, about 275 000 cube voxels in all. `fine`: the same balls on a 128 x 128 x 60 grid of
// 1.5 mm voxels.
inline Study realisticStudy(const std::string& folder, bool fine) {
    Study s;
    s.fmr = FMR(folder + "run1.fmr", false);
    s.ia = TRF(folder + "run1_IA.trf");
    s.fa = TRF(folder + "run1_FA.trf");
    s.acpc = TRF(folder + "anat_ACPC.trf");
    s.tal = TAL(folder + "anat.tal");
    const int k = fine ? 2 : 1;
    FMR& f = s.fmr;
    for (Line<int>* count : {&f.ResolutionX, &f.ResolutionY, &f.NrOfSlices})
        count->value() *= k;
    for (Line<float>* size : {&f.InplaneResolutionX, &f.InplaneResolutionY, &f.SliceThickness, &f.SliceGap})
        size->value() /= k;
    Random rnd(15);
    std::vector<Voxels> regions;
    for (int r = 0; r < 16; ++r) {
        const glm::tvec3<int> c(rnd.integer(5, 58) * k, rnd.integer(5, 58) * k, rnd.integer(5, 24) * k);
        regions.push_back(blobAt(c, f.ResolutionX.value(), f.ResolutionY.value(), f.NrOfSlices.value(), 5 * k));
    }
    s.roi = makeRoi(std::move(regions));
    return s;
}

} // namespace randomstudy

} // namespace vocelle
