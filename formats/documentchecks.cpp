#include <vocelle/formats/documentchecks.h>

#include <vocelle/formats/fileversion.h>
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/math/trffunctions.h>

#include <string>
#include <utility>

namespace vocelle {

namespace {

void refuseIf(bool wrong, const std::string& what, const std::string& path) {
    if (wrong) throw FaultError({what, path});
}

// Set, and above zero (NaN is not).
template <typename T> bool positive(const Line<T>& line) {
    return line.isSet() && line.value() > T(0);
}

} // namespace

void checkReadCompletely(const Fault& readFault) {
    if (!readFault.empty()) throw FaultError(readFault);
}

void checkScanGeometry(const FMR& fmr) {
    const std::pair<const char*, bool> values[] = {
        {"ResolutionX", positive(fmr.ResolutionX)},
        {"ResolutionY", positive(fmr.ResolutionY)},
        {"NrOfSlices", positive(fmr.NrOfSlices)},
        {"InplaneResolutionX", positive(fmr.InplaneResolutionX)},
        {"InplaneResolutionY", positive(fmr.InplaneResolutionY)},
        {"SliceThickness", positive(fmr.SliceThickness)},
        // A gap may be negative (overlapping slices), but not so much that slices stop advancing.
        {"slice distance (SliceThickness + SliceGap)", sliceDistance(fmr) > 0.0f}};
    for (const auto& [key, isPositive] : values)
        refuseIf(!isPositive, std::string("FMR has no positive ") + key, fmr.fileName);
}

void checkTransformations(const TRF& ia, const TRF& fa, const TRF& acpc) {
    refuseIf(!ia.hasMatrix(), "Initial alignment has no matrix", ia.fileName);
    refuseIf(!positive(ia.ToVMRVoxelRes), "Initial alignment has no positive ToVMRVoxelRes",
             ia.fileName);
    refuseIf(!countsAsAbsent(fa) && !fa.hasMatrix(), "Fine alignment has no matrix", fa.fileName);
    refuseIf(!countsAsAbsent(acpc) && !acpc.hasMatrix(), "AC-PC transformation has no matrix",
             acpc.fileName);
}

} // namespace vocelle
