#include <vocelle/imaging/rgbimage.h>

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace vocelle {

namespace {

const char* const fontFamily = "DejaVu Sans";
// DejaVu Sans capitals stand 0.729 em high.
constexpr double capitalHeight = 0.729;
const std::string ellipsis = "\xe2\x80\xa6";

const TextFace* replacedFace = nullptr;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// Cairo and fontconfig keep font caches for the life of the process; handing them back at exit
// keeps leak checkers quiet about memory that was never lost.
void releaseFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}

Context textContext(cairo_surface_t* surface, double size) {
    static const bool releasedAtExit = std::atexit(releaseFontCaches) == 0;
    (void)releasedAtExit;
    Context cr(cairo_create(surface), cairo_destroy);
    cairo_select_font_face(cr.get(), fontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), size);
    return cr;
}

// The text's code points, each as its UTF-8 bytes: a byte that starts no valid sequence becomes
// U+FFFD and control characters blanks, since Cairo draws nothing of a string with either.
std::vector<std::string> codePoints(const std::string& text) {
    std::vector<std::string> points;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
        bool valid = length > 0 && i + std::size_t(length) <= text.size();
        std::uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1fu : length == 3 ? lead & 0x0fu : lead & 0x07u;
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + std::size_t(k)]);
            valid = (next & 0xc0) == 0x80;
            code = (code << 6) | (next & 0x3fu);
        }
        const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= smallest[length] && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
        if (!valid) {
            points.push_back("\xef\xbf\xbd");
            ++i;
        } else {
            points.push_back(code < 0x20 || code == 0x7f ? std::string(" ") : text.substr(i, std::size_t(length)));
            i += std::size_t(length);
        }
    }
    return points;
}

std::string joined(const std::vector<std::string>& points, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += points[i];
    return text;
}

std::string drawable(const std::string& text) {
    const std::vector<std::string> points = codePoints(text);
    return joined(points, 0, points.size());
}

} // namespace

Rgb mix(Rgb a, Rgb b, float t) {
    const auto channel = [t](std::uint8_t x, std::uint8_t y) {
        return static_cast<std::uint8_t>(float(x) + (float(y) - float(x)) * t + 0.5f);
    };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

RgbImage::RgbImage(int width, int height, Rgb background)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), pixels_(std::size_t(width_) * height_) {
    fillRect(0, 0, width_, height_, background);
}

Rgb RgbImage::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const std::uint32_t p = pixels_[std::size_t(y) * width_ + x];
    return {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)};
}

void RgbImage::set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[std::size_t(y) * width_ + x] = std::uint32_t(colour.r) << 16 | std::uint32_t(colour.g) << 8 | colour.b;
}

void RgbImage::fillRect(int x, int y, int w, int h, Rgb colour) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, width_), y1 = std::min(y + h, height_);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) set(xx, yy, colour);
}

void RgbImage::outlineRect(int x, int y, int w, int h, Rgb colour) {
    fillRect(x, y, w, 1, colour);
    fillRect(x, y + h - 1, w, 1, colour);
    fillRect(x, y, 1, h, colour);
    fillRect(x + w - 1, y, 1, h, colour);
}

void RgbImage::drawLine(int x0, int y0, int x1, int y1, Rgb colour) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    for (int error = dx + dy;;) {
        set(x0, y0, colour);
        if (x0 == x1 && y0 == y1) return;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void setTextFace(const TextFace* face) { replacedFace = face; }

int RgbImage::drawText(int x, int y, const std::string& text, Rgb colour, double size) {
    const std::string shown = drawable(text);
    if (replacedFace != nullptr) return replacedFace->draw(*this, x, y, shown, colour, size);
    Surface surface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels_.data()),
                                                        CAIRO_FORMAT_RGB24, width_, height_, width_ * 4),
                    cairo_surface_destroy);
    cairo_text_extents_t extents{};
    {
        const Context cr = textContext(surface.get(), size);
        cairo_set_source_rgb(cr.get(), colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
        cairo_text_extents(cr.get(), shown.c_str(), &extents);
        cairo_move_to(cr.get(), x, y + std::round(capitalHeight * size));
        cairo_show_text(cr.get(), shown.c_str());
    }
    cairo_surface_flush(surface.get());
    return int(std::lround(extents.x_advance));
}

int RgbImage::textWidth(const std::string& text, double size) {
    if (replacedFace != nullptr) return replacedFace->width(drawable(text), size);
    const Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1), cairo_surface_destroy);
    const Context cr = textContext(surface.get(), size);
    cairo_text_extents_t extents{};
    cairo_text_extents(cr.get(), drawable(text).c_str(), &extents);
    return int(std::lround(extents.x_advance));
}

