#pragma once
// An anatomical image drawn under the VOIs of a preview: any 3-D NIfTI-1 image in the VOIs'
// space, sampled at the cube's voxels through its affine (the cube placed as in the NIfTI export)
// and shown in grey through a window from its 2nd to its 98th percentile, so a few very bright
// or dark voxels do not wash it out.

#include <glm/vec3.hpp>

#include <memory>
#include <string>

namespace vocelle {

class Underlay {
  public:
    // Throws std::runtime_error with one line naming the file when it cannot be read, is not
    // 3-D, holds no real values or has no usable orientation.
    explicit Underlay(const std::string& path);
    ~Underlay();
    Underlay(Underlay&&) noexcept;
    Underlay& operator=(Underlay&&) noexcept;

    // Grey level from 0 to 1 at a cube voxel (trilinear), or -1 where the image does not reach.
    float grey(const glm::ivec3& cube) const;

    // The template space the image's code names, "Talairach" or "MNI"; empty for a code of the
    // subject's own anatomy (scanner or aligned), which names no space to compare.
    const std::string& templateSpace() const { return templateSpace_; }

  private:
    double value(long long i, long long j, long long k) const;

    struct Image; // the image as read, kept out of this header with its library
    std::unique_ptr<Image> image_;
    double toVoxel_[3][4];
    long long nx_, ny_, nz_;
    double low_ = 0, high_ = 1;
    std::string templateSpace_;
};

} // namespace vocelle
