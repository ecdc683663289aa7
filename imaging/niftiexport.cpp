#include <vocelle/imaging/niftiexport.h>

#include <vocelle/imaging/labeltable.h>
#include <vocelle/imaging/niftifile.h>
#include <vocelle/math/cubespace.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

constexpr std::size_t voxelCount = std::size_t(cubeSize) * cubeSize * cubeSize;

// Voxel index of a world position, or -1 when it lies outside the grid.
long long gridIndex(const glm::ivec3& world) {
    const long long i = static_cast<long long>(world.x) + worldGridOrigin;
    const long long j = static_cast<long long>(world.y) + worldGridOrigin;
    const long long k = static_cast<long long>(world.z) + worldGridOrigin;
    if (i < 0 || i >= cubeSize || j < 0 || j >= cubeSize || k < 0 || k >= cubeSize) return -1;
    return (k * cubeSize + j) * cubeSize + i;
}

// Marks the voxels of one VOI with its label; returns how many it newly marked.
template <typename Label>
long long markVoxels(const single_VOI& entry, VoxelConvention convention, Label label, Label* grid,
                     NiftiExportReport& report) {
    long long marked = 0;
    for (const auto& stored : entry.voxels) {
        const long long index = gridIndex(worldPosition(stored, convention));
        if (index < 0) {
            ++report.outside;
        } else if (grid[index] == 0) {
            grid[index] = label;
            ++marked;
        } else if (grid[index] != label) {
            // One label per voxel: the first VOI keeps it, and the caller says so.
            ++report.overlapping;
        }
    }
    report.labelled += marked;
    return marked;
}

// Labels 1, 2, ... in one volume.
template <typename Label>
std::vector<Label> labelVolume(const VOI& voi, VoxelConvention convention, NiftiExportReport& report,
                               std::vector<long long>& counts) {
    std::vector<Label> grid(voxelCount, 0);
    for (std::size_t n = 0; n < voi.vois.size(); ++n)
        counts.push_back(markVoxels(voi.vois[n], convention, static_cast<Label>(n + 1), grid.data(), report));
    return grid;
}

void setGeometry(nifti_image& image, VoxelConvention convention, const std::string& space, bool masks,
                 std::size_t labelCount) {
    for (int d = 1; d <= 3; ++d) image.pixdim[d] = 1.0f;
    image.dx = image.dy = image.dz = 1.0f;
    image.xyz_units = NIFTI_UNITS_MM;

    // Axes already RAS+, 1 mm: the rotation is the identity, only the origin moves.
    const int code = convention == VoxelConvention::Talairach        ? NIFTI_XFORM_TALAIRACH
                     : space == referenceSpaceName(ReferenceSpace::ACPC) ? NIFTI_XFORM_ALIGNED_ANAT
                                                                         : NIFTI_XFORM_SCANNER_ANAT;
    image.qform_code = code;
    image.sform_code = code;
    image.quatern_b = image.quatern_c = image.quatern_d = 0.0f;
    image.qoffset_x = image.qoffset_y = image.qoffset_z = -float(worldGridOrigin);
    image.qfac = 1.0f;
    image.pixdim[0] = 1.0f;
    image.qto_xyz = nifti_quatern_to_mat44(0, 0, 0, image.qoffset_x, image.qoffset_y, image.qoffset_z,
                                           1, 1, 1, 1);
    image.qto_ijk = nifti_mat44_inverse(image.qto_xyz);
    image.sto_xyz = image.qto_xyz;
    image.sto_ijk = image.qto_ijk;

    image.intent_code = masks ? NIFTI_INTENT_NONE : NIFTI_INTENT_LABEL;
    image.cal_min = 0.0f;
    image.cal_max = masks ? 1.0f : static_cast<float>(labelCount);
    std::snprintf(image.descrip, sizeof image.descrip, "Vocelle VOI %s, reference space %s",
                  masks ? "masks" : "labels", space.c_str());
}

