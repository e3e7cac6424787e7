#pragma once
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/GradeCommands.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace morv {

/// Tools > Grade Track: the formation's width, the shoulder either side, the
/// steepest grade and the vertical curves' length for the track drawn on the
/// picture. Every change grades a copy of the map at once: the copy shows on the
/// picture (through onPreview) and the profile beside the boxes; OK grades the map.
class FrmGradeTrack : public QDialog {
public:
    /// Builds the dialog for line on map (grey or colour) of scale (none: grading
    /// is refused and says why) and grades its first preview.
    FrmGradeTrack(std::shared_ptr<const HeightImage> map, const std::optional<MapScale>& scale,
                  std::vector<TrackPoint> line, const GradeRequest& last, QWidget* parent = nullptr);

    /// What the boxes ask for.
    GradeRequest request() const;
    /// Grades the copy again (after the line changed) and shows it.
    void setLine(std::vector<TrackPoint> line);
    /// The map as the boxes would grade it, null when the track cannot be graded.
    std::shared_ptr<const HeightImage> previewMap() const { return m_preview; }
    /// Why the track cannot be graded, "" when it can.
    const std::string& problem() const { return m_problem; }

    /// Runs after every preview with the graded copy (null when refused).
    std::function<void(std::shared_ptr<const HeightImage>)> onPreview;

private:
    void grade();

    std::shared_ptr<const HeightImage> m_map;
    std::optional<MapScale> m_scale;
    std::vector<TrackPoint> m_line;
    std::shared_ptr<const HeightImage> m_preview;
    std::string m_problem;
    QDoubleSpinBox* spnWidth = nullptr;
    QDoubleSpinBox* spnShoulder = nullptr;
    QDoubleSpinBox* spnMaxGrade = nullptr;
    QDoubleSpinBox* spnCurve = nullptr;
    QCheckBox* chkContours = nullptr;
    QLabel* lblProfile = nullptr;
    QLabel* lblSummary = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace morv
