#pragma once
// Texts the plug-in writes to the host log or shows in message boxes. The command-line host
// counts outcomes from the same constants, so both sides always agree.

namespace vocelle {

namespace logtexts {

constexpr const char* displayName = "Vocelle";
constexpr const char* running = ">  Running...";
constexpr const char* finished = ">  Plugin finished!\n";
constexpr const char* hostTooOld =
    "Can not execute this plugin - Corvane version 2.8 or higher required.";

constexpr const char* chooserTitle = "Choose a TXT file to read";
constexpr const char* chooserFilter = "Text file (*.txt)";
constexpr const char* listUnreadable = " Error: Can not read this text file!";
// Followed by the job list's path: a line too long for any file name stopped reading there.
constexpr const char* listLineTooLong = "!!!! Job list has a line too long to be a file name, reading stopped: ";

// Followed by the job list's path: no line of the list ends in "roi", so nothing was converted.
constexpr const char* listHoldsNoJob = "!!!! Job list holds no job (no line ends in roi): ";

// Followed by the ROI name.
constexpr const char* converted = "Converted ";
constexpr const char* notEnoughFiles = "!!!! Not enough files could be loaded to convert ";
// Followed by the ROI name, ": " and the reason.
constexpr const char* conversionFailed = "!!!! Could not convert ";

// Right after "Converted " when the FMR's STC file holds less than its header announces, which
// the conversion does not need: followed by the STC file's name.
constexpr const char* stcShort =
    "!!! STC file too short for its FMR header (the conversion uses no slice data): ";

// After "Converted " (and the STC note) when the job's TAL file has no FileVersion line:
// followed by the VOI's ReferenceSpace, talAbsentEnd and the TAL name.
constexpr const char* talAbsent = "!!! TAL without FileVersion line counts as absent, the VOI holds ";
constexpr const char* talAbsentEnd = " coordinates: ";

// Followed by the name as the job holds it.
constexpr const char* roiMissing = "ROI could not be loaded: ";
constexpr const char* fmrMissing = "FMR could not be loaded: ";
constexpr const char* iaTrfMissing = "IA.trf could not be loaded: ";
constexpr const char* faTrfMissing = "FA.trf could not be loaded: ";
constexpr const char* acpcTrfMissing = "ACPC.trf could not be loaded: ";
constexpr const char* talMissing = "TAL could not be loaded: ";

} // namespace logtexts

} // namespace vocelle
