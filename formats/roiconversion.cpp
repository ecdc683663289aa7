// ROI::ConvertToVOI: regions drawn on functional slices become volumes of interest in the
// 256-voxel anatomical cube.
//
// The conversion works backwards: every cube voxel is carried into the functional grid and kept
// when the functional voxel nearest to it belongs to the region, so the result has neither gaps
// nor duplicates whatever the voxel sizes. The engine in math/conversionengine does that for all
// regions in one pass, visiting only the cube voxels that can land in a region; its output is
// byte for byte that of the plain scan, which the tests keep as their reference. The conversion
// is a member of ROI, so formats/ calls into math/ here and math/ reads the documents back: the
// one place where the two layers use each other.

#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/conversionengine.h>

namespace vocelle {

VOI ROI::ConvertToVOI(const FMR& fmr, const TRF& ia, const TRF& fa, const TRF& acpc,
                      const TAL& tal) const {
    return convertROIToVOI(*this, fmr, ia, fa, acpc, tal);
}

} // namespace vocelle
