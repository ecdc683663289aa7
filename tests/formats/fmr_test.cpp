// The FMR header and its STC slice data.
#include "formats/myFMR.h"
#include "tests/formats/doctext.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>

namespace {

FMR parseFmr(const std::string& text) {
    return parse<FMR>(text, "/nowhere/x.fmr", false);
}

// A minimal header of an STC run; dataType < 0 leaves the DataType line out.
std::string header(int volumes, int slices, int resX, int resY, const std::string& prefix,
                   int dataType = -1) {
    std::ostringstream out;
    out << "NrOfVolumes:  " << volumes << "\nNrOfSlices:   " << slices << "\nPrefix:       \""
        << prefix << "\"\n";
    if (dataType >= 0) out << "DataType:     " << dataType << "\n";
    out << "ResolutionX:  " << resX << "\nResolutionY:  " << resY << "\n";
    return out.str();
}

std::string int16s(const std::vector<int>& values) {
    std::string b;
    for (int v : values)
        b += {char(v & 0xFF), char((v >> 8) & 0xFF)};
    return b;
}

TEST(FMR, ReadsAndReprintsAHeaderByteForByte) {
    const std::string path = VOCELLE_TEST_DATA "/fmr/run1.fmr";
    const FMR fmr(path, false);
    EXPECT_EQ(printed(fmr), readAll(path));
    EXPECT_EQ(printed(parseFmr(printed(fmr))), printed(fmr));
    EXPECT_EQ(fmr.sliceTimingTable, (std::vector<float>{0, 666.667f, 1333.33f}));
    // Empty and missing files.
    ScratchDir dir;
    const std::string empty = dir.file("empty.fmr"), none = dir.file("none.fmr");
    writeAll(empty, "");
    EXPECT_EQ(printed(FMR(empty, false)), "\n");
    EXPECT_EQ(errorOf([&] { FMR(empty, true); }),
              "Failed opening STC for reading: " + dir.file(".stc"));
    EXPECT_EQ(errorOf([&] { FMR(none, false); }), "Failed opening for reading: " + none);
    EXPECT_EQ(errorOf([&] { FMR(dir.path().string(), false); }),
              "Failed opening for reading: " + dir.path().string());
}

TEST(FMR, PositionSectionAndSliceTimingTable) {
    const std::string heading = "\nPositionInformationFromImageHeaders\n\n";
    const struct {
        const char* what;
        std::string text, reprinted; // the table is printed one value a line
    } cases[] = {
        {"no heading: position keys ignored", "TE: 3\nSlice1CenterX: 5\n", "\nTE: 3\n"},
        {"position key before the heading ignored",
         "Slice1CenterX: 5\n" + heading + "PosInfosVerified: 1\nGapThickness: 1\n",
         "\n" + heading + "PosInfosVerified: 1\nGapThickness: 1\n\n\n"},
        {"no GapThickness: the section runs to the end",
         heading + "PosInfosVerified: 1\nSlice1CenterX: 5\nMultibandSequence: 2\n",
         "\n" + heading + "PosInfosVerified: 1\nSlice1CenterX: 5\n"},
        {"no PosInfosVerified: no heading printed, trailer known after the section",
         heading + "Slice1CenterX: 5\nGapThickness: 1\nMultibandSequence: 2\n",
         "\nSlice1CenterX: 5\nGapThickness: 1\n\n\nMultibandSequence: 2\n\n"},
        {"SliceThickness on both sides of the heading",
         "SliceThickness: 3\n" + heading + "SliceThickness: 2.5\nGapThickness: 0\n",
         "\nSliceThickness: 3\nSliceThickness: 2.5\nGapThickness: 0\n\n\n"},
        {"the word after the table is discarded", "SliceTimingTableSize: 2\n1 2\nTE: 4\n",
         "\nSliceTimingTableSize: 2\n1\n2\n"},
        {"size 0 still discards a word", "SliceTimingTableSize: 0\nTE: 4\nTE: 5\n",
         "\nTE: 5\nSliceTimingTableSize: 0\n"},
        {"a claim the file could hold is padded", "SliceTimingTableSize: 3\n1 x         \n",
         "\nSliceTimingTableSize: 3\n1\n0\n0\n"},
        {"a second size line appends",
         "SliceTimingTableSize: 1\n7\nw\nSliceTimingTableSize: 1\n8\n",
         "\nSliceTimingTableSize: 1\n7\n8\n"},
        {"a claim beyond the file stops at the first unreadable value",
         "SliceTimingTableSize: 2000000000\n1 2\n", "\nSliceTimingTableSize: 2000000000\n1\n2\n"},
        {"a boolean written as a word ends the scan", "ShowAMRFile: YES\nTE: 4\n",
         "\nShowAMRFile: 0\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(printed(parseFmr(c.text)), c.reprinted) << c.what;
}

TEST(STC, LoadAndSaveReproduceTheBytes) {
    ScratchDir dir;
    // 2 volumes, 3 slices of 2 x 2; value k of the file is k - 12, extremes at 5 to 7.
    const std::vector<int> values = {-12, -11, -10, -9, -8, 0xFFFF, -32768, 32767, -4, -3, -2, -1,
                                     0,   1,   2,   3,  4,  5,      6,      7,     8,  9,  10, 11};
    for (int dataType : {-1, 1}) {
        writeAll(dir.file("i.fmr"), header(2, 3, 2, 2, "i", dataType));
        writeAll(dir.file("i.stc"), int16s(values));
        FMR fmr(dir.file("i.fmr"), true);
        ASSERT_EQ(fmr.stcVolumes.size(), 2u);
        EXPECT_EQ(fmr.stcVolumes[0].dimensions(), glm::tvec3<int>(2, 2, 3));
        // Slice outermost: value k is slice k / 8, volume (k / 4) % 2, element k % 4.
        EXPECT_EQ(fmr.stcVolumes[1].at(1, 0, 0), -1.0f); // FF FF
        EXPECT_EQ(fmr.stcVolumes[1].at(0, 1, 0), -32768.0f);
        EXPECT_EQ(fmr.stcVolumes[0].at(0, 1, 2), 6.0f); // k = 18
        fmr.Save();
        EXPECT_EQ(readAll(dir.file("i.stc")), int16s(values));
    }
    // Floats: 2.9, -0, inf, NaN, a denormal, then 1/7 .. 7/7; the test hosts are little-endian.
    const float v[12] = {2.9f,    -0.0f,   HUGE_VALF, std::nanf(""), 1e-40f,  1 / 7.f,
                         2 / 7.f, 3 / 7.f, 4 / 7.f,   5 / 7.f,       6 / 7.f, 1};
    const std::string floats(reinterpret_cast<const char*>(v), sizeof v);
    writeAll(dir.file("f.fmr"), header(3, 1, 2, 2, "f", 2));
    writeAll(dir.file("f.stc"), floats + "extra bytes are ignored");
    FMR fmr(dir.file("f.fmr"), true);
    EXPECT_EQ(fmr.stcVolumes[0].at(0, 0, 0), 2.9f);
    fmr.Save();
    EXPECT_EQ(readAll(dir.file("f.stc")), floats);
    // Writing int16: truncated toward zero, low 16 bits kept; NaN and out-of-range give 0.
    writeAll(dir.file("c.fmr"), header(1, 1, 8, 1, "c"));
    writeAll(dir.file("c.stc"), int16s(std::vector<int>(8, 0)));
    FMR c(dir.file("c.fmr"), true);
    const float in[8] = {2.9f, -2.9f, 40000.0f, -40000.5f, NAN, HUGE_VALF, 3e9f, -0.99f};
    std::copy(in, in + 8, c.stcVolumes[0].data());
    c.Save();
    EXPECT_EQ(readAll(dir.file("c.stc")), int16s({2, -2, 40000, -40000, 0, 0, 0, 0}));
    // A run without slices reads nothing: its file may be empty.
    writeAll(dir.file("e.stc"), "");
    writeAll(dir.file("e.fmr"), header(2, 0, 8, 8, "e"));
    EXPECT_EQ(FMR(dir.file("e.fmr"), true).stcVolumes.at(1).size(), 0);
}

TEST(STC, SaveAsMovesHeaderAndSliceData) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("s1"));
    std::filesystem::create_directory(dir.file("s2"));
    const std::string data = int16s({1, 2, 3, 4, 5, 6});
    writeAll(dir.file("s1/run1.fmr"), header(3, 1, 2, 1, "run1"));
    writeAll(dir.file("s1/run1.stc"), data);
    FMR fmr(dir.file("s1/run1.fmr"), false); // nothing loaded: SaveAs loads from the old place
    fmr.SaveAs(dir.file("s2/copy.fmr"));
    EXPECT_EQ(fmr.Prefix.value(), "copy");
    EXPECT_EQ(readAll(dir.file("s2/copy.stc")), data);
    EXPECT_EQ(readAll(dir.file("s2/copy.fmr")), printed(fmr));
    EXPECT_EQ(readAll(dir.file("s1/run1.stc")), data);
    // A header read without slice data saves alone; the STC path is rebuilt at every save.
    FMR headerOnly(dir.file("s2/copy.fmr"), false);
    headerOnly.Prefix.value() = "missing/copy";
    headerOnly.Save();
    fmr.Prefix.value() = "missing/copy";
    EXPECT_EQ(errorOf([&] { fmr.Save(); }),
              "Failed opening STC for writing: " + dir.file("s2/missing/copy.stc"));
    // Volumes that no longer match the header are refused before anything is written.
    FMR changed(dir.file("s1/run1.fmr"), true);
    changed.ResolutionX.value() = 4;
    EXPECT_THROW(changed.Save(), std::runtime_error);
    EXPECT_EQ(readAll(dir.file("s1/run1.stc")), data);
    EXPECT_EQ(readAll(dir.file("s1/run1.fmr")), header(3, 1, 2, 1, "run1"));
}

// Lets the address space of this (death-test child) process grow by at most 100 MB.
void capAddressSpace() {
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    statm >> pages;
    const rlim_t cap = pages * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(100) << 20);
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
}

