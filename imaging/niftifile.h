#pragma once
// NIfTI-1 single files (.nii, .nii.gz) in and out, with the host's own error lines: the NIfTI
// library composes and parses headers and reads data, but it prints its complaints on standard
// error, so every call into it runs with standard error muted, and reading and writing the bytes
// of a file is done here, where the system's reason for a failure is known.

#include <vocelle/text/safesave.h>

#include <nifti1_io.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace vocelle {

struct NiftiImageDeleter {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using NiftiImage = std::unique_ptr<nifti_image, NiftiImageDeleter>;

// Keeps standard error closed to the NIfTI library while it lives.
class QuietNifti {
public:
    QuietNifti();
    ~QuietNifti();
    QuietNifti(const QuietNifti&) = delete;
    QuietNifti& operator=(const QuietNifti&) = delete;

private:
    int saved_;
};

// Reads header and data (a single .nii or .nii.gz, or a .hdr and .img pair). Throws FaultError
// with one line naming the file: the system's reason when it cannot be opened, or what is wrong
// with it (not NIfTI-1, a dimension below 1, a voxel size that is not a positive number, data
// cut short, a compressed stream damaged or cut short anywhere, too large to load: more than
// maxBytes of data). Values are kept as stored, not-a-number included.
NiftiImage readNiftiImage(const std::string& path, std::size_t maxBytes = std::size_t(1) << 31);

// Whether niftiValue can read the image's data type (integers and reals, not complex or RGB).
bool niftiRealValued(const nifti_image& image);
// The value of element `index` of the data, scaled by scl_slope and scl_inter when set.
double niftiValue(const nifti_image& image, std::size_t index);

// The voxel-to-world (RAS+ mm) matrix: the sform, or the qform when the sform code is 0; code
// tells which space the one taken says. Throws std::runtime_error naming path when neither code
// is set or the matrix cannot be inverted.
mat44 niftiToWorld(const std::string& path, const nifti_image& image, int& code);

using ByteSink = std::function<void(const void* bytes, std::size_t size)>;

// Writes `image`'s header as a single-file NIfTI-1 (.nii, or .nii.gz when compressed), with
// `comment`, when not empty, as one comment extension, then the data that writeData hands to its
// sink, into `save`, which the caller commits. Throws through save.fail() with the system's
// reason.
void writeNiftiImage(PendingSave& save, bool compressed, nifti_image& image,
                     const std::string& comment,
                     const std::function<void(const ByteSink&)>& writeData);

// The text of the image's first comment extension that starts with `startingWith`, without its
// padding; empty when there is none.
std::string niftiComment(const nifti_image& image, const std::string& startingWith);

} // namespace vocelle
