#include <vocelle/analysis/measure.h>

#include <vocelle/formats/documentchecks.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/text/fault.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/stringmanipulation.h>

#include <cctype>

namespace vocelle {

namespace {

std::string lowerExtension(const std::string& path) {
    std::string e = getExtension(path);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

FMR readFmr(const std::string& path) {
    FMR fmr(path, false);
    checkReadCompletely(fmr.readFault);
    return fmr;
}

std::vector<Region> readRegions(const RunFiles& f, const FMR& fmr) {
    const std::string kind = lowerExtension(f.regions);
    const bool geometry = !f.ia.empty() || !f.fa.empty() || !f.acpc.empty() || !f.tal.empty();
    if (kind == ".roi") {
        if (geometry)
            throw FaultError({"An ROI is measured in its own run: no alignment files are taken",
                              f.regions});
        const ROI roi(f.regions);
        checkReadCompletely(roi.readFault);
        return regionsFromROI(roi, fmr);
    }
    if (kind != ".voi")
        throw FaultError({"Regions must be an .roi or a .voi file", f.regions});
    if (f.ia.empty() || f.fa.empty() || f.acpc.empty())
        throw FaultError({"A VOI needs the initial and fine alignment and the AC-PC file", f.regions});
    const VOI voi(f.regions);
    checkReadCompletely(voi.readFault);
    checkScanGeometry(fmr);
    const TRF ia(f.ia), fa(f.fa), acpc(f.acpc);
    for (const TRF* trf : {&ia, &fa, &acpc}) checkReadCompletely(trf->readFault);
    checkTransformations(ia, fa, acpc);
    const TAL tal = f.tal.empty() ? TAL() : TAL(f.tal);
    checkReadCompletely(tal.readFault);
    return regionsFromVOI(voi, fmr, ia, fa, acpc, tal);
}

} // namespace

RunRegions::RunRegions(const RunFiles& files) : fmr(readFmr(files.fmr)) {
    regions = readRegions(files, fmr);
    for (const Region& r : regions)
        if (r.voxels.empty())
            warnings.push_back(files.regions + ": " + r.name + " has no voxels in the grid of " +
                               files.fmr);
}

FittedRun fitRun(const RunFiles& files, const std::string& sdmPath,
                 const std::vector<Contrast>& contrasts) {
    FittedRun result;
    const RunRegions run(files);
    result.regions = run.regions;
    result.warnings = run.warnings;
    // Opened here first: an SDM that cannot be read is a failure to report, not a log entry.
    openForReading(sdmPath);
    result.design = designFromSDM(SDM(sdmPath), run.fmr.NrOfVolumes.value(), result.warnings);
    checkContrasts(result.design, contrasts, sdmPath);
    result.courses = measureTimeCourses(run.fmr, run.regions);
    for (const auto& course : result.courses.means)
        result.fits.push_back(course.empty() ? Fit() : fitDesign(result.design, course, contrasts));
    return result;
}

} // namespace vocelle
