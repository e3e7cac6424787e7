// The terrain passes, the grey range scan and Calc Base's walk in process.
#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "engine/Passes.h"

namespace {

using namespace morv;

const HeightImage& map4096() {
    static const HeightImage m = bench::realisticMap(4096);
    return m;
}

void passBench(benchmark::State& state, const PassTable& table) {
    HeightImage img = map4096();
    for (auto _ : state) {
        runPass(img, table, [](std::int64_t) { return false; });
        benchmark::DoNotOptimize(img.grey());
    }
    state.SetItemsProcessed(state.iterations() * img.pixelCount());
}

void BM_PassFlatten(benchmark::State& s) { passBench(s, flattenTable(128, 0.5f)); }
void BM_PassLower(benchmark::State& s) { passBench(s, lowerTable(128, 228, 0.5f)); }
void BM_PassRaise(benchmark::State& s) { passBench(s, raiseTable(128, 200)); }
void BM_PassFill(benchmark::State& s) { passBench(s, fillTable(128, 0.5)); }
void BM_PassInvert(benchmark::State& s) { passBench(s, invertTable(128, 20, 0.5)); }

void BM_ScanGreyRange(benchmark::State& state) {
    const HeightImage& img = map4096();
    for (auto _ : state) {
        GreyRange range;
        scanGreyRange(img, range, [](std::int64_t) { return false; });
        benchmark::DoNotOptimize(range);
    }
    state.SetItemsProcessed(state.iterations() * img.pixelCount());
}

void BM_CalcBaseWalk(benchmark::State& state) {
    const HeightImage& img = map4096();
    HeightImage contour(img.width(), img.height(), 255);
    for (std::int64_t i = 0; i < img.pixelCount(); ++i)
        if (img.grey()[i] == 128) contour.grey()[i] = 0;
    for (auto _ : state) {
        ContourSum sum;
        sumUnderContours(img, contour, sum, [](std::int64_t) { return false; });
        benchmark::DoNotOptimize(sum);
    }
}

}  // namespace

BENCHMARK(BM_PassFlatten)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassLower)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassRaise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassInvert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanGreyRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcBaseWalk)->Unit(benchmark::kMillisecond);
