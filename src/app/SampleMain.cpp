// Writes the bundled sample: a 576 x 576 height map (four by four base boards) of
// hills and valleys around level 128, and its contour image, black where the
// terrain meets level 128; given a second path, also a small elevation file of
// the same hills for the import to read: an ESRI ASCII grid of 10 m samples in
// UTM zone 32 north (its .prj beside it), 3000 x 2200 m, heights in metres.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "core/RuntimeError.h"
#include "engine/HeightImage.h"
#include "io/Files.h"
#include "io/ImageIO.h"

namespace {

double terrain(double x, double y) {
    // A few smooth hills and hollows with a gentle ridge and a little texture.
    struct Bump { double cx, cy, r, h; };
    const Bump bumps[] = {
        {150, 160, 95, 95}, {410, 140, 70, 60},  {300, 330, 120, 80}, {460, 440, 80, -85},
        {120, 450, 90, -70}, {260, 90, 50, -45}, {520, 280, 45, 40},  {60, 280, 55, 35},
    };
    double v = 0;
    for (const Bump& b : bumps) {
        const double d2 = ((x - b.cx) * (x - b.cx) + (y - b.cy) * (y - b.cy)) / (b.r * b.r);
        v += b.h * std::exp(-d2);
    }
    v += 6 * std::sin(x / 23.0) * std::cos(y / 31.0) + 3 * std::sin((x + 2 * y) / 11.0);
    return v;
}

/// The coordinate system of UTM zone 32 north, as an ESRI .prj holds it.
constexpr const char* kUtm32North =
    "PROJCS[\"WGS_1984_UTM_Zone_32N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
    "6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],"
    "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",9.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],"
    "UNIT[\"Meter\",1.0]]";

/// Writes the sample elevation grid at path (.asc) and its .prj; false when it cannot.
bool writeSampleDem(const std::string& path) {
    constexpr int kWide = 300, kHigh = 220;
    std::ofstream asc(path);
    asc << "ncols " << kWide << "\nnrows " << kHigh << "\nxllcorner 500000\nyllcorner 5097800\ncellsize 10\n"
        << "NODATA_value -9999\n";
    char value[32];
    for (int y = 0; y < kHigh; ++y) {
        for (int x = 0; x < kWide; ++x) {
            // The sample's hills, stretched to the grid, 4 m a level above 600 m.
            std::snprintf(value, sizeof value, "%.1f ", 600 + 4 * terrain(x * 1.9, y * 2.6));
            asc << value;
        }
        asc << "\n";
    }
    const std::string prjPath = path.substr(0, path.rfind('.')) + ".prj";
    std::ofstream prj(prjPath);
    prj << kUtm32North << "\n";
    return bool(asc.flush()) && bool(prj.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: morv-sample OUTPUT.bmp [DEM.asc]\n");
        return 2;
    }
    if (argc == 3 && !writeSampleDem(argv[2])) {
        std::fprintf(stderr, "morv-sample: cannot write %s\n", argv[2]);
        return 1;
    }
    const std::string path = argv[1];
    constexpr int kSide = 576;
    constexpr int kGround = 128;
    morv::HeightImage height(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const long level = std::lround(kGround + terrain(x, y));
            height.grey()[y * kSide + x] = static_cast<std::uint8_t>(std::clamp(level, 0L, 255L));
        }
    // The coastline: ground-level pixels next to higher terrain, drawn black on white.
    morv::HeightImage contour(kSide, kSide, 255);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const int g = height.grey()[y * kSide + x];
            if (g != kGround) continue;
            bool higher = false;
            for (int dy = -1; dy <= 1 && !higher; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (height.pixel(x + dx, y + dy) > morv::fcnGrayColor(kGround)) higher = true;
            if (higher) contour.grey()[y * kSide + x] = 0;
        }
    const std::string contourPath = morv::contourPathFor(path);
    try {
        morv::savePictureFiles({{&height, path}, {&contour, contourPath}});
    } catch (const morv::RuntimeError& e) {
        std::fprintf(stderr, "morv-sample: %s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
