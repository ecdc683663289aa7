#pragma once
// The reference conversion: ROI::ConvertToVOI as a plain scan of the whole cube per region.

class FMR;
class ROI;
class TAL;
class TRF;
class VOI;

VOI literalConvertToVOI(const ROI& roi, const FMR& fmr, const TRF& ia, const TRF& fa,
                        const TRF& acpc, const TAL& tal);
