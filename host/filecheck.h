#pragma once
// The one check of a command's files, before anything is opened for writing, the way a careful
// build tool refuses a rule whose output is its own input.

#include <vocelle/host/command.h>
#include <vocelle/plugin/conversionrun.h>
#include <vocelle/text/fault.h>

#include <string>
#include <vector>

namespace vocelle {

// Refuses in one FaultError naming both files: an output that is an input, another output or a
// file the plug-in writes for the command, and a file the plug-in writes that is an input. Files
// are compared as the saves resolve them: symbolic links followed, the same device and inode
// counting as the same file; character devices are never the same file. Also refused: an empty
// name, an output whose name does not end as its kind says, `-` for an output that is not text,
// and an output that could not be saved now (the reason the save would give), unless it lies in
// a folder the command makes.
void checkCommandFiles(const CommandFiles& files);

// The STC file that an FMR names, empty when it cannot be read now.
std::string stcFileOf(const std::string& fmr);

// The files a conversion job reads: its documents and the STC file its FMR names.
std::vector<std::string> jobInputs(const ConversionJob& job);

// A document read to its end: one that its reader could read only partly is refused, with its
// fault, so no result is made from part of it.
template <typename Document> Document wholeDocument(const std::string& path) {
    Document document(path);
    if (!document.readFault.empty()) throw FaultError(document.readFault);
    return document;
}

// The path a command saves an output to: `-` stands for standard output.
std::string outputPath(const std::string& path);

} // namespace vocelle
