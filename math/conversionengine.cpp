#include <vocelle/math/conversionengine.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/cubespace.h>
#include <vocelle/math/gridmapping.h>
#include <vocelle/volume/volume.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace vocelle {

namespace {

// Entry colours (red, green, blue), repeating every six regions.
const glm::tvec3<int> voiColours[6] = {
    {255, 40, 50}, {80, 255, 80}, {40, 30, 255}, {255, 40, 255}, {80, 255, 255}, {255, 255, 30},
};

const int entryWidth = 12;

struct Span {
    int first = 0;
    int last = -1;
    bool empty() const { return first > last; }
};

Span intersect(Span s, Span t) {
    return Span{std::max(s.first, t.first), std::min(s.last, t.last)};
}

// The least and greatest term of cube axis t of u over the voxels of r (not empty).
void extremes(const GridAxis& u, int t, Span r, float& lo, float& hi) {
    const float* v = u.table[t];
    if (u.dir[t] != 0) {
        lo = std::min(v[r.first], v[r.last]);
        hi = std::max(v[r.first], v[r.last]);
    } else {
        lo = *std::min_element(v + r.first, v + r.last + 1);
        hi = *std::max_element(v + r.first, v + r.last + 1);
    }
}

// Grid indices, inclusive, of the functional voxels a region marks.
struct Box {
    int lo[3];
    int hi[3];

    long long volume() const {
        return static_cast<long long>(hi[0] - lo[0] + 1) * (hi[1] - lo[1] + 1) *
               (hi[2] - lo[2] + 1);
    }
};

Box unionOf(const Box& s, const Box& t) {
    Box u = s;
    for (int i = 0; i < 3; ++i) {
        u.lo[i] = std::min(u.lo[i], t.lo[i]);
        u.hi[i] = std::max(u.hi[i], t.hi[i]);
    }
    return u;
}

// Bounding boxes of the marked voxels, whatever region they belong to. Each tile of the grid
// gets the box of its marked voxels; boxes of neighbouring tiles are then joined while the
// joined box stays nearly as full as its parts. So the space between scattered pieces is not
// searched, and a compact region cut by tile borders is still searched as one box.
class Tiles {
  public:
    Tiles(int nx, int ny, int nz) : n_{nx, ny, nz} {
        // Tiles grow until there are at most maxTiles of them, to bound the work of joining.
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
        Box& b = tiles_[tileOf(v[0] / size_[0], v[1] / size_[1], v[2] / size_[2])];
        for (int i = 0; i < 3; ++i) {
            b.lo[i] = std::min(b.lo[i], v[i]);
            b.hi[i] = std::max(b.hi[i], v[i]);
        }
    }

    std::vector<Box> boxes() {
        std::vector<size_t> root(tiles_.size());
        std::iota(root.begin(), root.end(), size_t(0));
        const auto find = [&](size_t t) {
            while (root[t] != t)
                t = root[t] = root[root[t]];
            return t;
        };
        for (int tz = 0; tz < per_[2]; ++tz)
            for (int ty = 0; ty < per_[1]; ++ty)
                for (int tx = 0; tx < per_[0]; ++tx) {
                    const size_t t = tileOf(tx, ty, tz);
                    if (!used(tiles_[t])) continue;
                    const int next[3][3] = {{tx + 1, ty, tz}, {tx, ty + 1, tz}, {tx, ty, tz + 1}};
                    for (const auto& nb : next) {
                        if (nb[0] >= per_[0] || nb[1] >= per_[1] || nb[2] >= per_[2]) continue;
                        const size_t s = tileOf(nb[0], nb[1], nb[2]);
                        if (!used(tiles_[s])) continue;
                        const size_t r = find(t), q = find(s);
                        if (r == q) continue;
                        const Box joined = unionOf(tiles_[r], tiles_[q]);
                        if (joined.volume() * 2 > (tiles_[r].volume() + tiles_[q].volume()) * 3)
                            continue;
                        root[q] = r;
                        tiles_[r] = joined;
                    }
                }
        std::vector<Box> result;
        for (size_t t = 0; t < tiles_.size(); ++t)
            if (used(tiles_[t]) && root[t] == t) result.push_back(tiles_[t]);
        return result;
    }