// The table of names and colours by label; with counts, the voxels of each too.
std::string labelTableText(const VOI& voi, const std::vector<long long>* counts) {
    std::ostringstream table;
    table << labelTableHeader << (counts ? "\tvoxels\n" : "\n");
    for (std::size_t n = 0; n < voi.vois.size(); ++n) {
        table << n + 1 << '\t' << tableText(voi.vois[n].NameOfVOI.value()) << '\t'
              << hexColour(voi.vois[n].color);
        if (counts) table << '\t' << (*counts)[n];
        table << '\n';
    }
    return table.str();
}

} // namespace

std::string labelTablePath(const std::string& imagePath) {
    const std::string stem = niftiStem(imagePath);
    return stem.empty() ? stem : stem + ".tsv";
}

NiftiExportReport exportNifti(const VOI& voi, const std::string& imagePath, bool oneVolumePerVoi) {
    const VoxelConvention convention = voiConvention(voi);
    const std::string tablePath = labelTablePath(imagePath);
    if (tablePath.empty())
        throw FaultError({"NIfTI file name must end in .nii.gz or .nii", imagePath});
    if (voi.vois.size() > 32767)
        throw FaultError({"Too many VOIs for a NIfTI image (at most 32767)", voi.fileName});
    if (oneVolumePerVoi && voi.vois.empty())
        throw FaultError({"No VOI to write as a volume", voi.fileName});
    for (std::size_t n = 0; n < voi.vois.size(); ++n)
        if (voi.vois[n].NameOfVOI.value().size() > maxLabelName)
            throw FaultError({"The name of VOI " + std::to_string(n + 1) + " is longer than a label table holds (" +
                                  std::to_string(maxLabelName) + " bytes)",
                              voi.fileName});

    const bool small = oneVolumePerVoi || voi.vois.size() <= 255;
    const int volumes = oneVolumePerVoi ? int(voi.vois.size()) : 1;
    const int dims[8] = {oneVolumePerVoi ? 4 : 3, cubeSize, cubeSize, cubeSize, volumes, 1, 1, 1};
    NiftiImage image;
    {
        const QuietNifti quiet;
        image.reset(nifti_make_new_nim(dims, small ? NIFTI_TYPE_UINT8 : NIFTI_TYPE_INT16, 0));
    }
    if (!image) throw FaultError({"Cannot make a NIfTI header", imagePath});
    setGeometry(*image, convention, voi.ReferenceSpace.value(), oneVolumePerVoi, voi.vois.size());

    NiftiExportReport report;
    report.imagePath = imagePath;
    report.tablePath = tablePath;
    // Both files are written in full before either is put in place, the table first: the image,
    // which carries the same table inside, is what makes the export done, so a reader of the image
    // never meets another export's names.
    PendingSave imageSave(imagePath), tableSave(tablePath);
    const bool compressed = endsWith(imagePath, ".gz");
    std::vector<long long> counts;
    const auto write = [&](const auto& data) {
        writeNiftiImage(imageSave, compressed, *image, labelTableText(voi, nullptr), data);
    };
    if (oneVolumePerVoi) {
        // One volume at a time, so memory stays that of one volume whatever the count.
        std::vector<std::uint8_t> mask(voxelCount);
        write([&](const ByteSink& put) {
            for (const single_VOI& entry : voi.vois) {
                std::fill(mask.begin(), mask.end(), std::uint8_t(0));
                counts.push_back(markVoxels(entry, convention, std::uint8_t(1), mask.data(), report));
                put(mask.data(), mask.size());
            }
        });
    } else if (small) {
        const std::vector<std::uint8_t> labels = labelVolume<std::uint8_t>(voi, convention, report, counts);
        write([&](const ByteSink& put) { put(labels.data(), labels.size()); });
    } else {
        const std::vector<std::int16_t> labels = labelVolume<std::int16_t>(voi, convention, report, counts);
        write([&](const ByteSink& put) { put(labels.data(), labels.size() * sizeof labels[0]); });
    }
    tableSave.out() << labelTableText(voi, &counts);
    tableSave.commit();
    imageSave.commit();
    return report;
}

} // namespace vocelle
