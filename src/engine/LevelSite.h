#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/HeightImage.h"

namespace morv {

/// A point in image coordinates: pixel (x, y) covers x..x+1 across and y..y+1 down,
/// so its centre is (x + 0.5, y + 0.5) and the map spans 0..width by 0..height.
struct SitePoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const SitePoint&, const SitePoint&) = default;
};

/// A selected site: the corners of a polygon in order (a rectangle is four). A pixel
/// belongs to the site when its centre lies inside by the even-odd rule, so a
/// polygon that crosses itself leaves out the parts it covers twice.
struct SiteShape {
    std::vector<SitePoint> corners;

    /// The rectangle of w x h pixels whose top-left pixel is (x, y).
    static SiteShape rectangle(int x, int y, int w, int h);
};

/// The pixels of a site: a mask over its bounding box within the map.
struct SiteMask {
    int left = 0, top = 0, width = 0, height = 0;  ///< the box, in map pixels
    std::vector<std::uint8_t> inside;               ///< width x height, row by row; 1 inside
    std::int64_t count = 0;                         ///< pixels inside

    bool contains(int x, int y) const noexcept {
        return x >= left && y >= top && x < left + width && y < top + height &&
               inside[std::size_t(y - top) * std::size_t(width) + std::size_t(x - left)] != 0;
    }
};

/// Why a shape cannot be levelled on a map of width x height pixels: fewer than
/// three corners, a corner outside the map (or not a number), or no pixel centre
/// inside (zero area). "" when it can.
std::string siteProblem(const SiteShape& shape, int width, int height);

/// The pixels of a shape on a map of width x height pixels (see SiteShape).
SiteMask siteMaskOf(const SiteShape& shape, int width, int height);

/// The mean grey level of the map under the site's pixels (0 for an empty site).
double meanLevelUnder(const HeightImage& image, const SiteMask& site);

/// What levelling changed.
struct LevelSiteResult {
    std::int64_t sitePixels = 0;     ///< pixels of the site itself
    std::int64_t shoulderPixels = 0; ///< pixels of the blend around it
    std::int64_t changed = 0;        ///< pixels whose level changed, site and shoulder
    std::int64_t cut = 0, fill = 0;  ///< pixels lowered, pixels raised
    double meanCut = 0;              ///< mean levels taken off a lowered pixel
    double meanFill = 0;             ///< mean levels added to a raised pixel
    int level = 0;                   ///< the site's level
};

/// Sets the site's pixels to level (rounded to the nearest whole level, 0..255) and
/// blends the ground around it back into the old over shoulder pixels: a pixel at
/// distance d from the site's edge (d = the distance between its centre and the
/// nearest site pixel's centre, less half a pixel) takes old + (level - old) x (1 -
/// smoothstep(d / shoulder)), rounded to the nearest level, so the new ground meets
/// the site without a step, turns into the old without a kink and never leaves the
/// range between the old level and the site's. Distances are Euclidean, so the
/// shoulder rounds the site's corners. Pixels farther out keep their levels.
/// Needs 4 bytes a pixel of the site's box widened by the shoulder (within the
/// map). A colour picture is written back as grey. Throws std::invalid_argument when the
/// site does not fit the picture or shoulder is negative.
LevelSiteResult levelSite(HeightImage& image, const SiteMask& site, double level, double shoulder);

}  // namespace morv
