#include <vocelle/imaging/preview.h>

#include <vocelle/imaging/underlay.h>
#include <vocelle/math/cubespace.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace vocelle {

namespace {

using L = PreviewLayout;

// Per view: the cube axis drawn left to right, the one drawn top to bottom, and the one the
// view looks along (its slice axis).
const int horizontalAxis[3] = {2, 2, 0};
const int verticalAxis[3] = {0, 1, 1};
const int sliceAxis[3] = {1, 0, 2};
const char* const viewNames[3] = {"Axial", "Coronal", "Sagittal"};
// Letters at the top, bottom, left and right edge of each view.
const char* const edgeLetters[3][4] = {{"A", "P", "R", "L"}, {"S", "I", "R", "L"}, {"S", "I", "A", "P"}};
// Talairach box in cube voxels, per axis: anterior 58 to posterior 230, superior 54 to inferior
// 170, right 60 to left 196.
const int boxLow[3] = {58, 54, 60};
const int boxHigh[3] = {230, 170, 196};
// World axis and its name for each cube axis: cube x is world y (anterior), y is world z
// (superior), z is world x (right).
const char* const worldAxisName[3] = {"y", "z", "x"};

const Rgb pageColour{250, 250, 248};
const Rgb textColour{30, 30, 35};
const Rgb mutedText{95, 95, 105};
const Rgb cubeColour{16, 16, 20};
const Rgb boxColour{105, 105, 112};
const Rgb crosshairColour{70, 95, 135};
const Rgb letterColour{210, 210, 215};
const Rgb acColour{255, 255, 255};
const Rgb warningColour{190, 90, 0};
constexpr double textSize = 16, letterSize = 24, markSize = 14;
// How much of a VOI's colour covers what lies under it: in the slice shown, and where it lies
// elsewhere along the view. Over anatomy both let it show through.
struct Opacity {
    float slice, elsewhere;
};
constexpr Opacity onBlack{1.0f, 0.45f}, onAnatomy{0.65f, 0.3f};

Rgb voiColour(const glm::ivec3& colour) {
    const auto channel = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    return {channel(colour.r), channel(colour.g), channel(colour.b)};
}

std::string withThousands(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(std::size_t(i), ",");
    return (n < 0 ? "-" : "") + digits;
}

std::string signedNumber(int n) { return (n > 0 ? "+" : "") + std::to_string(n); }

void drawDashedLine(RgbImage& image, int x, int y, int length, bool horizontal, Rgb colour) {
    for (int i = 0; i < length; ++i)
        if ((i / 4) % 2 == 0) image.set(horizontal ? x + i : x, horizontal ? y : y + i, colour);
}

// The view's ground: black, or the anatomy in grey where the underlay reaches.
void drawPanelGround(RgbImage& image, int view, const glm::ivec3& centre, const Underlay* underlay) {
    const int left = L::panelLeft(view), top = L::panelTop;
    image.fillRect(left, top, L::panel, L::panel, cubeColour);
    if (underlay == nullptr) return;
    const int h = horizontalAxis[view], v = verticalAxis[view];
    for (int row = 0; row < cubeSize; ++row)
        for (int column = 0; column < cubeSize; ++column) {
            glm::ivec3 cube = centre;
            cube[h] = column;
            cube[v] = row;
            const float grey = underlay->grey(cube);
            if (grey < 0) continue;
            const auto level = static_cast<std::uint8_t>(std::lround(grey * 255.0f));
            image.fillRect(left + column * L::scale, top + row * L::scale, L::scale, L::scale, {level, level, level});
        }
}

void drawPanelFrame(RgbImage& image, int view, const glm::ivec3& centre) {
    const int left = L::panelLeft(view), top = L::panelTop;
    const int h = horizontalAxis[view], v = verticalAxis[view];
    // Where the other two views cut this one.
    drawDashedLine(image, left + centre[h] * L::scale + L::scale / 2, top, L::panel, false, crosshairColour);
    drawDashedLine(image, left, top + centre[v] * L::scale + L::scale / 2, L::panel, true, crosshairColour);
    image.outlineRect(left + boxLow[h] * L::scale, top + boxLow[v] * L::scale,
                      (boxHigh[h] - boxLow[h] + 1) * L::scale, (boxHigh[v] - boxLow[v] + 1) * L::scale,
                      boxColour);
}

// White with a dark rim, so it shows on black and on bright anatomy alike.
void drawAcMark(RgbImage& image, int left, int top) {
    const int cx = left + cubeAC * L::scale + L::scale / 2;
    const int cy = top + cubeAC * L::scale + L::scale / 2;
    image.fillRect(cx - 8, cy - 2, 17, 4, cubeColour);
    image.fillRect(cx - 2, cy - 8, 4, 17, cubeColour);
    image.fillRect(cx - 7, cy - 1, 15, 2, acColour);
    image.fillRect(cx - 1, cy - 7, 2, 15, acColour);
    image.drawText(cx + 6, cy + 5, "AC", cubeColour, markSize);
    image.drawText(cx + 5, cy + 4, "AC", acColour, markSize);
}

void drawPanelLabels(RgbImage& image, int view, const glm::ivec3& centre, VoxelConvention convention) {
    const int left = L::panelLeft(view), top = L::panelTop;
    const int s = sliceAxis[view];
    std::string caption = std::string(viewNames[view]) + "  ";
    if (convention == VoxelConvention::Talairach)
        caption += "TAL " + std::string(worldAxisName[s]) + " = " + signedNumber(cubeAC - centre[s]) + " mm";
    else
        caption += "cube " + std::string(1, char('x' + s)) + " = " + std::to_string(centre[s]);
    image.drawText(left, top - 24, caption, textColour, textSize);

    const char* const* letters = edgeLetters[view];
    const int hgt = RgbImage::textHeight(letterSize);
    const auto width = [](const char* letter) { return RgbImage::textWidth(letter, letterSize); };
    image.drawText(left + (L::panel - width(letters[0])) / 2, top + 8, letters[0], letterColour, letterSize);
    image.drawText(left + (L::panel - width(letters[1])) / 2, top + L::panel - 8 - hgt, letters[1], letterColour, letterSize);
    image.drawText(left + 8, top + (L::panel - hgt) / 2, letters[2], letterColour, letterSize);
    image.drawText(left + L::panel - 8 - width(letters[3]), top + (L::panel - hgt) / 2, letters[3], letterColour, letterSize);
}

// Each view's VOI marks: per picture cell, the number (from 1) of the last VOI found there, in
// the slice shown and anywhere along the view; 0 for none.
struct ViewMarks {
    std::vector<int> slice, elsewhere;
    ViewMarks() : slice(cubeSize * cubeSize, 0), elsewhere(cubeSize * cubeSize, 0) {}
};

// Blends each marked cell once, so VOIs stacked along the view do not add up.
void drawMarks(RgbImage& image, int view, const ViewMarks& marks, const VOI& voi, Opacity opacity) {
    for (int row = 0; row < cubeSize; ++row)
        for (int column = 0; column < cubeSize; ++column) {
            const std::size_t cell = std::size_t(row) * cubeSize + column;
            if (marks.elsewhere[cell] == 0) continue;
            const int x = L::panelLeft(view) + column * L::scale, y = L::panelTop + row * L::scale;
            for (int dy = 0; dy < L::scale; ++dy)
                for (int dx = 0; dx < L::scale; ++dx) {
                    Rgb colour = image.at(x + dx, y + dy);
                    colour = mix(colour, voiColour(voi.vois[std::size_t(marks.elsewhere[cell] - 1)].color), opacity.elsewhere);
                    if (marks.slice[cell] != 0)
                        colour = mix(colour, voiColour(voi.vois[std::size_t(marks.slice[cell] - 1)].color), opacity.slice);
                    image.set(x + dx, y + dy, colour);
                }
        }
}

} // namespace

