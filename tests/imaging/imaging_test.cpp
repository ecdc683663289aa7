// The imaging library's pieces that the pictures and tables of the host are made of, where a
// fault shows in a pixel or a cell that the end-to-end checks do not look at.

#include <vocelle/imaging/labeltable.h>
#include <vocelle/imaging/preview.h>
#include <vocelle/imaging/regionplot.h>
#include <vocelle/imaging/rgbimage.h>
#include <vocelle/imaging/underlay.h>
#include <vocelle/text/fault.h>

#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

using namespace vocelle;

namespace {

std::string colourOf(Rgb c) { return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b); }

// Every pixel of the picture as a character: '.' for the background, the first letter of a
// colour's name otherwise.
std::string drawn(const RgbImage& image) {
    std::string rows;
    for (int y = 0; y < image.height(); ++y, rows += '\n')
        for (int x = 0; x < image.width(); ++x) {
            const Rgb c = image.at(x, y);
            rows += c.r ? 'r' : c.g ? 'g' : c.b ? 'b' : '.';
        }
    return rows;
}

// The first and last row and column are drawn; anything beyond is clipped, read back as black.
TEST(RgbImage, DrawsToItsEdgesAndClipsBeyond) {
    const Rgb red{255, 0, 0}, green{0, 200, 0}, blue{0, 0, 90};
    RgbImage image(5, 4, {});
    image.set(0, 0, red);
    image.set(4, 3, red);
    for (const auto& [x, y] : {std::pair{-1, 0}, {5, 0}, {0, -1}, {0, 4}}) image.set(x, y, blue);
    image.fillRect(-2, 2, 3, 9, green);
    image.outlineRect(1, 0, 3, 3, red);
    image.drawLine(4, 0, 2, 2, blue);
    EXPECT_EQ(drawn(image), "rrrrb\n.r.b.\ngrbr.\ng...r\n");
    for (const auto& [x, y] : {std::pair{-1, 0}, {5, 3}, {0, -1}, {4, 4}}) EXPECT_EQ(colourOf(image.at(x, y)), "0 0 0");
    EXPECT_EQ(colourOf(mix(red, blue, 0.25f)), "191 0 23");
}

// Text through Cairo: the capitals' top at y, drawn within the width it measures.
TEST(RgbImage, DrawsTextWithTheCapitalsTopAtY) {
    RgbImage image(200, 80, {});
    const int width = image.drawText(10, 30, "HH", {255, 255, 255}, 40);
    int top = 80, right = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x)
            if (image.at(x, y).r > 128) top = std::min(top, y), right = std::max(right, x);
    EXPECT_TRUE(std::abs(top - 30) <= 1 && width == RgbImage::textWidth("HH", 40) && right > 10 + width / 2 && right < 10 + width)
        << top << " " << width << " " << right;
}

// Text as boxes, one per code point, so that whole pictures come out the same on any machine.
class BoxFace : public TextFace {
public:
    int width(const std::string& shown, double size) const override {
        return int(std::count_if(shown.begin(), shown.end(), [](char c) { return (c & 0xc0) != 0x80; })) * int(size / 2);
    }
    int draw(RgbImage& image, int x, int y, const std::string& shown, Rgb colour, double size) const override {
        const int step = int(size / 2), w = width(shown, size);
        for (int left = x; left < x + w; left += step) image.fillRect(left, y, step - 1, RgbImage::textHeight(size), colour);
        return w;
    }
};

