#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morv::test {

/// Where the UTM test tiles start: zone 32 north, near 9 E 46 N.
inline constexpr double kDemX0 = 500000, kDemY0 = 5100000;

/// A small elevation file to make: by default 300 x 220 samples of 10 m in UTM 32N.
struct Dem {
    std::string driver = "GTiff";
    int epsg = 32632;
    double originX = kDemX0, originY = kDemY0, pixelX = 10, pixelY = -10;
    int width = 300, height = 220;
    std::function<double(double x, double y)> heightAt;  ///< at a sample's centre, in the tile's system
    std::optional<double> noData;
    std::string unit;
    /// Overviews to add, halving the size each time (2x, 4x...): each holds this height throughout.
    std::vector<double> overviewHeights;
    /// Creation options of the driver ("TILED=YES"...).
    std::vector<std::string> options;
};

/// A DEM of the given heights, other fields changed by set.
Dem dem(std::function<double(double, double)> heightAt, const std::function<void(Dem&)>& set = {});

/// Writes a DEM through GDAL's own API: a memory grid (Int16 for .hgt, Float32
/// otherwise) copied out by the named driver. Fails the test when GDAL refuses.
void writeDem(const std::string& path, const Dem& d);

/// Writes the header of a tiled GeoTIFF of d's size and place and no samples: a
/// sparse file, so a huge raster costs next to no disk. Tiles of 4096 samples a
/// side unless d's options say otherwise.
void writeSparseDem(const std::string& path, const Dem& d);

}  // namespace morv::test
