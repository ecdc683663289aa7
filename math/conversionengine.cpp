#include <vocelle/math/conversionengine.h>

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/trffunctions.h>
#include <vocelle/volume/volume.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace vocelle {

namespace {

const int cubeSize = 256;

// Entry colours (red, green, blue), repeating every six regions.
const glm::tvec3<int> voiColours[6] = {
    {255, 40, 50}, {80, 255, 80}, {40, 30, 255}, {255, 40, 255}, {80, 255, 255}, {255, 255, 30},
};

const int entryWidth = 12;

// FileVersion -1 marks a document that was built empty or read without a FileVersion line.
const int absentVersion = -1;

// More boxes than this on one plane are searched in this many groups, each as its bounding box,
// so the work per row stays bounded however the marked voxels are spread.
const size_t maxBoxesPerPlane = 64;

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

// One axis of the functional grid. Component i of the matrix-vector product for cube voxel
// (x, y, z) is ((a[x] + b[y]) + c[z]) + d, with a[x] = m[i][0] * p[0] and so on: the same
// products summed in the same order as multiplyMatrixVector, hence the same float. The centre
// offset h is added afterwards, as the plain conversion does.
struct Axis {
    float a[cubeSize];
    float b[cubeSize];
    float c[cubeSize];
    float d = 0.0f;
    float h = 0.0f;
    int n = 0;          // grid size along this axis
    float upper = 0.0f; // the least float not below n + 2
    float minA = 0.0f, maxA = 0.0f, minB = 0.0f, maxB = 0.0f;
    int dirA = 0, dirB = 0, dirC = 0;

    float value(float av, float bv, float cv) const {
        float q = av + bv;
        q = q + cv;
        q = q + d;
        return q + h;
    }

    // The grid index that Volume::nearest picks for coordinate q (halves rounded upward): -1
    // below the grid (NaN included), n above it. Never decreases as q grows, which is what
    // makes the skipping sound.
    int index(float q) const {
        const float s = q + 2.5f;
        if (!(s >= 2.0f)) return -1;
        if (!(s < upper)) return n;
        return static_cast<int>(s) - 2;
    }

    // The same, with -1 for both sides of the grid; free of branches, so that a row of them
    // vectorises. Out-of-grid values are replaced before the conversion, which therefore never
    // overflows.
    int cell(float q) const {
        const float s = q + 2.5f;
        const bool inside = s >= 2.0f && s < upper;
        const int i = static_cast<int>(inside ? s : 2.0f) - 2;
        return inside ? i : -1;
    }

    bool finite() const {
        for (int k = 0; k < cubeSize; ++k)
            if (!std::isfinite(a[k]) || !std::isfinite(b[k]) || !std::isfinite(c[k])) return false;
        return std::isfinite(d) && std::isfinite(h);
    }

    void measure() {
        minA = *std::min_element(a, a + cubeSize);
        maxA = *std::max_element(a, a + cubeSize);
        minB = *std::min_element(b, b + cubeSize);
        maxB = *std::max_element(b, b + cubeSize);
        dirA = direction(a);
        dirB = direction(b);
        dirC = direction(c);
    }
};

// The float comparison s < upper says exactly what double(s) < n + 2 says in Volume::nearest.
float leastFloatNotBelow(int n) {
    const double bound = static_cast<double>(n) + 2.0;
    float f = static_cast<float>(bound);
    if (static_cast<double>(f) < bound) f = std::nextafter(f, INFINITY);
    return f;
}

// Grid indices, inclusive, of the functional voxels a region marks.
struct Box {
    int lo[3];
    int hi[3];
};

// Bounding boxes of the marked voxels, one per tile of the grid. Boxes follow where marked voxels
// are, whatever region they belong to, so the work does not depend on how voxels are shared out
// over regions, and a region of scattered pieces does not make the space between them count.
class Tiles {
public:
    Tiles(int nx, int ny, int nz) : n_{nx, ny, nz} {
        // Tiles grow until there are at most maxTiles of them, to bound the work per plane.
        for (;;) {
            long long count = 1;
            for (int i = 0; i < 3; ++i) {
                per_[i] = (n_[i] + size_[i] - 1) / size_[i];
                count *= per_[i];
            }
            if (count <= maxTiles) break;
            int widest = 0;
            for (int i = 1; i < 3; ++i)
                if (per_[i] > per_[widest]) widest = i;
            size_[widest] *= 2;
        }
        tiles_.assign(static_cast<size_t>(per_[0]) * per_[1] * per_[2],
                      Box{{n_[0], n_[1], n_[2]}, {-1, -1, -1}});
    }

