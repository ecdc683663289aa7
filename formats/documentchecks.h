#pragma once
// The checks a job's documents pass before they feed the mapping into the functional grid: a
// damaged one would give a result that looks right and is not. Each refusal is a FaultError
// naming the file and what is wrong with it.

#include <vocelle/text/fault.h>

namespace vocelle {

class FMR;
class TRF;

// Refuses a document that was read only partly (its readFault is not empty).
void checkReadCompletely(const Fault& readFault);
// The grid and voxel size the mapping divides by and scales with: ResolutionX, ResolutionY,
// NrOfSlices, InplaneResolutionX, InplaneResolutionY, SliceThickness and the slice distance
// (SliceThickness + SliceGap) set and positive. The position section may be missing: older
// files have none.
void checkScanGeometry(const FMR& fmr);
// The initial alignment is always used: a matrix and a positive ToVMRVoxelRes. The fine alignment
// and the AC-PC transformation only when they have a FileVersion, and then their matrix too, or
// the identity would stand in for it.
void checkTransformations(const TRF& ia, const TRF& fa, const TRF& acpc);

} // namespace vocelle
