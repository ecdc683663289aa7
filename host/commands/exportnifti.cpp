// vocelle export-nifti: the VOIs as a NIfTI-1 label image and its label table.

#include <vocelle/formats/myVOI.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/imaging/niftiexport.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstdio>

namespace vocelle {

namespace {

struct ExportOptions {
    std::string voi, output;
    bool oneVolumePerVoi = false;
};

void declare(CLI::App& command, ExportOptions& options) {
    command.add_option("VOI", options.voi, "The VOI file.")->required();
    fileOption(command, "-o,--output", options.output, "FILE.nii.gz",
               "The image, ending \".nii.gz\" or \".nii\" (uncompressed) (default: the VOI file's "
               "name ending \".nii.gz\").");
    command.add_flag("--4d", options.oneVolumePerVoi,
                     "Write one volume per VOI (1 inside, 0 outside) instead of labels, so a voxel "
                     "in several VOIs stays in all of them.");
}

std::string outputOf(const ExportOptions& options) {
    return options.output.empty() ? addToFileNameNewExtension(options.voi, ".nii.gz")
                                  : options.output;
}

CommandFiles files(const ExportOptions& options) {
    const std::string image = outputOf(options);
    return {{options.voi},
            {Output(image, FileKind::Nifti), Output(labelTablePath(image), FileKind::Tsv)}};
}

int execute(const ExportOptions& options) {
    const VOI voi = wholeDocument<VOI>(options.voi);
    const NiftiExportReport report = exportNifti(voi, outputOf(options), options.oneVolumePerVoi);
    if (report.outside > 0)
        std::fprintf(stderr,
                     "vocelle: %lld voxels of %s lie outside the 256^3 grid and are left out\n",
                     report.outside, options.voi.c_str());
    if (report.overlapping > 0)
        std::fprintf(stderr,
                     "vocelle: %lld voxels of %s belong to more than one VOI; each keeps the "
                     "label of the first\n",
                     report.overlapping, options.voi.c_str());
    std::printf("%s: %zu %s%s, %lld voxels\n%s: label table\n", report.imagePath.c_str(),
                voi.vois.size(), options.oneVolumePerVoi ? "volume" : "label",
                voi.vois.size() == 1 ? "" : "s", report.labelled, report.tablePath.c_str());
    return 0;
}

} // namespace

namespace commands {

extern const Command exportNifti = makeCommand<ExportOptions>(
    {"export-nifti",
     "Write the VOIs as a label image (1, 2, ... in VOI order), a 256^3 NIfTI-1 volume in RAS+ "
     "millimetres with the AC at 0, and beside it a label table (the image name ending \".tsv\": "
     "index, name, color, voxels).",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
