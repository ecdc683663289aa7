// vocelle preview: a picture of the VOIs to check a conversion by eye.

#include <vocelle/formats/myVOI.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/imaging/preview.h>
#include <vocelle/imaging/underlay.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cstdio>
#include <memory>

namespace vocelle {

namespace {

struct PreviewOptions {
    std::string voi, output, underlay;
};

void declare(CLI::App& command, PreviewOptions& options) {
    command.add_option("VOI", options.voi, "The VOI file.")->required();
    fileOption(command, "-o,--output", options.output, "FILE.png",
               "The picture (default: the VOI file's name ending \".png\").");
    fileOption(command, "--underlay", options.underlay, "IMAGE",
               "Draw the VOIs over this 3-D NIfTI-1 image (an anatomy in the VOIs' space, "
               "Talairach or AC-PC), placed through its affine, in grey from its 2nd to its 98th "
               "percentile; a warning when its code names another template space (MNI, or "
               "Talairach under AC-PC VOIs).");
}

std::string outputOf(const PreviewOptions& options) {
    return options.output.empty() ? addToFileNameNewExtension(options.voi, ".png") : options.output;
}

CommandFiles files(const PreviewOptions& options) {
    return {{options.voi, options.underlay}, {Output(outputOf(options), FileKind::Png)}};
}

int execute(const PreviewOptions& options) {
    const std::string output = outputOf(options);
    const VOI voi = wholeDocument<VOI>(options.voi);
    long long voxels = 0;
    for (const auto& entry : voi.vois)
        voxels += static_cast<long long>(entry.voxels.size());
    const std::string title = getFileName(options.voi) + "   " + voi.ReferenceSpace.value() +
                              "   " + std::to_string(voi.vois.size()) + " VOI" +
                              (voi.vois.size() == 1 ? "" : "s") + ", " + std::to_string(voxels) +
                              " voxels";
    std::unique_ptr<Underlay> underlay;
    if (!options.underlay.empty()) underlay = std::make_unique<Underlay>(options.underlay);
    const Preview preview = renderPreview(voi, title, underlay.get());
    const std::string png = encodePng(preview.image);
    saveReplacing(
        outputPath(output),
        [&](std::ostream& out) { out.write(png.data(), std::streamsize(png.size())); },
        faulttext::createFile, std::ios::binary);
    const std::string imageSpace = underlay ? underlay->templateSpace() : "";
    if (!imageSpace.empty() && !(imageSpace == "Talairach" && voi.ReferenceSpace.value() == "TAL"))
        std::fprintf(stderr,
                     "vocelle: %s says %s space, but the VOIs of %s are %s; it is drawn as if it "
                     "were in theirs\n",
                     options.underlay.c_str(), imageSpace.c_str(), options.voi.c_str(),
                     voi.ReferenceSpace.value().c_str());
    if (preview.outside > 0)
        std::fprintf(stderr, "vocelle: %lld voxels of %s lie outside the cube and are not drawn\n",
                     preview.outside, options.voi.c_str());
    std::printf("%s: views through cube voxel %d %d %d\n", output.c_str(), preview.centre.x,
                preview.centre.y, preview.centre.z);
    return 0;
}

} // namespace

namespace commands {

extern const Command preview = makeCommand<PreviewOptions>(
    {"preview",
     "Draw the VOIs as a PNG picture: axial, coronal and sagittal views of the 256-voxel cube "
     "through the centre of the VOIs, each VOI in its colour with a legend (label numbers as in "
     "export-nifti), the AC and the Talairach box marked, orientation letters on the edges.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