// Whole pictures, text drawn as boxes, against the fingerprints of pictures that were looked at
// when they were recorded. A picture that differs is written beside the test to be looked at.
class Pictures : public testing::Test {
protected:
    void SetUp() override { setTextFace(&boxes); }
    void TearDown() override { setTextFace(nullptr); }
    static void expectPicture(const RgbImage& image, const std::string& name, std::uint64_t fingerprint) {
        std::uint64_t hash = 14695981039346656037ull ^ std::uint64_t(image.width());
        for (const std::uint32_t p : image.pixels()) hash = (hash ^ p) * 1099511628211ull;
        if (hash == fingerprint) return;
        writeAll(name + ".png", encodePng(image));
        ADD_FAILURE() << name << ".png in " << std::filesystem::current_path() << " differs: 0x" << std::hex << hash;
    }
    const ScratchDir dir;
    BoxFace boxes;
};

// A name too long for its room is cut in the middle, or at the nearest place that keeps it apart
// from the others in view, found by halving however long it is (characters here 5 pixels wide).
TEST_F(Pictures, ShortensNamesApartFromTheOthers) {
    const std::string x = std::string(30, 'p') + "x" + std::string(9, 's'), y = x.substr(0, 30) + "y" + x.substr(31);
    EXPECT_EQ(fitText("short", 60, 10, {x}) + "|" + fitText("abcdefghijklmnopqrstuvwxyz", 60, 10) + "|" +
                  fitText(x, 60, 10, {x, y}) + "|" + fitText("abcdefgXijklmno", 60, 10, {"abcdefgYijklmno"}) + "|" +
                  fitText(std::string(1000000, 'a') + "z", 60, 10, {x, y}) + "|" + fitText("abc", 4, 10),
              "short|abcdef…vwxyz|p…xsssssssss|abcdefgX…mno|aaaaaa…aaaaz|");
}

// A VOI file of the given space; each VOI a name, a colour and a box of voxels from `low` to `high`.
struct Box {
    std::string name, colour;
    glm::ivec3 low, high;
};
VOI voiOf(const ScratchDir& dir, const std::string& space, const std::vector<Box>& boxes, const std::string& extra = "") {
    std::string text = "FileVersion: 4\nReferenceSpace: " + space + "\nNrOfVOIs: " + std::to_string(boxes.size()) + "\n";
    for (const Box& b : boxes) {
        std::string voxels;
        int count = 0;
        for (int x = b.low.x; x <= b.high.x; ++x)
            for (int y = b.low.y; y <= b.high.y; ++y)
                for (int z = b.low.z; z <= b.high.z; ++z, ++count)
                    voxels += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
        const bool last = &b == &boxes.back();
        text += "NameOfVOI: " + b.name + "\nColorOfVOI: " + b.colour + "\nNrOfVoxels: " +
                std::to_string(count + (last && !extra.empty())) + "\n" + voxels + (last ? extra : "");
    }
    writeAll(dir.file("v.voi"), text + "NrOfVOIVTCs: 0\n");
    return VOI(dir.file("v.voi"));
}

