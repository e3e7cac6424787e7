#pragma once
#include <string>

#include <QImage>

#include "engine/TrackGrade.h"

namespace morv {

/// The profile as a picture of width x height pixels: the terrain filled, the
/// formation drawn over it against distance, fixed heights dotted, each stretch of
/// one grade labelled (labels and axis figures only where fonts can be had, in a
/// program with a QGuiApplication).
QImage profilePicture(const TrackProfile& profile, int width = 1200, int height = 480);

/// The picture as PNG file bytes.
std::string pngBytes(const QImage& image);

}  // namespace morv
