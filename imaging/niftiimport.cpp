#include <vocelle/imaging/niftiimport.h>

#include <vocelle/imaging/labeltable.h>
#include <vocelle/imaging/niftiexport.h>
#include <vocelle/imaging/niftifile.h>
#include <vocelle/math/cubespace.h>
#include <vocelle/math/conversionengine.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

constexpr std::size_t maxLabels = 65535;
constexpr int entryWidth = 12;
constexpr int headerWidth = 28;

struct Grid {
    std::size_t nx, ny, nz, volumes;
    std::size_t perVolume() const { return nx * ny * nz; }
};

// Voxel i, j, k through the matrix m (row-major, acting on column vectors).
void apply(const mat44& m, double i, double j, double k, double out[3]) {
    for (int r = 0; r < 3; ++r)
        out[r] = double(m.m[r][0]) * i + double(m.m[r][1]) * j + double(m.m[r][2]) * k + double(m.m[r][3]);
}

long long nearest(double v) { return static_cast<long long>(std::floor(v + 0.5)); }

// Cube grid index of a world position, or -1 outside the cube.
long long cubeIndex(const double world[3]) {
    long long index = 0;
    for (int a = 2; a >= 0; --a) {
        if (!(std::fabs(world[a]) < 1e6)) return -1;
        const long long g = nearest(world[a]) + worldGridOrigin;
        if (g < 0 || g >= cubeSize) return -1;
        index = index * cubeSize + g;
    }
    return index;
}

Grid gridOf(const std::string& path, const nifti_image& image) {
    const int ndim = image.ndim;
    if (ndim < 3 || ndim > 7) {
        throw FaultError({"not a 3-D image (it has " + std::to_string(ndim) + " dimensions)", path});
    }
    for (int d = 5; d <= ndim; ++d)
        if (image.dim[d] != 1) throw FaultError({"not a 3-D image (dimension " + std::to_string(d) + " is " + std::to_string(image.dim[d]) + ")", path});
    return {std::size_t(image.dim[1]), std::size_t(image.dim[2]), std::size_t(image.dim[3]),
            ndim >= 4 ? std::size_t(image.dim[4]) : 1};
}

// The labels the image holds, sorted; refuses values that are not labels.
std::vector<long long> labelsIn(const std::string& path, const nifti_image& image, const Grid& grid) {
    if (!niftiRealValued(image))
        throw FaultError({std::string("holds ") + nifti_datatype_string(image.datatype) + " values, not labels", path});
    std::vector<long long> labels;
    const std::size_t count = grid.perVolume() * grid.volumes;
    double last = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const double v = niftiValue(image, n);
        if (v == 0 || v == last) continue;
        if (!std::isfinite(v) || v != std::floor(v) || std::fabs(v) > 2147483647.0) {
            std::ostringstream value;
            value << v;
            throw FaultError({"holds values that are not labels (whole numbers), for example " + value.str(), path});
        }
        if (grid.volumes > 1 && v != 1)
            throw FaultError({"4-D, so each volume must be a mask of 0 and 1; it holds " + std::to_string(static_cast<long long>(v)), path});
        last = v;
        if (grid.volumes == 1 && !std::binary_search(labels.begin(), labels.end(), static_cast<long long>(v))) {
            labels.insert(std::upper_bound(labels.begin(), labels.end(), static_cast<long long>(v)), static_cast<long long>(v));
            if (labels.size() > maxLabels)
                throw FaultError({"holds more than " + std::to_string(maxLabels) + " labels", path});
        }
    }
    if (grid.volumes > 1)
        for (std::size_t t = 1; t <= grid.volumes; ++t) labels.push_back(static_cast<long long>(t));
    return labels;
}

// Each voxel of a VOI as (VOI position << 24 | cube grid index), so one sort groups and orders
// them.
using PlacedVoxels = std::vector<std::uint64_t>;
std::uint64_t placed(std::size_t position, long long index) { return (std::uint64_t(position) << 24) | std::uint64_t(index); }

class Placement {
public:
    Placement(const nifti_image& image, const Grid& grid, const mat44& toWorld, const std::vector<long long>& labels)
        : image_(image), grid_(grid), toWorld_(toWorld), labels_(labels) {}

