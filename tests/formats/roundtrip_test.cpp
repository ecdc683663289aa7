// Every document reads back what its own printer wrote, byte for byte, from a file, a stream or a
// CRLF file; saves replace files only when complete.
#include "formats/myROI.h"
#include "formats/mySDM.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

namespace {

const std::string data = VOCELLE_TEST_DATA "/";

struct Format {
    std::string file;
    std::function<std::string(const std::string& path)> printFile;
    std::function<std::string(const std::string& text)> printText;
    std::function<void(const std::string& from, const std::string& to)> saveAs;
};

template <typename Doc, typename... Args> Format format(const std::string& file, Args... args) {
    return {file, [=](const std::string& path) { return printed(Doc(path), args...); },
            [=](const std::string& text) { return printed(parse<Doc>(text), args...); },
            [](const std::string& from, const std::string& to) { Doc(from).SaveAs(to); }};
}

std::string withCrLf(const std::string& text) {
    std::string result;
    for (char c : text)
        result += c == '\n' ? "\r\n" : std::string(1, c);
    return result;
}

const Format formats[] = {format<ROI>("sample.roi", true), format<VOI>("sample.voi", true),
                          format<TRF>("ia.trf"), format<TAL>("sample.tal"),
                          format<SDM>("sample.sdm")};

TEST(RoundTrip, CanonicalFilesPrintBackByteForByte) {
    for (const auto& f : formats) {
        const auto original = readAll(data + f.file);
        ASSERT_FALSE(original.empty()) << f.file;
        EXPECT_EQ(f.printFile(data + f.file), original) << f.file;
        EXPECT_EQ(f.printText(original), original) << f.file << " from a stream";
        EXPECT_EQ(f.printText(withCrLf(original)), original) << f.file << " with CRLF line ends";
    }
}

TEST(RoundTrip, SaveAsWritesThePrintedTextOrKeepsTheOldFile) {
    ScratchDir dir;
    const auto missing = dir.file("absent/doc");
    for (const auto& f : formats) {
        const auto original = readAll(data + f.file), copy = dir.file(f.file);
        f.saveAs(data + f.file, copy);
        f.saveAs(copy, copy);
        EXPECT_EQ(readAll(copy), original) << f.file;
        // Failing at opening or half way (the disk full), a save names the file and leaves what
        // was there, and no temporary file.
        EXPECT_EQ(errorOf([&] { f.saveAs(copy, missing); }), "Cannot Create file: " + missing);
        writeAll(copy, "old");
        EXPECT_EQ(errorWithFileSizeLimit(16, [&] { f.saveAs(data + f.file, copy); }),
                  "Cannot Create file: " + copy);
        EXPECT_EQ(readAll(copy), "old") << f.file;
        if (f.file != "sample.sdm") { // an SDM that cannot be opened is logged instead
            EXPECT_EQ(errorOf([&] { f.printFile(missing); }),
                      "Failed opening for reading: " + missing);
        }
    }
    EXPECT_EQ(dir.names().size(), std::size(formats));
}

TEST(RoundTrip, ForeignFilesSettleAfterOnePrint) {
    // Unknown keys, other key order, voxels spread over lines.
    const auto roi = format<ROI>("messy.roi", true);
    EXPECT_EQ(roi.printFile(data + "messy.roi"), readAll(data + "sample.roi"));
    EXPECT_EQ(roi.printText(withCrLf(readAll(data + "messy.roi"))), readAll(data + "sample.roi"));
    // Quoted "Matrix", CRLF, an unknown key and an unannounced matrix that is passed over.
    const auto trf = format<TRF>("acpc.trf");
    const auto once = trf.printFile(data + "acpc.trf");
    EXPECT_EQ(once, "\nFileVersion:        8\n\nDataFormat:         \"Matrix\"\n\n"
                    "1.00000000000000000   0.00000000000000000   0.00000000000000000   "
                    "-0.50000000000000000  \n"
                    "0.00000000000000000   1.00000000000000000   0.00000000000000000   "
                    "2.00000000000000000   \n"
                    "0.00000000000000000   0.00000000000000000   1.00000000000000000   "
                    "3.25000000000000000   \n"
                    "0.00000000000000000   0.00000000000000000   0.00000000000000000   "
                    "1.00000000000000000   \n"
                    "\nExtraVMRTransf:     0\n\nToVMRVoxelRes:      1\n\n");
    EXPECT_EQ(trf.printText(once), once);
    const auto sdm = format<SDM>("fields.sdm");
    const auto fields = sdm.printFile(data + "fields.sdm");
    EXPECT_EQ(sdm.printText(fields), fields);
}

} // namespace
