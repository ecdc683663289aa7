// The per-voxel work of the conversion: untal and one matrix-vector product for every voxel of
// the 256-voxel cube, and the once-per-conversion matrix chain.
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/math/Matrix_math.h>
#include <vocelle/math/trffunctions.h>

#include <benchmark/benchmark.h>

#include <sstream>

using namespace vocelle;

namespace {

TAL makeTal() {
    TAL tal;
    tal.FileVersion.set("FileVersion", 1, 13);
    tal.landmarks[TAL::PC] = {153, 128, 128};
    tal.landmarks[TAL::AP] = {61, 128, 128};
    tal.landmarks[TAL::PP] = {235, 128, 128};
    tal.landmarks[TAL::SP] = {128, 50, 128};
    tal.landmarks[TAL::IP] = {128, 173, 128};
    tal.landmarks[TAL::RP] = {128, 128, 62};
    tal.landmarks[TAL::LP] = {128, 128, 193};
    return tal;
}

void BM_CubeScanUntalAndProduct(benchmark::State& state) {
    const TAL tal = makeTal();
    const float m[4][4] = {{0.33f, 0.01f, 0.0f, 1.5f},
                           {-0.01f, 0.33f, 0.02f, -2.0f},
                           {0.0f, -0.02f, -0.33f, 0.5f},
                           {0, 0, 0, 1}};
    for (auto _ : state) {
        float sum = 0.0f;
        float p[4] = {0, 0, 0, 1};
        float q[4];
        for (int z = 0; z < 256; ++z)
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    p[0] = static_cast<float>(x);
                    p[1] = static_cast<float>(y);
                    p[2] = static_cast<float>(z);
                    untal(p, tal);
                    p[0] += -127.5f;
                    p[1] += -127.5f;
                    p[2] += -127.5f;
                    multiplyMatrixVector(m, p, q);
                    sum += q[0];
                }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 256 * 256 * 256);
}
BENCHMARK(BM_CubeScanUntalAndProduct)->Unit(benchmark::kMillisecond);

void BM_CreateVMR2FMRmatrix(benchmark::State& state) {
    std::istringstream text("FileVersion: 6\nInplaneResolutionX: 3\nInplaneResolutionY: 3\n"
                            "SliceThickness: 3\nSliceGap: 0.5\n"
                            "PositionInformationFromImageHeaders\nPosInfosVerified: 1\n"
                            "Slice1CenterZ: -40\nSliceNCenterZ: 50\nGapThickness: 0\n");
    const FMR fmr(text, "run.fmr", false);
    TRF ia, fa, acpc;
    ia.ToVMRVoxelRes.set("ToVMRVoxelRes", 1.0f, 15);
    fa.FileVersion.set("FileVersion", 5, 13);
    acpc.FileVersion.set("FileVersion", 5, 13);
    fa.matrix[0][1] = 0.1f;
    fa.matrix[1][0] = -0.1f;
    fa.matrix[0][3] = 2.0f;
    float out[4][4];
    for (auto _ : state) {
        createVMR2FMRmatrix(fmr, ia, fa, acpc, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_CreateVMR2FMRmatrix);

} // namespace

BENCHMARK_MAIN();