// One voxel is drawn in its colour as one cell of each view, on the views' grid, where the views
// cross.
TEST_F(Pictures, DrawsAVoxelAsACellOfEachViewWhereTheyCross) {
    using L = PreviewLayout;
    const Preview one = renderPreview(voiOf(dir, "TAL", {{"a", "250 10 20", {30, -40, 50}, {30, -40, 50}}}), "t");
    std::vector<std::string> cells, expected;
    for (int y = L::panelTop; y < L::panelTop + L::panel; ++y)
        for (int x = 0; x < one.image.width(); ++x)
            if (colourOf(one.image.at(x, y)) == "250 10 20") {
                const int view = (x - L::margin) / (L::panel + L::gap);
                cells.push_back(std::to_string(view) + ": " + std::to_string((x - L::panelLeft(view)) / L::scale) + " " +
                                std::to_string((y - L::panelTop) / L::scale));
            }
    const glm::ivec3 c = one.centre;
    for (const auto& [view, column, row] : {std::tuple{0, c.z, c.x}, {1, c.z, c.y}, {2, c.x, c.y}})
        expected.insert(expected.end(), L::scale * L::scale,
                        std::to_string(view) + ": " + std::to_string(column) + " " + std::to_string(row));
    std::sort(cells.begin(), cells.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(cells, expected);
}

// A float image of 16 voxels of 12 mm a side in Talairach space, brighter to the right, front
// and top, holding a not-a-number and a border of background.
std::string writeAnatomy(const ScratchDir& dir) {
    std::string bytes(352, '\0');
    const auto put = [&](std::size_t at, auto value) { std::memcpy(&bytes[at], &value, sizeof value); };
    put(0, 348);
    for (const auto& [at, value] : {std::pair{40, 3}, {42, 16}, {44, 16}, {46, 16}, {70, 16}, {72, 32}, {252, 3}})
        put(std::size_t(at), std::int16_t(value));
    for (const auto& [at, value] : {std::pair{76, 1.0f}, {80, 12.0f}, {84, 12.0f}, {88, 12.0f}, {108, 352.0f},
                                    {268, -90.0f}, {272, -90.0f}, {276, -90.0f}})
        put(std::size_t(at), value);
    std::memcpy(&bytes[344], "n+1", 4);
    for (int k = 0; k < 16; ++k)
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i) {
                const float v = i == 0 ? 0.0f : i == 5 && j == 5 ? NAN : float(1 + i + 2 * j + 3 * k);
                bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
            }
    writeAll(dir.file("anatomy.nii"), bytes);
    return dir.file("anatomy.nii");
}

// Talairach VOIs over anatomy: apart from each other, one lit light, 1,000 voxels in one, names
// alike at both ends shortened where they differ, a voxel outside the cube.
TEST_F(Pictures, PreviewOverAnatomy) {
    const Underlay anatomy(writeAnatomy(dir));
    const std::string name = "superior temporal gyrus, @ hemisphere, posterior part";
    const VOI voi = voiOf(dir, "TAL", {{std::string(name).replace(name.find('@'), 1, "left"), "250 10 20", {-50, -20, 0}, {-41, -11, 9}},
                                       {std::string(name).replace(name.find('@'), 1, "right"), "20 200 40", {40, -20, 2}, {43, -18, 4}},
                                       {"thalamus", "240 240 250", {8, -16, 30}, {10, -14, 32}}},
                          "300 0 0\n");
    expectPicture(renderPreview(voi, "s1/run1_TAL_.voi", &anatomy).image, "preview_anatomy", 0xdcdf74c90bb65793);
}

// More VOIs than the legend lists, each one voxel in the cube's own space, on black, names with
// characters of each length in UTF-8 and bytes that are no characters; and a file without VOIs.
TEST_F(Pictures, PreviewOfManyVoisAndOfNone) {
    const char* const odd[] = {"\xff", "\x01", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xc0\xaf",
                               "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82", "\xf4\x8f\xbf\xbf"};
    std::vector<Box> boxes;
    for (int n = 0; n < 65; ++n)
        boxes.push_back({"v" + std::to_string(n + 1) + (n < 10 ? odd[n] : ""), std::to_string(n * 4) + " 100 " + std::to_string(255 - n * 4),
                         {100 + n, 120 + n % 7, 90 + n % 11}, {100 + n, 120 + n % 7, 90 + n % 11}});
    expectPicture(renderPreview(voiOf(dir, "CV", boxes), "many").image, "preview_many", 0x9417d7a2592a68b9);
    writeAll(dir.file("none.voi"), "FileVersion: 4\nReferenceSpace: ACPC\nNrOfVOIs: 0\nNrOfVOIVTCs: 0\n");
    expectPicture(renderPreview(VOI(dir.file("none.voi")), "none").image, "preview_none", 0x6564f0e02ba2b677);
}

