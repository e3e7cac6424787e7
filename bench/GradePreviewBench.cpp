// The picture window's live result of a track: each time a point of the drawn
// line moves, the window grades a copy of the whole map (profile and corridor)
// and shows it. The target is well under 100 ms a move.
#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "commands/GradeCommands.h"

namespace {

using namespace morv;

const HeightImage& map4096() {
    static const HeightImage m = bench::hillyMap(4096);
    return m;
}

/// A track of about length metres on a 5 m map, its middle point moved a pixel
/// further each time, graded in a fresh copy as the window does.
void gradeOnMove(benchmark::State& state, double length) {
    MapScale scale;
    scale.pixelMetres = 5;
    scale.levelMetres = 0.5;
    const double pixels = length / scale.pixelMetres;
    GradeRequest request;
    request.line = {{300, 300}, {300 + pixels / 2, 420}, {300 + pixels / 1.4, 300 + pixels / 1.4}};
    const HeightImage& original = map4096();
    double nudge = 0;
    for (auto _ : state) {
        request.line[1].y = 420 + nudge;
        nudge = nudge > 20 ? 0 : nudge + 1;
        HeightImage copy = original;
        const GradeOutcome out = gradeMap(copy, scale, request);
        benchmark::DoNotOptimize(out);
    }
}

void BM_GradePreview_2km(benchmark::State& s) { gradeOnMove(s, 2000); }
void BM_GradePreview_10km(benchmark::State& s) { gradeOnMove(s, 10000); }

}  // namespace

BENCHMARK(BM_GradePreview_2km)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GradePreview_10km)->Unit(benchmark::kMillisecond);
