#include "fuzz/fuzzbodies.h"

#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/plugin/conversionrun.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/text/stringmanipulation.h>

#include "tests/formats/conversionfiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vocelle {

namespace {

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

template <typename Doc, typename... Extra>
Doc parse(const std::string& text, const char* name, Extra... extra) {
    std::istringstream in(text, std::ios::in | std::ios::binary);
    return Doc(in, name, extra...);
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

void fuzzRoi(const std::uint8_t* data, std::size_t size) {
    const auto roi = parse<ROI>(asText(data, size), "fuzz.roi");
    checkEntries(roi.rois, roi.NrOfTCPlots.value());
    std::ostringstream out;
    roi.PrintTo(out, true);
    roi.PrintTo(out, false);
}

void fuzzVoi(const std::uint8_t* data, std::size_t size) {
    const auto voi = parse<VOI>(asText(data, size), "fuzz.voi");
    checkEntries(voi.vois, voi.NrOfVOIs.value());
    require(voi.vtcFiles.size() <= claimed(voi.NrOfVOIVTCs.value()),
            "more linked files than NrOfVOIVTCs");
    std::ostringstream out;
    voi.PrintTo(out, true);
    voi.PrintTo(out, false);
}

void fuzzFmrHeader(const std::uint8_t* data, std::size_t size) {
    const auto fmr = parse<FMR>(asText(data, size), "fuzz/run.fmr", false);
    require(fmr.stcVolumes.empty(), "slice data without loading it");
    std::ostringstream out;
    fmr.PrintTo(out);
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
    std::ostringstream out;
    parse<Doc>(asText(data, size), "fuzz.doc").PrintTo(out);
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
        std::ostringstream out;
        sdm.PrintTo(out);
    } catch (const std::logic_error& e) {
        // A data row without its numbers: the documented failure, naming the file.
        require(dynamic_cast<const std::invalid_argument*>(&e) ||
                    dynamic_cast<const std::out_of_range*>(&e),
                "an undocumented logic_error");
        require(std::string(e.what()).find("fuzz.sdm") != std::string::npos,
                "SDM error without the file name");
    }
}

// A folder of files that the runs below must leave alone, but for the VOIs of their jobs.
class StudyFolder {
public:
    StudyFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vocelle-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = pattern + "/";
    }
    ~StudyFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    const std::string& root() const { return root_; }

    void write(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories(getPath(root_ + name));
        std::ofstream(root_ + name, std::ios::binary) << bytes;
    }

    // Every regular file below the folder, by path, with its bytes.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            found[entry.path().lexically_normal().string()] = {std::istreambuf_iterator<char>(in), {}};
        }
        return found;
    }

    // Runs `run`, which reports each job it runs to `ran`; then fails unless every file it
    // created or changed is the VOI of one of those jobs, and puts the folder back as it was.
    void requireOnlyVoisWritten(const std::function<void(const std::function<void(const ConversionJob&)>&)>& run) const {
        const auto before = files();
        std::set<std::string> vois;
        run([&](const ConversionJob& job) {
            vois.insert(std::filesystem::path(voiFileName(job)).lexically_normal().string());
        });
        const auto after = files();
        for (const auto& old : before) require(after.count(old.first) == 1, "a run removed a file");
        for (const auto& [name, bytes] : after) {
            const auto old = before.find(name);
            if (old != before.end() && old->second == bytes) continue;
            require(vois.count(name) == 1, "a run wrote a file other than the VOI of a job");
            if (old == before.end())
                std::filesystem::remove(name);
            else
                std::ofstream(name, std::ios::binary) << old->second;
        }
    }

private:
    std::string root_;
};

// The files the job-list seeds name, under "study/", each job converting an ROI of no region so
// that a run costs next to nothing.
const StudyFolder& jobListStudy() {
    static const StudyFolder folder;
    static const bool written = [] {
        namespace cf = conversionfiles;
        for (const std::string subject : {"s1", "s2"}) {
            const std::string at = "study/" + subject + "/";
            folder.write(at + "run1.roi", cf::roi({}));
            folder.write(at + "run1.fmr", cf::fmr("run1", cf::Grid()));
            folder.write(at + "run1.stc", "");
            folder.write(at + "run1_IA.trf", cf::trf(true));
            folder.write(at + "run1_FA.trf", cf::trf(true));
            folder.write(at + "anat_ACPC.trf", cf::trf(true));
            folder.write(at + "anat.tal", cf::tal(1));
        }
        return true;
    }();
    static_cast<void>(written);
    return folder;
}

