#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/MapScale.h"
#include "engine/TrackGrade.h"

namespace morv {

/// A georeferenced map's grid and the longitudes and latitudes (WGS 84) of its
/// places, both ways.
class GeoFrame {
public:
    /// The frame of a map's scale. Throws GradeError when the map has no
    /// coordinate system, or one that cannot be turned into longitudes and latitudes.
    explicit GeoFrame(const MapScale& scale);
    ~GeoFrame();
    GeoFrame(const GeoFrame&) = delete;
    GeoFrame& operator=(const GeoFrame&) = delete;

    /// The place in pixels (0, 0 the top-left pixel's centre) of a longitude and
    /// latitude in degrees. Throws GradeError when it cannot be transformed.
    TrackPoint pixelOf(double longitude, double latitude) const;
    /// The longitude and latitude in degrees of a place in pixels.
    std::pair<double, double> lonLatOf(TrackPoint at) const;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

/// Reads the track line of a GPX (its first track, else its first route), GeoJSON
/// or KML file (its first line) through OGR and places it on the map's grid. Only
/// named regular files on this machine are read, each by those three drivers only,
/// so nothing the file names (servers, other files) is followed; GDAL prints
/// nothing. Throws GradeError with a one-line message naming the file: not such a
/// file, no line in it, a map without a coordinate system.
std::vector<TrackPoint> readTrackFile(const std::string& path, const MapScale& scale);

}  // namespace morv
