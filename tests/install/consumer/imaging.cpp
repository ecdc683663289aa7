// Uses the installed imaging library as a study script would: export a VOI (the core consumer's)
// as a NIfTI-1 label image with its table, and draw a preview of it.
#include <vocelle/imaging/labeltable.h>
#include <vocelle/imaging/niftiexport.h>
#include <vocelle/imaging/niftiimport.h>
#include <vocelle/imaging/preview.h>
#include <vocelle/imaging/rgbimage.h>
#include <vocelle/imaging/underlay.h>
#include <vocelle/imaging/voistats.h>

#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string folder = argv[1];
    const vocelle::VOI voi(folder + "/made.voi");
    const vocelle::NiftiExportReport report = vocelle::exportNifti(voi, folder + "/made.nii.gz");
    const std::string png = vocelle::encodePng(vocelle::renderPreview(voi, "made").image);
    std::ofstream(folder + "/made.png", std::ios::binary) << png;
    return report.labelled == 2 && png.compare(1, 3, "PNG") == 0 ? 0 : 1;
}
