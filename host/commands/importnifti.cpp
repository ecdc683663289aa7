// vocelle import-nifti: a NIfTI-1 label image (or 4-D masks) as a VOI file.

#include <vocelle/formats/myVOI.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/imaging/niftiexport.h>
#include <vocelle/imaging/niftiimport.h>

#include <cstdio>

namespace vocelle {

namespace {

struct ImportOptions {
    std::string image, output, space;
};

void declare(CLI::App& command, ImportOptions& options) {
    command.add_option("IMAGE", options.image, "The image, .nii or .nii.gz.")->required();
    fileOption(command, "-o,--output", options.output, "OUT.voi",
               "The VOI file (default: the image's name ending \".voi\"; - for standard output).");
    command
        .add_option("--space", options.space,
                    "The VOIs' reference space (default: TAL when the image's code says "
                    "Talairach, ACPC otherwise).")
        ->type_name("TAL|ACPC")
        ->check(CLI::IsMember({"TAL", "ACPC"}).description(""));
}

std::string outputOf(const ImportOptions& options) {
    if (!options.output.empty()) return options.output;
    const std::string stem = niftiStem(options.image);
    return (stem.empty() ? options.image : stem) + ".voi";
}

CommandFiles files(const ImportOptions& options) {
    const std::string stem = niftiStem(options.image);
    const auto table = [&](const char* ending) { return stem.empty() ? stem : stem + ending; };
    return {{options.image, table(".tsv"), table(".lut")}, {Output(outputOf(options), FileKind::Voi)}};
}

int execute(const ImportOptions& options) {
    NiftiImportReport report;
    VOI voi = importNifti(options.image, options.space, report);
    if (report.mniCode)
        std::fprintf(stderr,
                     "vocelle: %s says MNI space; its coordinates are taken as AC-PC (--space says "
                     "otherwise)\n",
                     options.image.c_str());
    if (report.outside > 0)
        std::fprintf(stderr,
                     "vocelle: %lld labelled voxels of %s lie outside the cube and are left out\n",
                     report.outside, options.image.c_str());
    const std::string output = outputOf(options);
    if (!report.differingTable.empty())
        std::fprintf(stderr,
                     "vocelle: %s differs from the label table inside %s, which gives the names "
                     "and colours\n",
                     report.differingTable.c_str(), options.image.c_str());
    voi.SaveAs(outputPath(output));
    long long voxels = 0;
    for (const single_VOI& entry : voi.vois)
        voxels += static_cast<long long>(entry.voxels.size());
    std::printf("%s: %zu VOI%s, %lld voxels, %s\n", output.c_str(), voi.vois.size(),
                voi.vois.size() == 1 ? "" : "s", voxels, voi.ReferenceSpace.value().c_str());
    if (!report.tablePath.empty()) std::printf("%s: names and colours\n", report.tablePath.c_str());
    return 0;
}

} // namespace

namespace commands {

extern const Command importNifti = makeCommand<ImportOptions>(
    {"import-nifti",
     "Turn a NIfTI-1 label image (whole values, 0 for background) into a VOI file, one VOI per "
     "label in label order, or a 4-D image of 0/1 masks into one VOI per volume. Voxels are "
     "placed through the sform (the qform when the sform code is 0) into the cube of "
     "export-nifti: every cube voxel whose centre lies in a labelled voxel, at any voxel size. "
     "An image whose data is not all there, or whose compressed stream is damaged, is refused. "
     "Names and colours come from the label table beside the image (the image name ending "
     "\".tsv\" as export-nifti writes it, or an FSLeyes \".lut\"), else \"Label N\" in the "
     "colours of converted VOIs; a table there that cannot be read stops the import.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