int RgbImage::textHeight(double size) { return int(std::lround(capitalHeight * size)); }

std::string encodePng(const RgbImage& image) {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(image.pixels().size() * 3);
    for (const std::uint32_t p : image.pixels()) {
        rgb.push_back(std::uint8_t(p >> 16));
        rgb.push_back(std::uint8_t(p >> 8));
        rgb.push_back(std::uint8_t(p));
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width());
    png.height = static_cast<png_uint_32>(image.height());
    png.format = PNG_FORMAT_RGB;

    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(png, size, 0, rgb.data(), 0, nullptr))
        throw std::runtime_error(std::string("PNG encoding failed: ") + png.message);
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&png, &bytes[0], &size, 0, rgb.data(), 0, nullptr))
        throw std::runtime_error(std::string("PNG encoding failed: ") + png.message);
    bytes.resize(size);
    return bytes;
}

namespace {

// The code points a shortened text can show: all of them, or for a long text its first and last
// `side` (the middle is cut in any case), so that the cost does not grow with the text.
struct TextEnds {
    std::vector<std::string> points;
    bool whole = true;
};

constexpr std::size_t side = 512;

TextEnds textEnds(const std::string& text) {
    // A code point takes at most 4 bytes.
    if (text.size() <= 8 * side) return {codePoints(text), true};
    std::vector<std::string> front = codePoints(text.substr(0, 4 * side));
    std::size_t from = text.size() - 4 * side;
    while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xc0) == 0x80) ++from;
    const std::vector<std::string> back = codePoints(text.substr(from));
    front.resize(side);
    front.insert(front.end(), back.end() - std::ptrdiff_t(side), back.end());
    return {front, false};
}

} // namespace

std::string fitText(const std::string& text, int maxWidth, double size, const std::vector<std::string>& others) {
    const TextEnds ends = textEnds(text);
    const std::vector<std::string>& points = ends.points;
    const std::size_t count = points.size();
    if (ends.whole && RgbImage::textWidth(text, size) <= maxWidth) return joined(points, 0, count);
    // Per other text, how many code points this one shares with it at the start and at the end.
    std::vector<std::pair<std::size_t, std::size_t>> shared;
    for (const std::string& other : others) {
        const TextEnds theirs = textEnds(other);
        if (theirs.points == points) continue;
        std::size_t front = 0, back = 0;
        const std::size_t most = std::min(count, theirs.points.size());
        while (front < most && points[front] == theirs.points[front]) ++front;
        while (back < most && points[count - 1 - back] == theirs.points[theirs.points.size() - 1 - back]) ++back;
        shared.emplace_back(front, back);
    }
    // Keeping `keep` code points: `head` from the start and the rest from the end. The cut goes
    // in the middle, unless moving it keeps a difference from every other text in view; the
    // nearest such place is among the middle and the edges of the places each other text rules out.
    const auto shortened = [&](std::size_t keep) {
        const std::size_t low = ends.whole ? 0 : keep - std::min(keep, side), high = std::min(keep, ends.whole ? keep : side);
        const std::size_t middle = std::clamp((keep + 1) / 2, low, high);
        const auto apart = [&](std::size_t h) {
            if (h < low || h > high) return false;
            for (const auto& [front, back] : shared)
                if (h <= front && keep - h <= back) return false;
            return true;
        };
        std::size_t head = middle, best = std::string::npos;
        std::vector<std::size_t> places = {middle, low, high};
        for (const auto& [front, back] : shared) {
            places.push_back(front + 1);
            if (keep >= back + 1) places.push_back(keep - back - 1);
        }
        for (const std::size_t h : places) {
            const std::size_t distance = h > middle ? h - middle : middle - h;
            if (apart(h) && (distance < best || (distance == best && h > head))) {
                head = h;
                best = distance;
            }
        }
        return joined(points, 0, head) + ellipsis + joined(points, count - (keep - head), count);
    };
    // The widest shortening that fits, found by halving: widths grow with the code points kept.
    const auto fits = [&](std::size_t keep) { return RgbImage::textWidth(shortened(keep), size) <= maxWidth; };
    if (!fits(0)) return std::string();
    std::size_t fitting = 0, tooWide = ends.whole ? count : count + 1;
    while (tooWide - fitting > 1) {
        const std::size_t keep = fitting + (tooWide - fitting) / 2;
        (fits(keep) ? fitting : tooWide) = keep;
    }
    return shortened(fitting);
}

} // namespace vocelle
