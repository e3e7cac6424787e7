// Grading a track: the whole of a long track on a large map, and what the window
// redoes when a point of the line moves (the profile solved again and the corridor
// cut into the untouched map's box).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/TrackGrade.h"

namespace morv {
namespace {

constexpr int kSide = 16384;

/// Rolling hills over a 16384-pixel square map: long waves either way, so a track
/// across it climbs and falls a few hundred levels' worth.
const HeightImage& bigMap() {
    static const HeightImage map = [] {
        HeightImage m(kSide, kSide);
        std::vector<double> across(kSide), down(kSide);
        for (int i = 0; i < kSide; ++i) {
            across[std::size_t(i)] = 60 * std::sin(i / 700.0) + 12 * std::sin(i / 97.0);
            down[std::size_t(i)] = 50 * std::cos(i / 900.0) + 9 * std::cos(i / 61.0);
        }
        for (int y = 0; y < kSide; ++y) {
            std::uint8_t* row = m.grey() + std::size_t(y) * kSide;
            for (int x = 0; x < kSide; ++x)
                row[x] = std::uint8_t(std::clamp(128 + across[std::size_t(x)] + down[std::size_t(y)], 0.0, 255.0));
        }
        return m;
    }();
    return map;
}

MapScale fiveMetres() {
    MapScale s;
    s.pixelMetres = 5;
    s.levelMetres = 0.5;
    return s;
}

/// A 20 km line (4000 pixels) wandering across the map in 40 legs.
std::vector<TrackPoint> longTrack() {
    std::vector<TrackPoint> line{{2000, 2000}};
    for (int k = 1; k <= 40; ++k) {
        const double heading = 0.6 + 0.5 * std::sin(k * 1.3);
        line.push_back({line.back().x + 100 * std::cos(heading), line.back().y + 100 * std::sin(heading)});
    }
    return line;
}

ProfileOptions options() {
    ProfileOptions o;
    o.maxGrade = 0.025;
    o.curveMetres = 200;
    o.fixes = {{0, 64}, {10000, 60}};
    return o;
}

void BM_GradeTrack20km(benchmark::State& state) {
    const HeightImage& map = bigMap();
    HeightImage work = map;
    const std::vector<TrackPoint> line = longTrack();
    const CorridorOptions corridor{30, 20};
    for (auto _ : state) {
        const TrackProfile p = solveProfile(work, fiveMetres(), line, options());
        const CorridorResult r = applyCorridor(work.grey(), kSide, kSide, p, corridor);
        benchmark::DoNotOptimize(r.cutCubicMetres);
        state.PauseTiming();
        for (int y = r.box.y0; y < r.box.y1; ++y) {
            const std::size_t at = std::size_t(y) * kSide + std::size_t(r.box.x0);
            std::copy_n(map.grey() + at, r.box.x1 - r.box.x0, work.grey() + at);
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GradeTrack20km)->Unit(benchmark::kMillisecond);

void BM_GradeLiveMove(benchmark::State& state) {
    const HeightImage& map = bigMap();
    HeightImage work = map;
    std::vector<TrackPoint> line = longTrack();
    const CorridorOptions corridor{30, 20};
    int step = 0;
    for (auto _ : state) {
        // A point dragged a pixel: the box of the last result back from the map,
        // then the profile and the corridor again.
        line[20].x += (step++ % 2) ? 1 : -1;
        const TrackProfile p = solveProfile(map, fiveMetres(), line, options());
        const PixelBox box = corridorBox(p, corridor, kSide, kSide);
        for (int y = box.y0; y < box.y1; ++y) {
            const std::size_t at = std::size_t(y) * kSide + std::size_t(box.x0);
            std::copy_n(map.grey() + at, box.x1 - box.x0, work.grey() + at);
        }
        benchmark::DoNotOptimize(applyCorridor(work.grey(), kSide, kSide, p, corridor).fillCubicMetres);
    }
}
BENCHMARK(BM_GradeLiveMove)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace morv
