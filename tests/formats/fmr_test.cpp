#include "formats/myFMR.h"
#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Bytes readBytes(const std::string& path) {
    const std::string text = readText(path);
    return Bytes(text.begin(), text.end());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string printed(const FMR& fmr) {
    std::ostringstream out;
    fmr.PrintTo(out);
    return out.str();
}

FMR parse(const std::string& text) {
    std::istringstream in(text);
    return FMR(in, "/nowhere/x.fmr", false);
}

// A minimal header describing an STC run; dataType < 0 leaves the DataType line out.
std::string header(int volumes, int slices, int resX, int resY, const std::string& prefix,
                   int dataType = -1) {
    std::ostringstream out;
    out << "FileVersion:  7\nNrOfVolumes:  " << volumes << "\nNrOfSlices:   " << slices
        << "\nPrefix:       \"" << prefix << "\"\n";
    if (dataType >= 0) out << "DataType:     " << dataType << "\n";
    out << "ResolutionX:  " << resX << "\nResolutionY:  " << resY << "\n";
    return out.str();
}

Bytes int16Bytes(const std::vector<int>& values) {
    Bytes b;
    for (int v : values) {
        b.push_back(static_cast<unsigned char>(v & 0xFF));
        b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    }
    return b;
}

TEST(FMR, ReadsAndReprintsAFullHeaderByteForByte) {
    const std::string path = std::string(VOCELLE_TEST_DATA) + "/fmr/run1.fmr";
    const FMR fmr(path, false);
    EXPECT_EQ(printed(fmr), readText(path));
    EXPECT_EQ(fmr.FileVersion.value(), 7);
    EXPECT_EQ(fmr.ResolutionX.value(), 5);
    EXPECT_EQ(fmr.Prefix.value(), "run1");
    EXPECT_TRUE(fmr.Prefix.isQuoted());
    EXPECT_EQ(fmr.SliceGap.value(), 0.75f);
    EXPECT_EQ(fmr.Slice1CenterZ.value(), -31.25f);
    EXPECT_EQ(fmr.PosSliceThickness.getName(), "SliceThickness");
    EXPECT_EQ(fmr.MultibandSequence.value(), 0);
    EXPECT_EQ(fmr.sliceTimingTable, (std::vector<float>{0, 666.667f, 1333.33f}));
    EXPECT_TRUE(fmr.stcVolumes.empty());

    // Printed output read again prints the same.
    EXPECT_EQ(printed(parse(printed(fmr))), printed(fmr));
}

