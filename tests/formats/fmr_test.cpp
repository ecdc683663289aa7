// The FMR header and its STC slice data.
#include <vocelle/formats/myFMR.h>
#include "tests/formats/conversionfiles.h"
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>


#include <cmath>

using namespace vocelle;

namespace {

// The header of a run of 1 mm voxels; dataType 0 leaves the DataType line out.
std::string header(int volumes, int slices, int resX, int resY, const std::string& prefix,
                   int dataType = 0) {
    return conversionfiles::fmr(prefix, {resX, resY, slices, 1, 1, volumes, dataType});
}

std::string int16s(const std::vector<int>& values) {
    std::string b;
    for (int v : values)
        b += {char(v & 0xFF), char((v >> 8) & 0xFF)};
    return b;
}

// A header is reprinted byte for byte by the host's print command (tests/e2e).
TEST(FMR, AnEmptyHeader) {
    ScratchDir dir;
    const std::string empty = dir.file("empty.fmr");
    writeAll(empty, "");
    EXPECT_EQ(printed(FMR(empty, false)), "\n");
    EXPECT_EQ(errorOf([&] { FMR(empty, true); }),
              "Failed opening STC for reading: " + dir.file(".stc"));
}

TEST(FMR, PositionSectionAndSliceTimingTable) {
    const std::string heading = "\nPositionInformationFromImageHeaders\n\n";
    const struct {
        const char* what;
        std::string text, reprinted; // the table is printed one value a line
    } cases[] = {
        {"a position key before the heading is ignored",
         "Slice1CenterX: 5\n" + heading + "PosInfosVerified: 1\nGapThickness: 1\n",
         "\n" + heading + "PosInfosVerified: 1\nGapThickness: 1\n\n\n"},
        {"no PosInfosVerified: no heading printed, trailer known after the section",
         heading + "Slice1CenterX: 5\nGapThickness: 1\nMultibandSequence: 2\n",
         "\nSlice1CenterX: 5\nGapThickness: 1\n\n\nMultibandSequence: 2\n\n"},
        {"SliceThickness on both sides of the heading",
         "SliceThickness: 3\n" + heading + "SliceThickness: 2.5\nGapThickness: 0\n",
         "\nSliceThickness: 3\nSliceThickness: 2.5\nGapThickness: 0\n\n\n"},
        {"the word after a table is discarded; a second size line appends",
         "SliceTimingTableSize: 1\n7\nTE: 4\nSliceTimingTableSize: 1\n8\n",
         "\nSliceTimingTableSize: 1\n7\n8\n"},
        {"size 0 still discards a word", "SliceTimingTableSize: 0\nTE: 4\nTE: 5\n",
         "\nTE: 5\nSliceTimingTableSize: 0\n"},
        {"a table cut by the file keeps its size", "SliceTimingTableSize: 3\n1\n",
         "\nSliceTimingTableSize: 3\n1\n0\n0\n"
         "Read only partly (the values after SliceTimingTableSize: are cut off)"},
        {"a claim no run has stops at the first unreadable value",
         "SliceTimingTableSize: 2000000000\n1 2\n", "\nSliceTimingTableSize: 2000000000\n1\n2\n"
         "Read only partly (the values after SliceTimingTableSize: are cut off)"},
    };
    for (const auto& c : cases) {
        const FMR fmr = parse<FMR>(c.text, "x.fmr", false);
        EXPECT_EQ(printed(fmr) + fmr.readFault.what, c.reprinted) << c.what;
    }
}

// Loading is checked value by value by the fuzz replay; here what saving writes, and that each
// file is replaced only once it is complete.
TEST(STC, Saves) {
    ScratchDir dir;
    // Floats: 2.9, -0, inf, NaN, a denormal, then 1/7 .. 7/7; the test hosts are little-endian.
    const float v[12] = {2.9f,    -0.0f,   HUGE_VALF, std::nanf(""), 1e-40f,  1 / 7.f,
                         2 / 7.f, 3 / 7.f, 4 / 7.f,   5 / 7.f,       6 / 7.f, 1};
    const std::string floats(reinterpret_cast<const char*>(v), sizeof v);
    writeAll(dir.file("f.fmr"), header(3, 1, 2, 2, "f", 2));
    writeAll(dir.file("f.stc"), floats + "extra bytes are ignored");
    FMR(dir.file("f.fmr"), true).Save();
    EXPECT_EQ(readAll(dir.file("f.stc")), floats);
    // int16, the type without a DataType line: truncated toward zero, low 16 bits kept; NaN and
    // values beyond 32 bits give 0.
    writeAll(dir.file("i.fmr"), header(1, 2, 5, 1, "i"));
    writeAll(dir.file("i.stc"), std::string(20, '\0'));
    FMR i(dir.file("i.fmr"), true);
    const float in[10] = {2.9f, -2.9f, 40000.0f, -40000.5f, NAN, HUGE_VALF, 3e9f, -0.99f, -1, 7};
    std::copy(in, in + 10, i.stcVolumes[0].data());
    i.Save();
    EXPECT_EQ(readAll(dir.file("i.stc")), int16s({2, -2, 40000, -40000, 0, 0, 0, 0, -1, 7}));
    // SaveAs moves both files; nothing loaded, it loads from the old place. File order: slice
    // outermost, then volume.
    std::filesystem::create_directory(dir.file("s2"));
    const std::string data = int16s({1, 2, 3, 4, 5, 6});
    writeAll(dir.file("run1.fmr"), header(3, 2, 1, 1, "run1"));
    writeAll(dir.file("run1.stc"), data);
    FMR fmr(dir.file("run1.fmr"), false);
    fmr.SaveAs(dir.file("s2/copy.fmr"));
    EXPECT_EQ(fmr.Prefix.value(), "copy");
    EXPECT_EQ(readAll(dir.file("s2/copy.stc")), data);
    EXPECT_EQ(readAll(dir.file("s2/copy.fmr")), printed(fmr));
    // A header read without slice data saves alone, leaving the slice data as it is.
    FMR(dir.file("s2/copy.fmr"), false).Save();
    EXPECT_EQ(readAll(dir.file("s2/copy.stc")), data);
    // Volumes that no longer match the header are refused before anything is written.
    FMR changed(dir.file("run1.fmr"), true);
    changed.ResolutionX.value() = 4;
    EXPECT_THROW(changed.Save(), std::runtime_error);
    EXPECT_EQ(readAll(dir.file("run1.fmr")), header(3, 2, 1, 1, "run1"));
    EXPECT_EQ(readAll(dir.file("run1.stc")), data);
    // A disk that fills up while the slice data is written leaves the old file and no other.
    const std::string old(8192, 'o');
    writeAll(dir.file("s2/big.stc"), old);
    writeAll(dir.file("s2/big.fmr"), header(1, 1, 64, 64, "big"));
    FMR big(dir.file("s2/big.fmr"), true);
    EXPECT_EQ(errorWithFileSizeLimit(1024, [&] { big.Save(); }),
              "Failed opening STC for writing: " + dir.file("s2/big.stc"));
    EXPECT_EQ(readAll(dir.file("s2/big.stc")), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("s2")), {}), 4);
}

