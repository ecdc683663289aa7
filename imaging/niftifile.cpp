#include <vocelle/imaging/niftifile.h>

#include <vocelle/imaging/niftiexport.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

// Opening it ourselves first gives the system's reason, which the library would only print; a
// folder or pipe is refused without being read.
void checkReadableFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw FaultError({faulttext::openForReading, path, "", errno});
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) throw FaultError({faulttext::openForReading, path, "", S_ISDIR(info.st_mode) ? EISDIR : 0});
}

// Elements of the data, or 0 when the dimensions are not positive; saturates instead of
// overflowing.
std::size_t elementCount(const nifti_image& image) {
    if (image.ndim < 1 || image.ndim > 7) return 0;
    std::size_t count = 1;
    for (int d = 1; d <= image.ndim; ++d) {
        if (image.dim[d] < 1) return 0;
        if (count > (std::size_t(1) << 40)) return std::size_t(1) << 40;
        count *= std::size_t(image.dim[d]);
    }
    return count;
}

// The library finds the other file of a pair by opening the names it might have, which waits for
// ever on a pipe: a name of the image's that is a pipe or device is refused first.
void checkPairNames(const std::string& path) {
    std::string stem = path;
    if (endsWith(stem, ".gz") || endsWith(stem, ".GZ")) stem.resize(stem.size() - 3);
    if (stem.size() > 4 && stem[stem.size() - 4] == '.') stem.resize(stem.size() - 4);
    for (const char* ending : {".nii", ".hdr", ".img", ".NII", ".HDR", ".IMG"})
        for (const char* compressed : {"", ".gz", ".GZ"}) {
            const std::string name = stem + ending + compressed;
            struct stat info {};
            if (::stat(name.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode)))
                throw FaultError({faulttext::openForReading, name});
        }
}

// The header as the file stores it: the library mends a dimension of 0 to 1 and a voxel size
// that is 0 or not a number to 1 mm, which would place the image where it is not.
void checkStoredHeader(const std::string& path) {
    int swapped = 0;
    nifti_1_header* stored = nullptr;
    {
        const QuietNifti quiet;
        stored = nifti_read_header(path.c_str(), &swapped, 0);
    }
    if (stored == nullptr) throw FaultError({"not a NIfTI-1 image", path});
    const nifti_1_header header = *stored;
    std::free(stored);
    const int dims = header.dim[0];
    if (dims < 1 || dims > 7) throw FaultError({"not a NIfTI-1 image (dimension count " + std::to_string(dims) + ")", path});
    for (int d = 1; d <= dims; ++d)
        if (header.dim[d] < 1)
            throw FaultError({"no voxels: dimension " + std::to_string(d) + " is " + std::to_string(header.dim[d]), path});
    for (int d = 1; d <= std::min(dims, 3); ++d)
        if (!(std::isfinite(header.pixdim[d]) && header.pixdim[d] > 0)) {
            char size[32];
            std::snprintf(size, sizeof size, "%g", double(header.pixdim[d]));
            throw FaultError({"voxel size " + std::to_string(d) + " is " + size + ", not a positive size", path});
        }
}

// Reads `bytes` of data into the image from its data file (the .nii itself, or the .img of a
// pair) at its offset. All of it must be there, and a compressed file is read to its end, so that
// zlib checks the stream's length and checksum: a cut or damaged file is refused, not read as
// whatever it decompresses to. Memory grows with what the file holds, not with what its header
// claims. Values are kept as stored, not-a-number included.
void loadData(nifti_image& image, std::size_t bytes) {
    const std::string file = image.iname != nullptr ? image.iname : image.fname;
    if (image.iname_offset < 0) throw FaultError({"not a NIfTI-1 image (negative data offset)", file});
    const std::size_t offset = std::size_t(image.iname_offset), needed = offset + bytes;
    checkReadableFile(file);
    errno = 0;
    const gzFile in = gzopen(file.c_str(), "rb");
    if (in == nullptr) throw FaultError({faulttext::openForReading, file, "", errno != 0 ? errno : ENOMEM});
    gzbuffer(in, 1 << 17);
    std::vector<char> skipped(1 << 16);
    std::size_t read = 0, capacity = 0;
    int got = 1;
    // Up to the data, the data, then (compressed only) the rest of the stream.
    while (got > 0 && (read < needed || !gzdirect(in))) {
        char* into = skipped.data();
        std::size_t room = skipped.size();
        if (read >= offset && read < needed) {
            if (read - offset == capacity) {
                capacity = std::min(bytes, std::max<std::size_t>(capacity * 2, 1 << 20));
                void* grown = std::realloc(image.data, capacity);
                if (grown == nullptr) break;
                image.data = grown;
            }
            into = static_cast<char*>(image.data) + (read - offset);
            room = offset + capacity - read;
        } else if (read < offset) {
            room = std::min(room, offset - read);
        }
        got = gzread(in, into, unsigned(std::min<std::size_t>(room, 1u << 30)));
        if (got > 0) read += std::size_t(got);
    }
    int status = Z_OK;
    const char* problem = gzerror(in, &status);
    // zlib puts the path in front of its message.
    std::string why = problem != nullptr ? problem : "";
    if (startsWith(why, file + ": ")) why.erase(0, file.size() + 2);
    const int closed = gzclose(in);
    if (got > 0 && read < needed) throw FaultError({"too large to load", file, "", ENOMEM});
    if (got < 0 || status != Z_OK || closed != Z_OK)
        throw FaultError({"the compressed data is damaged or cut short (" + (why.empty() ? std::string("read error") : why) + ")", file});
    if (read < needed)
        throw FaultError({"the image data is cut short", file, "byte " + std::to_string(read) + " of " + std::to_string(needed)});
    if (image.swapsize > 1 && image.byteorder != nifti_short_order())
        nifti_swap_Nbytes(image.nvox, image.swapsize, image.data);
}