    // Position in labels of the VOI that the element holds, or -1 for background.
    long long position(std::size_t element) const {
        const double v = niftiValue(image_, element);
        if (v == 0) return -1;
        if (grid_.volumes > 1) return static_cast<long long>(element / grid_.perVolume());
        return std::lower_bound(labels_.begin(), labels_.end(), static_cast<long long>(v)) - labels_.begin();
    }

    template <typename Visit>
    void forEachLabelled(Visit visit) const {
        std::size_t element = 0;
        for (std::size_t t = 0; t < grid_.volumes; ++t)
            for (std::size_t k = 0; k < grid_.nz; ++k)
                for (std::size_t j = 0; j < grid_.ny; ++j)
                    for (std::size_t i = 0; i < grid_.nx; ++i, ++element) {
                        const long long at = position(element);
                        if (at >= 0) visit(std::size_t(at), i, j, k);
                    }
    }

    // Every cube voxel whose centre lies in a labelled image voxel.
    void byCubeVoxel(PlacedVoxels& voxels, long long& outside) const {
        double low[3] = {1e300, 1e300, 1e300}, high[3] = {-1e300, -1e300, -1e300};
        forEachLabelled([&](std::size_t, std::size_t i, std::size_t j, std::size_t k) {
            double world[3];
            apply(toWorld_, double(i), double(j), double(k), world);
            if (cubeIndex(world) < 0) ++outside;
            for (int corner = 0; corner < 8; ++corner) {
                apply(toWorld_, double(i) + (corner & 1 ? 0.5 : -0.5), double(j) + (corner & 2 ? 0.5 : -0.5),
                      double(k) + (corner & 4 ? 0.5 : -0.5), world);
                for (int a = 0; a < 3; ++a) {
                    low[a] = std::min(low[a], world[a]);
                    high[a] = std::max(high[a], world[a]);
                }
            }
        });
        long long first[3], last[3];
        for (int a = 0; a < 3; ++a) {
            first[a] = std::max<long long>(0, nearest(std::max(low[a], -1e6)) + worldGridOrigin);
            last[a] = std::min<long long>(cubeSize - 1, nearest(std::min(high[a], 1e6)) + worldGridOrigin);
        }
        const mat44 toVoxel = nifti_mat44_inverse(toWorld_);
        for (long long gk = first[2]; gk <= last[2]; ++gk)
            for (long long gj = first[1]; gj <= last[1]; ++gj)
                for (long long gi = first[0]; gi <= last[0]; ++gi) {
                    double voxel[3];
                    apply(toVoxel, double(gi - worldGridOrigin), double(gj - worldGridOrigin),
                          double(gk - worldGridOrigin), voxel);
                    const long long i = nearest(voxel[0]), j = nearest(voxel[1]), k = nearest(voxel[2]);
                    if (i < 0 || j < 0 || k < 0 || i >= static_cast<long long>(grid_.nx) || j >= static_cast<long long>(grid_.ny) ||
                        k >= static_cast<long long>(grid_.nz))
                        continue;
                    const std::size_t element = (std::size_t(k) * grid_.ny + std::size_t(j)) * grid_.nx + std::size_t(i);
                    const long long index = (gk * cubeSize + gj) * cubeSize + gi;
                    for (std::size_t t = 0; t < grid_.volumes; ++t) {
                        const long long at = position(element + t * grid_.perVolume());
                        if (at >= 0) voxels.push_back(placed(std::size_t(at), index));
                    }
                }
    }

private:
    const nifti_image& image_;
    Grid grid_;
    mat44 toWorld_;
    const std::vector<long long>& labels_;
};

bool sameEntries(const std::vector<LabelEntry>& a, const std::vector<LabelEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const LabelEntry& x, const LabelEntry& y) {
                          return x.index == y.index && x.name == y.name &&
                                 x.hasColour == y.hasColour && x.colour == y.colour;
                      });
}

