// Every prefix of every fixture, as a file cut off at that byte: the readers stop silently where
// the file ends and keep only what they had read, and nothing crashes (the sanitizer build runs
// this too).

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/mySDM.h"
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
#include <functional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

const std::string data = VOCELLE_TEST_DATA;
const std::string study = data + "/../../examples/study/";

using Items = std::vector<std::string>;

// What a document kept, in file order: one item per set line or list element.
template <typename T> void add(Items& items, const Line<T>& line) {
    if (!line.isSet()) return;
    std::ostringstream text;
    text << line.getName() << '=' << line.value();
    items.push_back(text.str());
}

void add(Items& items, const glm::tvec3<int>& v) {
    items.push_back(std::to_string(v.x) + ' ' + std::to_string(v.y) + ' ' + std::to_string(v.z));
}

// NrOfVoxels is left out: it says how many voxels were kept, which the fuzz bodies check.
Items roiItems(const std::string& text) {
    std::istringstream in(text);
    const ROI roi(in);
    Items items;
    for (const auto* line : {&roi.FileVersion, &roi.SaveVoxelsInROIs, &roi.SaveSortedVoxelList,
                             &roi.SaveROIMaxPSC, &roi.NrOfTCPlots})
        add(items, *line);
    for (const auto& region : roi.rois) {
        for (const auto* line : {&region.NrOfTCs, &region.FromSlice, &region.Left, &region.Right,
                                 &region.Top, &region.Bottom})
            add(items, *line);
        for (const auto& v : region.voxels) add(items, v);
    }
    return items;
}

Items voiItems(const std::string& text) {
    std::istringstream in(text);
    const VOI voi(in);
    Items items;
    add(items, voi.FileVersion);
    add(items, voi.ReferenceSpace);
    for (const auto* line : {&voi.OriginalVMRResolutionX, &voi.OriginalVMRResolutionY,
                             &voi.OriginalVMRResolutionZ, &voi.OriginalVMROffsetX, &voi.OriginalVMROffsetY,
                             &voi.OriginalVMROffsetZ, &voi.OriginalVMRFramingCubeDim, &voi.LeftRightConvention})
        add(items, *line);
    add(items, voi.SubjectVOINamingConvention);
    add(items, voi.NrOfVOIs);
    for (const auto& entry : voi.vois) {
        add(items, entry.NameOfVOI);
        add(items, entry.color);
        for (const auto& v : entry.voxels) add(items, v);
    }
    add(items, voi.NrOfVOIVTCs);
    items.insert(items.end(), voi.vtcFiles.begin(), voi.vtcFiles.end());
    return items;
}

// A matrix counts as read once a line after it was read: a cut-off matrix keeps identity
// entries where the file ended, as the reader documents.
Items trfItems(const std::string& text) {
    std::istringstream in(text);
    const TRF trf(in);
    const auto addMatrix = [](Items& items, const float (&m)[4][4]) {
        for (const auto& row : m)
            for (float value : row) items.push_back(std::to_string(value));
    };
    Items items, rest;
    add(items, trf.FileVersion);
    add(items, trf.DataFormat);
    for (const auto* line : {&trf.TransformationType, &trf.CoordinateSystem, &trf.NSlicesFMRVMR})
        add(rest, *line);
    add(rest, trf.SlThickFMRVMR);
    add(rest, trf.SlGapFMRVMR);
    add(rest, trf.CreateFMR3DMethod);
    add(rest, trf.AlignmentStep);
    add(rest, trf.ExtraVMRTransf);
    Items tail;
    add(tail, trf.ToVMRFramingCube);
    add(tail, trf.ToVMRVoxelRes);
    add(tail, trf.SourceFile);
    add(tail, trf.TargetFile);
    add(tail, trf.ACPCVMRFramingCube);
    add(tail, trf.ACPCVMRVoxelRes);
    if (trf.DataFormat.value() == "Matrix" && !(rest.empty() && tail.empty())) addMatrix(items, trf.matrix);
    items.insert(items.end(), rest.begin(), rest.end());
    if (trf.ExtraVMRTransf.value() == 1 && !tail.empty()) addMatrix(items, trf.extraMatrix);
    items.insert(items.end(), tail.begin(), tail.end());
    return items;
}