// A short STC file loads (what it lacks reads as 0) while it lacks at most one volume and holds
// at least half the run; anything shorter, and any header that claims too much, fails naming the
// file, with little memory. A check without loading fails only on the header and tells whether
// the file holds the whole run.
TEST(STC, ShortFilesAndHostileHeaders) {
    ScratchDir dir;
    const std::string fmrPath = dir.file("h.fmr");
    writeAll(dir.file("h.stc"), int16s({1, 2, 3}));
    const std::string loads = "no exception",
                      tooShort = "STC file too short for its FMR header: " + dir.file("h.stc"),
                      invalid = "Invalid slice data size in FMR: " + fmrPath;
    const struct {
        std::string header, message;
        bool complete = false;
    } cases[] = {
        {header(1, 1, 3, 2, "h"), loads},    // half the run
        {header(1, 1, 7, 1, "h"), tooShort}, // less than half
        {header(4, 1, 1, 1, "h"), loads},    // one volume missing
        {header(3, 1, 1, 1, "h"), loads, true},
        {header(5, 1, 1, 1, "h"), tooShort}, // two missing
        {header(5000, 64, 256, 256, "h"), tooShort},
        {header(1, 7, 8192, 8192, "h", 2), tooShort},
        {header(2000000000, 1, 1, 1, "h"), tooShort},
        {header(2000000000, 0, 64, 64, "h"), invalid},
        {header(1, 8, 8192, 8192, "h"), invalid},
        {header(1, 1, -2, -2, "h"), invalid},
        {header(0, 1, 1, 1, "h") + "SliceTimingTableSize: 2000000000\n1\n", loads, true},
    };
    for (const auto& c : cases) {
        writeAll(fmrPath, c.header);
        EXPECT_EQ(errorWithLittleMemory([&] { FMR(fmrPath, true); }), c.message) << c.header;
        bool complete = false;
        EXPECT_EQ(errorWithLittleMemory([&] { complete = FMR(fmrPath, false).CheckSTC(); }),
                  c.message == tooShort ? loads : c.message)
            << c.header;
        EXPECT_EQ(complete, c.complete) << c.header;
    }
}

} // namespace
