#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "analysis/Contours.h"

namespace morv {
namespace {

/// Make New Contours' work on a hilly 4096 x 4096 map at ground level 128: the copy
/// of the height picture and the marking walk, with a column hook as the command has.
void BM_Contours(benchmark::State& state) {
    const HeightImage map = bench::hillyMap(int(state.range(0)));
    std::int64_t columns = 0;
    for (auto _ : state) {
        HeightImage contour = map;
        markContours(map, fcnGrayColor(128), contour, [&](std::int64_t) { return ++columns < 0; });
        benchmark::DoNotOptimize(contour.grey());
    }
    state.SetItemsProcessed(state.iterations() * map.pixelCount());
}
BENCHMARK(BM_Contours)->Arg(4096)->Unit(benchmark::kMillisecond);

/// The marking walk alone, into a contour picture that already exists.
void BM_ContoursMarkOnly(benchmark::State& state) {
    const HeightImage map = bench::hillyMap(int(state.range(0)));
    HeightImage contour = map;
    for (auto _ : state) {
        markContours(map, fcnGrayColor(128), contour, nullptr);
        benchmark::DoNotOptimize(contour.grey());
    }
    state.SetItemsProcessed(state.iterations() * map.pixelCount());
}
BENCHMARK(BM_ContoursMarkOnly)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morv