// Coordinates not read are 0 and left out (the fixtures have none that is 0). A landmark cut
// off keeps the coordinates read before the cut, as the TAL reader documents.
Items talItems(const std::string& text) {
    std::istringstream in(text);
    const TAL tal(in);
    Items items;
    add(items, tal.FileVersion);
    add(items, tal.Project);
    for (std::size_t i = 0; i < tal.landmarks.size(); ++i)
        for (int c = 0; c < 3; ++c)
            if (tal.landmarks[i][c] != 0)
                items.push_back("landmark " + std::to_string(i) + "." + std::to_string(c) + "=" +
                                std::to_string(tal.landmarks[i][c]));
    add(items, tal.TALVMRFramingCube);
    add(items, tal.TALVMRVoxelRes);
    return items;
}

// The printed header lines, which come in file order for a canonical file; the slice timing
// table is checked on its own (a cut table is padded with zeros, as the reader documents).
Items fmrItems(const std::string& text) {
    std::istringstream in(text);
    const FMR fmr(in, "run.fmr", false);
    std::ostringstream printed;
    fmr.PrintTo(printed);
    std::istringstream lines(printed.str());
    Items items;
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue; // blank lines and the position heading
        const auto value = line.find_first_not_of(' ', colon + 1);
        items.push_back(line.substr(0, colon) + '=' + (value == std::string::npos ? "" : line.substr(value)));
        if (line.rfind("SliceTimingTableSize:", 0) == 0) break;
    }
    return items;
}

