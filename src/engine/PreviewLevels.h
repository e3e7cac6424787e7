#pragma once
#include <array>
#include <cstdint>

#include "engine/HeightImage.h"
#include "engine/TerrainSettings.h"

namespace morv {

/// A grey level for every grey level.
using LevelTable = std::array<std::uint8_t, 256>;
/// How many pixels of a picture stand at each grey level.
using LevelCounts = std::array<std::uint64_t, 256>;

/// What the level passes of a Redraw would do, as the controls say now.
struct LevelPlan {
    int ground = 128;                                  // the ground level, 0..255
    bool mountains = false;                            // the mountains pass runs
    MountainMode mountainMode = MountainMode::Flatten;
    float mountainFactor = 0.0f;                       // single precision, as the pass reads it
    int high = 255;                                    // the highest level as opened (Lower reads it)
    bool valleys = false;                              // the valleys pass runs
    ValleyMode valleyMode = ValleyMode::Fill;
    double valleyFactor = 1.0;
    int low = 0;                                       // the lowest level as opened (Invert reads it)
    bool scaleUp = false;                              // the raise pass runs after both
};

/// Counts the pixels at each grey level (a colour pixel by its grey level).
LevelCounts countLevels(const HeightImage& image);

/// The level each grey level of a grey picture becomes when the planned passes run
/// one after another, as Redraw runs them: mountains, valleys, then, when Scale Up
/// is planned, the raise pass up to the highest level the picture (whose counts are
/// given) has after the first two. One table for all passes, so a preview costs one
/// look-up a shown pixel whatever the map's size.
LevelTable previewLevels(const LevelPlan& plan, const LevelCounts& counts);

}  // namespace morv
