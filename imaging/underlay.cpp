#include <vocelle/imaging/underlay.h>

#include <vocelle/imaging/niftifile.h>
#include <vocelle/math/cubespace.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

// Enough samples for stable percentiles without sorting a whole large image.
constexpr std::size_t maxSamples = std::size_t(1) << 22;

} // namespace

struct Underlay::Image {
    NiftiImage nifti;
};

Underlay::~Underlay() = default;
Underlay::Underlay(Underlay&&) noexcept = default;
Underlay& Underlay::operator=(Underlay&&) noexcept = default;

Underlay::Underlay(const std::string& path) : image_(new Image{readNiftiImage(path)}) {
    const nifti_image& image = *image_->nifti;
    for (int d = 4; d <= image.ndim; ++d)
        if (image.dim[d] != 1)
            throw FaultError({"not a 3-D image (dimension " + std::to_string(d) + " is " +
                                  std::to_string(image.dim[d]) + ")",
                              path});
    if (image.ndim < 3)
        throw FaultError(
            {"not a 3-D image (it has " + std::to_string(image.ndim) + " dimensions)", path});
    if (!niftiRealValued(image))
        throw FaultError({std::string("holds ") + nifti_datatype_string(image.datatype) +
                              " values, not intensities",
                          path});
    int code = 0;
    const mat44 toVoxel = nifti_mat44_inverse(niftiToWorld(path, image, code));
    templateSpace_ = code == NIFTI_XFORM_TALAIRACH ? "Talairach" : code == NIFTI_XFORM_MNI_152 ? "MNI" : "";
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            toVoxel_[r][c] = double(toVoxel.m[r][c]);
    nx_ = image.dim[1];
    ny_ = image.dim[2];
    nz_ = image.dim[3];

    // Background outside the head is 0 and would pull the window down.
    const std::size_t count = std::size_t(nx_ * ny_ * nz_);
    const std::size_t stride = std::max<std::size_t>(1, count / maxSamples);
    std::vector<double> samples;
    for (std::size_t n = 0; n < count; n += stride) {
        const double v = niftiValue(image, n);
        if (std::isfinite(v) && v != 0) samples.push_back(v);
    }
    if (samples.empty()) return;
    const auto percentile = [&](double share) {
        auto at = samples.begin() + std::ptrdiff_t(share * double(samples.size() - 1));
        std::nth_element(samples.begin(), at, samples.end());
        return *at;
    };
    low_ = percentile(0.02);
    high_ = percentile(0.98);
    if (!(high_ > low_)) high_ = low_ + 1;
}

double Underlay::value(long long i, long long j, long long k) const {
    i = std::clamp<long long>(i, 0, nx_ - 1);
    j = std::clamp<long long>(j, 0, ny_ - 1);
    k = std::clamp<long long>(k, 0, nz_ - 1);
    const double v = niftiValue(*image_->nifti, std::size_t((k * ny_ + j) * nx_ + i));
    return std::isfinite(v) ? v : 0;
}

float Underlay::grey(const glm::ivec3& cube) const {
    const glm::ivec3 world = worldPosition(cube, VoxelConvention::Cube);
    double p[3];
    for (int r = 0; r < 3; ++r)
        p[r] = toVoxel_[r][0] * world.x + toVoxel_[r][1] * world.y + toVoxel_[r][2] * world.z +
               toVoxel_[r][3];
    const long long size[3] = {nx_, ny_, nz_};
    for (int a = 0; a < 3; ++a)
        if (!(p[a] >= -0.5 && p[a] <= double(size[a]) - 0.5)) return -1;
    const auto i = static_cast<long long>(std::floor(p[0])),
               j = static_cast<long long>(std::floor(p[1])),
               k = static_cast<long long>(std::floor(p[2]));
    const double fx = p[0] - double(i), fy = p[1] - double(j), fz = p[2] - double(k);
    double sum = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const int dx = corner & 1, dy = (corner >> 1) & 1, dz = corner >> 2;
        const double weight = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy) * (dz ? fz : 1 - fz);
        if (weight > 0) sum += weight * value(i + dx, j + dy, k + dz);
    }
    return float(std::clamp((sum - low_) / (high_ - low_), 0.0, 1.0));
}

} // namespace vocelle