TEST(FMR, EmptyAndMissingFiles) {
    ScratchDir dir;
    const std::string empty = dir.file("empty.fmr");
    writeFile(empty, std::string());
    const FMR fmr(empty, false);
    EXPECT_EQ(fmr.FileVersion.value(), -1);
    EXPECT_FALSE(fmr.FileVersion.isSet());
    EXPECT_EQ(printed(fmr), "\n");

    const auto message = [](const std::string& path, bool loadSTC) {
        try {
            FMR f(path, loadSTC);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(empty, true), "Failed opening STC for reading: " + dir.file(".stc"));
    EXPECT_EQ(message(dir.file("none.fmr"), false),
              "Failed opening for reading: " + dir.file("none.fmr"));
    EXPECT_EQ(message(dir.path().string(), false),
              "Failed opening for reading: " + dir.path().string());
}

TEST(FMR, PositionSectionRules) {
    const std::string heading = "\nPositionInformationFromImageHeaders\n\n";
    struct Case {
        const char* what;
        std::string text;
        float slice1CenterX; // 0 = unset
        bool multibandSet;
        std::string reprinted;
    };
    const Case cases[] = {
        {"no heading: position keys are ignored", "NrOfSlices: 3\nSlice1CenterX: 5\n", 0, false,
         "\nNrOfSlices: 3\n"},
        {"a position key before the heading is ignored",
         "Slice1CenterX: 5\n" + heading + "PosInfosVerified: 1\nGapThickness: 1\n", 0, false,
         "\n" + heading + "PosInfosVerified: 1\nGapThickness: 1\n\n\n"},
        {"without GapThickness the section runs to the end",
         heading + "PosInfosVerified: 1\nSlice1CenterX: 5\nMultibandSequence: 2\n", 5, false,
         "\n" + heading + "PosInfosVerified: 1\nSlice1CenterX: 5\n"},
        {"trailer after GapThickness",
         heading + "Slice1CenterX: 5\nGapThickness: 1\nMultibandSequence: 2\n", 5, true,
         "\nSlice1CenterX: 5\nGapThickness: 1\n\n\nMultibandSequence: 2\n\n"},
        {"a trailer key inside the section is not known there",
         heading + "MultibandSequence: 2\nGapThickness: 1\n", 0, false,
         "\nGapThickness: 1\n\n\n"},
    };
    for (const auto& c : cases) {
        const FMR fmr = parse(c.text);
        EXPECT_EQ(fmr.Slice1CenterX.isSet() ? fmr.Slice1CenterX.value() : 0.0f, c.slice1CenterX)
            << c.what;
        EXPECT_EQ(fmr.MultibandSequence.isSet(), c.multibandSet) << c.what;
        EXPECT_EQ(printed(fmr), c.reprinted) << c.what;
    }

    const FMR both = parse("SliceThickness: 3\n" + heading + "SliceThickness: 2.5\nGapThickness: 0\n");
    EXPECT_EQ(both.SliceThickness.value(), 3.0f);
    EXPECT_EQ(both.PosSliceThickness.value(), 2.5f);
}

TEST(FMR, SliceTimingTable) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<float> table;
        bool fileVersionSet;
    };
    const Case cases[] = {
        {"the word after the table is discarded", "SliceTimingTableSize: 3\n1 2 3\nFileVersion: 4\n",
         {1, 2, 3}, false},
        {"size 0 still discards a word", "SliceTimingTableSize: 0\nFileVersion: 4\nFileVersion: 5\n",
         {}, true},
        {"a plausible claim is padded with zeros", "SliceTimingTableSize: 4\n1 2 x             \n",
         {1, 2, 0, 0}, false},
        {"a second size line appends",
         "SliceTimingTableSize: 1\n7\nword\nSliceTimingTableSize: 2\n8 9\n", {7, 8, 9}, false},
        {"a claim far beyond the file stops at the first unreadable value",
         "SliceTimingTableSize: 2000000000\n1 2\n", {1, 2}, false},
    };
    for (const auto& c : cases) {
        const FMR fmr = parse(c.text);
        EXPECT_EQ(fmr.sliceTimingTable, c.table) << c.what;
        EXPECT_EQ(fmr.FileVersion.isSet(), c.fileVersionSet) << c.what;
    }
    EXPECT_EQ(printed(parse("SliceTimingTableSize: 0\nx\n")), "\nSliceTimingTableSize: 0\n");
    // Every value is printed, however many there are.
    EXPECT_EQ(printed(parse("SliceTimingTableSize: 1\n7\nw\nSliceTimingTableSize: 1\n8\n")),
              "\nSliceTimingTableSize: 1\n7\n8\n");
    // A boolean written as a word ends the scan there.
    const FMR yes = parse("ShowAMRFile: YES\nResolutionX: 64\n");
    EXPECT_TRUE(yes.ShowAMRFile.isSet());
    EXPECT_FALSE(yes.ResolutionX.isSet());
}