    void add(const glm::tvec3<int>& v) {
        Box& b =
            tiles_[(static_cast<size_t>(v[2] / size_[2]) * per_[1] + v[1] / size_[1]) * per_[0] +
                   v[0] / size_[0]];
        for (int i = 0; i < 3; ++i) {
            b.lo[i] = std::min(b.lo[i], v[i]);
            b.hi[i] = std::max(b.hi[i], v[i]);
        }
    }

    std::vector<Box> boxes() const {
        std::vector<Box> used;
        for (const Box& b : tiles_)
            if (b.hi[0] >= 0) used.push_back(b);
        return used;
    }

private:
    static const long long maxTiles = 4096;
    int n_[3];
    int size_[3] = {16, 16, 8};
    int per_[3] = {1, 1, 1};
    std::vector<Box> tiles_;
};

struct Span {
    int first = 0;
    int last = -1;
    bool empty() const { return first > last; }
    bool holds(int k) const { return first <= k && k <= last; }
};

Span intersect(Span s, Span t) {
    return Span{std::max(s.first, t.first), std::min(s.last, t.last)};
}

// The first k in [0, 256) where pred holds, for a pred that never turns false again; 256 if
// none. The search starts at `hint` and gallops away from it, so an answer close to the hint
// (the answer for the previous row, say) costs two or three tests; the hint is updated.
template <typename Pred> int firstTrue(int& hint, Pred pred) {
    int lo, hi; // pred(lo) false or lo == -1; pred(hi) true or hi == 256
    const int h = std::min(std::max(hint, 0), cubeSize - 1);
    if (pred(h)) {
        hi = h;
        for (int step = 1;; step *= 2) {
            lo = hi - step;
            if (lo < 0) {
                lo = -1;
                break;
            }
            if (!pred(lo)) break;
            hi = lo;
        }
    } else {
        lo = h;
        for (int step = 1;; step *= 2) {
            hi = lo + step;
            if (hi >= cubeSize) {
                hi = cubeSize;
                break;
            }
            if (pred(hi)) break;
            lo = hi;
        }
    }
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid;
    }
    hint = hi;
    return hi;
}

// Where a search along one cube axis starts: the middle, then the last answer.
struct Hints {
    int at[3][2] = {{128, 128}, {128, 128}, {128, 128}};
};

// The k in [0, 256) with lowKey(k) <= hi and highKey(k) >= lo. When both keys move with k in
// direction dir they form one interval, found by two searches; with dir 0 every k is tested and
// the interval spanning those that pass is returned.
template <typename Low, typename High>
Span span(int dir, Low lowKey, High highKey, int lo, int hi, int (&hints)[2]) {
    Span s;
    if (dir > 0) {
        s.first = firstTrue(hints[0], [&](int k) { return highKey(k) >= lo; });
        s.last = firstTrue(hints[1], [&](int k) { return lowKey(k) > hi; }) - 1;
    } else if (dir < 0) {
        s.first = firstTrue(hints[0], [&](int k) { return lowKey(k) <= hi; });
        s.last = firstTrue(hints[1], [&](int k) { return highKey(k) < lo; }) - 1;
    } else {
        for (int k = 0; k < cubeSize; ++k) {
            if (lowKey(k) <= hi && highKey(k) >= lo) {
                if (s.empty()) s.first = k;
                s.last = k;
            }
        }
    }
    return s;
}

// The set of regions that contain a functional voxel, as a chain of nodes: node s adds region
// `region[s]` to the set of node `parent[s]`; node 0 is the empty set. Regions are marked in
// ascending order, so a set contains the region being marked exactly when its newest node is
// that region's.
struct RegionSets {
    std::vector<uint32_t> parent{0};
    std::vector<int> region{-1};
    std::vector<uint32_t> next{0}; // the node that adds the current region to node s ...
    std::vector<int> nextFor{-1};  // ... valid when nextFor[s] is that region

    uint32_t add(uint32_t s, int r) {
        if (s != 0 && region[s] == r) return s;
        if (nextFor[s] == r) return next[s];
        const uint32_t fresh = static_cast<uint32_t>(parent.size());
        parent.push_back(s);
        region.push_back(r);
        next.push_back(0);
        nextFor.push_back(-1);
        next[s] = fresh;
        nextFor[s] = r;
        return fresh;
    }
};

