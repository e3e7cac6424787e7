#pragma once
#include <QDialog>
#include <string>

#include "core/App.h"

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;

namespace morv {

/// "File Already Exists": asks whether Save may replace an existing file. Its
/// buttons leave the answer "6" (Yes), "7" (No) or "2" (Cancel) in the caller's
/// answer text, which lasts between showings; Yes and No also set the overwrite
/// notification option from the "Don't show this message again." box.
class FrmOverWrite : public QDialog {
public:
    /// answer is the caller's answer text; option is Options > OverWrite Notification.
    FrmOverWrite(App& app, QAction& option, std::string& answer, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    /// Closed without one of its buttons (its window's close control): Cancel.
    void reject() override;

private:
    /// Leaves the answer code ('6', '7' or '2') for the caller.
    void leaveAnswer(char code);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    App& m_app;
    QAction& mnuOptionsOverwrite;
    std::string& m_answer;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};

}  // namespace morv
