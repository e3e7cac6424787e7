#pragma once
#include <optional>
#include <string>

#include "commands/Host.h"
#include "engine/HeightUnits.h"
#include "engine/LevelSite.h"

namespace morv {

/// What levelling a site asks for.
struct LevelSiteChoice {
    SiteShape shape;
    std::optional<Quantity> height;  ///< levels or metres; none: the mean level under the site
    Quantity shoulder;               ///< the blend's width in pixels or metres (0: none)
};

/// The site's level and the shoulder's width in pixels, worked out for the open
/// map, or the first problem: a site that is outside the map or has no area, a
/// height or width in metres on a map without that scale, a level outside 0..255.
struct LevelSitePlan {
    SiteMask site;
    double level = 0;     ///< unrounded
    double shoulder = 0;  ///< pixels
    std::string problem;  ///< "" when the plan holds
};
LevelSitePlan planLevelSite(const Document& doc, const LevelSiteChoice& choice);

/// Tools > Level Site: levels the site of the open height map (see levelSite) in
/// memory; the contour image stays. A choice that cannot be levelled is told in
/// one message box ("Level Site") and changes nothing. Returns what changed, or
/// nothing when refused. Traces "frmMain.mnuToolsLevelSite_Click".
std::optional<LevelSiteResult> levelSiteOfMap(const Host& host, const LevelSiteChoice& choice);

/// One line telling what levelling did, with metres when the map's scale knows
/// them: "levelled 1200 pixels to level 140 (312 m) with 340 shoulder pixels:
/// 1310 changed, 600 cut by 3.2 levels on average, 710 filled by 5.1".
std::string levelSiteSummary(const LevelSiteResult& result, const std::optional<MapScale>& scale);

/// View > Map Scale: gives the open map a scale or takes it away; the map counts
/// as changed, so that Save writes the scale file. Traces
/// "frmMain.mnuViewMapScale_Click".
void setMapScale(const Host& host, const std::optional<MapScale>& scale);

}  // namespace morv
