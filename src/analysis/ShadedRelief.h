#pragma once
#include "engine/HeightImage.h"

namespace morv {

/// Shaded relief of a grey height map for a preview, lit from the north-west 45
/// degrees up: level 255 x the light falling on each pixel's slope (flat ground is
/// 180). metresPerLevel and spacing (metres between pixels) give the slopes their
/// steepness; pixels beyond the edges repeat the edge.
HeightImage shadedRelief(const HeightImage& map, double metresPerLevel, double spacing);

}  // namespace morv