// Two regions, one without voxels; a course with gaps (one at its start) and its fit; a flat predictor and one too
// light to see on white.
TEST_F(Pictures, RegionPlot) {
    PlotPanel measured{"region 1: 27 voxels, R\u00b2 0.9", {}, {}}, empty{"region 2: no voxels", {}, {}};
    for (const double v : {double(NAN), 7.0, 6.0, 9.0, 12.0, double(NAN), 11.0, 8.0, 6.0, 5.0, 7.0, 9.0}) {
        measured.course.push_back(v);
        measured.fitted.push_back(std::isnan(v) ? 8 : (v + 8) / 2);
    }
    const std::vector<PlotPredictor> design{{"visual", Rgb{0, 0, 200}, {0, 0, 1, 1, 1, 0, 0, 0, 1, 1, 1, 0}},
                                            {"constant", Rgb{250, 250, 240}, std::vector<double>(12, 1)}};
    expectPicture(plotRegions("s1/run1.roi in s1/run1.fmr", {measured, empty}, design), "region_plot", 0x249f14fe858a02b9);
}

// Tables as export-nifti writes them and as FSLeyes does: what they hold, or the one line that
// says what is wrong and where.
TEST(LabelTable, ReadsRowsOrNamesTheLineThatIsWrong) {
    const std::string header = "index\tname\tcolor\n";
    const struct {
        std::string ending, text, read; // read: "index name colour|..." or the fault's line
    } tables[] = {
        {".tsv", header + "1\ta\t#ff0010\n\n3\tb c\t \n", "1 a 255 0 16|3 b c -|"},
        {".tsv", "name\tindex\r\nx\t7\r\n", "7 x -|"},
        {".tsv", "", "no header line: t.tsv"},
        {".tsv", "name\n", "no column \"index\": t.tsv (line 1)"},
        {".tsv", header + "1\ta\n\nx\tb\n", "no label number: t.tsv (line 4)"},
        {".tsv", header + "1\ta\t#-1-1-1\n", "colour is not #rrggbb: t.tsv (line 2)"},
        {".tsv", header + "1\ta\r2\tb\n", "a line end of CR alone (only LF or CR LF end a line): t.tsv (line 2)"},
        {".tsv", header + "1\ta\n1\tb\n", "label 1 is given twice: t.tsv (line 3)"},
        {".tsv", header + "1\t" + std::string(4097, 'n') + "\n", "a name longer than 4096 bytes: t.tsv (line 2)"},
        {".tsv", header + std::string(8193, '1') + "\n", "a line longer than 8192 bytes: t.tsv (line 2)"},
        {".lut", "# FSLeyes\n7 1 0 0.5  Left thing \n0 0 0 0\n", "7 Left thing 255 0 128|0  0 0 0|"},
        {".lut", "\n7 1 0 1.5 x\n", "colour values must lie from 0 to 1: t.lut (line 2)"},
        {".lut", "7 1 0\n", "expected: label red green blue name: t.lut (line 1)"},
    };
    for (const auto& table : tables) {
        const ScratchDir dir;
        writeAll(dir.file("t" + table.ending), table.text);
        std::vector<LabelEntry> entries;
        std::string path, read;
        try {
            EXPECT_TRUE(readLabelTable(dir.file("t"), entries, path));
            EXPECT_EQ(path, dir.file("t" + table.ending));
            for (const LabelEntry& e : entries)
                read += std::to_string(e.index) + " " + e.name + " " +
                        (e.hasColour ? colourOf(Rgb{std::uint8_t(e.colour.r), std::uint8_t(e.colour.g), std::uint8_t(e.colour.b)}) : "-") + "|";
        } catch (const FaultError& e) {
            read = e.fault().line();
            const std::string folder = dir.path().string() + "/";
            read.erase(read.find(folder), folder.size());
        }
        EXPECT_EQ(read, table.read) << table.text.substr(0, 60);
    }
    std::vector<LabelEntry> none;
    std::string path;
    EXPECT_FALSE(readLabelTable(ScratchDir().file("t"), none, path));
    EXPECT_EQ(hexColour({-5, 300, 16}), "#00ff10");
}

} // namespace