// The table an image written by export-nifti carries inside; a table beside it that says
// otherwise (an export stopped between its two files, or an edit) is noted in the report.
bool ownTable(const std::string& imagePath, const nifti_image& image,
              std::vector<LabelEntry>& table, NiftiImportReport& report) {
    const std::string text = niftiComment(image, labelTableHeader);
    if (text.empty()) return false;
    readLabelTableText(text, imagePath, table);
    report.tablePath = imagePath;
    std::vector<LabelEntry> beside;
    std::string besidePath;
    bool differs = true;
    try {
        differs = readLabelTable(niftiStem(imagePath), beside, besidePath) &&
                  !sameEntries(table, beside);
    } catch (const std::exception&) {
        besidePath = niftiStem(imagePath) + ".tsv";
    }
    if (differs) report.differingTable = besidePath;
    return true;
}

} // namespace

VOI importNifti(const std::string& imagePath, const std::string& space, NiftiImportReport& report) {
    const NiftiImage image = readNiftiImage(imagePath);
    const Grid grid = gridOf(imagePath, *image);
    int code = 0;
    const mat44 toWorld = niftiToWorld(imagePath, *image, code);
    std::vector<long long> labels = labelsIn(imagePath, *image, grid);

    std::map<long long, LabelEntry> named;
    std::vector<LabelEntry> table;
    const std::string stem = niftiStem(imagePath);
    if (!ownTable(imagePath, *image, table, report) && !stem.empty())
        readLabelTable(stem, table, report.tablePath);
    for (LabelEntry& entry : table) {
        if (entry.index == 0) continue;
        // A 4-D image has as many VOIs as volumes; other rows of its table name nothing.
        if (grid.volumes == 1 && !std::binary_search(labels.begin(), labels.end(), entry.index))
            labels.insert(std::upper_bound(labels.begin(), labels.end(), entry.index), entry.index);
        named[entry.index] = std::move(entry);
    }
    if (labels.size() > maxLabels)
        throw FaultError({"the image and its table hold more than " + std::to_string(maxLabels) + " labels", imagePath});

    ReferenceSpace referenceSpace = code == NIFTI_XFORM_TALAIRACH ? ReferenceSpace::TAL : ReferenceSpace::ACPC;
    if (!space.empty() && !parseReferenceSpace(space, referenceSpace))
        throw FaultError({"unknown space " + space, imagePath});
    const std::string spaceName = referenceSpaceName(referenceSpace);
    report.mniCode = space.empty() && code == NIFTI_XFORM_MNI_152;
    const VoxelConvention convention = conventionOf(referenceSpace);

    PlacedVoxels voxels;
    const Placement placement(*image, grid, toWorld, labels);
    // Sampled at the cube's voxels whatever the image's voxel size or angle: taking each image
    // voxel's nearest cube voxel instead leaves holes in an oblique 1 mm image.
    placement.byCubeVoxel(voxels, report.outside);
    std::sort(voxels.begin(), voxels.end());
    voxels.erase(std::unique(voxels.begin(), voxels.end()), voxels.end());

    VOI voi;
    voi.fileName = imagePath;
    voi.ReferenceSpace.set("ReferenceSpace", spaceName, headerWidth);
    voi.vois.resize(labels.size());
    for (std::size_t n = 0; n < labels.size(); ++n) {
        single_VOI& entry = voi.vois[n];
        const auto row = named.find(labels[n]);
        const bool hasName = row != named.end() && !row->second.name.empty();
        entry.NameOfVOI.set("NameOfVOI", hasName ? row->second.name : "Label " + std::to_string(labels[n]), entryWidth);
        entry.color = row != named.end() && row->second.hasColour ? row->second.colour : voiColour(static_cast<long long>(n));
    }
    for (const std::uint64_t v : voxels) {
        const long long index = static_cast<long long>(v & 0xffffff);
        const glm::ivec3 world(int(index % cubeSize) - worldGridOrigin, int(index / cubeSize % cubeSize) - worldGridOrigin,
                               int(index / cubeSize / cubeSize) - worldGridOrigin);
        voi.vois[std::size_t(v >> 24)].voxels.push_back(storedVoxel(world, convention));
    }
    for (single_VOI& entry : voi.vois)
        entry.NrOfVoxels.set("NrOfVoxels", static_cast<int>(entry.voxels.size()), entryWidth);
    voi.NrOfVOIs.set("NrOfVOIs", static_cast<int>(voi.vois.size()), headerWidth);
    return voi;
}

} // namespace vocelle
