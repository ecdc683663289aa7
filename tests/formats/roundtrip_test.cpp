// Every document reads back what its own printer wrote, byte for byte, whether it comes from a
// file, a stream, a CRLF file or a file written by another program.
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

const std::string data = VOCELLE_TEST_DATA;

struct Format {
    const char* name;
    std::function<std::string(const std::string& path)> printFile;
    std::function<std::string(const std::string& text)> printText;
    std::function<void(const std::string& from, const std::string& to)> saveAs;
};

template <typename Doc, typename... Args>
std::string printed(const Doc& doc, Args... args) {
    std::ostringstream out;
    doc.PrintTo(out, args...);
    return out.str();
}

template <typename Doc, typename... Args>
Format format(const char* name, Args... args) {
    return {name, [=](const std::string& path) { return printed(Doc(path), args...); },
            [=](const std::string& text) {
                std::istringstream in(text);
                return printed(Doc(in), args...);
            },
            [](const std::string& from, const std::string& to) { Doc(from).SaveAs(to); }};
}

std::string withCrLf(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == '\n') result += '\r';
        result += c;
    }
    return result;
}

struct Case {
    Format format;
    std::string file;
};

std::vector<Case> canonicalFiles() {
    const auto roi = format<ROI>("ROI", true);
    const auto voi = format<VOI>("VOI", true);
    const auto trf = format<TRF>("TRF");
    const auto tal = format<TAL>("TAL");
    const auto sdm = format<SDM>("SDM");
    return {{roi, "sample.roi"}, {voi, "sample.voi"}, {trf, "ia.trf"}, {tal, "sample.tal"}, {sdm, "sample.sdm"}};
}

TEST(RoundTrip, CanonicalFilesPrintBackByteForByte) {
    for (const auto& c : canonicalFiles()) {
        const auto original = readAll(data + "/" + c.file);
        ASSERT_FALSE(original.empty()) << c.file;
        EXPECT_EQ(c.format.printFile(data + "/" + c.file), original) << c.file;
        EXPECT_EQ(c.format.printText(original), original) << c.file << " from a stream";
        EXPECT_EQ(c.format.printText(withCrLf(original)), original) << c.file << " with CRLF line ends";
    }
}

TEST(RoundTrip, SaveAsWritesThePrintedText) {
    ScratchDir dir;
    for (const auto& c : canonicalFiles()) {
        const auto copy = dir.file("copy-" + c.file);
        c.format.saveAs(data + "/" + c.file, copy);
        EXPECT_EQ(readAll(copy), readAll(data + "/" + c.file)) << c.file;
        // Saving over the copy replaces it and leaves nothing else behind.
        c.format.saveAs(copy, copy);
        EXPECT_EQ(readAll(copy), readAll(data + "/" + c.file)) << c.file;
    }
    EXPECT_EQ(dir.names().size(), canonicalFiles().size());
}

TEST(RoundTrip, ForeignFilesSettleAfterOnePrint) {
    const auto roi = format<ROI>("ROI", true);
    // Unknown keys, other key order, voxels spread over lines.
    EXPECT_EQ(roi.printFile(data + "/messy.roi"), readAll(data + "/sample.roi"));
    EXPECT_EQ(roi.printText(withCrLf(readAll(data + "/messy.roi"))), readAll(data + "/sample.roi"));

    // Quoted "Matrix", CRLF, an unknown key and an unannounced matrix that is passed over.
    const auto trf = format<TRF>("TRF");
    const auto once = trf.printFile(data + "/acpc.trf");
    EXPECT_EQ(once,
              "\n"
              "FileVersion:        8\n\n"
              "DataFormat:         \"Matrix\"\n\n"
              "1.00000000000000000   0.00000000000000000   0.00000000000000000   -0.50000000000000000  \n"
              "0.00000000000000000   1.00000000000000000   0.00000000000000000   2.00000000000000000   \n"
              "0.00000000000000000   0.00000000000000000   1.00000000000000000   3.25000000000000000   \n"
              "0.00000000000000000   0.00000000000000000   0.00000000000000000   1.00000000000000000   \n"
              "\n"
              "ExtraVMRTransf:     0\n\n"
              "ToVMRVoxelRes:      1\n\n");
    EXPECT_EQ(trf.printText(once), once);

    const auto sdm = format<SDM>("SDM");
    const auto fields = sdm.printFile(data + "/fields.sdm");
    EXPECT_EQ(sdm.printText(fields), fields);
}

} // namespace