std::vector<float> fmrTable(const std::string& text) {
    std::istringstream in(text);
    return FMR(in, "run.fmr", false).sliceTimingTable;
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// What a reader keeps from the first n bytes: the items of the whole file up to the cut. Only
// the last item can differ, by how the cut fell: at a line end it cannot; between two words it
// may be a line whose value was missing (set, value 0 or empty) or a text value cut short;
// inside a word it may be anything that word's first characters make.
::testing::AssertionResult keptBeforeCut(const Items& kept, const Items& whole, const std::string& text,
                                         std::size_t n) {
    const auto fail = [&](const std::string& why) {
        return ::testing::AssertionFailure() << "cut at " << n << ": " << why;
    };
    if (kept.size() > whole.size()) return fail("more items than the whole file");
    if (kept.empty()) return ::testing::AssertionSuccess();
    const std::size_t last = kept.size() - 1;
    if (!std::equal(kept.begin(), kept.begin() + last, whole.begin())) return fail("an earlier item differs");
    const std::string& got = kept[last];
    const std::string& want = whole[last];
    if (got == want || n == text.size()) return got == want ? ::testing::AssertionSuccess() : fail(got);
    if (text[n - 1] == '\n') return fail(got + " at a line end");
    const bool betweenWords = isSpace(text[n - 1]) || isSpace(text[n]);
    const auto endsWith = [&](const std::string& end) {
        return got.size() >= end.size() && got.compare(got.size() - end.size(), end.size(), end) == 0;
    };
    // The value the line started with: 0, or -1 for FileVersion.
    const bool missingValue = endsWith("=") || endsWith("=0") || endsWith("FileVersion=-1");
    const bool cutText = want.compare(0, got.size(), got) == 0;
    if (betweenWords && !missingValue && !cutText) return fail(got + " instead of " + want);
    return ::testing::AssertionSuccess();
}

struct Format {
    const char* name;
    std::function<Items(const std::string&)> items;
    const char* fuzzTarget;
    std::vector<std::string> canonical; // keys in the order the items list them
    std::vector<std::string> others;    // any order: only no crash and the fuzz invariants
};

TEST(Truncation, EveryPrefixKeepsWhatWasReadBeforeTheCut) {
    const Format formats[] = {
        {"ROI", roiItems, "roi", {data + "/sample.roi", study + "s1/run1.roi", study + "s2/run1.roi"},
         {data + "/messy.roi"}},
        {"VOI", voiItems, "voi", {data + "/sample.voi"}, {}},
        {"TRF", trfItems, "trf", {data + "/ia.trf", data + "/acpc.trf", study + "s1/run1_IA.trf",
                                  study + "s1/anat_ACPC.trf"}, {}},
        {"TAL", talItems, "tal", {data + "/sample.tal", study + "s1/anat.tal"}, {}},
        {"FMR", fmrItems, "fmr_header", {data + "/fmr/run1.fmr", study + "s1/run1.fmr"}, {}},
    };
    for (const auto& format : formats) {
        const FuzzBody body = findFuzzBody(format.fuzzTarget);
        ASSERT_NE(body, nullptr);
        std::vector<std::pair<std::string, bool>> files;
        for (const auto& f : format.canonical) files.emplace_back(f, true);
        for (const auto& f : format.others) files.emplace_back(f, false);
        for (const auto& [file, inOrder] : files) {
            const std::string text = readAll(file);
            ASSERT_FALSE(text.empty()) << file;
            const Items whole = format.items(text);
            ASSERT_GT(whole.size(), 5u) << file;
            for (std::size_t n = 0; n <= text.size(); ++n) {
                const std::string cut = text.substr(0, n);
                try {
                    body(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size());
                } catch (const std::exception& e) {
                    FAIL() << format.name << " " << file << " cut at " << n << ": " << e.what();
                }
                if (inOrder) {
                    ASSERT_TRUE(keptBeforeCut(format.items(cut), whole, text, n)) << format.name << " " << file;
                }
            }
            if (std::string(format.name) == "FMR") {
                const auto table = fmrTable(text);
                for (std::size_t n = 0; n <= text.size(); ++n) {
                    const auto kept = fmrTable(text.substr(0, n));
                    ASSERT_LE(kept.size(), table.size());
                    // Values read whole, then perhaps the one the cut fell into, then padding.
                    std::size_t i = 0;
                    while (i < kept.size() && kept[i] == table[i]) ++i;
                    for (i = i + 1; i < kept.size(); ++i) ASSERT_EQ(kept[i], 0.0f) << file << " cut at " << n;
                }
            }
        }
    }
}

// A cut data row is the SDM reader's one documented failure; rows before it read as they stand.
TEST(Truncation, SdmPrefixesReadOrFailAsDocumented) {
    for (const auto& file : {data + "/sample.sdm", data + "/fields.sdm"}) {
        const std::string text = readAll(file);
        std::istringstream whole(text);
        const SDM full(whole, "cut.sdm");
        ASSERT_FALSE(full.values.empty()) << file;
        const FuzzBody body = findFuzzBody("sdm");
        for (std::size_t n = 0; n <= text.size(); ++n) {
            const std::string cut = text.substr(0, n);
            EXPECT_NO_THROW(body(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()));
            std::istringstream in(cut);
            try {
                const SDM sdm(in, "cut.sdm");
                for (std::size_t p = 0; p < sdm.values.size() && p < full.values.size(); ++p) {
                    const auto& column = sdm.values[p];
                    ASSERT_LE(column.size(), full.values[p].size()) << file << " cut at " << n;
                    // The last row read may be a cut one that still splits into numbers.
                    for (std::size_t t = 0; t + 1 < column.size(); ++t)
                        ASSERT_EQ(column[t], full.values[p][t]) << file << " cut at " << n;
                }
            } catch (const std::invalid_argument& e) {
                EXPECT_NE(std::string(e.what()).find("cut.sdm"), std::string::npos);
            } catch (const std::out_of_range& e) {
                EXPECT_NE(std::string(e.what()).find("cut.sdm"), std::string::npos);
            }
        }
    }
}

// A short STC file loads, missing values 0, while it lacks at most one volume and holds at
// least half of the run; anything shorter fails naming the file and leaves nothing loaded.
TEST(Truncation, StcPrefixesLoadWithZerosOrFailBeforeAllocating) {
    const std::string header = readAll(data + "/fmr/run1.fmr"); // 5 x 4 x 3, 4 volumes
    const struct {
        const char* dataType;
        int valueBytes;
    } kinds[] = {{"1", 2}, {"2", 4}};
    for (const auto& kind : kinds) {
        std::string text = header;
        const auto at = text.find("DataType:");
        text.replace(text.find('1', at), 1, kind.dataType);
        std::istringstream headerIn(text);
        FMR fmr(headerIn, "/data/run1.fmr", false);
        const int values = 5 * 4 * 3 * 4, volumeValues = 5 * 4 * 3;
        std::string stc;
        for (int i = 0; i < values; ++i)
            for (int b = 0; b < kind.valueBytes; ++b) stc.push_back(static_cast<char>(i * 7 + b + 1));
        FMR whole = fmr;
        std::istringstream all(stc, std::ios::in | std::ios::binary);
        whole.LoadSTC(all);

        for (std::size_t n = 0; n <= stc.size(); ++n) {
            std::istringstream in(stc.substr(0, n), std::ios::in | std::ios::binary);
            FMR cut = fmr;
            const std::size_t missing = stc.size() - n;
            const bool loads = missing <= std::size_t(volumeValues * kind.valueBytes) && missing <= n;
            if (!loads) {
                try {
                    cut.LoadSTC(in);
                    ADD_FAILURE() << "loaded " << n << " bytes";
                } catch (const std::runtime_error& e) {
                    EXPECT_STREQ(e.what(), "STC file too short for its FMR header: /data/run1.stc");
                }
                EXPECT_TRUE(cut.stcVolumes.empty());
                continue;
            }
            cut.LoadSTC(in);
            ASSERT_EQ(cut.stcVolumes.size(), 4u);
            // File order: slice outermost, then volume, then the 20 values of the image.
            const std::size_t complete = n / kind.valueBytes;
            for (std::size_t k = 0; k < std::size_t(values); ++k) {
                const std::size_t slice = k / 80, volume = k / 20 % 4, pixel = k % 20;
                const float expected =
                    k < complete ? whole.stcVolumes[volume].data()[slice * 20 + pixel] : 0.0f;
                const float got = cut.stcVolumes[volume].data()[slice * 20 + pixel];
                // Bit for bit: some of these float patterns are NaN.
                ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
                    << "type " << kind.dataType << " cut at " << n << " value " << k;
            }
        }
    }
}

// Cut anywhere, the job list hands on only what it read: every name of every job is a name the
// whole list gives that job.
TEST(Truncation, JobListPrefixesHandOnlyWholeNames) {
    const std::string text = readAll(study + "jobs.txt");
    const auto jobsOf = [](const std::string& list) {
        std::istringstream in(list);
        std::vector<ConversionJob> jobs;
        readJobList(in, [&](const ConversionJob& job) { jobs.push_back(job); });
        return jobs;
    };
    const auto whole = jobsOf(text);
    ASSERT_EQ(whole.size(), 3u);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        const auto jobs = jobsOf(text.substr(0, n));
        ASSERT_LE(jobs.size(), whole.size()) << n;
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            const ConversionJob& a = jobs[j];
            const ConversionJob& b = whole[j];
            for (const auto& [got, want] : {std::pair(a.roiName, b.roiName), std::pair(a.fmrName, b.fmrName),
                                            std::pair(a.iaTrfName, b.iaTrfName), std::pair(a.faTrfName, b.faTrfName),
                                            std::pair(a.acpcTrfName, b.acpcTrfName), std::pair(a.talName, b.talName)})
                ASSERT_TRUE(got.empty() || got == want) << "cut at " << n << ": " << got;
        }
    }
}

