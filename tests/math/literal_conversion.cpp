// The ROI conversion written plainly, one full scan of the 256-voxel cube per region: every
// cube voxel is carried into the functional grid and kept when the functional voxel nearest to
// it belongs to the region. It is kept here, unchanged, as the reference that the engine behind
// ROI::ConvertToVOI must match byte for byte.

#include "tests/math/literal_conversion.h"

#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"
#include "math/Matrix_math.h"
#include "math/trffunctions.h"
#include "volume/volume.h"

#include <algorithm>
#include <string>

namespace {

// Entry colours (red, green, blue), repeating every six regions.
const glm::tvec3<int> voiColours[6] = {
    {255, 40, 50}, {80, 255, 80}, {40, 30, 255}, {255, 40, 255}, {80, 255, 255}, {255, 255, 30},
};

const int entryWidth = 12;

// FileVersion -1 marks a document that was built empty or read without a FileVersion line.
const int absentVersion = -1;

} // namespace

VOI literalConvertToVOI(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa,
                        const TRF& acpc, const TAL& tal) {
    float m[4][4];
    createVMR2FMRmatrix(fmr, ia, fa, acpc, m);

    VOI result;

    // A grid with a non-positive size holds no voxel: the mask stays without elements, nothing
    // is marked and nothing can be found in it, so every entry gets 0 voxels.
    const int nx = std::max(fmr.ResolutionX.value(), 0);
    const int ny = std::max(fmr.ResolutionY.value(), 0);
    const int nz = std::max(fmr.NrOfSlices.value(), 0);
    Volume<float> mask(nx, ny, nz);
    float p[4];
    float q[4];
    p[3] = 1.0f;

    // The two tests differ on purpose: landmarks are applied only from FileVersion 1 on, while
    // any TAL that was read at all switches the output to Talairach coordinates.
    const bool mapFromTalairach = tal.FileVersion.value() > 0;
    const bool talairachOutput = tal.FileVersion.value() != absentVersion;

    // Only stored entries are converted, even if NrOfTCPlots claims more.
    const long long regions =
        std::min<long long>(roi.NrOfTCPlots.value(), static_cast<long long>(roi.rois.size()));
    if (regions >= 1) {
        // Integer subtraction first, then the conversion to float.
        const float hx = static_cast<float>(nx - 1) * 0.5f;
        const float hy = static_cast<float>(ny - 1) * 0.5f;
        const float hz = static_cast<float>(nz - 1) * 0.5f;

        for (long long i = 0; i < regions; ++i) {
            const single_ROI& region = roi.rois[static_cast<size_t>(i)];

            mask.setAll(0.0f);
            const long long marked = std::min<long long>(
                region.NrOfVoxels.value(), static_cast<long long>(region.voxels.size()));
            for (long long k = 0; k < marked; ++k) {
                const glm::tvec3<int>& v = region.voxels[static_cast<size_t>(k)];
                // A voxel outside the grid cannot be part of it: skipped, never written.
                if (v[0] < 0 || v[0] >= nx || v[1] < 0 || v[1] >= ny || v[2] < 0 || v[2] >= nz)
                    continue;
                mask.data()[(v[2] * ny + v[1]) * nx + v[0]] = 1.0f;
            }

            single_VOI entry;
            entry.NameOfVOI.set("NameOfVOI", "VOI " + std::to_string(i + 1), entryWidth);
            entry.color = voiColours[i % 6];

            for (int z = 0; z < 256; ++z) {
                for (int y = 0; y < 256; ++y) {
                    for (int x = 0; x < 256; ++x) {
                        p[0] = static_cast<float>(x);
                        p[1] = static_cast<float>(y);
                        p[2] = static_cast<float>(z);
                        if (mapFromTalairach) untal(p, tal);
                        p[0] += -127.5f;
                        p[1] += -127.5f;
                        p[2] += -127.5f;
                        multiplyMatrixVector(m, p, q);
                        q[0] += hx;
                        q[1] += hy;
                        q[2] += hz;
                        // nearest reads NaN, infinite and far positions as outside (zero).
                        const float s = mask.nearest(q[0], q[1], q[2]);
                        if (s > 0.5f) {
                            if (talairachOutput)
                                entry.voxels.emplace_back(128 - z, 128 - x, 128 - y);
                            else
                                entry.voxels.emplace_back(x, y, z);
                        }
                    }
                }
            }

            entry.NrOfVoxels.set("NrOfVoxels", static_cast<int>(entry.voxels.size()), entryWidth);
            result.vois.push_back(std::move(entry));
        }
    }

    result.NrOfVOIs = static_cast<int>(result.vois.size());

    // The AC-PC transformation decides first: without it the coordinates are those of the
    // native cube, whatever the TAL holds.
    if (acpc.FileVersion.value() == absentVersion)
        result.ReferenceSpace = std::string("CV");
    else if (!talairachOutput)
        result.ReferenceSpace = std::string("ACPC");
    else
        result.ReferenceSpace = std::string("TAL");

    return result;
}
