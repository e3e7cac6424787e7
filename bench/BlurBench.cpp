#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "analysis/Blur.h"

namespace morv {
namespace {

/// The heaviest blur the blur bar allows (48 iterations, 384 blends) on a map of the
/// given side; threads 0 uses every
/// core; the third argument lets it stop once the picture has settled.
void BM_Blur48(benchmark::State& state) {
    const HeightImage map = bench::hillyMap(int(state.range(0)));
    BlurOptions options;
    options.threads = int(state.range(1));
    options.stopWhenSettled = state.range(2) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        HeightImage img = map;
        state.ResumeTiming();
        blurPicture(img, 48, nullptr, options);
        benchmark::DoNotOptimize(img.grey());
    }
    state.SetItemsProcessed(state.iterations() * map.pixelCount() * 48 * 8);
}
BENCHMARK(BM_Blur48)->Args({4096, 0, 1})->Args({4096, 0, 0})->Args({4096, 1, 0})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Blur48)->Args({16384, 0, 1})->Args({16384, 0, 0})->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace morv
