#include <vocelle/host/commands.h>

#include <vocelle/formats/myVOI.h>
#include <vocelle/host/niftifile.h>
#include <vocelle/host/niftiimport.h>
#include <vocelle/host/voistats.h>

#include <cstdio>
#include <exception>
#include <iostream>

namespace vocelle {

int importNiftiCommand(const HostOptions& options) {
    const std::string stem = niftiStem(options.document);
    const std::string output = !options.output.empty() ? options.output : (stem.empty() ? options.document : stem) + ".voi";
    try {
        NiftiImportReport report;
        VOI voi = importNifti(options.document, options.space, report);
        if (report.mniCode)
            std::fprintf(stderr, "vocelle: %s says MNI space; its coordinates are taken as AC-PC (--space says otherwise)\n",
                         options.document.c_str());
        if (report.outside > 0)
            std::fprintf(stderr, "vocelle: %lld labelled voxels of %s lie outside the cube and are left out\n",
                         report.outside, options.document.c_str());
        voi.SaveAs(output);
        long long voxels = 0;
        for (const single_VOI& entry : voi.vois) voxels += static_cast<long long>(entry.voxels.size());
        std::printf("%s: %zu VOI%s, %lld voxels, %s\n", output.c_str(), voi.vois.size(), voi.vois.size() == 1 ? "" : "s",
                    voxels, voi.ReferenceSpace.value().c_str());
        if (!report.tablePath.empty()) std::printf("%s: names and colours\n", report.tablePath.c_str());
    } catch (const std::exception& e) {
        return fail(e);
    }
    return 0;
}

int statsCommand(const HostOptions& options) {
    std::string table;
    try {
        table = voiStatsTable(VOI(options.document));
    } catch (const std::exception& e) {
        return fail(e);
    }
    std::cout << table;
    std::cout.flush();
    return std::cout ? 0 : fail("cannot write to standard output");
}

} // namespace vocelle
