#pragma once
#include <QDialog>
#include <optional>

#include "engine/SampleLevels.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace morv {

/// The question a 16-bit grey map asks as it opens: which of its samples the 256
/// grey levels cover. It shows the range found and what one level is worth, and
/// offers that range for the user to keep or replace.
class FrmLevels : public QDialog {
public:
    /// Builds the dialog for a map read as mapping says.
    explicit FrmLevels(const LevelMapping& mapping, QWidget* parent = nullptr);

    /// The range typed in the two boxes, when it is one (LOW below HIGH, both 0..65535).
    std::optional<SampleRange> range() const;

private:
    void showPerLevel();

    QLineEdit* txtLow = nullptr;
    QLineEdit* txtHigh = nullptr;
    QLabel* lblPerLevel = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace morv