TEST(STC, HostileHeadersFailCleanlyWithLittleMemory) {
    ScratchDir dir;
    const std::string fmrPath = dir.file("h.fmr");
    writeAll(dir.file("h.stc"), int16s({1, 2, 3}));
    const std::string tooShort = "STC file too short for its FMR header: " + dir.file("h.stc");
    const std::string invalid = "Invalid slice data size in FMR: " + fmrPath;
    // The last case claims a slice timing table beyond the file, with nothing to load.
    const struct {
        std::string header, message;
    } cases[] = {
        {header(5000, 64, 256, 256, "h"), tooShort},
        {header(1, 7, 8192, 8192, "h", 2), tooShort},
        {header(2000000000, 1, 1, 1, "h"), tooShort},
        {header(2000000000, 0, 64, 64, "h"), invalid},
        {header(1, 8, 8192, 8192, "h"), invalid},
        {header(1, 1, -2, -2, "h"), invalid},
        {header(0, 1, 1, 1, "h") + "SliceTimingTableSize: 2000000000\n1\n", "no exception"},
    };
    for (const auto& c : cases) {
        writeAll(fmrPath, c.header);
        // Exits 0 only when the load ends as expected within the cap.
        EXPECT_EXIT(
            {
                capAddressSpace();
                std::fprintf(stderr, "%s", errorOf([&] { FMR(fmrPath, true); }).c_str());
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), c.message)
            << c.header;
    }
}

} // namespace