  private:
    static const long long maxTiles = 4096;
    static bool used(const Box& b) { return b.hi[0] >= 0; }
    size_t tileOf(int tx, int ty, int tz) const {
        return (static_cast<size_t>(tz) * per_[1] + ty) * per_[0] + tx;
    }
    int n_[3];
    int size_[3] = {8, 8, 8};
    int per_[3] = {1, 1, 1};
    std::vector<Box> tiles_;
};

// The first k in [0, 256) where pred holds, for a pred that never turns false again; 256 if
// none. The search starts at `hint` and gallops away from it, so an answer next to the hint
// costs two tests.
template <typename Pred> int firstTrue(int hint, Pred pred) {
    int no = -1, yes = cubeSize; // pred(no) false or no == -1; pred(yes) true or yes == 256
    const int h = std::min(std::max(hint, 0), cubeSize - 1);
    if (pred(h)) {
        yes = h;
        for (int step = 1; yes - step >= 0; step *= 2) {
            if (!pred(yes - step)) {
                no = yes - step;
                break;
            }
            yes -= step;
        }
    } else {
        no = h;
        for (int step = 1; no + step < cubeSize; step *= 2) {
            if (pred(no + step)) {
                yes = no + step;
                break;
            }
            no += step;
        }
    }
    while (yes - no > 1) {
        const int mid = no + (yes - no) / 2;
        if (pred(mid))
            yes = mid;
        else
            no = mid;
    }
    return yes;
}

// Where a search starts: where the last one ended, moved on as far as the last one moved, since
// searches follow cube rows or planes one after the other.
struct Track {
    int at = cubeSize / 2;
    int step = 0;

