// vocelle timecourse: the mean signal of each region at every volume of a run.

#include <vocelle/analysis/measure.h>
#include <vocelle/analysis/tables.h>
#include <vocelle/analysis/timecourse.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/text/safesave.h>

#include <cstdio>

namespace vocelle {

namespace {

struct TimeCourseOptions {
    std::string regions, fmr, output;
    AlignmentFiles alignment;
    bool psc = false;
};

void declare(CLI::App& command, TimeCourseOptions& options) {
    command.add_option("REGIONS", options.regions, "The regions: an .roi or a .voi file.")
        ->required();
    command.add_option("FMR", options.fmr, "The run, its STC data beside it.")->required();
    declareAlignment(command, options.alignment, false);
    fileOption(command, "-o,--output", options.output, "OUT.tsv",
               "The table (default, or -: standard output).");
    command.add_flag("--psc", options.psc,
                     "Percent signal change against each region's mean over the run.");
}

CommandFiles files(const TimeCourseOptions& options) {
    const AlignmentFiles& a = options.alignment;
    return {{options.regions, options.fmr, stcFileOf(options.fmr), a.ia, a.fa, a.acpc, a.tal},
            {Output(options.output, FileKind::Tsv)}};
}

int execute(const TimeCourseOptions& options) {
    const AlignmentFiles& a = options.alignment;
    const RunRegions run({options.regions, options.fmr, a.ia, a.fa, a.acpc, a.tal});
    for (const std::string& warning : run.warnings)
        std::fprintf(stderr, "vocelle: %s\n", warning.c_str());
    TimeCourses courses = measureTimeCourses(run.fmr, run.regions);
    if (options.psc) toPercentSignalChange(courses);
    saveReplacing(outputPath(options.output.empty() ? "-" : options.output),
                  [&](std::ostream& out) { writeTimeCourses(out, run.regions, courses); });
    std::fprintf(stderr, "%s\n", voxelCounts(run.regions).c_str());
    return 0;
}

} // namespace

namespace commands {

extern const Command timecourse = makeCommand<TimeCourseOptions>(
    {"timecourse",
     "Print the mean signal of each region at every volume of a run as a tab-separated table: "
     "volume (from 1), then one column per region. An ROI's regions are measured in their own "
     "run; a VOI's are carried into the run's grid through --ia, --fa, --acpc (and --tal for a "
     "Talairach VOI) as the conversion maps them. The number of voxels of each region goes to "
     "standard error.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
