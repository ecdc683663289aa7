#include "fuzz/fuzzbodies.h"

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/host/runreport.h>
#include <vocelle/host/splitmanifest.h>
#include <vocelle/imaging/labeltable.h>
#include <vocelle/imaging/niftifile.h>
#include <vocelle/plugin/conversionrun.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/text/stringmanipulation.h>

#include "tests/formats/conversionfiles.h"
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <glm/common.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <locale>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

namespace fs = std::filesystem;

void require(bool condition, const char* what) {
    if (!condition) throw BrokenInvariant(what);
}

std::string asText(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

std::vector<std::string> splitDocuments(const std::string& text, std::size_t atLeast) {
    std::vector<std::string> parts;
    const std::string separator = fuzzDocumentSeparator;
    std::size_t from = 0;
    for (auto at = text.find(separator); at != std::string::npos; at = text.find(separator, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    parts.push_back(text.substr(from));
    parts.resize(std::max(parts.size(), atLeast));
    return parts;
}

std::size_t claimed(int count) { return static_cast<std::size_t>(std::max(count, 0)); }

// No more entries than claimed; a kept voxel list is complete or cut to what the file held, and
// its count then says so.
template <typename Entries> void checkEntries(const Entries& entries, int count) {
    require(entries.size() <= claimed(count), "more entries than their count");
    for (const auto& entry : entries) {
        require(entry.NrOfVoxels.isSet(), "an entry was kept without its NrOfVoxels line");
        require(entry.voxels.size() == claimed(entry.NrOfVoxels.value()),
                "NrOfVoxels differs from the number of voxels kept");
    }
}

// Formatted extraction (a locale like the classic one in all but name) reads voxel lists alike.
template <typename Doc> void requireSameAsFormattedExtraction(const std::string& text, const Doc& doc) {
    std::istringstream in(text, std::ios::in | std::ios::binary);
    in.imbue(std::locale(std::locale::classic(), new std::numpunct<char>));
    require(printed(doc, true) == printed(Doc(in, doc.fileName), true),
            "voxel lists read otherwise than by extraction");
}

void fuzzRoi(const std::uint8_t* data, std::size_t size) {
    const auto roi = parse<ROI>(asText(data, size), "fuzz.roi");
    checkEntries(roi.rois, roi.NrOfTCPlots.value());
    requireSameAsFormattedExtraction(asText(data, size), roi);
    printed(roi, false);
}

void fuzzVoi(const std::uint8_t* data, std::size_t size) {
    const auto voi = parse<VOI>(asText(data, size), "fuzz.voi");
    checkEntries(voi.vois, voi.NrOfVOIs.value());
    require(voi.vtcFiles.size() <= claimed(voi.NrOfVOIVTCs.value()),
            "more linked files than NrOfVOIVTCs");
    printed(voi, true) + printed(voi, false);
}

void fuzzFmrHeader(const std::uint8_t* data, std::size_t size) {
    const auto fmr = parse<FMR>(asText(data, size), "fuzz/run.fmr", false);
    require(fmr.stcVolumes.empty(), "slice data without loading it");
    printed(fmr);
}

// The FMR header, the separator line, then the bytes of its STC file.
void fuzzFmrStc(const std::uint8_t* data, std::size_t size) {
    const auto parts = splitDocuments(asText(data, size), 2);
    auto fmr = parse<FMR>(parts[0], "fuzz/run.fmr", false);
    std::istringstream stc(parts[1], std::ios::in | std::ios::binary);
    try {
        fmr.LoadSTC(stc);
    } catch (const std::runtime_error& e) {
        require(std::string(e.what()).find("fuzz/") != std::string::npos,
                "STC error without the path");
        require(fmr.stcVolumes.empty(), "a failed load changed the slice data");
        return;
    }
    require(fmr.stcVolumes.size() == claimed(fmr.NrOfVolumes.value()),
            "not one volume per time point");
    const glm::tvec3<int> dims(fmr.ResolutionX.value(), fmr.ResolutionY.value(),
                               fmr.NrOfSlices.value());
    for (const auto& volume : fmr.stcVolumes)
        require(volume.dimensions() == dims, "a volume of the wrong size");
    // File order: slice outermost, then volume, then one image; what the file lacks reads as 0.
    const std::size_t image = std::size_t(dims.x) * dims.y, volumes = fmr.stcVolumes.size();
    const std::size_t width = fmr.DataType.isSet() && fmr.DataType.value() == 2 ? 4 : 2;
    const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(parts[1][i])); };
    for (std::size_t k = 0; k < image * volumes * std::size_t(dims.z); ++k) {
        std::uint32_t bits = 0; // the value's bytes, little-endian
        for (std::size_t b = 0; b < width && (k + 1) * width <= parts[1].size(); ++b)
            bits |= byte(k * width + b) << (8 * b);
        float want = static_cast<std::int16_t>(bits);
        if (width == 4) std::memcpy(&want, &bits, sizeof want);
        const float got =
            fmr.stcVolumes[k / image % volumes].data()[k / image / volumes * image + k % image];
        require(std::memcmp(&got, &want, sizeof got) == 0, "a value other than the file's");
    }
}

template <typename Doc> void fuzzPrinted(const std::uint8_t* data, std::size_t size) {
    printed(parse<Doc>(asText(data, size), "fuzz.doc"));
}

void fuzzSdm(const std::uint8_t* data, std::size_t size) {
    try {
        const auto sdm = parse<SDM>(asText(data, size), "fuzz.sdm");
        const std::size_t predictors = sdm.values.size();
        require(predictors <= claimed(sdm.NrOfPredictors.value()),
                "more predictors than NrOfPredictors");
        require(sdm.red.size() == predictors && sdm.green.size() == predictors &&
                    sdm.blue.size() == predictors && sdm.predictorNames.size() == predictors,
                "colours, names and columns differ in number");
        for (const auto& column : sdm.values)
            require(column.size() == sdm.values[0].size() &&
                        column.size() <= claimed(sdm.NrOfDataPoints.value()),
                    "columns of different lengths or longer than NrOfDataPoints");
        printed(sdm);
    } catch (const FaultError& e) {
        // A data row without its numbers: the documented failure, naming the file.
        require(e.fault().path == "fuzz.sdm", "SDM error without the file name");
    }
}

// Runs `run`, which returns the VOI names of the jobs it ran, and fails unless every file it
// created or changed below `folder` is one of them.
void requireOnlyVoisWritten(const ScratchDir& folder,
                            const std::function<std::set<std::string>()>& run) {
    const auto before = filesBelow(folder.path());
    std::set<std::string> vois;
    for (const auto& name : run())
        vois.insert(fs::path(name).lexically_normal().lexically_relative(folder.path()).string());
    for (const auto& [name, bytes] : filesBelow(folder.path())) {
        const auto old = before.find(name);
        require((old != before.end() && old->second == bytes) || vois.count(name) == 1,
                "a run wrote a file other than the VOI of a job");
        if (old == before.end()) fs::remove(folder.path() / name);
    }
    require(filesBelow(folder.path()) == before, "a run removed a file");
}

// A job list is read below a folder holding the files its seeds name, each job converting an ROI
// of no region so that a run costs next to nothing. A list climbing out of the folder is only cut
// into jobs.
void fuzzJobList(const std::uint8_t* data, std::size_t size) {
    namespace cf = conversionfiles;
    static const ScratchDir folder;
    [[maybe_unused]] static const bool written = [] {
        for (const std::string at : {"/study/s1", "/study/s2"}) {
            fs::create_directories(folder.path().string() + at);
            cf::job(folder.path().string() + at, "run1", {}, cf::Grid{8, 8, 8});
            writeAll(folder.path().string() + at + "/anat_ACPC.trf", cf::trf(true));
            writeAll(folder.path().string() + at + "/anat.tal", cf::tal(1));
        }
        return true;
    }();
    const std::string text = folder.path().string() + "/" + asText(data, size);
    std::string base = text.substr(0, std::min(text.find('\n'), maxJobListLineLength));
    if (!base.empty() && base.back() == '\r') base.pop_back();
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;

    requireOnlyVoisWritten(folder, [&] {
        std::istringstream in(text);
        std::set<std::string> vois;
        std::size_t jobs = 0;
        readJobList(in, [&](const ConversionJob& job) {
            require(++jobs <= lines, "more jobs than lines");
            require(job.roiName.compare(0, base.size(), base) == 0,
                    "ROI name without the base path");
            require(getLastCharacters(job.roiName, 3) == "roi",
                    "a job opened by a line that is no ROI line");
            for (const auto& [name, ending] :
                 {std::pair(&job.fmrName, "fmr"), std::pair(&job.iaTrfName, "IA.trf"),
                  std::pair(&job.faTrfName, "FA.trf"), std::pair(&job.acpcTrfName, "ACPC.trf"),
                  std::pair(&job.talName, "tal")})
                require(name->empty() ||
                            getLastCharacters(*name, int(std::strlen(ending))) == ending,
                        "a file in the wrong field");
            if (text.find("..") != std::string::npos) return;
            vois.insert(voiFileName(job));
            runConversion(job);
        });
        return vois;
    });
}

// ROI, FMR, IA, FA, ACPC and TAL documents between separator lines, written as the files of one
// job (empty FA and ACPC documents count as absent, an empty TAL as not named, the STC file holds
// zeros) and run as a job list runs it. A conversion may have to visit every voxel of the cube,
// so the target keeps to six regions and a functional grid of at most 64 voxels a side, which
// holds each input to seconds; everything else in the documents is taken as it comes.
void fuzzConversion(const std::uint8_t* data, std::size_t size) {
    const auto parts = splitDocuments(asText(data, size), 6);
    const auto roi = parse<ROI>(parts[0], "fuzz.roi");
    const auto fmr = parse<FMR>(parts[1], "fuzz/run.fmr", false);
    for (int n : {fmr.ResolutionX.value(), fmr.ResolutionY.value(), fmr.NrOfSlices.value()})
        if (n > 64 || roi.rois.size() > 6) return;
    const ScratchDir folder;
    ConversionJob job;
    std::string* const names[] = {&job.roiName,   &job.fmrName,     &job.iaTrfName,
                                  &job.faTrfName, &job.acpcTrfName, &job.talName};
    for (std::size_t i = 0; i < 6; ++i) {
        *names[i] = folder.file("job" + std::to_string(i) + (i == 0 ? ".roi" : ""));
        writeAll(*names[i], parts[i]);
    }
    if (parts[5].empty()) job.talName.clear();
    long long values = 1;
    for (int n : {fmr.NrOfVolumes.value(), fmr.ResolutionX.value(), fmr.ResolutionY.value(),
                  fmr.NrOfSlices.value()})
        values *= std::min(std::max(n, 0), 1 << 20);
    if (fmr.Prefix.value().find_first_of(std::string("/\\.\0", 4)) == std::string::npos &&
        values <= (1 << 20))
        writeAll(folder.file(fmr.Prefix.value() + ".stc"),
                 std::string(std::size_t(values) * (fmr.DataType.value() == 2 ? 4 : 2), '\0'));

    std::string saved;
    requireOnlyVoisWritten(folder, [&] {
        runConversion(job);
        saved = readAll(voiFileName(job));
        return std::set<std::string>{voiFileName(job)};
    });
    if (saved.empty()) return;
    require(roi.readFault.empty() && fmr.readFault.empty(), "a partly read document was converted");
    const auto converted = parse<VOI>(saved, "fuzz.voi");
    require(converted.vois.size() == roi.rois.size(), "not one entry per stored region");
    checkEntries(converted.vois, converted.NrOfVOIs.value());
}

// A file in a folder of its own that lives as long as the process.
std::string scratchFile(const std::string& name, const std::string& bytes) {
    static const ScratchDir folder;
    writeAll(folder.file(name), bytes);
    return folder.file(name);
}

// A fault names the file read; `where`, when given, a line from 1 to the lines the text has.
void requireNamed(const FaultError& e, const std::string& path, const std::string& text) {
    const std::string& where = e.fault().where;
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    require(e.fault().path == path && (where.empty() || (startsWith(where, "line ") && std::stoul(where.substr(5)) - 1 < lines)),
            "a fault that names another file, or a line the file does not have");
}

// An image (gzip bytes as .nii.gz) is accepted only whole: its dimensions and voxel sizes
// positive, and for a plain file its data the file's own bytes at the data offset.
void fuzzNifti(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = asText(data, size);
    const bool compressed = bytes.compare(0, 2, "\x1f\x8b") == 0;
    const std::string path = scratchFile(compressed ? "fuzz.nii.gz" : "fuzz.nii", bytes);
    NiftiImage image;
    try {
        image = readNiftiImage(path, std::size_t(1) << 20);
    } catch (const FaultError& e) {
        require(startsWith(e.fault().path, getPath(path) + "fuzz."), "a fault that names another file");
        return;
    }
    std::size_t count = 1;
    for (int d = 1; d <= image->ndim; count *= std::size_t(image->dim[d++]))
        require(image->dim[d] >= 1 && (d > 3 || (std::isfinite(image->pixdim[d]) && image->pixdim[d] > 0)),
                "a dimension below 1 or a voxel size that is no size");
    const std::size_t dataBytes = count * std::size_t(image->nbyper);
    require(image->data != nullptr && dataBytes <= (std::size_t(1) << 20), "data beyond the limit");
    if (compressed || image->iname == nullptr || path != image->iname || image->byteorder != nifti_short_order()) return;
    const std::size_t offset = std::size_t(image->iname_offset);
    require(offset + dataBytes <= bytes.size() && std::memcmp(image->data, bytes.data() + offset, dataBytes) == 0,
            "data that is not the file's");
}

// The same bytes as export-nifti's table and as an FSLeyes table.
void fuzzLabelTable(const std::uint8_t* data, std::size_t size) {
    const std::string text = asText(data, size);
    for (const char* name : {"a.tsv", "b.lut"}) {
        const std::string table = scratchFile(name, text);
        std::vector<LabelEntry> entries;
        std::string read;
        try {
            require(readLabelTable(removeExtension(table), entries, read) && read == table, "the table was not read");
        } catch (const FaultError& e) {
            requireNamed(e, table, text);
            continue;
        }
        std::set<long long> labels;
        for (const LabelEntry& entry : entries)
            require(labels.insert(entry.index).second && entry.name.size() <= maxLabelName &&
                        entry.colour == glm::clamp(entry.colour, 0, 255),
                    "a label twice, a name beyond the limit or a colour beyond 0 to 255");
    }
}

// A text read as a report is its header and its rows, cell for cell.
void fuzzRunReport(const std::uint8_t* data, std::size_t size) {
    const std::string text = asText(data, size);
    std::vector<std::vector<std::string>> rows;
    if (!readReportRows(text, rows)) return;
    std::string again = reportHeader;
    for (const auto& row : rows)
        for (std::size_t cell = 0; cell < row.size(); ++cell) again += row[cell] + (cell < 5 ? "\t" : "\n");
    require(again == text, "rows other than the text's, or of another width");
}

// A manifest accepted is what manifestText writes for it, every part with a job.
void fuzzManifest(const std::uint8_t* data, std::size_t size) {
    const std::string text = asText(data, size);
    SplitManifest manifest;
    try {
        manifest = parseManifest(text, "fuzz.manifest");
    } catch (const FaultError& e) {
        requireNamed(e, "fuzz.manifest", text);
        return;
    }
    require(manifestText(manifest) == text, "a manifest read otherwise than written");
    const std::vector<std::string> files = manifest.files();
    require(std::set<std::string>(files.begin(), files.end()).size() == files.size(), "a file named twice");
    for (const auto& part : manifest.parts) require(!part.jobs.empty(), "a part without jobs");
}

} // namespace

const FuzzTarget fuzzTargets[] = {
    {"roi", &fuzzRoi},        {"voi", &fuzzVoi},          {"fmr_header", &fuzzFmrHeader},
    {"fmr_stc", &fuzzFmrStc}, {"trf", &fuzzPrinted<TRF>}, {"tal", &fuzzPrinted<TAL>},
    {"sdm", &fuzzSdm},        {"joblist", &fuzzJobList},  {"conversion", &fuzzConversion},
    {"nifti", &fuzzNifti},    {"labeltable", &fuzzLabelTable}, {"runreport", &fuzzRunReport},
    {"manifest", &fuzzManifest}, {nullptr, nullptr},
};

FuzzBody findFuzzBody(const std::string& name) {
    for (const FuzzTarget* t = fuzzTargets; t->name != nullptr; ++t)
        if (name == t->name) return t->body;
    return nullptr;
}

} // namespace vocelle