TEST(STC, Int16AndFloatRunsReSaveByteForByte) {
    ScratchDir dir;
    // 2 volumes, 3 slices of 2 x 2: value k of the file is k - 12, with the extremes mixed in.
    std::vector<int> values;
    for (int k = 0; k < 24; ++k) values.push_back(k - 12);
    values[5] = 0xFFFF;  // FF FF
    values[6] = -32768;
    values[7] = 32767;
    for (int dataType : {-1, 1}) {
        writeFile(dir.file("run1.fmr"), header(2, 3, 2, 2, "run1", dataType));
        const Bytes original = int16Bytes(values);
        writeFile(dir.file("run1.stc"), original);
        FMR fmr(dir.file("run1.fmr"), true);
        ASSERT_EQ(fmr.stcVolumes.size(), 2u);
        EXPECT_EQ(fmr.stcVolumes[0].dimensions(), glm::tvec3<int>(2, 2, 3));
        // Slice outermost: value k is slice k / 8, volume (k / 4) % 2, element k % 4.
        EXPECT_EQ(fmr.stcVolumes[1].at(1, 0, 0), -1.0f); // k = 5, bytes FF FF
        EXPECT_EQ(fmr.stcVolumes[0].at(0, 1, 2), float(18 - 12));
        EXPECT_EQ(fmr.stcVolumes[1].at(0, 1, 0), -32768.0f);
        fmr.Save();
        EXPECT_EQ(readBytes(dir.file("run1.stc")), original);
    }

    Bytes floats;
    const float specials[] = {2.9f, -0.0f, std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(), 1e-40f, -3.25e12f};
    for (int k = 0; k < 12; ++k) {
        const float v = k < 6 ? specials[k] : float(k) / 7;
        unsigned char b[4];
        std::memcpy(b, &v, 4);
        floats.insert(floats.end(), b, b + 4); // tests run on little-endian hosts
    }
    writeFile(dir.file("f.fmr"), header(3, 1, 2, 2, "f", 2));
    writeFile(dir.file("f.stc"), floats);
    FMR fmr(dir.file("f.fmr"), true);
    EXPECT_EQ(fmr.stcVolumes[0].at(0, 0, 0), 2.9f);
    fmr.Save();
    EXPECT_EQ(readBytes(dir.file("f.stc")), floats);
}

TEST(STC, FloatToInt16Conversion) {
    ScratchDir dir;
    writeFile(dir.file("c.fmr"), header(1, 1, 8, 1, "c"));
    writeFile(dir.file("c.stc"), int16Bytes(std::vector<int>(8, 0)));
    FMR fmr(dir.file("c.fmr"), true);
    const float in[8] = {2.9f, -2.9f, 40000.0f, -40000.5f, std::nanf(""),
                         std::numeric_limits<float>::infinity(), 3e9f, -0.99f};
    std::copy(in, in + 8, fmr.stcVolumes[0].data());
    fmr.Save();
    EXPECT_EQ(readBytes(dir.file("c.stc")), int16Bytes({2, -2, 40000 - 65536, 65536 - 40000, 0, 0, 0, 0}));
}

TEST(STC, SaveAsMovesHeaderAndSliceData) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("s1"));
    std::filesystem::create_directory(dir.file("s2"));
    const Bytes data = int16Bytes({1, 2, 3, 4, 5, 6});
    writeFile(dir.file("s1/run1.fmr"), header(3, 1, 2, 1, "run1"));
    writeFile(dir.file("s1/run1.stc"), data);

    FMR fmr(dir.file("s1/run1.fmr"), false); // nothing loaded: SaveAs loads from the old place
    EXPECT_EQ(fmr.stcFileName(), dir.file("s1/run1.stc"));
    fmr.SaveAs(dir.file("s2/copy.fmr"));
    EXPECT_EQ(fmr.Prefix.value(), "copy");
    EXPECT_TRUE(fmr.Prefix.isQuoted());
    EXPECT_EQ(readBytes(dir.file("s2/copy.stc")), data);
    EXPECT_EQ(readText(dir.file("s2/copy.fmr")), printed(fmr));
    EXPECT_EQ(readBytes(dir.file("s1/run1.stc")), data);
    const FMR copy(dir.file("s2/copy.fmr"), true);
    EXPECT_EQ(copy.stcVolumes, fmr.stcVolumes);
    FMR moved(dir.file("s2/copy.fmr"), true);

    // Saving a header read without slice data leaves the STC file alone.
    FMR headerOnly(dir.file("s2/copy.fmr"), false);
    writeFile(dir.file("s2/copy.stc"), std::string("xy"));
    headerOnly.Save();
    EXPECT_EQ(readText(dir.file("s2/copy.stc")), "xy");

    // The STC path is rebuilt at every save; an unwritable one is reported with its path.
    moved.Prefix.value() = "missing/copy";
    try {
        moved.Save();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Failed opening STC for writing: " + dir.file("s2/missing/copy.stc"));
    }
}

