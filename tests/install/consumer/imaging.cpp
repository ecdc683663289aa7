// Uses the installed imaging library as a study script would: export a VOI as a NIfTI-1 label
// image with its table, and draw a preview of it.
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
    vocelle::VOI voi;
    vocelle::single_VOI entry;
    entry.NameOfVOI.set("NameOfVOI", "hippocampus", 12);
    entry.voxels = {{1, 2, 3}, {4, 5, 6}};
    entry.NrOfVoxels.set("NrOfVoxels", 2, 12);
    voi.vois.push_back(entry);
    voi.NrOfVOIs.value() = 1;
    const vocelle::NiftiExportReport report = vocelle::exportNifti(voi, folder + "/made.nii.gz");
    const std::string png = vocelle::encodePng(vocelle::renderPreview(voi, "made").image);
    std::ofstream(folder + "/made.png", std::ios::binary) << png;
    return report.labelled == 2 && png.compare(1, 3, "PNG") == 0 ? 0 : 1;
}