// A sample of cut documents through the conversion itself: the ROI, FMR, three TRF and TAL of the
// example study, each cut at a few places while the others stay whole.
TEST(Truncation, ConversionOfCutDocuments) {
    const std::vector<std::string> names = {"run1.roi", "run1.fmr", "run1_IA.trf", "run1_FA.trf",
                                            "anat_ACPC.trf", "anat.tal"};
    std::vector<std::string> documents;
    for (const auto& name : names) documents.push_back(readAll(study + "s1/" + name));
#ifdef VOCELLE_SANITIZED
    const std::vector<double> cuts = {0.5}; // each conversion scans the cube many times slower
#else
    const std::vector<double> cuts = {0.2, 0.5, 0.8};
#endif
    const FuzzBody convert = findFuzzBody("conversion");
    ASSERT_NE(convert, nullptr);
    for (std::size_t d = 0; d < documents.size(); ++d) {
        for (double fraction : cuts) {
            std::string input;
            for (std::size_t i = 0; i < documents.size(); ++i) {
                if (i > 0) input += fuzzDocumentSeparator;
                input += i == d ? documents[i].substr(0, std::size_t(fraction * documents[i].size()))
                                : documents[i];
            }
            EXPECT_NO_THROW(convert(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()))
                << names[d] << " cut at " << fraction;
        }
    }
}

} // namespace
