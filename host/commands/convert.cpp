// vocelle convert: one job without a job list, converted in this process by the plug-in's own
// conversion code.

#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/host/plugindriver.h>
#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/conversionrun.h>

namespace vocelle {

namespace {

struct ConvertOptions {
    std::string roi, fmr, output;
    AlignmentFiles alignment;
};

void declare(CLI::App& command, ConvertOptions& options) {
    fileOption(command, "--roi", options.roi, "ROI", "The regions of interest.")->required();
    fileOption(command, "--fmr", options.fmr, "FMR", "The functional run, its STC data beside it.")
        ->required();
    declareAlignment(command, options.alignment, true);
    fileOption(command, "-o,--output", options.output, "OUT.voi",
               "The VOI file (default: where the run would write it, beside the ROI file, ending "
               "\"_TAL_.voi\" with --tal, \"_ACPC_.voi\" without; - for standard output).");
}

ConversionJob jobOf(const ConvertOptions& options) {
    ConversionJob job;
    job.roiName = options.roi;
    job.fmrName = options.fmr;
    job.iaTrfName = options.alignment.ia;
    job.faTrfName = options.alignment.fa;
    job.acpcTrfName = options.alignment.acpc;
    job.talName = options.alignment.tal;
    job.voiName = options.output;
    return job;
}

CommandFiles files(const ConvertOptions& options) {
    const ConversionJob job = jobOf(options);
    return {jobInputs(job), {Output(voiFileName(job), FileKind::Voi)}};
}

// The job's log reaches this host's hxLogText, found by name as the plug-in finds it.
int execute(const ConvertOptions& options) {
    if (!InitHXAccess()) return startFailed("cannot bind the host functions for the conversion");
    ConversionJob job = jobOf(options);
    job.voiName = outputPath(job.voiName);
    runConversion(job);
    // The log stream outlives main; what it would send while the process ends is not this job's.
    tarn::hxLogText = nullptr;
    return summedUp();
}

const ExitStatuses statuses = {
    {0, "the job was converted"},
    {1, "it was not: a file is missing or a document is damaged (the log says which)"},
    {2, "the command line was wrong, or the VOI would replace an input or cannot be written"}};

} // namespace

namespace commands {

extern const Command convert = makeCommand<ConvertOptions>(
    {"convert",
     "Convert one subject without a job list: the same checks, log lines, exit status and VOI "
     "file as a job list holding just this job.",
     statuses, declare, files, execute});

} // namespace commands

} // namespace vocelle
