#pragma once
// One conversion job: check its files, report what is missing, convert, and keep any failure
// inside the job so the run goes on with the next one.

#include <string>

namespace vocelle {

// The file names of one job, each the job list's base path followed by one list line, or empty
// when the list named no such file. talName may stay empty: the job then converts to AC-PC only.
struct ConversionJob {
    std::string roiName;
    std::string fmrName;
    std::string iaTrfName;
    std::string faTrfName;
    std::string acpcTrfName;
    std::string talName;
    // Where the VOI goes when not beside the ROI file (vocelle convert -o); a job list leaves it
    // empty.
    std::string voiName{};
    // The run's design (a line ending "sdm"), for vocelle glm; the conversion does not use it.
    std::string sdmName{};
};

// Runs one job and logs its outcome. Never throws.
void runConversion(const ConversionJob& job);

// True when every required file, and the TAL file when one is named, can be opened.
bool jobFilesPresent(const ConversionJob& job);

// Logs the report header and one line per file that cannot be opened.
void reportMissingFiles(const ConversionJob& job);

// Where the job's VOI is written: voiName when set, else beside the ROI file, ending
// "_TAL_.voi" or "_ACPC_.voi".
std::string voiFileName(const ConversionJob& job);

// Loads the job's documents, converts, saves the VOI and logs "Converted ". Throws
// on any failure (a FaultError naming the file where the failure is the file's); runConversion
// reports it.
void convertJob(const ConversionJob& job);

} // namespace vocelle
