// Hostile input: every prefix of every fixture read as a file cut off there (readers stop
// silently and keep only what they had read), a sample of cut documents through the conversion,
// and the fuzz seeds and every input that ever failed a fuzz target, replayed.

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "fuzz/fuzzbodies.h"
#include "plugin/joblist.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace {

const std::string data = VOCELLE_TEST_DATA;
const std::string study = data + "/../../examples/study/";
using Items = std::vector<std::string>;

template <typename Doc, typename... Extra> Doc read(const std::string& text, Extra... extra) {
    std::istringstream in(text);
    return Doc(in, "cut", extra...);
}

// What a document kept: its printed lines, which for these canonical fixtures stand in file
// order. Left out: NrOfVoxels (the number kept, which the fuzz body checks), a TRF's matrix rows
// (a cut matrix keeps identity entries), landmarks and colours not read, and the FMR's slice
// timing table (checked on its own).
template <typename Doc> Items printed(const std::string& text) {
    std::ostringstream out;
    if constexpr (std::is_same_v<Doc, FMR>)
        read<FMR>(text, false).PrintTo(out);
    else if constexpr (std::is_same_v<Doc, ROI> || std::is_same_v<Doc, VOI>)
        read<Doc>(text).PrintTo(out, true);
    else
        read<Doc>(text).PrintTo(out);
    std::istringstream lines(out.str());
    Items items;
    for (std::string line; std::getline(lines, line);) {
        const bool row = line.find(':') == std::string::npos;
        if (line.find_first_not_of(' ') == std::string::npos || line.rfind("NrOfVoxels:", 0) == 0 ||
            (row && std::is_same_v<Doc, TRF>) ||
            (line.size() > 6 && line.substr(line.size() - 6) == " 0 0 0"))
            continue;
        const auto colon = line.find(':'), value = line.find_first_not_of(' ', colon + 1);
        items.push_back(row ? line
                            : line.substr(0, colon) + '=' +
                                  (value == std::string::npos ? "" : line.substr(value)));
        if (line.rfind("SliceTimingTableSize:", 0) == 0) break;
    }
    return items;
}

// The names of each job in order, which a cut list hands on only whole.
Items jobNames(const std::string& text) {
    std::istringstream in(text);
    Items items;
    readJobList(in, [&](const ConversionJob& j) {
        int field = 0;
        for (const auto* name :
             {&j.roiName, &j.fmrName, &j.iaTrfName, &j.faTrfName, &j.acpcTrfName, &j.talName})
            if (!(++field, name->empty())) items.push_back(std::to_string(field) + "=" + *name);
    });
    return items;
}

// Kept from the first n bytes: the whole file's items up to the cut. Only the last may differ:
// at a line end it cannot; between two words it may be a line missing its value (0, -1 for
// FileVersion, or empty) or a text cut short; inside a word it may be anything.
::testing::AssertionResult keptBeforeCut(const Items& kept, const Items& whole,
                                         const std::string& text, std::size_t n) {
    const auto fail = [&](const std::string& why) {
        return ::testing::AssertionFailure() << "cut at " << n << ": " << why;
    };
    if (kept.size() > whole.size()) return fail("more items than the whole file");
    if (kept.empty()) return ::testing::AssertionSuccess();
    const std::size_t last = kept.size() - 1;
    if (!std::equal(kept.begin(), kept.begin() + last, whole.begin()))
        return fail("an earlier item differs");
    const std::string &got = kept[last], &want = whole[last];
    if (got == want) return ::testing::AssertionSuccess();
    if (n == text.size() || text[n - 1] == '\n') return fail(got + " at a line end");
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto endsWith = [&](const std::string& end) {
        return got.size() >= end.size() &&
               got.compare(got.size() - end.size(), end.size(), end) == 0;
    };
    const bool missingValue =
        endsWith("=") || endsWith("=0") || endsWith(" 0") || endsWith("FileVersion=-1");
    if ((space(text[n - 1]) || space(text[n])) && !missingValue &&
        want.compare(0, got.size(), got) != 0)
        return fail(got + " instead of " + want);
    return ::testing::AssertionSuccess();
}

