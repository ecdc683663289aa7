// vocelle stats: the size and place of each VOI.

#include <vocelle/formats/myVOI.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/imaging/voistats.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace vocelle {

namespace {

struct StatsOptions {
    std::string voi;
};

void declare(CLI::App& command, StatsOptions& options) {
    command.add_option("VOI", options.voi, "The VOI file.")->required();
}

CommandFiles files(const StatsOptions& options) {
    return {{options.voi}, {}};
}

int execute(const StatsOptions& options) {
    long long outside = 0;
    const std::string table = voiStatsTable(wholeDocument<VOI>(options.voi), outside);
    std::cout << table;
    std::cout.flush();
    if (!std::cout) throw std::runtime_error("cannot write to standard output");
    if (outside > 0)
        std::fprintf(stderr, "vocelle: %lld voxels of %s lie outside the 256^3 grid and are left out\n",
                     outside, options.voi.c_str());
    return 0;
}

} // namespace

namespace commands {

extern const Command stats = makeCommand<StatsOptions>(
    {"stats",
     "Print a tab-separated table with one row per VOI: index, name, voxels, volume in mm^3, "
     "centroid and bounding box (lowest and highest voxel centre) in RAS+ millimetres with the "
     "AC at 0, as in export-nifti. Voxels outside the cube are left out, with a warning.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
