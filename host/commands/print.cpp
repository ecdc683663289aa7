// vocelle print: a document in its file layout.

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/host/command.h>
#include <vocelle/host/commandoptions.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/stringmanipulation.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace vocelle {

namespace {

struct PrintOptions {
    std::string document;
    bool withVoxels = true;
};

void declare(CLI::App& command, PrintOptions& options) {
    command.add_flag("--no-voxels{false}", options.withVoxels,
                     "Replace the voxel lists of ROI and VOI files by one line.");
    command.add_option("FILE", options.document, "The document; its extension tells its format.")
        ->required();
}

CommandFiles files(const PrintOptions& options) {
    return {{options.document}, {}};
}

// A document path's extension, lower case, without its dot ("" when it has none).
std::string documentKind(const std::string& path) {
    std::string kind = getExtension(path);
    for (char& c : kind)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return kind.empty() ? kind : kind.substr(1);
}

int execute(const PrintOptions& options) {
    const std::string& path = options.document;
    const std::string kind = documentKind(path);
    // Printed into memory first, so a document that fails half way prints nothing.
    std::ostringstream text;
    Fault readFault;
    const auto show = [&](const auto& document, auto... withVoxels) {
        document.PrintTo(text, withVoxels...);
        readFault = document.readFault;
    };
    const char* const kinds[] = {"roi", "voi", "fmr", "trf", "tal", "sdm"};
    if (std::find(std::begin(kinds), std::end(kinds), kind) == std::end(kinds))
        throw std::runtime_error("cannot tell the format of " + path +
                                 " (expected .roi, .voi, .fmr, .trf, .tal or .sdm)");
    // The readers stop quietly at the end of what they understand; a file they cannot open at
    // all is refused up front, with the same words whatever its kind.
    openForReading(path);
    if (kind == "roi")
        show(ROI(path), options.withVoxels);
    else if (kind == "voi")
        show(VOI(path), options.withVoxels);
    else if (kind == "fmr")
        show(FMR(path, false));
    else if (kind == "trf")
        show(TRF(path));
    else if (kind == "tal")
        show(TAL(path));
    else
        show(SDM(path));
    std::cout << text.str();
    std::cout.flush();
    if (!std::cout) throw std::runtime_error("cannot write to standard output");
    // What was read is worth seeing, but it is not the document: the status says so.
    if (!readFault.empty()) std::fprintf(stderr, "vocelle: %s\n", readFault.line().c_str());
    return readFault.empty() ? 0 : 2;
}

} // namespace

namespace commands {

extern const Command print = makeCommand<PrintOptions>(
    {"print", "Print a document (.roi, .voi, .fmr, .trf, .tal, .sdm) in its file layout.",
     doneOrFailed, declare, files, execute});

} // namespace commands

} // namespace vocelle
