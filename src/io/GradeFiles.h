#pragma once
#include <string>
#include <vector>

#include <QImage>

#include "engine/TrackGrade.h"

namespace morv {

class GeoFrame;

/// What a graded track comes to, for the report.
struct GradeSummary {
    const TrackProfile& profile;
    const CorridorResult& corridor;
    const std::vector<LevelStep>& steps;
    CorridorOptions corridorOptions;
};

/// The spline-height table as CSV: a header, then a row every `every` metres along
/// the track and one at its end: distance (m), x and y (pixels), longitude and
/// latitude (degrees, only when geo is given) and the formation's height in metres.
std::string splineTableCsv(const TrackProfile& profile, double every, const GeoFrame* geo);

/// The report as a JSON document: length, steepest and mean grade (percent), cut
/// and fill (cubic metres), the largest cut and highest bank (metres), how far the
/// stored formation departs from the computed one and where it steps a level.
std::string gradeReportJson(const GradeSummary& summary);

/// The same report as lines of text ("length: 2550 m"...).
std::string gradeReportText(const GradeSummary& summary);

/// The profile as a picture of width x height pixels: the terrain filled, the
/// formation drawn over it against distance, fixed heights dotted, each stretch of
/// one grade labelled (labels and axis figures only where fonts can be had, in a
/// program with a QGuiApplication).
QImage profilePicture(const TrackProfile& profile, int width = 1200, int height = 480);

/// The picture as PNG file bytes.
std::string pngBytes(const QImage& image);

}  // namespace morv
