#include <vocelle/host/niftiexport.h>

#include <vocelle/host/voispace.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <nifti1_io.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

constexpr int gridSize = cubeSize;
constexpr std::size_t voxelCount = std::size_t(gridSize) * gridSize * gridSize;

struct NiftiImageDeleter {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using NiftiImage = std::unique_ptr<nifti_image, NiftiImageDeleter>;

// Voxel index of a world position, or -1 when it lies outside the grid.
long long gridIndex(const glm::ivec3& world) {
    const long long i = static_cast<long long>(world.x) + niftiGridOrigin;
    const long long j = static_cast<long long>(world.y) + niftiGridOrigin;
    const long long k = static_cast<long long>(world.z) + niftiGridOrigin;
    if (i < 0 || i >= gridSize || j < 0 || j >= gridSize || k < 0 || k >= gridSize) return -1;
    return (k * gridSize + j) * gridSize + i;
}

std::string hexColour(const glm::ivec3& colour) {
    char text[8];
    const auto channel = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(colour.r), channel(colour.g), channel(colour.b));
    return text;
}

// A name on one table line: tabs and line ends would break the columns.
std::string tableText(const std::string& name) {
    std::string text = name;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return text;
}

template <typename Label>
NiftiExportReport labelVoxels(const VOI& voi, VoiConvention convention, Label* labels,
                              std::vector<long long>& counts) {
    NiftiExportReport report;
    counts.assign(voi.vois.size(), 0);
    for (std::size_t n = 0; n < voi.vois.size(); ++n) {
        const Label label = static_cast<Label>(n + 1);
        for (const auto& stored : voi.vois[n].voxels) {
            const long long index = gridIndex(worldPosition(stored, convention));
            if (index < 0) {
                ++report.outside;
            } else if (labels[index] == 0) {
                labels[index] = label;
                ++counts[n];
                ++report.labelled;
            } else if (labels[index] != label) {
                // One label per voxel: the first VOI keeps it, and the caller says so.
                ++report.overlapping;
            }
        }
    }
    return report;
}

void setGeometry(nifti_image& image, VoiConvention convention, const std::string& space,
                 std::size_t labelCount) {
    for (int d = 1; d <= 3; ++d) image.pixdim[d] = 1.0f;
    image.dx = image.dy = image.dz = 1.0f;
    image.xyz_units = NIFTI_UNITS_MM;

    // Axes already RAS+, 1 mm: the rotation is the identity, only the origin moves.
    const int code = convention == VoiConvention::Talairach ? NIFTI_XFORM_TALAIRACH
                     : space == "ACPC"                     ? NIFTI_XFORM_ALIGNED_ANAT
                                                           : NIFTI_XFORM_SCANNER_ANAT;
    image.qform_code = code;
    image.sform_code = code;
    image.quatern_b = image.quatern_c = image.quatern_d = 0.0f;
    image.qoffset_x = image.qoffset_y = image.qoffset_z = -float(niftiGridOrigin);
    image.qfac = 1.0f;
    image.pixdim[0] = 1.0f;
    image.qto_xyz = nifti_quatern_to_mat44(0, 0, 0, image.qoffset_x, image.qoffset_y, image.qoffset_z,
                                           1, 1, 1, 1);
    image.qto_ijk = nifti_mat44_inverse(image.qto_xyz);
    image.sto_xyz = image.qto_xyz;
    image.sto_ijk = image.qto_ijk;

    image.intent_code = NIFTI_INTENT_LABEL;
    image.cal_min = 0.0f;
    image.cal_max = static_cast<float>(labelCount);
    std::snprintf(image.descrip, sizeof image.descrip, "Vocelle VOI labels, reference space %s",
                  space.c_str());
}

// Reads the written file back and compares it with what was meant to be written, so a file that
// the library could not write completely is never put in place.
bool writtenCompletely(const std::string& path, const nifti_image& expected) {
    NiftiImage back(nifti_image_read(path.c_str(), 1));
    if (!back || back->data == nullptr) return false;
    return back->nx == expected.nx && back->ny == expected.ny && back->nz == expected.nz &&
           back->datatype == expected.datatype && back->nvox == expected.nvox &&
           back->sform_code == expected.sform_code &&
           std::memcmp(back->data, expected.data, expected.nvox * expected.nbyper) == 0;
}

} // namespace

std::string labelTablePath(const std::string& imagePath) {
    const std::string image = getExtension(imagePath) == ".gz" ? removeExtension(imagePath) : imagePath;
    return getExtension(image) == ".nii" ? removeExtension(image) + ".tsv" : std::string();
}

NiftiExportReport exportNifti(const VOI& voi, const std::string& imagePath) {
    VoiConvention convention;
    if (!voiConvention(voi, convention))
        throw std::runtime_error("Unknown ReferenceSpace \"" + voi.ReferenceSpace.value() + "\" in " + voi.fileName);
    const std::string tablePath = labelTablePath(imagePath);
    if (tablePath.empty())
        throw std::runtime_error("NIfTI file name must end in .nii.gz or .nii: " + imagePath);
    const bool compressed = getExtension(imagePath) == ".gz";
    if (compressed && !nifti_compiled_with_zlib())
        throw std::runtime_error("This NIfTI library cannot write compressed files: " + imagePath);
    if (voi.vois.size() > 32767)
        throw std::runtime_error("Too many VOIs for a label image (at most 32767): " + voi.fileName);

    const bool small = voi.vois.size() <= 255;
    const int dims[8] = {3, gridSize, gridSize, gridSize, 1, 1, 1, 1};
    NiftiImage image(nifti_make_new_nim(dims, small ? NIFTI_TYPE_UINT8 : NIFTI_TYPE_INT16, 1));
    if (!image || image->data == nullptr || image->nvox != voxelCount)
        throw std::runtime_error("Cannot allocate the label image for " + imagePath);

    std::vector<long long> counts;
    NiftiExportReport report =
        small ? labelVoxels(voi, convention, static_cast<std::uint8_t*>(image->data), counts)
              : labelVoxels(voi, convention, static_cast<std::int16_t*>(image->data), counts);
    report.imagePath = imagePath;
    report.tablePath = tablePath;
    setGeometry(*image, convention, voi.ReferenceSpace.value(), voi.vois.size());

    std::ostringstream table;
    table << "index\tname\tcolor\tvoxels\n";
    for (std::size_t n = 0; n < voi.vois.size(); ++n)
        table << n + 1 << '\t' << tableText(voi.vois[n].NameOfVOI.value()) << '\t'
              << hexColour(voi.vois[n].color) << '\t' << counts[n] << '\n';
    image->nifti_type = NIFTI_FTYPE_NIFTI1_1;
    // The table is saved while the image is still a temporary, so a table that cannot be saved
    // leaves the old image in place.
    const auto writeImage = [&](const std::string& temporary) {
        if (nifti_set_filenames(image.get(), temporary.c_str(), 0, 1) != 0)
            throw std::runtime_error("Cannot Create file: " + imagePath);
        nifti_image_write(image.get());
        if (!writtenCompletely(temporary, *image))
            throw std::runtime_error("Cannot Create file: " + imagePath);
        saveReplacing(tablePath, [&](std::ostream& out) { out << table.str(); });
    };
    saveReplacingFile(imagePath, writeImage, compressed ? ".nii.gz" : ".nii");
    return report;
}

} // namespace vocelle
