#pragma once
// A picture of regions measured over a run: one panel per region with its time course, the
// fitted model over it and the design's predictors below, each in its own colour, and a title
// per panel. Text is drawn as in the preview. It takes plain numbers, so it knows nothing of how
// they were measured.

#include <vocelle/imaging/rgbimage.h>

#include <string>
#include <vector>

namespace vocelle {

struct PlotPanel {
    std::string title;
    std::vector<double> course; // one value per volume; empty for a region without voxels
    std::vector<double> fitted; // the same length, or empty
};

struct PlotPredictor {
    std::string name;
    Rgb colour;
    std::vector<double> values; // one per volume
};

RgbImage plotRegions(const std::string& title, const std::vector<PlotPanel>& panels,
                     const std::vector<PlotPredictor>& predictors);

} // namespace vocelle