TEST(Truncation, EveryPrefixKeepsWhatWasReadBeforeTheCut) {
    const struct {
        const char* fuzzTarget;
        Items (*items)(const std::string&); // null: keys in any order, the fuzz invariants only
        std::vector<std::string> files;
    } formats[] = {
        {"roi", printed<ROI>, {data + "/sample.roi", study + "s1/run1.roi", study + "s2/run1.roi"}},
        {"roi", nullptr, {data + "/messy.roi"}},
        {"voi", printed<VOI>, {data + "/sample.voi"}},
        {"trf",
         printed<TRF>,
         {data + "/ia.trf", data + "/acpc.trf", study + "s1/run1_IA.trf", study + "s1/run1_FA.trf",
          study + "s1/anat_ACPC.trf", study + "s2/run1_IA.trf", study + "s2/anat_ACPC.trf"}},
        {"tal", printed<TAL>, {data + "/sample.tal", study + "s1/anat.tal", study + "s2/anat.tal"}},
        {"fmr_header", printed<FMR>, {data + "/fmr/run1.fmr", study + "s1/run1.fmr"}},
        // A cut data row is the SDM reader's documented failure, which the fuzz body accepts.
        {"sdm", nullptr, {data + "/sample.sdm", data + "/fields.sdm"}},
        {"joblist", jobNames, {study + "jobs.txt"}},
    };
    for (const auto& format : formats) {
        const FuzzBody body = findFuzzBody(format.fuzzTarget);
        ASSERT_NE(body, nullptr);
        for (const auto& file : format.files) {
            const std::string text = readAll(file);
            const Items whole = format.items ? format.items(text) : Items();
            ASSERT_TRUE(!format.items || whole.size() > 3) << file;
            const bool fmr = std::string(format.fuzzTarget) == "fmr_header";
            const auto table = fmr ? read<FMR>(text, false).sliceTimingTable : std::vector<float>();
            for (std::size_t n = 0; n <= text.size(); ++n) {
                const std::string cut = text.substr(0, n);
                try {
                    body(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size());
                } catch (const std::exception& e) {
                    FAIL() << file << " cut at " << n << ": " << e.what();
                }
                if (format.items) {
                    ASSERT_TRUE(keptBeforeCut(format.items(cut), whole, text, n)) << file;
                }
                if (!fmr) continue;
                // A cut table: the values read whole, perhaps the one cut into, then zeros.
                const auto kept = read<FMR>(cut, false).sliceTimingTable;
                ASSERT_LE(kept.size(), table.size());
                const auto differs = std::mismatch(kept.begin(), kept.end(), table.begin()).first;
                if (differs != kept.end()) {
                    ASSERT_TRUE(
                        std::all_of(differs + 1, kept.end(), [](float v) { return v == 0.0f; }))
                        << file << " cut at " << n;
                }
            }
        }
    }
}

// The STC file of fmr cut at each of cuts loads, missing values 0, while it lacks at most one
// volume and holds at least half the run; shorter fails naming the file, loading nothing.
void sweepStc(const FMR& fmr, const std::string& stc, const std::vector<std::size_t>& cuts) {
    FMR whole = fmr;
    std::istringstream all(stc, std::ios::in | std::ios::binary);
    whole.LoadSTC(all);
    const glm::tvec3<int> d = whole.stcVolumes.at(0).dimensions();
    const std::size_t image = std::size_t(d.x) * d.y, volumes = whole.stcVolumes.size();
    const std::size_t valueBytes = stc.size() / (image * d.z * volumes);
    for (std::size_t n : cuts) {
        std::istringstream in(stc.substr(0, n), std::ios::in | std::ios::binary);
        FMR cut = fmr;
        if (stc.size() - n > image * d.z * valueBytes || stc.size() - n > n) {
            try {
                cut.LoadSTC(in);
                ADD_FAILURE() << "loaded " << n << " bytes";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(e.what(), "STC file too short for its FMR header: " + fmr.stcFileName());
            }
            EXPECT_TRUE(cut.stcVolumes.empty());
            continue;
        }
        cut.LoadSTC(in);
        ASSERT_EQ(cut.stcVolumes.size(), volumes);
        // File order: slice outermost, then volume, then one image's values.
        for (std::size_t k = 0; k < stc.size() / valueBytes; ++k) {
            const std::size_t volume = k / image % volumes,
                              at = k / image / volumes * image + k % image;
            const float want = k < n / valueBytes ? whole.stcVolumes[volume].data()[at] : 0.0f;
            const float got = cut.stcVolumes[volume].data()[at];
            // Bit for bit: some of the made-up patterns are NaN.
            ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "cut at " << n << ", value " << k;
        }
    }
}

