#pragma once
// A small RGB picture in memory with just the drawing the preview needs, text included (a
// built-in 5 x 7 pixel font covering printable ASCII), and its PNG encoding through libpng.

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
    // Text with its top left corner at (x, y), each font pixel drawn scale x scale. Bytes outside
    // printable ASCII are drawn as '?'. Returns the width drawn.
    int drawText(int x, int y, const std::string& text, Rgb colour, int scale);

    static int textWidth(const std::string& text, int scale) { return int(text.size()) * advance * scale; }
    static int textHeight(int scale) { return glyphHeight * scale; }
    static constexpr int glyphWidth = 5, glyphHeight = 7, advance = 6;

    // Row after row, three bytes a pixel.
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }

private:
    int width_, height_;
    std::vector<std::uint8_t> pixels_;
};

// The picture as PNG file bytes; throws std::runtime_error when libpng refuses it.
std::string encodePng(const RgbImage& image);

// Cuts text to at most maxCharacters, ending it with ".." when cut.
std::string fitText(const std::string& text, int maxCharacters);

} // namespace vocelle
