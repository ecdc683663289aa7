// Every document reads back what its own printer wrote, byte for byte, from a file or from the
// stream of a CRLF copy; saves replace files only when complete.
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

using namespace vocelle;

namespace {

const std::string data = VOCELLE_TEST_DATA "/";

// A save that fails half way (the disk full) names the file and leaves what was there, and no
// temporary file.
template <typename Doc, typename... Args> void roundTrip(const std::string& file, Args... args) {
    SCOPED_TRACE(file);
    const ScratchDir dir;
    const auto original = readAll(data + file), copy = dir.file(file);
    std::string crlf;
    for (char c : original)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(printed(parse<Doc>(crlf), args...), original);
    Doc(data + file).SaveAs(copy);
    EXPECT_EQ(readAll(copy), original);
    writeAll(copy, "old");
    EXPECT_EQ(errorWithFileSizeLimit(16, [&] { Doc(data + file).SaveAs(copy); }),
              "Cannot Create file: " + copy);
    EXPECT_EQ(readAll(copy), "old");
    EXPECT_EQ(dir.names().size(), 1u);
}

TEST(RoundTrip, CanonicalFiles) {
    roundTrip<ROI>("sample.roi", true);
    roundTrip<VOI>("sample.voi", true);
    roundTrip<TRF>("ia.trf");
    roundTrip<TAL>("sample.tal");
    roundTrip<SDM>("sample.sdm");
}

TEST(RoundTrip, ForeignLayoutsReadAsCanonical) {
    // Unknown keys, other key order, voxels spread over lines.
    EXPECT_EQ(printed(ROI(data + "messy.roi"), true), readAll(data + "sample.roi"));
    // Quoted "Matrix", CRLF, an unknown key and an unannounced matrix that is passed over.
    const TRF trf(data + "acpc.trf");
    EXPECT_EQ(trf.matrix[0][3], -0.5f);
    EXPECT_EQ(trf.matrix[2][3], 3.25f);
    EXPECT_EQ(trf.extraMatrix[0][0], 1.0f);
}

} // namespace
