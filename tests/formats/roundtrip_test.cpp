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

std::string withCrLf(const std::string& text) {
    std::string result;
    for (char c : text)
        result += c == '\n' ? "\r\n" : std::string(1, c);
    return result;
}

// Printed from a file, from a stream and from the stream of a CRLF copy, a canonical file comes
// back byte for byte, and so does a copy saved over. A save that fails at opening or half way
// (the disk full) names the file and leaves what was there, and no temporary file.
template <typename Doc, typename... Args>
void roundTrip(const ScratchDir& dir, const std::string& file, Args... args) {
    SCOPED_TRACE(file);
    const auto original = readAll(data + file), copy = dir.file(file);
    const auto missing = dir.file("absent/doc");
    ASSERT_FALSE(original.empty());
    EXPECT_EQ(printed(Doc(data + file), args...), original);
    EXPECT_EQ(printed(parse<Doc>(original), args...), original);
    EXPECT_EQ(printed(parse<Doc>(withCrLf(original)), args...), original);
    Doc(data + file).SaveAs(copy);
    Doc(copy).SaveAs(copy);
    EXPECT_EQ(readAll(copy), original);
    EXPECT_EQ(errorOf([&] { Doc(copy).SaveAs(missing); }), "Cannot Create file: " + missing);
    writeAll(copy, "old");
    EXPECT_EQ(errorWithFileSizeLimit(16, [&] { Doc(data + file).SaveAs(copy); }),
              "Cannot Create file: " + copy);
    EXPECT_EQ(readAll(copy), "old");
    if constexpr (!std::is_same_v<Doc, SDM>) { // an SDM that cannot be opened is logged instead
        EXPECT_EQ(errorOf([&] { Doc{missing}; }), "Failed opening for reading: " + missing);
    }
}

TEST(RoundTrip, CanonicalFiles) {
    const ScratchDir dir;
    roundTrip<ROI>(dir, "sample.roi", true);
    roundTrip<VOI>(dir, "sample.voi", true);
    roundTrip<TRF>(dir, "ia.trf");
    roundTrip<TAL>(dir, "sample.tal");
    roundTrip<SDM>(dir, "sample.sdm");
    EXPECT_EQ(dir.names().size(), 5u);
}

TEST(RoundTrip, ForeignFilesSettleAfterOnePrint) {
    // Unknown keys, other key order, voxels spread over lines.
    EXPECT_EQ(printed(ROI(data + "messy.roi"), true), readAll(data + "sample.roi"));
    // Quoted "Matrix", CRLF, an unknown key and an unannounced matrix that is passed over.
    const auto once = printed(TRF(data + "acpc.trf"));
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
    EXPECT_EQ(printed(parse<TRF>(once)), once);
    const auto fields = printed(SDM(data + "fields.sdm"));
    EXPECT_EQ(printed(parse<SDM>(fields)), fields);
}

} // namespace
