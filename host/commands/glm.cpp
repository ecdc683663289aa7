// vocelle glm: the least-squares fit of a run's design to each region's time course, for one run
// or for every job of a list that names a design.

#include <vocelle/analysis/measure.h>
#include <vocelle/analysis/tables.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/host/filecheck.h>
#include <vocelle/imaging/regionplot.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace vocelle {

namespace {

constexpr int maxJobs = 256;

struct GlmOptions {
    std::string regions, fmr, sdm, output, plot, list, voi;
    AlignmentFiles alignment;
    std::vector<std::string> contrastTexts;
    std::vector<Contrast> contrasts;
    int jobs = 1;
};

void declare(CLI::App& command, GlmOptions& options) {
    command.add_option("REGIONS", options.regions, "The regions: an .roi or a .voi file.");
    command.add_option("FMR", options.fmr, "The run, its STC data beside it.");
    fileOption(command, "--sdm", options.sdm, "DESIGN.sdm",
               "The run's design: one predictor a column, one row a volume.");
    declareAlignment(command, options.alignment, false);
    command
        .add_option("--contrast", options.contrastTexts,
                    "A contrast of the predictors, one weight per predictor in design order; "
                    "repeatable.")
        ->type_name("NAME=w1,w2,...");
    fileOption(command, "-o,--output", options.output, "OUT.tsv",
               "The table (default, or -: standard output).");
    fileOption(command, "--plot", options.plot, "OUT.png",
               "Draw one panel per region: its time course, the fitted model and the predictors.");
    fileOption(command, "--list", options.list, "JOBLIST",
               "Fit every job of the list that names a design (a line ending \"sdm\"); the table "
               "gets the job's ROI as its first column.");
    fileOption(command, "--voi", options.voi, "FILE.voi",
               "With --list: measure this VOI in every run, through each job's own alignment.");
    command.add_option("-j,--jobs", options.jobs, "With --list: fit N jobs at a time (1 to 256).")
        ->type_name("N")
        ->check(oneTo(maxJobs));
    command.callback([&options] {
        const AlignmentFiles& a = options.alignment;
        const bool single = !options.regions.empty() || !options.fmr.empty() ||
                            !options.sdm.empty() || !a.ia.empty() || !a.fa.empty() ||
                            !a.acpc.empty() || !a.tal.empty() || !options.plot.empty();
        if (!options.list.empty() && single)
            throw CLI::ValidationError("--list takes the files from the list: no REGIONS, FMR, "
                                       "--sdm, alignment files or --plot");
        if (options.list.empty() && (options.regions.empty() || options.fmr.empty() ||
                                     options.sdm.empty()))
            throw CLI::ValidationError("glm needs REGIONS, FMR and --sdm, or --list");
        if (options.list.empty() && (!options.voi.empty() || options.jobs != 1))
            throw CLI::ValidationError("--voi and --jobs go with --list");
        for (const std::string& text : options.contrastTexts) {
            Contrast c;
            if (!parseContrast(text, c))
                throw CLI::ValidationError("--contrast takes NAME=w1,w2,...: " + text);
            options.contrasts.push_back(c);
        }
    });
}

CommandFiles files(const GlmOptions& options) {
    const AlignmentFiles& a = options.alignment;
    return {{options.regions, options.fmr, stcFileOf(options.fmr), options.sdm, a.ia, a.fa, a.acpc,
             a.tal, options.list, options.voi},
            {Output(options.output, FileKind::Tsv), Output(options.plot, FileKind::Png)}};
}

void writeTable(const GlmOptions& options, const std::string& table) {
    saveReplacing(outputPath(options.output.empty() ? "-" : options.output),
                  [&](std::ostream& out) { out << table; });
}

void warn(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings)
        std::fprintf(stderr, "vocelle: %s\n", warning.c_str());
}

std::string number(double v, int digits) {
    std::ostringstream text;
    text.precision(digits);
    text << v;
    return text.str();
}

void drawPlot(const GlmOptions& options, const FittedRun& run) {
    std::vector<PlotPanel> panels;
    for (size_t r = 0; r < run.regions.size(); ++r) {
        const Fit& fit = run.fits[r];
        PlotPanel panel;
        panel.title = run.regions[r].name + "   " + std::to_string(run.regions[r].voxels.size()) +
                      " voxels" + (fit.terms.empty() ? "" : "   R\xc2\xb2 " + number(fit.r2, 4));
        panel.course = run.courses.means[r];
        panel.fitted = fit.fitted;
        panels.push_back(panel);
    }
    std::vector<PlotPredictor> predictors;
    for (size_t p = 0; p < run.design.names.size(); ++p) {
        const glm::tvec3<int>& c = run.design.colours[p];
        const auto channel = [](int v) { return static_cast<std::uint8_t>(std::min(std::max(v, 0), 255)); };
        predictors.push_back({run.design.names[p], Rgb{channel(c.r), channel(c.g), channel(c.b)},
                              run.design.columns[p]});
    }
    const std::string title = getFileName(options.regions) + " in " + getFileName(options.fmr) +
                              ", design " + getFileName(options.sdm);
    const std::string png = encodePng(plotRegions(title, panels, predictors));
    saveReplacing(
        options.plot, [&](std::ostream& out) { out.write(png.data(), std::streamsize(png.size())); },
        faulttext::createFile, std::ios::binary);
}

