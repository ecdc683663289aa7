#pragma once
// The job list: a text file whose first line is put in front of every name, followed subject
// after subject by the files of each job, an ROI line opening each job.

#include <vocelle/plugin/conversionrun.h>

#include <functional>
#include <istream>
#include <string>

namespace vocelle {

enum class JobListEnd {
    Finished,    // the list was read to its end (or to a read error)
    LineTooLong, // reading stopped at a line far longer than any file name
};

// Lines longer than this cannot name a file; reading stops there instead of growing without bound.
constexpr std::size_t maxJobListLineLength = 65536;

// Lines are told apart by their ending: an ROI line opens a job, fmr, IA.trf, FA.trf, ACPC.trf and
// tal lines name its other files, an sdm line its design (which only vocelle glm reads), and
// every other line is passed over.
bool isRoiLine(const std::string& line);
bool namesAJobFile(const std::string& line);

// Cuts the list into jobs and hands each to runJob as soon as it is complete, before reading on.
// Reading starts at the stream's current position; nothing is written to the log here.
JobListEnd readJobList(std::istream& list, const std::function<void(const ConversionJob&)>& runJob);

// The whole run of execute: asks the host's file chooser for the list, opens it (a message box
// when it cannot be opened) and runs every job through runConversion; a list that holds no job
// is logged.
void runJobList();

} // namespace vocelle
