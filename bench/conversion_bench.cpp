// The whole ROI conversion on the example study's subject 1: one region per iteration, so one
// full scan of the 256-voxel cube, into Talairach and into AC-PC space.
#include "formats/myFMR.h"
#include "formats/myROI.h"
#include "formats/myTAL.h"
#include "formats/myTRF.h"
#include "formats/myVOI.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string subject = std::string(VOCELLE_EXAMPLES_DIR) + "/study/s1/";

// arg 0: Talairach (untal for every voxel), arg 1: AC-PC space.
void BM_ConvertOneRegion(benchmark::State& state) {
    ROI roi(subject + "run1.roi");
    roi.rois = {roi.rois.at(1)}; // the hand area
    roi.NrOfTCPlots.value() = 1;
    const FMR fmr(subject + "run1.fmr", false);
    const TRF ia(subject + "run1_IA.trf");
    const TRF fa(subject + "run1_FA.trf");
    const TRF acpc(subject + "anat_ACPC.trf");
    const TAL tal = state.range(0) == 0 ? TAL(subject + "anat.tal") : TAL();
    long long kept = 0;
    for (auto _ : state) {
        const VOI voi = roi.ConvertToVOI(fmr, ia, fa, acpc, tal);
        kept += voi.vois[0].NrOfVoxels.value();
        benchmark::DoNotOptimize(kept);
    }
    state.SetItemsProcessed(state.iterations() * 256 * 256 * 256);
    state.counters["voxels kept"] =
        static_cast<double>(kept) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ConvertOneRegion)->Arg(0)->Arg(1)->ArgNames({"acpc"})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
