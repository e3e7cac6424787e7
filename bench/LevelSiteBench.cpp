// Levelling a site of one square kilometre, in process: the site's mask, the
// distance transform of its shoulder and the blend.
#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "engine/LevelSite.h"

namespace {

using namespace morv;

const HeightImage& map4096() {
    static const HeightImage m = bench::hillyMap(4096);
    return m;
}

/// One square kilometre at metresPerPixel as an irregular hexagon of the same area
/// (the polygon fill is the dearer one), with a shoulder of shoulderMetres.
void levelSquareKilometre(benchmark::State& state, double metresPerPixel, double shoulderMetres) {
    const double side = 1000 / metresPerPixel;  // pixels
    const double x = 1500, y = 1200;
    // A square with two corners cut and two points pushed out by the same area.
    const SiteShape shape{{{x, y}, {x + side * 0.75, y}, {x + side, y + side * 0.25}, {x + side, y + side},
                           {x + side * 0.25, y + side}, {x, y + side * 0.75}, {x - side * 0.125, y + side * 0.5}}};
    const HeightImage& original = map4096();
    HeightImage img = original;
    for (auto _ : state) {
        state.PauseTiming();
        img = original;
        state.ResumeTiming();
        const SiteMask site = siteMaskOf(shape, img.width(), img.height());
        const LevelSiteResult r = levelSite(img, site, meanLevelUnder(img, site), shoulderMetres / metresPerPixel);
        benchmark::DoNotOptimize(r);
    }
}

void BM_LevelSite1km2_5m(benchmark::State& s) { levelSquareKilometre(s, 5, 50); }
void BM_LevelSite1km2_1m(benchmark::State& s) { levelSquareKilometre(s, 1, 50); }

}  // namespace

BENCHMARK(BM_LevelSite1km2_5m)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LevelSite1km2_1m)->Unit(benchmark::kMillisecond);