struct FreeDeleter {
    void operator()(uint32_t* p) const { std::free(p); }
};

class Scan {
public:
    Scan(const Axis (&axes)[3], const uint32_t* labels, const RegionSets& sets,
         bool talairachOutput, std::vector<single_VOI>& entries)
        : ax_(axes), labels_(labels), sets_(sets), talairach_(talairachOutput), entries_(entries) {}

    long long visited = 0;

    // Cube voxels x0..x1 of row (y, z), each carried into the grid and looked up exactly as
    // Volume::nearest would. The grid indices are found first, one axis at a time, in loops the
    // compiler can vectorise.
    void row(int y, int z, int x0, int x1) {
        const Axis& u = ax_[0];
        const Axis& v = ax_[1];
        const Axis& w = ax_[2];
        indices(u, y, z, x0, x1, i_);
        indices(v, y, z, x0, x1, j_);
        indices(w, y, z, x0, x1, k_);
        visited += x1 - x0 + 1;
        for (int x = x0; x <= x1; ++x) {
            const int i = i_[x], j = j_[x], k = k_[x];
            if (static_cast<unsigned>(i) >= static_cast<unsigned>(u.n) ||
                static_cast<unsigned>(j) >= static_cast<unsigned>(v.n) ||
                static_cast<unsigned>(k) >= static_cast<unsigned>(w.n))
                continue;
            const uint32_t s = labels_[(k * v.n + j) * u.n + i];
            if (s != 0) keep(s, x, y, z);
        }
    }

private:
    static void indices(const Axis& u, int y, int z, int x0, int x1, int* out) {
        const float by = u.b[y], cz = u.c[z];
        for (int x = x0; x <= x1; ++x)
            out[x] = u.cell(u.value(u.a[x], by, cz));
    }

    void keep(uint32_t s, int x, int y, int z) {
        const glm::tvec3<int> voxel =
            talairach_ ? glm::tvec3<int>(128 - z, 128 - x, 128 - y) : glm::tvec3<int>(x, y, z);
        for (; s != 0; s = sets_.parent[s])
            entries_[static_cast<size_t>(sets_.region[s])].voxels.push_back(voxel);
    }

    const Axis (&ax_)[3];
    const uint32_t* labels_;
    const RegionSets& sets_;
    bool talairach_;
    std::vector<single_VOI>& entries_;
    int i_[cubeSize];
    int j_[cubeSize];
    int k_[cubeSize];
};

// A box with the places where its searches start, carried from plane to plane and row to row.
struct Tracked {
    Box box;
    Span rows;
    Hints rowHints;
    Hints runHints;
};

// Plane, row and run limits of the voxels that can land in a box, per axis of the grid.
Span planesOf(const Axis (&ax)[3], const Box& box) {
    Span s{0, cubeSize - 1};
    Hints hints;
    for (int i = 0; i < 3 && !s.empty(); ++i) {
        const Axis& u = ax[i];
        s = intersect(s,
                      span(
                          u.dirC, [&](int z) { return u.index(u.value(u.minA, u.minB, u.c[z])); },
                          [&](int z) { return u.index(u.value(u.maxA, u.maxB, u.c[z])); },
                          box.lo[i], box.hi[i], hints.at[i]));
    }
    return s;
}

Span rowsOf(const Axis (&ax)[3], Tracked& t, int z) {
    Span s{0, cubeSize - 1};
    for (int i = 0; i < 3 && !s.empty(); ++i) {
        const Axis& u = ax[i];
        const float cz = u.c[z];
        s = intersect(s, span(
                             u.dirB, [&](int y) { return u.index(u.value(u.minA, u.b[y], cz)); },
                             [&](int y) { return u.index(u.value(u.maxA, u.b[y], cz)); },
                             t.box.lo[i], t.box.hi[i], t.rowHints.at[i]));
    }
    return s;
}

// Only called when every a table is monotone, so the result is exact.
Span runOf(const Axis (&ax)[3], Tracked& t, int y, int z) {
    Span s{0, cubeSize - 1};
    for (int i = 0; i < 3 && !s.empty(); ++i) {
        const Axis& u = ax[i];
        const float by = u.b[y], cz = u.c[z];
        const auto key = [&](int x) { return u.index(u.value(u.a[x], by, cz)); };
        s = intersect(s, span(u.dirA, key, key, t.box.lo[i], t.box.hi[i], t.runHints.at[i]));
    }
    return s;
}