// Lists are read below the study folder; names that climb out of it are left out, so that a
// run can only touch files the check sees.
void fuzzJobList(const std::uint8_t* data, std::size_t size) {
    const std::string text = asText(data, size);
    const StudyFolder& study = jobListStudy();
    std::string base = text.substr(0, std::min(text.find('\n'), maxJobListLineLength));
    if (!base.empty() && base.back() == '\r') base.pop_back();
    base = study.root() + base;
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    const bool staysInside = text.find("..") == std::string::npos;

    std::istringstream in(study.root() + text);
    std::size_t jobs = 0;
    study.requireOnlyVoisWritten([&](const auto& ran) {
        readJobList(in, [&](const ConversionJob& job) {
            ++jobs;
            require(jobs <= lines, "more jobs than lines");
            require(job.roiName.compare(0, base.size(), base) == 0, "ROI name without the base path");
            require(getLastCharacters(job.roiName, 3) == "roi",
                    "a job opened by a line that is no ROI line");
            for (const auto& [name, ending] :
                 {std::pair(&job.fmrName, "fmr"), std::pair(&job.iaTrfName, "IA.trf"),
                  std::pair(&job.faTrfName, "FA.trf"), std::pair(&job.acpcTrfName, "ACPC.trf"),
                  std::pair(&job.talName, "tal")})
                require(name->empty() || getLastCharacters(*name, int(std::strlen(ending))) == ending,
                        "a file in the wrong field");
            if (!staysInside) return;
            ran(job);
            runConversion(job);
        });
    });
}

// ROI, FMR, IA, FA, ACPC and TAL documents between separator lines, written as the files of one
// job (empty FA, ACPC and TAL documents count as absent, a missing TAL as not named) and run as
// a job list runs it. A conversion may have to visit every voxel of the cube, so the target
// keeps to six regions and a functional grid of at most 64 voxels a side, which holds each input
// to seconds; everything else in the documents is taken as it comes.
void fuzzConversion(const std::uint8_t* data, std::size_t size) {
    const auto parts = splitDocuments(asText(data, size), 6);
    const auto roi = parse<ROI>(parts[0], "fuzz.roi");
    const auto fmr = parse<FMR>(parts[1], "fuzz/run.fmr", false);
    for (int n : {fmr.ResolutionX.value(), fmr.ResolutionY.value(), fmr.NrOfSlices.value()})
        if (n > 64) return;
    if (roi.rois.size() > 6) return;

    static const StudyFolder study;
    const char* const names[] = {"job.roi", "job.fmr", "job_IA.trf", "job_FA.trf", "job_ACPC.trf", "job.tal"};
    for (std::size_t i = 0; i < 6; ++i) study.write(names[i], parts[i]);
    // The slice data the header asks for, where it names a file of this folder.
    const std::string prefix = fmr.Prefix.value();
    const long long values = 1LL * fmr.NrOfVolumes.value() * fmr.ResolutionX.value() *
                             fmr.ResolutionY.value() * fmr.NrOfSlices.value();
    if (prefix.find_first_of(std::string("/\\\0", 3)) == std::string::npos && prefix.find("..") == std::string::npos &&
        values >= 0 && values <= (1 << 20))
        study.write(prefix + ".stc", std::string(std::size_t(values) * (fmr.DataType.value() == 2 ? 4 : 2), '\0'));

    ConversionJob job;
    job.roiName = study.root() + names[0];
    job.fmrName = study.root() + names[1];
    job.iaTrfName = study.root() + names[2];
    job.faTrfName = study.root() + names[3];
    job.acpcTrfName = study.root() + names[4];
    if (!parts[5].empty()) job.talName = study.root() + names[5];
    std::string voi;
    study.requireOnlyVoisWritten([&](const auto& ran) {
        ran(job);
        runConversion(job);
        std::ifstream saved(voiFileName(job), std::ios::binary);
        voi.assign(std::istreambuf_iterator<char>(saved), {});
    });
    std::filesystem::remove_all(study.root());
    std::filesystem::create_directories(study.root());
    if (voi.empty()) return;

    require(roi.readFault.empty(), "a partly read ROI was converted");
    const auto converted = parse<VOI>(voi, "fuzz.voi");
    require(converted.vois.size() == roi.rois.size(), "not one entry per stored region");
    checkEntries(converted.vois, converted.NrOfVOIs.value());
    for (const auto& entry : converted.vois)
        require(entry.voxels.size() <= 256u * 256u * 256u, "more voxels than the cube holds");
}

} // namespace

const FuzzTarget fuzzTargets[] = {
    {"roi", &fuzzRoi},        {"voi", &fuzzVoi},          {"fmr_header", &fuzzFmrHeader},
    {"fmr_stc", &fuzzFmrStc}, {"trf", &fuzzPrinted<TRF>}, {"tal", &fuzzPrinted<TAL>},
    {"sdm", &fuzzSdm},        {"joblist", &fuzzJobList},  {"conversion", &fuzzConversion},
    {nullptr, nullptr},
};

FuzzBody findFuzzBody(const std::string& name) {
    for (const FuzzTarget* t = fuzzTargets; t->name != nullptr; ++t)
        if (name == t->name) return t->body;
    return nullptr;
}

} // namespace vocelle
