// The imaging library's pieces that the pictures and tables of the host are made of, where a
// fault shows in a pixel or a cell that the end-to-end checks do not look at.

#include <vocelle/imaging/labeltable.h>
#include <vocelle/imaging/preview.h>
#include <vocelle/imaging/regionplot.h>
#include <vocelle/imaging/rgbimage.h>
#include <vocelle/text/fault.h>

#include "tests/text/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A name too long for its room is cut where it keeps apart from the others in view (here the
// middle would hide the x), found by halving however long the name is; a name that fits stays.
TEST(RgbImage, ShortensNamesApartFromTheOthers) {
    const std::string x = std::string(30, 'p') + "x" + std::string(9, 's'), y = x.substr(0, 30) + "y" + x.substr(31);
    EXPECT_EQ(fitText("short", 150, 13, {x}), "short");
    for (const std::string& name : {x, std::string(1000000, 'a') + "z"}) {
        const std::string cut = fitText(name, 150, 13, {x, y});
        EXPECT_TRUE(cut.find(name == x ? 'x' : 'z') != std::string::npos && RgbImage::textWidth(cut, 13) <= 150 &&
                    RgbImage::textWidth(cut + "ss", 13) > 150) << cut;
    }
}

// One voxel is drawn in its colour as one cell of each view, on the views' grid, where the views
// cross; a voxel outside the cube is counted and gets a legend row of its own.
TEST(Preview, DrawsAVoxelAsACellOfEachViewWhereTheyCross) {
    using L = PreviewLayout;
    const ScratchDir dir;
    const auto preview = [&](int count, const std::string& voxels) {
        writeAll(dir.file("v.voi"), "FileVersion: 4\nReferenceSpace: TAL\nNrOfVOIs: 1\nNameOfVOI: a\nColorOfVOI: 250 10 20\n"
                                    "NrOfVoxels: " + std::to_string(count) + "\n" + voxels + "NrOfVOIVTCs: 0\n");
        return renderPreview(VOI(dir.file("v.voi")), "t");
    };
    const Preview one = preview(1, "30 -40 50\n"), outside = preview(2, "30 -40 50\n300 0 0\n");
    EXPECT_EQ(std::to_string(one.outside) + " " + std::to_string(outside.outside), "0 1");
    EXPECT_GT(outside.image.height(), one.image.height());
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

// A time course and its fit are drawn to the range they span: moved or scaled (exactly, by a
// power of two) they draw the same picture, turned over they do not.
TEST(RegionPlot, DrawsACourseToTheRangeItSpans) {
    const auto plot = [](double offset, double factor) {
        PlotPanel panel{"region", {}, {}};
        for (const double v : {0, 3, 1, 4, 1, 5, 9, 2, 6, 5}) {
            panel.course.push_back(offset + factor * v);
            panel.fitted.push_back(offset + factor * (v + 4) / 2);
        }
        return plotRegions("run", {panel}, {{"visual", Rgb{0, 0, 200}, {0, 1, 1, 0, 0, 1, 1, 0, 0, 1}}}).pixels();
    };
    EXPECT_EQ(plot(0, 1), plot(1024, 1));
    EXPECT_EQ(plot(0, 1), plot(-64, 4));
    EXPECT_NE(plot(0, 1), plot(0, -1));
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