Box unionOf(const Box& s, const Box& t) {
    Box u = s;
    for (int i = 0; i < 3; ++i) {
        u.lo[i] = std::min(u.lo[i], t.lo[i]);
        u.hi[i] = std::max(u.hi[i], t.hi[i]);
    }
    return u;
}

void scanWithBoxes(const Axis (&ax)[3], const std::vector<Box>& boxes, Scan& scan) {
    const bool runsExact = ax[0].dirA != 0 && ax[1].dirA != 0 && ax[2].dirA != 0;
    std::vector<Tracked> tracked(boxes.size());
    std::vector<Span> planes(boxes.size());
    for (size_t b = 0; b < boxes.size(); ++b) {
        tracked[b].box = boxes[b];
        planes[b] = planesOf(ax, boxes[b]);
    }

    std::vector<Tracked*> active;
    std::vector<Tracked> merged;
    std::vector<Span> runs;
    for (int z = 0; z < cubeSize; ++z) {
        active.clear();
        for (size_t b = 0; b < boxes.size(); ++b)
            if (planes[b].holds(z)) active.push_back(&tracked[b]);
        if (active.empty()) continue;
        if (active.size() > maxBoxesPerPlane) {
            // Neighbours along the first grid axis share a group.
            std::sort(active.begin(), active.end(), [](const Tracked* s, const Tracked* t) {
                return s->box.lo[0] < t->box.lo[0];
            });
            merged.assign(maxBoxesPerPlane, Tracked());
            for (size_t g = 0; g < maxBoxesPerPlane; ++g) {
                const size_t from = g * active.size() / maxBoxesPerPlane;
                const size_t to = (g + 1) * active.size() / maxBoxesPerPlane;
                merged[g].box = active[from]->box;
                for (size_t b = from + 1; b < to; ++b)
                    merged[g].box = unionOf(merged[g].box, active[b]->box);
            }
            active.clear();
            for (Tracked& t : merged)
                active.push_back(&t);
        }

        Span anyRow;
        for (Tracked* t : active) {
            t->rows = rowsOf(ax, *t, z);
            if (t->rows.empty()) continue;
            anyRow = anyRow.empty() ? t->rows
                                    : Span{std::min(anyRow.first, t->rows.first),
                                           std::max(anyRow.last, t->rows.last)};
        }
        for (int y = anyRow.first; y <= anyRow.last; ++y) {
            runs.clear();
            for (Tracked* t : active) {
                if (!t->rows.holds(y)) continue;
                if (!runsExact) {
                    runs.assign(1, Span{0, cubeSize - 1});
                    break;
                }
                const Span run = runOf(ax, *t, y, z);
                if (!run.empty()) runs.push_back(run);
            }
            if (runs.empty()) continue;
            // Overlapping runs are visited once, left to right, so scan order holds.
            std::sort(runs.begin(), runs.end(),
                      [](const Span& s, const Span& t) { return s.first < t.first; });
            Span current = runs[0];
            for (size_t r = 1; r < runs.size(); ++r) {
                if (runs[r].first <= current.last + 1) {
                    current.last = std::max(current.last, runs[r].last);
                } else {
                    scan.row(y, z, current.first, current.last);
                    current = runs[r];
                }
            }
            scan.row(y, z, current.first, current.last);
        }
    }
}

} // namespace
VOI convertROIToVOI(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                    const TAL& tal, ConversionStats* stats) {
    float m[4][4];
    createVMR2FMRmatrix(fmr, ia, fa, acpc, m);

    VOI result;
    ConversionStats done;

    // A grid with a non-positive size holds no voxel, so every entry gets 0 voxels. A grid too
    // large for a mask is refused as the mask would refuse it.
    const int nx = std::max(fmr.ResolutionX.value(), 0);
    const int ny = std::max(fmr.ResolutionY.value(), 0);
    const int nz = std::max(fmr.NrOfSlices.value(), 0);
    if (!Volume<float>::validDimensions(glm::tvec3<int>(nx, ny, nz)))
        throw std::bad_array_new_length();

    // The two tests differ on purpose: landmarks are applied only from FileVersion 1 on, while
    // any TAL that was read at all switches the output to Talairach coordinates.
    const bool mapFromTalairach = tal.FileVersion.value() > 0;
    const bool talairachOutput = tal.FileVersion.value() != absentVersion;

    // Only stored entries are converted, even if NrOfTCPlots claims more.
    const long long regions =
        std::min<long long>(roi.NrOfTCPlots.value(), static_cast<long long>(roi.rois.size()));
    if (regions >= 1) {
        result.vois.resize(static_cast<size_t>(regions));
        for (long long i = 0; i < regions; ++i) {
            single_VOI& entry = result.vois[static_cast<size_t>(i)];
            entry.NameOfVOI.set("NameOfVOI", "VOI " + std::to_string(i + 1), entryWidth);
            entry.color = voiColours[i % 6];
        }

        const long long cells = static_cast<long long>(nx) * ny * nz;
        std::unique_ptr<uint32_t, FreeDeleter> labels;
        RegionSets sets;
        std::vector<Box> boxes;
        if (cells > 0) {
            labels.reset(
                static_cast<uint32_t*>(std::calloc(static_cast<size_t>(cells), sizeof(uint32_t))));
            if (!labels) throw std::bad_alloc();
            Tiles tiles(nx, ny, nz);
            for (long long r = 0; r < regions; ++r) {
                const single_ROI& region = roi.rois[static_cast<size_t>(r)];
                const long long marked = std::min<long long>(
                    region.NrOfVoxels.value(), static_cast<long long>(region.voxels.size()));
                for (long long k = 0; k < marked; ++k) {
                    const glm::tvec3<int>& v = region.voxels[static_cast<size_t>(k)];
                    // A voxel outside the grid cannot be part of it: skipped, never written.
                    if (v[0] < 0 || v[0] >= nx || v[1] < 0 || v[1] >= ny || v[2] < 0 || v[2] >= nz)
                        continue;
                    uint32_t& cell = labels.get()[(v[2] * ny + v[1]) * nx + v[0]];
                    cell = sets.add(cell, static_cast<int>(r));
                    tiles.add(v);
                }
            }
            boxes = tiles.boxes();
        }

        if (!boxes.empty()) {
            // p for cube coordinate t on each axis: untal works on each axis alone.
            float centred[3][cubeSize];
            for (int t = 0; t < cubeSize; ++t) {
                float p[4] = {static_cast<float>(t), static_cast<float>(t), static_cast<float>(t),
                              1.0f};
                if (mapFromTalairach) untal(p, tal);
                for (int i = 0; i < 3; ++i)
                    centred[i][t] = p[i] + -127.5f;
            }
            // Integer subtraction first, then the conversion to float.
            const int sizes[3] = {nx, ny, nz};
            Axis axes[3];
            bool finite = true;
            for (int i = 0; i < 3; ++i) {
                Axis& u = axes[i];
                for (int t = 0; t < cubeSize; ++t) {
                    u.a[t] = m[i][0] * centred[0][t];
                    u.b[t] = m[i][1] * centred[1][t];
                    u.c[t] = m[i][2] * centred[2][t];
                }
                u.d = m[i][3] * 1.0f;
                u.h = static_cast<float>(sizes[i] - 1) * 0.5f;
                u.n = sizes[i];
                u.upper = leastFloatNotBelow(sizes[i]);
                finite = finite && u.finite();
                u.measure();
            }

            Scan scan(axes, labels.get(), sets, talairachOutput, result.vois);
            if (!finite) {
                // Without finite tables nothing about the order of positions can be trusted.
                done.path = ConversionStats::FullScan;
                for (int z = 0; z < cubeSize; ++z)
                    for (int y = 0; y < cubeSize; ++y)
                        scan.row(y, z, 0, cubeSize - 1);
            } else {
                const bool monotone = axes[0].dirA && axes[0].dirB && axes[0].dirC &&
                                      axes[1].dirA && axes[1].dirB && axes[1].dirC &&
                                      axes[2].dirA && axes[2].dirB && axes[2].dirC;
                done.path = monotone ? ConversionStats::Pruned : ConversionStats::Partial;
                scanWithBoxes(axes, boxes, scan);
            }
            done.visited = scan.visited;
        }

        for (single_VOI& entry : result.vois)
            entry.NrOfVoxels.set("NrOfVoxels", static_cast<int>(entry.voxels.size()), entryWidth);
    }

    result.NrOfVOIs = static_cast<int>(result.vois.size());

    // The AC-PC transformation decides first: without it the coordinates are those of the
    // native cube, whatever the TAL holds.
    if (acpc.FileVersion.value() == absentVersion)
        result.ReferenceSpace = std::string("CV");
    else if (!talairachOutput)
        result.ReferenceSpace = std::string("ACPC");
    else
        result.ReferenceSpace = std::string("TAL");

    if (stats) *stats = done;
    return result;
}

} // namespace vocelle
