#pragma once
// The table that vocelle run --report writes: one row per job of the list, in list order, with
// the columns of `reportHeader`. Each job logs exactly one outcome line, in list order, so the
// rows are filled by following the run's log.
//
//   roi      the ROI file as the job names it
//   voi      the VOI file written; empty when none was
//   space    the ReferenceSpace of the VOI file written (a TAL file without FileVersion makes it
//            ACPC); when none was written, TAL when the job names a TAL file, else ACPC
//   status   converted, not converted (files missing) or failed (the conversion stopped)
//   reason   as logged: the missing files, or why the conversion stopped
//   voxels   voxels per VOI of the file written, comma-separated

#include <vocelle/plugin/conversionrun.h>

#include <string>
#include <vector>

namespace vocelle {

constexpr const char* reportHeader = "roi\tvoi\tspace\tstatus\treason\tvoxels\n";
constexpr const char* convertedStatus = "converted";

// The jobs of a job list's text, as the plug-in reads them.
std::vector<ConversionJob> listedJobs(const std::string& listText);

// A text as one cell of the report: tabs and line ends become blanks.
std::string reportField(std::string text);
// The space cell of a job that wrote no VOI: TAL when it names a TAL file, else ACPC.
std::string reportSpace(const ConversionJob& job);

// The rows of a report's text below its header, each of six cells; false when the text is no
// report (another header, a row of another width, no line end after the last row).
bool readReportRows(const std::string& text, std::vector<std::vector<std::string>>& rows);

class RunReport {
  public:
    explicit RunReport(const std::string& listText);

    // Follows one log entry of the run. A converted job's VOI file is read at once, before a
    // later job could write it again.
    void logEntry(const std::string& text);

    // The rows, without the header. A job whose outcome never came (the run was stopped) is
    // listed as failed.
    std::string rows() const;

  private:
    struct Row {
        ConversionJob job;
        std::string status, reason, space, voxels;
    };
    std::vector<Row> rows_;
    std::size_t next_ = 0;            // the first job without an outcome
    bool listingMissing_ = false;     // the job before next_ is logging its missing files
};

} // namespace vocelle
