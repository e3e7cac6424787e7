// Elevation import: a synthetic one-arc-second SRTM tile (3601 x 3601 samples) to a
// 4096 x 4096 map on the 5 m grid, in process, beside the same job done by GDAL's
// command-line tools (gdalwarp, then gdal_translate -scale -ot Byte).
#include <benchmark/benchmark.h>

#include <gdal.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/ImportCommands.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSide = 4096;

fs::path demFolder() {
    const fs::path dir = fs::temp_directory_path() / "morv-bench" / "dem";
    fs::create_directories(dir);
    return dir;
}

/// N46E009.hgt: hills and valleys between about 300 and 2700 m, written once.
std::string srtmTile() {
    const fs::path path = demFolder() / "N46E009.hgt";
    if (fs::exists(path)) return path.string();
    GDALAllRegister();
    constexpr int n = 3601;
    GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", n, n, 1, GDT_Int16, nullptr);
    double gt[6] = {9 - 0.5 / 3600, 1.0 / 3600, 0, 47 + 0.5 / 3600, 0, -1.0 / 3600};
    GDALSetGeoTransform(mem, gt);
    GDALSetProjection(mem, "EPSG:4326");
    std::vector<std::int16_t> row(n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double u = x / 3600.0 * 6.283, v = y / 3600.0 * 6.283;
            const double h = 1500 + 600 * std::sin(3 * u) * std::cos(2 * v) + 400 * std::sin(7 * u + 5 * v) +
                             150 * std::cos(23 * u - 17 * v) + 40 * std::sin(91 * u + 67 * v);
            row[std::size_t(x)] = std::int16_t(std::lround(h));
        }
        if (GDALRasterIO(GDALGetRasterBand(mem, 1), GF_Write, 0, y, n, 1, row.data(), n, 1, GDT_Int16, 0, 0) != CE_None)
            std::abort();
    }
    GDALDatasetH out =
        GDALCreateCopy(GDALGetDriverByName("SRTMHGT"), path.c_str(), mem, FALSE, nullptr, nullptr, nullptr);
    if (!out) std::abort();
    GDALClose(out);
    GDALClose(mem);
    return path.string();
}

morv::ImportOptions importOptions() {
    morv::ImportOptions o;
    o.inputs = {srtmTile()};
    o.area = morv::GeoBox{9.3, 46.35, 9.7, 46.65};
    o.pixels = morv::GridSize{kSide, kSide};
    return o;
}

/// The whole import: read, project, resample, fill, map to levels, draw the contour
/// image and write both BMP files.
void BM_ImportSrtmTile_4096(benchmark::State& state) {
    const morv::ImportOptions o = importOptions();
    const std::string out = (demFolder() / "import.bmp").string();
    morv::App app;
    app.session.gblnProgrammerMode = true;
    for (auto _ : state) {
        morv::writeImport(app, morv::importElevation(o), out, morv::PictureType::Bmp24, morv::Existing::Replace);
    }
}

/// The same grid through gdalwarp and gdal_translate; compares the result with ours.
void BM_GdalToolsPipeline_4096(benchmark::State& state) {
    const morv::ImportResult ours = morv::importElevation(importOptions());
    const morv::ImportReport& r = ours.report;
    char extent[256];
    std::snprintf(extent, sizeof extent, "%.6f %.6f %.6f %.6f", r.originX, r.originY - kSide * r.spacing,
                  r.originX + kSide * r.spacing, r.originY);
    const fs::path dir = demFolder();
    const std::string warped = (dir / "warped.tif").string(), scaled = (dir / "gdal.bmp").string();
    const std::string command = std::string(GDALWARP_PATH) + " -q -overwrite -t_srs " + r.crs + " -te " + extent +
                                " -ts " + std::to_string(kSide) + " " + std::to_string(kSide) + " -r bilinear " +
                                srtmTile() + " " + warped + " && " + GDAL_TRANSLATE_PATH +
                                " -q -scale -ot Byte -of BMP " + warped + " " + scaled;
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the GDAL tools failed");
            return;
        }
    // gdal_translate -scale takes an approximate range (sampled rows), so the levels
    // are compared twice: with that result, and with the same warp scaled over its
    // exact range, as the import maps lowest to highest.
    GDALAllRegister();
    GDALDatasetH warpedDs = GDALOpen(warped.c_str(), GA_ReadOnly);
    double range[2] = {0, 0};
    if (!warpedDs || GDALComputeRasterMinMax(GDALGetRasterBand(warpedDs, 1), FALSE, range) != CE_None) {
        state.SkipWithError("cannot read the warped heights");
        return;
    }
    GDALClose(warpedDs);
    const std::string exact = (dir / "gdal-exact.bmp").string();
    const std::string rescale = std::string(GDAL_TRANSLATE_PATH) + " -q -scale " + std::to_string(range[0]) + " " +
                                std::to_string(range[1]) + " 0 255 -ot Byte -of BMP " + warped + " " + exact;
    if (std::system(rescale.c_str()) != 0) {
        state.SkipWithError("the GDAL tools failed");
        return;
    }
    auto compare = [&](const std::string& path, const char* worstName, const char* countName) {
        GDALDatasetH theirs = GDALOpen(path.c_str(), GA_ReadOnly);
        std::vector<std::uint8_t> levels(std::size_t(kSide) * kSide);
        if (!theirs || GDALRasterIO(GDALGetRasterBand(theirs, 1), GF_Read, 0, 0, kSide, kSide, levels.data(), kSide,
                                    kSide, GDT_Byte, 0, 0) != CE_None) {
            state.SkipWithError("cannot read the GDAL tools' result");
            return;
        }
        GDALClose(theirs);
        int worst = 0;
        double differing = 0;
        for (std::size_t i = 0; i < levels.size(); ++i) {
            const int d = std::abs(int(levels[i]) - int(ours.map.grey()[i]));
            worst = std::max(worst, d);
            differing += d != 0;
        }
        state.counters[worstName] = worst;
        state.counters[countName] = differing;
    };
    compare(exact, "max_level_difference", "pixels_differing");
    compare(scaled, "max_level_difference_sampled_range", "pixels_differing_sampled_range");
}

}  // namespace

BENCHMARK(BM_ImportSrtmTile_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
BENCHMARK(BM_GdalToolsPipeline_4096)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly();