// The bytes of a file being saved: plain writes, or through zlib for .gz. The descriptor stays
// the save's.
class OutputFile {
public:
    OutputFile(int fd, bool compressed) : fd_(fd) {
        if (!compressed) return;
        const int own = ::dup(fd_);
        gz_ = own < 0 ? nullptr : gzdopen(own, "wb6");
        if (gz_ == nullptr) {
            if (own >= 0) ::close(own);
            fail(errno != 0 ? errno : ENOMEM);
        }
    }
    ~OutputFile() {
        if (gz_ != nullptr) gzclose(gz_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int error() const { return error_; }

    void put(const void* bytes, std::size_t size) {
        const char* next = static_cast<const char*>(bytes);
        while (error_ == 0 && size > 0) {
            const std::size_t chunk = size < (std::size_t(1) << 30) ? size : (std::size_t(1) << 30);
            if (gz_ != nullptr) {
                if (gzwrite(gz_, next, unsigned(chunk)) != int(chunk)) return failCompressed();
            } else {
                const ssize_t written = ::write(fd_, next, chunk);
                if (written < 0 && errno == EINTR) continue;
                if (written <= 0) return fail(written < 0 ? errno : EIO);
                next += written;
                size -= std::size_t(written);
                continue;
            }
            next += chunk;
            size -= chunk;
        }
    }

    // Ends the compressed stream; false (with error()) when any step failed.
    bool finish() {
        if (gz_ != nullptr) {
            errno = 0;
            const int status = gzclose(gz_);
            gz_ = nullptr;
            if (status != Z_OK && error_ == 0) fail(status == Z_ERRNO && errno != 0 ? errno : EIO);
        }
        return error_ == 0;
    }

private:
    void fail(int error) {
        if (error_ == 0) error_ = error;
    }
    void failCompressed() {
        int status = Z_OK;
        gzerror(gz_, &status);
        fail(status == Z_ERRNO && errno != 0 ? errno : status == Z_MEM_ERROR ? ENOMEM : EIO);
    }

    int fd_;
    gzFile gz_ = nullptr;
    int error_ = 0;
};

} // namespace

QuietNifti::QuietNifti() : saved_(-1) {
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    saved_ = ::dup(STDERR_FILENO);
    if (saved_ >= 0) ::dup2(null, STDERR_FILENO);
    ::close(null);
}

QuietNifti::~QuietNifti() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
}

std::string niftiStem(const std::string& path) {
    if (endsWith(path, ".nii.gz")) return path.substr(0, path.size() - 7);
    if (endsWith(path, ".nii")) return path.substr(0, path.size() - 4);
    return std::string();
}

NiftiImage readNiftiImage(const std::string& path, std::size_t maxBytes) {
    checkReadableFile(path);
    checkPairNames(path);
    checkStoredHeader(path);
    NiftiImage image;
    {
        const QuietNifti quiet;
        image.reset(nifti_image_read(path.c_str(), 0));
    }
    if (!image) throw FaultError({"not a NIfTI-1 image", path});
    const std::size_t elements = elementCount(*image);
    if (image->nbyper < 1 || elements > maxBytes / std::size_t(image->nbyper))
        throw FaultError({"too large to load (more than " + std::to_string(maxBytes >> 20) + " MiB of data)", path});
    loadData(*image, elements * std::size_t(image->nbyper));
    return image;
}

bool niftiRealValued(const nifti_image& image) {
    switch (image.datatype) {
    case NIFTI_TYPE_UINT8: case NIFTI_TYPE_INT8: case NIFTI_TYPE_INT16: case NIFTI_TYPE_UINT16:
    case NIFTI_TYPE_INT32: case NIFTI_TYPE_UINT32: case NIFTI_TYPE_INT64: case NIFTI_TYPE_UINT64:
    case NIFTI_TYPE_FLOAT32: case NIFTI_TYPE_FLOAT64:
        return true;
    default:
        return false;
    }
}