TEST(STC, ShortFilesAndEmptyRuns) {
    ScratchDir dir;
    // Three volumes in the header, two in the file: no error, the last third stays zero.
    writeFile(dir.file("a.fmr"), header(3, 2, 1, 1, "a"));
    writeFile(dir.file("a.stc"), int16Bytes({1, 2, 3, 4}));
    const FMR a(dir.file("a.fmr"), true);
    ASSERT_EQ(a.stcVolumes.size(), 3u);
    const float expected[3][2] = {{1, 4}, {2, 0}, {3, 0}}; // [volume][slice]
    for (int t = 0; t < 3; ++t)
        for (int s = 0; s < 2; ++s) EXPECT_EQ(a.stcVolumes[t].at(0, 0, s), expected[t][s]);

    // Longer than the layout: the extra bytes are ignored.
    writeFile(dir.file("a.stc"), int16Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(FMR(dir.file("a.fmr"), true).stcVolumes[2].at(0, 0, 1), 6.0f);

    // Short by more than one volume is refused.
    writeFile(dir.file("a.stc"), int16Bytes({1}));
    EXPECT_THROW(FMR(dir.file("a.fmr"), true), std::runtime_error);

    // Nothing to read: the file may be empty.
    writeFile(dir.file("e.stc"), std::string());
    writeFile(dir.file("e.fmr"), header(0, 4, 8, 8, "e"));
    EXPECT_TRUE(FMR(dir.file("e.fmr"), true).stcVolumes.empty());
    writeFile(dir.file("e.fmr"), header(2, 0, 8, 8, "e"));
    const FMR noSlices(dir.file("e.fmr"), true);
    ASSERT_EQ(noSlices.stcVolumes.size(), 2u);
    EXPECT_EQ(noSlices.stcVolumes[0].size(), 0);
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

// Exits 0 after printing the error of a refused load, 1 when the load succeeds.
void loadExpectingError(const std::string& path) {
    try {
        FMR fmr(path, true);
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "%s", e.what());
        std::exit(0);
    }
    std::exit(1);
}

TEST(STC, HostileHeadersFailCleanlyWithLittleMemory) {
    ScratchDir dir;
    const std::string fmrPath = dir.file("h.fmr");
    writeFile(dir.file("h.stc"), int16Bytes({1, 2, 3}));
    const std::string tooShort = "STC file too short for its FMR header: " + dir.file("h.stc");
    const std::string invalid = "Invalid slice data size in FMR: " + fmrPath;
    const struct {
        std::string header;
        std::string message;
    } cases[] = {
        {header(5000, 64, 256, 256, "h"), tooShort},
        {header(1, 7, 8192, 8192, "h", 2), tooShort},
        {header(2000000000, 1, 1, 1, "h"), tooShort},
        {header(2000000000, 0, 64, 64, "h"), invalid},
        {header(1, 1, 65536, 65536, "h"), invalid},
        {header(1, 8, 8192, 8192, "h"), invalid},
        {header(-3, 1, 2, 2, "h"), invalid},
        {header(1, 1, -2, -2, "h"), invalid},
    };
    for (const auto& c : cases) {
        writeFile(fmrPath, c.header);
        EXPECT_EXIT((capAddressSpace(), loadExpectingError(fmrPath)), ::testing::ExitedWithCode(0),
                    c.message)
            << c.header;
    }

    // A slice timing table claiming two billion values in a tiny file.
    EXPECT_EXIT(
        {
            capAddressSpace();
            const FMR fmr = parse("SliceTimingTableSize: 2000000000\n1\n");
            std::exit(fmr.sliceTimingTable == std::vector<float>{1} ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(STC, SaveRefusesVolumesThatNoLongerMatchTheHeader) {
    ScratchDir dir;
    writeFile(dir.file("m.fmr"), header(1, 1, 2, 1, "m"));
    writeFile(dir.file("m.stc"), int16Bytes({1, 2}));
    FMR fmr(dir.file("m.fmr"), true);
    const std::string before = readText(dir.file("m.fmr"));
    fmr.ResolutionX.value() = 4;
    EXPECT_THROW(fmr.Save(), std::runtime_error);
    EXPECT_EQ(readText(dir.file("m.fmr")), before);
    EXPECT_EQ(readBytes(dir.file("m.stc")), int16Bytes({1, 2}));
}

} // namespace
