#pragma once
#include <QDialog>
#include <optional>
#include <string>

#include "engine/HeightUnits.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace morv {

/// Tools > Level Site: the height the selected site is set to (offered: the mean
/// under it, in metres when the map's heights are known, else in levels) and the
/// width of the shoulder over which the new ground blends into the old.
class FrmLevelSite : public QDialog {
public:
    /// Builds the dialog for a site whose mean level is meanLevel on a map of scale.
    FrmLevelSite(double meanLevel, const std::optional<MapScale>& scale, QWidget* parent = nullptr);

    /// The height typed (levels, or metres with "m"); only while problem() is "".
    Quantity height() const;
    /// The shoulder's width typed (pixels, or metres with "m").
    Quantity shoulder() const;
    /// Why the boxes cannot be read, "" when they can.
    std::string problem() const;

private:
    void showProblem();

    QLineEdit* txtHeight = nullptr;
    QLineEdit* txtShoulder = nullptr;
    QLabel* lblProblem = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace morv
