#pragma once
// The ROI conversion written plainly, the reference the engine must match: every cube voxel is
// carried into the functional grid and kept when the functional voxel nearest to it belongs to
// the region, one full scan of the cube per region.

#include <vocelle/math/Matrix_math.h>
#include <vocelle/math/trffunctions.h>
#include "tests/math/randomstudy.h"
#include <vocelle/volume/volume.h>

#include <glm/common.hpp>

namespace vocelle {

// The cube voxels of each region, in the order ROI::ConvertToVOI lists them.
inline std::vector<randomstudy::Voxels> literalConversion(const ROI& roi, const FMR& fmr,
                                                          const TRF& ia, const TRF& fa,
                                                          const TRF& acpc, const TAL& tal) {
    float m[4][4];
    createVMR2FMRmatrix(fmr, ia, fa, acpc, m);
    const glm::tvec3<int> n = glm::max(
        glm::tvec3<int>(fmr.ResolutionX.value(), fmr.ResolutionY.value(), fmr.NrOfSlices.value()),
        0);
    Volume<float> mask(n);
    std::vector<randomstudy::Voxels> kept;
    // Only the stored regions and voxels count, whatever the counts claim.
    for (long long r = 0; r < std::min<long long>(roi.NrOfTCPlots.value(), roi.rois.size()); ++r) {
        const single_ROI& region = roi.rois[r];
        mask.setAll(0.0f);
        for (long long k = 0;
             k < std::min<long long>(region.NrOfVoxels.value(), region.voxels.size()); ++k) {
            const glm::tvec3<int>& v = region.voxels[k];
            if (v.x >= 0 && v.x < n.x && v.y >= 0 && v.y < n.y && v.z >= 0 && v.z < n.z)
                mask[v] = 1;
        }
        auto& voxels = kept.emplace_back();
        for (int z = 0; z < 256; ++z)
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    float p[4] = {float(x), float(y), float(z), 1.0f}, q[4];
                    // Landmarks apply from FileVersion 1 on; any TAL read gives Talairach output.
                    if (tal.FileVersion.value() > 0) untal(p, tal);
                    for (int a = 0; a < 3; ++a)
                        p[a] += -127.5f;
                    multiplyMatrixVector(m, p, q);
                    for (int a = 0; a < 3; ++a) // integer subtraction first, then the conversion
                        q[a] += static_cast<float>(n[a] - 1) * 0.5f;
                    if (mask.nearest(q[0], q[1], q[2]) > 0.5f)
                        voxels.push_back(tal.FileVersion.value() == -1
                                             ? glm::tvec3<int>(x, y, z)
                                             : glm::tvec3<int>(128 - z, 128 - x, 128 - y));
                }
    }
    return kept;
}

} // namespace vocelle