int fitOne(const GlmOptions& options) {
    const AlignmentFiles& a = options.alignment;
    const FittedRun run = fitRun({options.regions, options.fmr, a.ia, a.fa, a.acpc, a.tal},
                                 options.sdm, options.contrasts);
    warn(run.warnings);
    std::ostringstream table;
    writeFitHeader(table, false);
    writeFits(table, "", run.regions, run.fits, run.design, options.contrasts);
    writeTable(options, table.str());
    if (!options.plot.empty()) drawPlot(options, run);
    std::fprintf(stderr, "%s\n", voxelCounts(run.regions).c_str());
    return 0;
}

// One job of the list: its table rows, or why it could not be fitted.
struct JobResult {
    std::string rows;
    std::vector<std::string> warnings;
    std::string failure;
};

JobResult fitJob(const GlmOptions& options, const ConversionJob& job) {
    JobResult result;
    try {
        const RunFiles files =
            options.voi.empty()
                ? RunFiles{job.roiName, job.fmrName, "", "", "", ""}
                : RunFiles{options.voi, job.fmrName, job.iaTrfName, job.faTrfName, job.acpcTrfName,
                           job.talName};
        const FittedRun run = fitRun(files, job.sdmName, options.contrasts);
        std::ostringstream rows;
        writeFits(rows, job.roiName, run.regions, run.fits, run.design, options.contrasts);
        result.rows = rows.str();
        result.warnings = run.warnings;
    } catch (const FaultError& e) {
        result.failure = e.fault().line();
    } catch (const std::exception& e) {
        result.failure = e.what();
    }
    return result;
}

int fitList(const GlmOptions& options) {
    std::vector<ConversionJob> jobs;
    {
        std::ifstream list = openForReading(options.list);
        const JobListEnd end = readJobList(list, [&jobs](const ConversionJob& job) {
            if (!job.sdmName.empty()) jobs.push_back(job);
        });
        if (end == JobListEnd::LineTooLong)
            throw FaultError({"The job list holds a line longer than any file name", options.list});
    }
    if (jobs.empty())
        throw FaultError({"The job list names no job with a design (a line ending \"sdm\")",
                          options.list});
    CommandFiles all = files(options);
    for (const ConversionJob& job : jobs) {
        all.inputs.push_back(job.sdmName);
        for (const std::string& input : jobInputs(job)) all.inputs.push_back(input);
    }
    checkCommandFiles(all);
    // Jobs are independent: each thread takes the next one; results keep the list's order.
    std::vector<JobResult> results(jobs.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t j; (j = next++) < jobs.size();) results[j] = fitJob(options, jobs[j]);
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < std::min<int>(options.jobs, static_cast<int>(jobs.size())); ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();

    std::string table;
    {
        std::ostringstream header;
        writeFitHeader(header, true);
        table = header.str();
    }
    int fitted = 0;
    for (size_t j = 0; j < jobs.size(); ++j) {
        const JobResult& r = results[j];
        if (!r.failure.empty()) {
            std::fprintf(stderr, "!!!! Could not fit ROI: %s: %s\n", jobs[j].roiName.c_str(),
                         r.failure.c_str());
            continue;
        }
        warn(r.warnings);
        std::fprintf(stderr, "Fitted %s\n", jobs[j].roiName.c_str());
        table += r.rows;
        ++fitted;
    }
    writeTable(options, table);
    const int failed = static_cast<int>(jobs.size()) - fitted;
    std::fprintf(stderr, "%d fitted, %d not fitted\n", fitted, failed);
    return failed > 0 ? 1 : 0;
}

int execute(const GlmOptions& options) {
    return options.list.empty() ? fitOne(options) : fitList(options);
}

const ExitStatuses statuses = {
    {0, "every run was fitted"},
    {1, "with --list: at least one job was not fitted (one line each says why)"},
    {2, "a file could not be read or written, the design or a contrast does not fit the run, the "
        "list names no job with a design, or the command line was wrong"}};

} // namespace

namespace commands {

extern const Command glm = makeCommand<GlmOptions>(
    {"glm",
     "Fit the run's design (--sdm) to each region's time course by ordinary least squares and "
     "print one tab-separated table: region, voxels, term (predictor or contrast), estimate, se, "
     "t, dof, p (two-sided), r2. Regions as in timecourse. With --list, every job of a job list "
     "that names a design, with the job's ROI as first column.",
     statuses, declare, files, execute});

} // namespace commands

} // namespace vocelle
