#pragma once
#include <QDialog>

#include "core/App.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace morv {

/// "Calculate Image Size": converts a layout in base boards to the image size in
/// pixels that covers it, and an image size back to boards. The two answer labels
/// form one indexed pair: lblAnswer(0) has the object name "lblAnswer_0", lblAnswer(1)
/// "lblAnswer_1", and each carries its index in the dynamic property "Index".
class FrmCalcImgSize : public QDialog {
public:
    /// Builds the window with empty fields and answers.
    explicit FrmCalcImgSize(App& app, QWidget* parent = nullptr);

    /// The answer label of the given index (0 the image size, 1 the layout).
    QLabel* lblAnswer(int index) const { return m_answer[index == 0 ? 0 : 1]; }

private:
    void cmdCalc_Click();

    App& m_app;
    QLineEdit* txtHorzBoards = nullptr;
    QLineEdit* txtVertBoards = nullptr;
    QLineEdit* txtHorzSize = nullptr;
    QLineEdit* txtVertSize = nullptr;
    QLabel* m_answer[2] = {nullptr, nullptr};
    QPushButton* cmdCalc = nullptr;
};

}  // namespace morv