TEST(Truncation, StcPrefixesLoadWithZerosOrFailBeforeAllocating) {
    // Every prefix of a made-up 5 x 4 x 3 run of 4 volumes, as int16 and as float values.
    for (const char* dataType : {"1", "2"}) {
        std::string text = readAll(data + "/fmr/run1.fmr");
        text.replace(text.find('1', text.find("DataType:")), 1, dataType);
        std::string stc;
        for (int i = 0; i < 5 * 4 * 3 * 4 * (*dataType == '1' ? 2 : 4); ++i)
            stc.push_back(static_cast<char>(i * 7 + 1));
        std::vector<std::size_t> every(stc.size() + 1);
        for (std::size_t n = 0; n < every.size(); ++n)
            every[n] = n;
        sweepStc(read<FMR>(text, false), stc, every);
    }
    // The example study's run (480 kB) at every 4 kB and on both sides of each limit.
    const std::string stc = readAll(study + "s1/run1.stc");
    std::istringstream header(readAll(study + "s1/run1.fmr"));
    std::vector<std::size_t> cuts;
    for (std::size_t n = 0; n < stc.size(); n += 4096)
        cuts.push_back(n);
    for (std::size_t limit : {stc.size() / 2, stc.size()})
        for (std::size_t n : {limit - 1, limit, limit + 1})
            cuts.push_back(std::min(n, stc.size()));
    sweepStc(FMR(header, study + "s1/run1.fmr", false), stc, cuts);
}

// The example study's ROI, FMR, three TRF and TAL, each cut at a few places, the others whole.
TEST(Truncation, ConversionOfCutDocuments) {
    const std::vector<std::string> names = {"run1.roi",    "run1.fmr",      "run1_IA.trf",
                                            "run1_FA.trf", "anat_ACPC.trf", "anat.tal"};
    const std::vector<double> cuts = {0.2, 0.5, 0.8};
    const FuzzBody convert = findFuzzBody("conversion");
    ASSERT_NE(convert, nullptr);
    for (std::size_t d = 0; d < names.size(); ++d)
        for (double fraction : cuts) {
            std::string input;
            for (std::size_t i = 0; i < names.size(); ++i) {
                const std::string document = readAll(study + "s1/" + names[i]);
                input += (i > 0 ? fuzzDocumentSeparator : "") +
                         (i == d ? document.substr(0, std::size_t(fraction * document.size()))
                                 : document);
            }
            EXPECT_NO_THROW(
                convert(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()))
                << names[d] << " cut at " << fraction;
        }
}

TEST(FuzzReplay, SeedsAndRegressionsRunClean) {
    namespace fs = std::filesystem;
    for (const FuzzTarget* target = fuzzTargets; target->name != nullptr; ++target) {
        int seeds = 0;
        for (const std::string folder : {"corpus", "regressions"}) {
            const fs::path dir = fs::path(VOCELLE_FUZZ_DIR) / folder / target->name;
            for (const auto& entry :
                 fs::is_directory(dir) ? fs::directory_iterator(dir) : fs::directory_iterator()) {
                const std::string bytes = readAll(entry.path().string());
                try {
                    target->body(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
                } catch (const std::exception& e) {
                    ADD_FAILURE() << entry.path() << ": " << e.what();
                }
                seeds += folder == "corpus";
            }
        }
        EXPECT_GT(seeds, 0) << "no seed corpus for " << target->name;
    }
}

} // namespace
