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
// NrOfSlices, InplaneResolutionX, InplaneResolutionY and SliceThickness set and positive. The
// position section may be missing: older files have none.
void checkScanGeometry(const FMR& fmr);
// A matrix and a positive ToVMRVoxelRes.
void checkInitialAlignment(const TRF& ia);

} // namespace vocelle
