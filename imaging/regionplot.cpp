#include <vocelle/imaging/regionplot.h>

#include <algorithm>
#include <cmath>

namespace vocelle {

namespace {

const int width = 960;
const int margin = 24;
const int titleHeight = 74;  // the picture's title and the predictors' legend
const int panelTitle = 26;
const int courseHeight = 150;
const int designHeight = 70;
const int panelGap = 18;
const int panelHeight = panelTitle + courseHeight + 6 + designHeight + panelGap;
const double textSize = 13;
const Rgb background{255, 255, 255};
const Rgb frame{190, 190, 190};
const Rgb text{30, 30, 30};
const Rgb courseColour{20, 20, 20};
const Rgb fittedColour{220, 40, 40};

// Colours too light to see on white are darkened.
Rgb visible(Rgb c) {
    return c.r + c.g + c.b > 600 ? mix(c, Rgb{0, 0, 0}, 0.45f) : c;
}

// The values as a line through the box (x, y, w, h), scaled from lo to hi; a flat range sits in
// the middle. Values that are not numbers are passed over: the line joins the ones around them.
void drawSeries(RgbImage& image, const std::vector<double>& values, double lo, double hi, int x,
                int y, int w, int h, Rgb colour, bool line, bool dots) {
    const size_t n = values.size();
    bool drawnBefore = false;
    int lastX = 0, lastY = 0;
    for (size_t t = 0; t < n; ++t) {
        if (!std::isfinite(values[t])) continue;
        const double f = hi > lo ? (values[t] - lo) / (hi - lo) : 0.5;
        const int px = x + (n > 1 ? static_cast<int>(std::lround(double(t) * (w - 1) / double(n - 1))) : w / 2);
        const int py = y + h - 1 - static_cast<int>(std::lround(f * (h - 1)));
        if (line && drawnBefore) image.drawLine(lastX, lastY, px, py, colour);
        if (dots) image.fillRect(px - 1, py - 1, 3, 3, colour);
        drawnBefore = true;
        lastX = px;
        lastY = py;
    }
}

void range(const std::vector<double>& values, double& lo, double& hi) {
    for (double v : values)
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
}

} // namespace

RgbImage plotRegions(const std::string& title, const std::vector<PlotPanel>& panels,
                     const std::vector<PlotPredictor>& predictors) {
    const int height = titleHeight + static_cast<int>(panels.size()) * panelHeight + margin;
    RgbImage image(width, height, background);
    image.drawText(margin, margin - 8, title, text, 16);
    int legend = margin;
    image.drawText(legend, margin + 22, "time course", courseColour, textSize);
    legend += RgbImage::textWidth("time course", textSize) + 24;
    image.drawText(legend, margin + 22, "fitted", fittedColour, textSize);
    legend += RgbImage::textWidth("fitted", textSize) + 36;
    for (const PlotPredictor& p : predictors) {
        image.fillRect(legend, margin + 22, 10, 10, visible(p.colour));
        legend += 14 + image.drawText(legend + 14, margin + 22, p.name, text, textSize) + 20;
    }

    const int plotWidth = width - 2 * margin;
    for (size_t i = 0; i < panels.size(); ++i) {
        const PlotPanel& panel = panels[i];
        const int top = titleHeight + static_cast<int>(i) * panelHeight;
        image.drawText(margin, top + 4, fitText(panel.title, plotWidth, textSize), text, textSize);
        const int courseTop = top + panelTitle;
        image.outlineRect(margin, courseTop, plotWidth, courseHeight, frame);
        double lo = INFINITY, hi = -INFINITY;
        range(panel.course, lo, hi);
        range(panel.fitted, lo, hi);
        const int inner = 6;
        if (lo <= hi) {
            // The fit over the measured line, the measured values as dots over both.
            const auto series = [&](const std::vector<double>& v, Rgb colour, bool line) {
                drawSeries(image, v, lo, hi, margin + inner, courseTop + inner,
                           plotWidth - 2 * inner, courseHeight - 2 * inner, colour, line, !line);
            };
            series(panel.course, courseColour, true);
            series(panel.fitted, fittedColour, true);
            series(panel.course, courseColour, false);
        } else {
            image.drawText(margin + inner, courseTop + courseHeight / 2 - 6,
                           "no voxels in the run's grid", frame, textSize);
        }
        const int designTop = courseTop + courseHeight + 6;
        image.outlineRect(margin, designTop, plotWidth, designHeight, frame);
        for (const PlotPredictor& p : predictors) {
            double plo = INFINITY, phi = -INFINITY;
            range(p.values, plo, phi);
            drawSeries(image, p.values, plo, phi, margin + inner, designTop + inner,
                       plotWidth - 2 * inner, designHeight - 2 * inner, visible(p.colour), true,
                       false);
        }
    }
    return image;
}

} // namespace vocelle