double niftiValue(const nifti_image& image, std::size_t index) {
    const void* data = image.data;
    double value;
    switch (image.datatype) {
    case NIFTI_TYPE_UINT8: value = static_cast<const std::uint8_t*>(data)[index]; break;
    case NIFTI_TYPE_INT8: value = static_cast<const std::int8_t*>(data)[index]; break;
    case NIFTI_TYPE_INT16: value = static_cast<const std::int16_t*>(data)[index]; break;
    case NIFTI_TYPE_UINT16: value = static_cast<const std::uint16_t*>(data)[index]; break;
    case NIFTI_TYPE_INT32: value = static_cast<const std::int32_t*>(data)[index]; break;
    case NIFTI_TYPE_UINT32: value = static_cast<const std::uint32_t*>(data)[index]; break;
    case NIFTI_TYPE_INT64: value = double(static_cast<const std::int64_t*>(data)[index]); break;
    case NIFTI_TYPE_UINT64: value = double(static_cast<const std::uint64_t*>(data)[index]); break;
    case NIFTI_TYPE_FLOAT32: value = static_cast<const float*>(data)[index]; break;
    case NIFTI_TYPE_FLOAT64: value = static_cast<const double*>(data)[index]; break;
    default: return 0;
    }
    if (image.scl_slope != 0.0f && std::isfinite(image.scl_slope) && std::isfinite(image.scl_inter))
        value = value * double(image.scl_slope) + double(image.scl_inter);
    return value;
}

mat44 niftiToWorld(const std::string& path, const nifti_image& image, int& code) {
    const bool sform = image.sform_code > 0;
    code = sform ? image.sform_code : image.qform_code;
    if (code <= 0) throw FaultError({"no orientation: the sform and qform codes are 0", path});
    const mat44 toWorld = sform ? image.sto_xyz : image.qto_xyz;
    mat33 linear;
    bool finite = true;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) linear.m[r][c] = toWorld.m[r][c];
        for (int c = 0; c < 4; ++c) finite = finite && std::isfinite(toWorld.m[r][c]);
    }
    const float determinant = nifti_mat33_determ(linear);
    finite = finite && std::isfinite(determinant);
    if (!finite || std::fabs(determinant) < 1e-6)
        throw FaultError({"no usable orientation: the voxel-to-world matrix is singular", path});
    return toWorld;
}

void writeNiftiImage(PendingSave& save, bool compressed, nifti_image& image,
                     const std::string& comment,
                     const std::function<void(const ByteSink&)>& writeData) {
    // The 348-byte header, a 4-byte extender saying whether an extension follows, the comment as
    // one extension (its size, code and text padded with zeros to a multiple of 16), the data.
    const std::size_t extension =
        comment.empty() ? 0 : (8 + comment.size() + 15) / 16 * 16;
    if (extension > (std::size_t(1) << 30)) save.fail(EFBIG);
    image.nifti_type = NIFTI_FTYPE_NIFTI1_1;
    image.iname_offset = 352 + int(extension);
    nifti_1_header header;
    {
        const QuietNifti quiet;
        header = nifti_convert_nim2nhdr(&image);
    }
    static_assert(sizeof header == 348, "NIfTI-1 header size");

    std::string extensions(4 + extension, '\0');
    if (extension > 0) {
        extensions[0] = 1;
        const std::int32_t size = std::int32_t(extension), code = NIFTI_ECODE_COMMENT;
        for (int b = 0; b < 4; ++b) {
            extensions[std::size_t(4 + b)] = char((size >> (8 * b)) & 0xff);
            extensions[std::size_t(8 + b)] = char((code >> (8 * b)) & 0xff);
        }
        extensions.replace(12, comment.size(), comment);
    }
    OutputFile out(save.fd(), compressed);
    if (out.error() == 0) {
        out.put(&header, sizeof header);
        out.put(extensions.data(), extensions.size());
        writeData([&out](const void* bytes, std::size_t size) { out.put(bytes, size); });
    }
    const int error = out.error() != 0 ? out.error() : out.finish() ? 0 : out.error();
    if (error != 0) save.fail(error);
}

std::string niftiComment(const nifti_image& image, const std::string& startingWith) {
    for (int e = 0; e < image.num_ext && image.ext_list != nullptr; ++e) {
        const nifti1_extension& extension = image.ext_list[e];
        if (extension.ecode != NIFTI_ECODE_COMMENT || extension.edata == nullptr ||
            extension.esize <= 8)
            continue;
        std::string text(extension.edata, std::size_t(extension.esize - 8));
        text.erase(text.find_last_not_of('\0') + 1);
        if (text.compare(0, startingWith.size(), startingWith) == 0) return text;
    }
    return std::string();
}

} // namespace vocelle