Preview renderPreview(const VOI& voi, const std::string& title, const Underlay* underlay) {
    const VoxelConvention convention = voiConvention(voi);

    Preview preview;
    // The centre of all voxels that lie in the cube, rounded to a voxel.
    double sum[3] = {0, 0, 0};
    long long inside = 0;
    for (const auto& entry : voi.vois)
        for (const auto& stored : entry.voxels) {
            const glm::ivec3 cube = cubeVoxel(stored, convention);
            if (!insideCube(cube)) {
                ++preview.outside;
                continue;
            }
            for (int a = 0; a < 3; ++a) sum[a] += cube[a];
            ++inside;
        }
    if (inside > 0) {
        // VOIs apart from each other can leave their common centre in empty space: each view
        // then moves to the nearest VOI, through its middle, so it shows some VOI in full.
        bool occupied[3][cubeSize] = {};
        for (const auto& entry : voi.vois)
            for (const auto& stored : entry.voxels) {
                const glm::ivec3 cube = cubeVoxel(stored, convention);
                if (insideCube(cube))
                    for (int a = 0; a < 3; ++a) occupied[a][cube[a]] = true;
            }
        for (int a = 0; a < 3; ++a) {
            const int mean = int(std::floor(sum[a] / double(inside) + 0.5));
            int best = mean;
            for (int d = 0; d < cubeSize; ++d) {
                if (mean - d >= 0 && occupied[a][mean - d]) { best = mean - d; break; }
                if (mean + d < cubeSize && occupied[a][mean + d]) { best = mean + d; break; }
            }
            if (!occupied[a][mean]) {
                // Through the middle of the run of occupied planes found, not along its edge.
                int low = best, high = best;
                while (low > 0 && occupied[a][low - 1]) --low;
                while (high + 1 < cubeSize && occupied[a][high + 1]) ++high;
                best = (low + high) / 2;
            }
            preview.centre[a] = best;
        }
    }

    // Legend rows below the views: a key line, then the VOIs in columns.
    constexpr int columns = 4, rowHeight = 26, maxShown = 64;
    const int shown = std::min<int>(int(voi.vois.size()), maxShown);
    const int legendTop = L::panelTop + L::panel + 22;
    const int rows = (shown + columns - 1) / columns + (int(voi.vois.size()) > shown ? 1 : 0);
    const int width = L::panelLeft(3) - L::gap + L::margin;
    const int height = legendTop + rowHeight * (1 + std::max(rows, 1)) + (preview.outside > 0 ? rowHeight : 0) + 12;
    preview.image = RgbImage(width, height, pageColour);
    RgbImage& image = preview.image;

    image.drawText(L::margin, 20, fitText(title, width - 2 * L::margin, textSize), textColour, textSize);

    ViewMarks marks[3];
    for (std::size_t n = 0; n < voi.vois.size(); ++n)
        for (const auto& stored : voi.vois[n].voxels) {
            const glm::ivec3 cube = cubeVoxel(stored, convention);
            if (!insideCube(cube)) continue;
            for (int view = 0; view < 3; ++view) {
                const std::size_t cell = std::size_t(cube[verticalAxis[view]]) * cubeSize + cube[horizontalAxis[view]];
                marks[view].elsewhere[cell] = int(n + 1);
                if (cube[sliceAxis[view]] == preview.centre[sliceAxis[view]]) marks[view].slice[cell] = int(n + 1);
            }
        }
    for (int view = 0; view < 3; ++view) {
        drawPanelGround(image, view, preview.centre, underlay);
        drawPanelFrame(image, view, preview.centre);
        drawMarks(image, view, marks[view], voi, underlay != nullptr ? onAnatomy : onBlack);
    }
    for (int view = 0; view < 3; ++view) {
        drawAcMark(image, L::panelLeft(view), L::panelTop);
        drawPanelLabels(image, view, preview.centre, convention);
    }

    // Key: what the kinds of marks mean, on the ground the views have.
    int x = L::margin, y = legendTop;
    const Rgb sample{255, 40, 50}, ground = underlay != nullptr ? Rgb{128, 128, 128} : cubeColour;
    const Opacity opacity = underlay != nullptr ? onAnatomy : onBlack;
    const Rgb elsewhere = mix(ground, sample, opacity.elsewhere);
    const auto keyText = [&](const char* text) { return 32 + image.drawText(x + 32, y, text, mutedText, textSize) + 28; };
    image.fillRect(x, y, 24, 14, mix(elsewhere, sample, opacity.slice));
    x += keyText("in the slice shown");
    image.fillRect(x, y, 24, 14, elsewhere);
    x += keyText("elsewhere along the view");
    image.fillRect(x, y, 24, 14, cubeColour);
    image.outlineRect(x + 3, y + 3, 18, 8, boxColour);
    x += keyText("Talairach box");
    image.fillRect(x, y, 24, 14, cubeColour);
    image.fillRect(x + 5, y + 6, 14, 2, acColour);
    image.fillRect(x + 11, y + 1, 2, 12, acColour);
    keyText("anterior commissure (AC)");

    // Each entry with its label number in the NIfTI export.
    const int columnWidth = (width - 2 * L::margin) / columns;
    std::vector<std::string> names;
    for (int n = 0; n < shown; ++n) names.push_back(voi.vois[std::size_t(n)].NameOfVOI.value());
    for (int n = 0; n < shown; ++n) {
        const single_VOI& entry = voi.vois[std::size_t(n)];
        const int cx = L::margin + (n % columns) * columnWidth;
        const int cy = legendTop + rowHeight * (1 + n / columns);
        image.fillRect(cx, cy, 24, 14, voiColour(entry.color));
        image.outlineRect(cx, cy, 24, 14, mutedText);
        const int numbered = cx + 32 + image.drawText(cx + 32, cy, std::to_string(n + 1) + " ", mutedText, textSize);
        const std::string count = "  " + withThousands(static_cast<long long>(entry.voxels.size())) + " vx";
        const int room = cx + columnWidth - 12 - numbered - RgbImage::textWidth(count, textSize);
        const int drawn = image.drawText(numbered, cy, fitText(names[std::size_t(n)], room, textSize, names), textColour, textSize);
        image.drawText(numbered + drawn, cy, count, mutedText, textSize);
    }
    int nextRow = legendTop + rowHeight * (1 + (shown + columns - 1) / columns);
    if (int(voi.vois.size()) > shown) {
        image.drawText(L::margin, nextRow, "... and " + std::to_string(voi.vois.size() - std::size_t(shown)) +
                                               " more VOIs not listed", mutedText, textSize);
        nextRow += rowHeight;
    }
    if (voi.vois.empty()) {
        image.drawText(L::margin, nextRow, "This file holds no VOI.", mutedText, textSize);
        nextRow += rowHeight;
    }
    if (preview.outside > 0)
        image.drawText(L::margin, nextRow, withThousands(preview.outside) + " voxels lie outside the cube and are not drawn",
                       warningColour, textSize);
    return preview;
}

} // namespace vocelle
