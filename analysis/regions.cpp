#include <vocelle/analysis/regions.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/math/conversionengine.h>
#include <vocelle/math/cubespace.h>
#include <vocelle/math/gridmapping.h>
#include <vocelle/text/fault.h>

#include <algorithm>
#include <string>

namespace vocelle {

namespace {

void sortUnique(std::vector<long long>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

std::string spaceText(ReferenceSpace space) { return referenceSpaceName(space); }

// The files must map from the space the VOI's voxels are stored in.
void checkSpace(const VOI& voi, const TRF& acpc, const TAL& tal) {
    ReferenceSpace stored;
    parseReferenceSpace(voi.ReferenceSpace.value(), stored); // known: voiConvention checked it
    const bool talGiven = !countsAsAbsent(tal);
    const ReferenceSpace mapped = conversionSpace(!countsAsAbsent(acpc), talGiven);
    // A TAL file goes with TAL VOIs alone, also for CV: a conversion without an AC-PC
    // transformation but with landmarks stores Talairach coordinates under the name CV, which
    // cannot be told from cube voxels.
    std::string what;
    if (stored == ReferenceSpace::TAL && !talGiven)
        what = "A VOI in TAL space needs the TAL file";
    else if (stored != ReferenceSpace::TAL && talGiven)
        what = "A VOI in " + spaceText(stored) + " space must not be given a TAL file";
    else if (stored != mapped)
        what = "A VOI in " + spaceText(stored) +
               " space does not match the files given, which map from " + spaceText(mapped);
    if (!what.empty()) throw FaultError({what, voi.fileName});
}

} // namespace

std::vector<Region> regionsFromROI(const ROI& roi, const FMR& fmr) {
    const long long nx = fmr.ResolutionX.value(), ny = fmr.ResolutionY.value(),
                    nz = fmr.NrOfSlices.value();
    const long long count =
        std::min<long long>(roi.NrOfTCPlots.value(), static_cast<long long>(roi.rois.size()));
    std::vector<Region> regions;
    for (long long r = 0; r < count; ++r) {
        const single_ROI& entry = roi.rois[static_cast<size_t>(r)];
        Region region;
        region.name = "region " + std::to_string(r + 1);
        region.colour = voiColour(r);
        const long long voxels = std::min<long long>(entry.NrOfVoxels.value(),
                                                     static_cast<long long>(entry.voxels.size()));
        for (long long k = 0; k < voxels; ++k) {
            const glm::tvec3<int>& v = entry.voxels[static_cast<size_t>(k)];
            if (v.x < 0 || v.x >= nx || v.y < 0 || v.y >= ny || v.z < 0 || v.z >= nz)
                throw FaultError({region.name + " has voxel " + std::to_string(v.x) + " " +
                                      std::to_string(v.y) + " " + std::to_string(v.z) +
                                      " outside the functional grid",
                                  roi.fileName});
            region.voxels.push_back((v.z * ny + v.y) * nx + v.x);
        }
        sortUnique(region.voxels);
        regions.push_back(std::move(region));
    }
    return regions;
}

std::vector<Region> regionsFromVOI(const VOI& voi, const FMR& fmr, const TRF& ia, const TRF& fa,
                                   const TRF& acpc, const TAL& tal) {
    const VoxelConvention convention = voiConvention(voi);
    checkSpace(voi, acpc, tal);
    const GridMapping mapping(fmr, ia, fa, acpc, tal);
    std::vector<Region> regions;
    for (const single_VOI& entry : voi.vois) {
        Region region;
        region.name = entry.NameOfVOI.value();
        region.colour = entry.color;
        for (const glm::tvec3<int>& stored : entry.voxels) {
            const glm::ivec3 c = cubeVoxel(stored, convention);
            if (!insideCube(c)) continue;
            const long long at = mapping.voxelOf(c.x, c.y, c.z);
            if (at >= 0) region.voxels.push_back(at);
        }
        sortUnique(region.voxels);
        regions.push_back(std::move(region));
    }
    return regions;
}

} // namespace vocelle
