#include <vocelle/plugin/conversionrun.h>

#include <vocelle/formats/documentchecks.h>
#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/plugin/logtexts.h>
#include <vocelle/plugin/tarnlog.h>
#include <vocelle/text/stringmanipulation.h>

#include <exception>

namespace vocelle {

namespace {

// Only a regular file counts: a device or a pipe named in the list would hang the run.
bool canOpen(const std::string& name) { return !name.empty() && isRegularFile(name) && fileExists(name); }

void logConversionFailure(const ConversionJob& job, const char* reason) {
    logger.clear();
    logger << logtexts::conversionFailed << job.roiName << ": " << reason << std::flush;
}

} // namespace

bool jobFilesPresent(const ConversionJob& job) {
    return canOpen(job.roiName) && canOpen(job.fmrName) && canOpen(job.iaTrfName) &&
           canOpen(job.faTrfName) && canOpen(job.acpcTrfName) &&
           (job.talName.empty() || canOpen(job.talName));
}

void reportMissingFiles(const ConversionJob& job) {
    logger << logtexts::notEnoughFiles << job.roiName << std::flush;
    const struct {
        const char* text;
        const std::string& name;
    } files[] = {
        {logtexts::roiMissing, job.roiName},       {logtexts::fmrMissing, job.fmrName},
        {logtexts::iaTrfMissing, job.iaTrfName},   {logtexts::faTrfMissing, job.faTrfName},
        {logtexts::acpcTrfMissing, job.acpcTrfName},
    };
    for (const auto& file : files)
        if (!canOpen(file.name)) logger << file.text << file.name << std::flush;
    if (!job.talName.empty() && !canOpen(job.talName))
        logger << logtexts::talMissing << job.talName << std::flush;
}

std::string voiFileName(const ConversionJob& job) {
    if (!job.voiName.empty()) return job.voiName;
    return addToFileNameNewExtension(job.roiName, job.talName.empty() ? "_ACPC_.voi" : "_TAL_.voi");
}

void convertJob(const ConversionJob& job) {
    // Built in this order, and all released when the job returns, so only one job's documents
    // are ever held at a time. The conversion reads only the FMR header: the slice data is
    // opened and measured, never loaded, so a job fails where loading would fail for a missing
    // file or an impossible header, without the cost of a run that can be gigabytes. A short
    // file only earns a note.
    ROI roi(job.roiName);
    checkReadCompletely(roi.readFault);
    FMR fmr(job.fmrName, false);
    checkReadCompletely(fmr.readFault);
    checkScanGeometry(fmr);
    const bool stcComplete = fmr.CheckSTC();
    TRF ia(job.iaTrfName);
    TRF fa(job.faTrfName);
    TRF acpc(job.acpcTrfName);
    for (const TRF* trf : {&ia, &fa, &acpc}) checkReadCompletely(trf->readFault);
    checkTransformations(ia, fa, acpc);
    TAL tal = job.talName.empty() ? TAL() : TAL(job.talName);
    checkReadCompletely(tal.readFault);
    VOI voi;

    voi = roi.ConvertToVOI(fmr, ia, fa, acpc, tal);
    voi.fileName = voiFileName(job);
    voi.Save();

    logger << logtexts::converted << job.roiName << std::flush;
    if (!stcComplete) logger << logtexts::stcShort << fmr.stcFileName() << std::flush;
    // The name says Talairach, the content does not: the user must hear of it.
    if (!job.talName.empty() && countsAsAbsent(tal))
        logger << logtexts::talAbsent << voi.ReferenceSpace.value() << logtexts::talAbsentEnd
               << job.talName << std::flush;
}

void runConversion(const ConversionJob& job) {
    // A failing job must neither end the run nor reach the host: it is logged, naming the ROI
    // file, and the next job follows.
    try {
        if (!jobFilesPresent(job)) {
            reportMissingFiles(job);
            return;
        }
        convertJob(job);
    } catch (const std::exception& e) {
        try {
            logConversionFailure(job, e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            logConversionFailure(job, "unknown error");
        } catch (...) {
        }
    }
}

} // namespace vocelle
