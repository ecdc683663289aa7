#include <vocelle/host/commands.h>

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/host/joblistsplit.h>
#include <vocelle/host/niftiexport.h>
#include <vocelle/host/preview.h>
#include <vocelle/host/scaleout.h>
#include <vocelle/host/underlay.h>
#include <vocelle/text/fileopen.h>
#include <vocelle/text/safesave.h>
#include <vocelle/text/stringmanipulation.h>

#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

namespace vocelle {

namespace {

// Throws std::runtime_error naming the file when it cannot be read. The document readers stop
// quietly at the end of what they understand; a file they cannot open at all (missing, a folder,
// no permission) is refused up front, with the same words whatever its kind.
void checkReadable(const std::string& path) { openForReading(path); }

// A document path's extension, lower case, without its dot ("" when it has none).
std::string documentKind(const std::string& path) {
    std::string kind = getExtension(path);
    for (char& c : kind) c = char(std::tolower(static_cast<unsigned char>(c)));
    return kind.empty() ? kind : kind.substr(1);
}

} // namespace

int fail(const std::string& message) {
    std::fprintf(stderr, "vocelle: %s\n", message.c_str());
    return 2;
}

int fail(const std::exception& error) {
    const auto* fault = dynamic_cast<const FaultError*>(&error);
    return fail(fault != nullptr ? fault->fault().line() : std::string(error.what()));
}

int printCommand(const HostOptions& options) {
    const std::string& path = options.document;
    const std::string kind = documentKind(path);
    if (kind != "roi" && kind != "voi" && kind != "fmr" && kind != "trf" && kind != "tal" && kind != "sdm")
        return fail("cannot tell the format of " + path + " (expected .roi, .voi, .fmr, .trf, .tal or .sdm)");

    // Printed into memory first, so a document that fails half way prints nothing.
    std::ostringstream text;
    Fault readFault;
    const auto show = [&](const auto& document, auto... withVoxels) {
        document.PrintTo(text, withVoxels...);
        readFault = document.readFault;
    };
    try {
        checkReadable(path);
        if (kind == "roi") show(ROI(path), options.withVoxels);
        else if (kind == "voi") show(VOI(path), options.withVoxels);
        else if (kind == "fmr") show(FMR(path, false));
        else if (kind == "trf") show(TRF(path));
        else if (kind == "tal") show(TAL(path));
        else show(SDM(path));
    } catch (const std::exception& e) {
        return fail(e);
    }
    std::cout << text.str();
    std::cout.flush();
    if (!readFault.empty()) std::fprintf(stderr, "vocelle: %s\n", readFault.line().c_str());
    return std::cout ? 0 : fail("cannot write to standard output");
}

int previewCommand(const HostOptions& options) {
    const std::string output =
        options.output.empty() ? addToFileNameNewExtension(options.document, ".png") : options.output;
    try {
        checkReadable(options.document);
        const VOI voi(options.document);
        long long voxels = 0;
        for (const auto& entry : voi.vois) voxels += static_cast<long long>(entry.voxels.size());
        const std::string title = getFileName(options.document) + "   " + voi.ReferenceSpace.value() + "   " +
                                  std::to_string(voi.vois.size()) + " VOI" + (voi.vois.size() == 1 ? "" : "s") +
                                  ", " + std::to_string(voxels) + " voxels";
        std::unique_ptr<Underlay> underlay;
        if (!options.underlay.empty()) underlay = std::make_unique<Underlay>(options.underlay);
        const Preview preview = renderPreview(voi, title, underlay.get());
        const std::string png = encodePng(preview.image);
        saveReplacing(output, [&](std::ostream& out) { out.write(png.data(), std::streamsize(png.size())); },
                      faulttext::createFile, std::ios::binary);
        if (preview.outside > 0)
            std::fprintf(stderr, "vocelle: %lld voxels of %s lie outside the cube and are not drawn\n",
                         preview.outside, options.document.c_str());
        std::printf("%s: views through cube voxel %d %d %d\n", output.c_str(), preview.centre.x, preview.centre.y,
                    preview.centre.z);
    } catch (const std::exception& e) {
        return fail(e);
    }
    return 0;
}

int exportNiftiCommand(const HostOptions& options) {
    const std::string output =
        options.output.empty() ? addToFileNameNewExtension(options.document, ".nii.gz") : options.output;
    try {
        checkReadable(options.document);
        const VOI voi(options.document);
        const NiftiExportReport report = exportNifti(voi, output, options.oneVolumePerVoi);
        if (report.outside > 0)
            std::fprintf(stderr, "vocelle: %lld voxels of %s lie outside the 256^3 grid and are left out\n",
                         report.outside, options.document.c_str());
        if (report.overlapping > 0)
            std::fprintf(stderr, "vocelle: %lld voxels of %s belong to more than one VOI; each keeps the label of the first\n",
                         report.overlapping, options.document.c_str());
        std::printf("%s: %zu %s%s, %lld voxels\n%s: label table\n", report.imagePath.c_str(), voi.vois.size(),
                    options.oneVolumePerVoi ? "volume" : "label", voi.vois.size() == 1 ? "" : "s", report.labelled,
                    report.tablePath.c_str());
    } catch (const std::exception& e) {
        return fail(e);
    }
    return 0;
}

int splitCommand(const HostOptions& options) {
    const JobListParts split = splitJobListFile(options.jobList, options.parts);
    if (!split.error.empty()) return fail(split.error);
    if (!options.output.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.output, error);
        if (error) return fail("cannot create the folder " + options.output + ": " + error.message());
    }
    try {
        const std::optional<SlurmScript> script =
            options.sbatch ? std::optional<SlurmScript>(makeSlurmScript(options)) : std::nullopt;
        for (int part = 1; part <= options.parts; ++part) {
            const std::string name = jobListPartName(options.jobList, part, options.output);
            if (name == options.jobList) return fail("a part would replace the list itself: " + name);
            saveReplacing(name, [&](std::ostream& out) { out << split.parts[std::size_t(part - 1)]; },
                          faulttext::createFile, std::ios::binary);
            std::printf("%s\t%zu jobs\n", name.c_str(), split.roiNames[std::size_t(part - 1)].size());
        }
        if (script) {
            writeSlurmScript(*script);
            std::printf("%s\tSlurm array script\n", script->path.c_str());
        }
    } catch (const std::exception& e) {
        return fail(e);
    }
    if (split.jobCount < options.parts)
        std::fprintf(stderr, "vocelle: %s holds %d jobs; %d of the %d lists hold none\n", options.jobList.c_str(),
                     split.jobCount, options.parts - split.jobCount, options.parts);
    return 0;
}

} // namespace vocelle
