#pragma once
// A small RGB picture in memory with just the drawing the preview needs, text through Cairo in
// DejaVu Sans (any UTF-8 text), and its PNG encoding through libpng.

#include <cstdint>
#include <string>
#include <vector>

namespace vocelle {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// a * (1 - t) + b * t per channel, t from 0 to 1.
Rgb mix(Rgb a, Rgb b, float t);

class RgbImage {
public:
    RgbImage(int width, int height, Rgb background);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const;
    // Drawing outside the picture is clipped.
    void set(int x, int y, Rgb colour);
    void fillRect(int x, int y, int w, int h, Rgb colour);
    void outlineRect(int x, int y, int w, int h, Rgb colour);
    // A line one pixel wide from (x0, y0) to (x1, y1), both ends included.
    void drawLine(int x0, int y0, int x1, int y1, Rgb colour);
    // Text of `size` pixels to the em with the top of its capitals at y; bytes that are not
    // UTF-8 are drawn as U+FFFD. Returns the width drawn.
    int drawText(int x, int y, const std::string& text, Rgb colour, double size);

    static int textWidth(const std::string& text, double size);
    // Height of a capital letter.
    static int textHeight(double size);

    // Row after row, one 0x00rrggbb word a pixel (Cairo's RGB24).
    const std::vector<std::uint32_t>& pixels() const { return pixels_; }

private:
    int width_, height_;
    std::vector<std::uint32_t> pixels_;
};

// The picture as PNG file bytes; throws std::runtime_error when libpng refuses it.
std::string encodePng(const RgbImage& image);

// Text that fits maxWidth pixels at `size`: shortened in the middle with an ellipsis, the cut
// moved towards one end where that keeps it apart from each of `others` (names shown beside it
// that share its start and end).
std::string fitText(const std::string& text, int maxWidth, double size,
                    const std::vector<std::string>& others = {});

// How text is measured and drawn, in place of DejaVu Sans through Cairo, for a caller that needs
// pictures independent of the fonts installed and how they are rendered (a test comparing whole
// pictures). It gets the text as drawText shows it: U+FFFD for bytes that are not UTF-8, blanks
// for control characters.
class TextFace {
public:
    virtual ~TextFace() = default;
    virtual int width(const std::string& shown, double size) const = 0;
    // Draws with the top of the capitals at y; returns the width drawn.
    virtual int draw(RgbImage& image, int x, int y, const std::string& shown, Rgb colour, double size) const = 0;
};

// The face of all text drawn from now on; nullptr goes back to DejaVu Sans. Not to be changed
// while pictures are being drawn.
void setTextFace(const TextFace* face);

} // namespace vocelle