    int next() const { return at + step; }
    int found(int k) {
        step = k - at;
        at = k;
        return k;
    }
};

// The k in [0, 256) with lowKey(k) <= hi and highKey(k) >= lo. When both keys move with k in
// direction dir they form one interval, found by two searches that start where `tracks` say;
// with dir 0 every k is tested and the interval spanning those that pass is returned.
template <typename Low, typename High>
Span span(int dir, Low lowKey, High highKey, int lo, int hi, Track (&tracks)[2]) {
    Span s;
    if (dir > 0) {
        s.first =
            tracks[0].found(firstTrue(tracks[0].next(), [&](int k) { return highKey(k) >= lo; }));
        s.last =
            tracks[1].found(firstTrue(tracks[1].next(), [&](int k) { return lowKey(k) > hi; })) - 1;
    } else if (dir < 0) {
        s.first =
            tracks[0].found(firstTrue(tracks[0].next(), [&](int k) { return lowKey(k) <= hi; }));
        s.last =
            tracks[1].found(firstTrue(tracks[1].next(), [&](int k) { return highKey(k) < lo; })) -
            1;
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

// Where the searches along one cube axis start, per grid axis.
struct Hints {
    Track at[3][2];
};

// The voxels along cube axis t (0 x, 1 y, 2 z) within r[t] that can land in box when the other
// two coordinates stay within their ranges in r.
Span narrow(const GridAxis (&ax)[3], const Box& box, int t, const Span (&r)[3], Hints& hints) {
    Span s = r[t];
    for (int i = 0; i < 3 && !s.empty(); ++i) {
        const GridAxis& u = ax[i];
        float lo[3], hi[3];
        for (int v = 0; v < 3; ++v)
            if (v != t) extremes(u, v, r[v], lo[v], hi[v]);
        const float* tab = u.table[t];
        const auto key = [&](int k, const float(&with)[3]) {
            float p[3] = {with[0], with[1], with[2]};
            p[t] = tab[k];
            return u.index(u.value(p[0], p[1], p[2]));
        };
        s = intersect(s, span(
                             u.dir[t], [&](int k) { return key(k, lo); },
                             [&](int k) { return key(k, hi); }, box.lo[i], box.hi[i], hints.at[i]));
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

// Cube voxels x0..x1 of row `row` (z * 256 + y) that land in functional voxels of one set.
struct KeptRun {
    uint16_t row;
    uint8_t x0;
    uint8_t x1;
    uint32_t set;
};

struct FreeDeleter {
    void operator()(uint32_t* p) const { std::free(p); }
};

// Set numbers of the functional voxels, one more element, always 0, standing for every place
// outside the grid.
using Labels = std::unique_ptr<uint32_t, FreeDeleter>;

// Carries cube voxels into the grid, looks up the set of the functional voxel each lands in and
// records the runs of one set, in scan order. Positions are worked out in a loop the compiler
// vectorises; the lookups follow.
class Scan {
  public:
    // labels: the set number of every functional voxel, followed by one 0 that stands for every
    // place outside the grid.
    Scan(const GridAxis (&axes)[3], const uint32_t* labels, std::vector<KeptRun>& kept)
        : ax_(axes), labels_(labels), kept_(kept),
          outside_(static_cast<int>(static_cast<long long>(axes[0].n) * axes[1].n * axes[2].n)) {}

    // Cube voxels x0..x1 of row (y, z), each of which is known to land in the grid.
    void inGrid(int y, int z, int x0, int x1) {
        const GridAxis& u = ax_[0];
        const GridAxis& v = ax_[1];
        const GridAxis& w = ax_[2];
        const float ub = u.table[1][y], uc = u.table[2][z];
        const float vb = v.table[1][y], vc = v.table[2][z];
        const float wb = w.table[1][y], wc = w.table[2][z];
        // Inside the grid, s = q + 2.5 lies in [2, n + 2) and the index is int(s) - 2.
        const int nx = u.n, nxy = u.n * v.n, shift = 2 * nxy + 2 * nx + 2;
        int* const at = at_;
        for (int x = x0; x <= x1; ++x) {
            const int i = u.indexPlus2(u.value(u.table[0][x], ub, uc));
            const int j = v.indexPlus2(v.value(v.table[0][x], vb, vc));
            const int k = w.indexPlus2(w.value(w.table[0][x], wb, wc));
            at[x] = k * nxy + j * nx + i - shift;
        }
        record(y, z, x0, x1);
    }

    // The same for voxels that may land anywhere.
    void anywhere(int y, int z, int x0, int x1) {
        const GridAxis& u = ax_[0];
        const GridAxis& v = ax_[1];
        const GridAxis& w = ax_[2];
        const float ub = u.table[1][y], uc = u.table[2][z];
        const float vb = v.table[1][y], vc = v.table[2][z];
        const float wb = w.table[1][y], wc = w.table[2][z];
        const int nx = u.n, nxy = u.n * v.n, outside = outside_;
        int* const at = at_;
        for (int x = x0; x <= x1; ++x) {
            const int i = u.cell(u.value(u.table[0][x], ub, uc));
            const int j = v.cell(v.value(v.table[0][x], vb, vc));
            const int k = w.cell(w.value(w.table[0][x], wb, wc));
            at[x] = (i | j | k) < 0 ? outside : k * nxy + j * nx + i;
        }
        record(y, z, x0, x1);
    }

  private:
    void record(int y, int z, int x0, int x1) {
        const uint16_t row = static_cast<uint16_t>(z * cubeSize + y);
        uint32_t set = labels_[at_[x0]];
        int first = x0;
        for (int x = x0 + 1; x <= x1; ++x) {
            const uint32_t s = labels_[at_[x]];
            if (s == set) continue;
            if (set != 0) kept_.push_back(KeptRun{row, uint8_t(first), uint8_t(x - 1), set});
            set = s;
            first = x;
        }
        if (set != 0) kept_.push_back(KeptRun{row, uint8_t(first), uint8_t(x1), set});
    }

    const GridAxis (&ax_)[3];
    const uint32_t* labels_;
    std::vector<KeptRun>& kept_;
    int outside_;
    int at_[cubeSize];
};

// A box with where its searches start, carried from plane to plane and row to row.
struct Tracked {
    Box box;
    Span reach[3]; // cube voxels, per axis, that can land in the box
    Span rows;     // on the current plane
    Span columns;
    Hints plane[3];
    Hints run;
};

// The part of cube row (y, z) that lands in the box, exact since every x term is monotone. The
// grid axes are taken in `order`, the one that moves most along a cube row first: the others
// move little over what is left, and when both ends of it lie within the box on such an axis,
// so does all of it.
Span runOf(const GridAxis (&ax)[3], const int (&order)[3], Tracked& t, int y, int z) {
    Span s = t.columns;
    for (int i : order) {
        const GridAxis& u = ax[i];
        const float by = u.table[1][y], cz = u.table[2][z];
        const auto key = [&](int x) { return u.index(u.value(u.table[0][x], by, cz)); };
        const int lo = t.box.lo[i], hi = t.box.hi[i];
        if (i != order[0]) {
            const int first = key(s.first), last = key(s.last);
            if (first >= lo && first <= hi && last >= lo && last <= hi) continue;
        }
        s = intersect(s, span(u.dir[0], key, key, lo, hi, t.run.at[i]));
        if (s.empty()) break;
    }
    return s;
}

// Every cube voxel that can land in a box, visited once, in scan order. When every x term is
// monotone only the exact parts of rows that land in boxes are visited; otherwise every row a
// box can reach is visited whole.
void scanBoxes(const GridAxis (&ax)[3], const std::vector<Box>& boxes, Scan& scan) {
    const bool runsExact = ax[0].dir[0] != 0 && ax[1].dir[0] != 0 && ax[2].dir[0] != 0;
    int order[3] = {0, 1, 2};
    const auto spread = [&](int i) { return ax[i].most[0] - ax[i].least[0]; };
    std::sort(order, order + 3, [&](int i, int j) { return spread(i) > spread(j); });
    std::vector<Tracked> tracked;
    tracked.reserve(boxes.size());
    Hints hints[3];
    for (const Box& box : boxes) {
        Tracked t;
        t.box = box;
        for (Span& s : t.reach)
            s = Span{0, cubeSize - 1};
        // Each axis narrowed by the reach of the others, twice round.
        bool reached = true;
        for (int round = 0; round < 2 && reached; ++round)
            for (int c = 2; c >= 0 && reached; --c) {
                t.reach[c] = narrow(ax, t.box, c, t.reach, hints[c]);
                reached = !t.reach[c].empty();
            }
        if (reached) tracked.push_back(t);
    }
    // Boxes in the order their planes begin, so that each plane takes up the next ones.
    std::sort(tracked.begin(), tracked.end(), [](const Tracked& s, const Tracked& t) {
        return s.reach[2].first < t.reach[2].first;
    });

    size_t nextBox = 0;
    std::vector<Tracked*> onPlane, byRow, onRow;
    std::vector<Span> runs;
    for (int z = 0; z < cubeSize; ++z) {
        for (; nextBox < tracked.size() && tracked[nextBox].reach[2].first <= z; ++nextBox)
            onPlane.push_back(&tracked[nextBox]);
        onPlane.erase(std::remove_if(onPlane.begin(), onPlane.end(),
                                     [z](const Tracked* t) { return t->reach[2].last < z; }),
                      onPlane.end());
        if (onPlane.empty()) continue;

        // Rows narrowed by the columns they can reach, and again.
        byRow.clear();
        for (Tracked* t : onPlane) {
            Span r[3] = {t->reach[0], t->reach[1], Span{z, z}};
            r[1] = narrow(ax, t->box, 1, r, t->plane[0]);
            if (r[1].empty()) continue;
            r[0] = narrow(ax, t->box, 0, r, t->plane[1]);
            if (r[0].empty()) continue;
            r[1] = narrow(ax, t->box, 1, r, t->plane[2]);
            if (r[1].empty()) continue;
            t->rows = r[1];
            t->columns = r[0];
            byRow.push_back(t);
        }
        std::sort(byRow.begin(), byRow.end(),
                  [](const Tracked* s, const Tracked* t) { return s->rows.first < t->rows.first; });

        onRow.clear();
        size_t nextRow = 0;
        for (int y = 0; y < cubeSize; ++y) {
            for (; nextRow < byRow.size() && byRow[nextRow]->rows.first <= y; ++nextRow)
                onRow.push_back(byRow[nextRow]);
            onRow.erase(std::remove_if(onRow.begin(), onRow.end(),
                                       [y](const Tracked* t) { return t->rows.last < y; }),
                        onRow.end());
            if (onRow.empty()) {
                if (nextRow == byRow.size()) break;
                continue;
            }
            if (!runsExact) {
                scan.anywhere(y, z, 0, cubeSize - 1);
                continue;
            }
            runs.clear();
            for (Tracked* t : onRow) {
                const Span run = runOf(ax, order, *t, y, z);
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
                    scan.inGrid(y, z, current.first, current.last);
                    current = runs[r];
                }
            }
            scan.inGrid(y, z, current.first, current.last);
        }
    }
}

// Makes the pages of [data, data + bytes) writable memory in one request. Memory a process has
// never used is otherwise handed over one page fault at a time, and on some machines those faults
// cost more than everything else the conversion does with the pages. Where the request is not
// known it is refused, and the pages come one fault at a time as before.
void prepareForWriting(const void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t from = reinterpret_cast<uintptr_t>(data) & ~(page - 1);
    const uintptr_t to = reinterpret_cast<uintptr_t>(data) + bytes;
    if (bytes > 0) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

// The kept runs become the entries' voxel lists, each allocated once at its final size.
void fillEntries(const std::vector<KeptRun>& kept, const RegionSets& sets, bool talairachOutput,
                 std::vector<single_VOI>& entries) {
    std::vector<size_t> perSet(sets.parent.size(), 0);
    for (const KeptRun& run : kept)
        perSet[run.set] += static_cast<size_t>(run.x1 - run.x0 + 1);
    std::vector<size_t> perEntry(entries.size(), 0);
    for (size_t s = 1; s < perSet.size(); ++s)
        for (uint32_t t = static_cast<uint32_t>(s); t != 0; t = sets.parent[t])
            perEntry[static_cast<size_t>(sets.region[t])] += perSet[s];
    for (size_t e = 0; e < entries.size(); ++e) {
        entries[e].voxels.reserve(perEntry[e]);
        prepareForWriting(entries[e].voxels.data(), perEntry[e] * sizeof(glm::tvec3<int>));
    }

    for (const KeptRun& run : kept) {
        const int z = run.row / cubeSize, y = run.row % cubeSize;
        for (uint32_t t = run.set; t != 0; t = sets.parent[t]) {
            auto& voxels = entries[static_cast<size_t>(sets.region[t])].voxels;
            if (talairachOutput)
                for (int x = run.x0; x <= run.x1; ++x)
                    voxels.push_back(talairachVoxel(x, y, z));
            else
                for (int x = run.x0; x <= run.x1; ++x)
                    voxels.emplace_back(x, y, z);
        }
    }
}

} // namespace

glm::tvec3<int> voiColour(long long index) { return voiColours[index % 6]; }

VOI convertROIToVOI(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                    const TAL& tal, ConversionStats* stats) {
    VOI result;
    ConversionStats done;

    // A grid with a non-positive size holds no voxel, so every entry gets 0 voxels. A grid too
    // large for a mask is refused as the mask would refuse it.
    const int nx = std::max(fmr.ResolutionX.value(), 0);
    const int ny = std::max(fmr.ResolutionY.value(), 0);
    const int nz = std::max(fmr.NrOfSlices.value(), 0);
    if (!Volume<float>::validDimensions(glm::tvec3<int>(nx, ny, nz)))
        throw std::bad_array_new_length();

    // The two tests differ on purpose: landmarks are applied only from FileVersion 1 on (the
    // mapping's test), while any TAL that was read at all switches the output to Talairach
    // coordinates.
    const bool talairachOutput = !countsAsAbsent(tal);

    // Only stored entries are converted, even if NrOfTCPlots claims more.
    const long long regions =
        std::min<long long>(roi.NrOfTCPlots.value(), static_cast<long long>(roi.rois.size()));
    if (regions >= 1) {
        result.vois.resize(static_cast<size_t>(regions));
        for (long long i = 0; i < regions; ++i) {
            single_VOI& entry = result.vois[static_cast<size_t>(i)];
            entry.NameOfVOI.set("NameOfVOI", "VOI " + std::to_string(i + 1), entryWidth);
            entry.color = voiColour(i);
        }

        const long long cells = static_cast<long long>(nx) * ny * nz;
        if (cells > 0) {
            const GridMapping mapping(fmr, ia, fa, acpc, tal);
            const GridAxis(&axes)[3] = mapping.axes();
            const bool finite = mapping.finite();

            Labels labels(static_cast<uint32_t*>(
                std::calloc(static_cast<size_t>(cells) + 1, sizeof(uint32_t))));
            if (!labels) throw std::bad_alloc();
            RegionSets sets;
            Tiles tiles(nx, ny, nz);
            for (long long r = 0; r < regions; ++r) {
                const single_ROI& region = roi.rois[static_cast<size_t>(r)];
                const long long count = std::min<long long>(
                    region.NrOfVoxels.value(), static_cast<long long>(region.voxels.size()));
                for (long long k = 0; k < count; ++k) {
                    const glm::tvec3<int>& v = region.voxels[static_cast<size_t>(k)];
                    // A voxel outside the grid cannot be part of it: skipped, never written.
                    if (v[0] < 0 || v[0] >= nx || v[1] < 0 || v[1] >= ny || v[2] < 0 || v[2] >= nz)
                        continue;
                    uint32_t& cell = labels.get()[(v[2] * ny + v[1]) * nx + v[0]];
                    cell = sets.add(cell, static_cast<int>(r));
                    tiles.add(v);
                }
            }
            const std::vector<Box> boxes = tiles.boxes();

            std::vector<KeptRun> kept;
            kept.reserve(4096);
            Scan scan(axes, labels.get(), kept);
            if (boxes.empty()) {
                done.path = ConversionStats::NoScan;
            } else if (!finite) {
                // Without finite tables nothing about the order of positions can be trusted.
                done.path = ConversionStats::FullScan;
                for (int z = 0; z < cubeSize; ++z)
                    for (int y = 0; y < cubeSize; ++y)
                        scan.anywhere(y, z, 0, cubeSize - 1);
            } else {
                bool monotone = true;
                for (const GridAxis& u : axes)
                    monotone = monotone && u.dir[0] && u.dir[1] && u.dir[2];
                done.path = monotone ? ConversionStats::Pruned : ConversionStats::Partial;
                scanBoxes(axes, boxes, scan);
            }
            fillEntries(kept, sets, talairachOutput, result.vois);
        }

        for (single_VOI& entry : result.vois)
            entry.NrOfVoxels.set("NrOfVoxels", static_cast<int>(entry.voxels.size()), entryWidth);
    }

    result.NrOfVOIs = static_cast<int>(result.vois.size());

    result.ReferenceSpace =
        std::string(referenceSpaceName(conversionSpace(!countsAsAbsent(acpc), talairachOutput)));

    if (stats) *stats = done;
    return result;
}

} // namespace vocelle
