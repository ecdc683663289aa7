#pragma once
// A picture to check a conversion by eye: three orthogonal views of the 256-voxel cube
// (axial, coronal, sagittal) through the centre of all VOI voxels (each view moved into the
// nearest VOI when that centre falls between VOIs), each VOI in its own colour
// (full colour in the slice shown, faint where it lies elsewhere along the viewing direction),
// the Talairach box in grey, the AC marked, orientation letters on every edge, and a legend
// with each VOI's label number (as in the NIfTI export), name and voxel count; optionally over an
// anatomical image.
//
// Views keep the cube's own axes: axial shows x (anterior at the top) against z (the subject's
// right on the left), coronal y (superior at the top) against z, sagittal y against x (anterior
// on the left). So the subject's right appears on the left, as LeftRightConvention 1 shows it.

#include <vocelle/formats/myVOI.h>
#include <vocelle/imaging/rgbimage.h>

#include <glm/vec3.hpp>

#include <string>

namespace vocelle {

struct PreviewLayout {
    static constexpr int scale = 2;          // picture pixels per cube voxel
    static constexpr int panel = 256 * scale; // side of one view
    static constexpr int margin = 24;
    static constexpr int gap = 24;
    static constexpr int panelTop = 76;
    // Left edge of view 0 (axial), 1 (coronal), 2 (sagittal).
    static constexpr int panelLeft(int view) { return margin + view * (panel + gap); }
};

struct Preview {
    RgbImage image{1, 1, Rgb{}};
    glm::ivec3 centre{128, 128, 128}; // cube voxel the three views pass through (the AC without voxels)
    long long outside = 0;            // stored voxels outside the cube, not drawn
};

class Underlay;

// Throws std::runtime_error naming the file when ReferenceSpace is unknown. With an underlay the
// views show it in grey and the VOIs over it, partly transparent.
Preview renderPreview(const VOI& voi, const std::string& title, const Underlay* underlay = nullptr);

} // namespace vocelle
