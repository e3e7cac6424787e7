#pragma once
#include <optional>
#include <vector>

#include "commands/Host.h"
#include "engine/TrackGrade.h"

namespace morv {

/// A track to grade and how.
struct GradeRequest {
    std::vector<TrackPoint> line;   ///< the track in the map's pixels
    ProfileOptions profile;
    CorridorOptions corridor;
    bool redrawContours = false;    ///< draw the contour image afresh from the graded map
};

/// What grading did: the profile, the corridor's figures and where the stored
/// formation steps from level to level.
struct GradeOutcome {
    TrackProfile profile;
    CorridorResult corridor;
    std::vector<LevelStep> steps;
};

/// Solves the profile and cuts the corridor into a copy of map (grey): the whole
/// of a grade without touching anything else. Throws GradeError.
GradeOutcome gradeMap(HeightImage& map, const MapScale& scale, const GradeRequest& request);

/// Tools > Grade Track: grades the open map in memory by the document's scale,
/// replacing the height picture with the graded one (and the contour image, when
/// asked, with one drawn afresh at the ground level), and marks the map unsaved.
/// A track that cannot be graded (see solveProfile), a map without a scale or a
/// colour map is refused in one message box and changes nothing. Returns what was
/// done, nothing when refused. Traces "frmMain.mnuToolsGradeTrack_Click".
std::optional<GradeOutcome> gradeTrack(const Host& host, const GradeRequest& request);

}  // namespace morv
