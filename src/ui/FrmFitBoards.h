#pragma once
#include <QDialog>

#include "commands/BoardCommands.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace morv {

/// "Fit to Boards": the boards across and down, the terrain grid and the way the
/// open map is brought to them, with the size that gives.
class FrmFitBoards : public QDialog {
public:
    /// Builds the dialog offering a layout for a map of width x height pixels.
    FrmFitBoards(const BoardFitChoice& offered, int width, int height, QWidget* parent = nullptr);

    /// What the dialog says now.
    BoardFitChoice choice() const;

private:
    void showResultSize();

    QSpinBox* spnBoardsWide = nullptr;
    QSpinBox* spnBoardsHigh = nullptr;
    QRadioButton* optGrid5 = nullptr;
    QRadioButton* optGrid10 = nullptr;
    QRadioButton* optCrop = nullptr;
    QRadioButton* optPad = nullptr;
    QRadioButton* optScale = nullptr;
    QLabel* lblResult = nullptr;
    QPushButton* cmdOK = nullptr;
    int m_width, m_height;
};

}  // namespace morv
