#pragma once
#include <QDialog>
#include <QPointer>

#include "core/App.h"

class QLabel;
class QPushButton;

namespace morv {

class UpdateChecker;

/// "About Morv": the program's icon, name, description and version, and a line
/// telling whether a newer version is published. Loading the window starts the
/// update check, or, when the program has no update server (the check is off),
/// says so in that line; the check never blocks the window, and it belongs to
/// the window, so closing or destroying the window while it runs simply ends it.
class FrmAbout : public QDialog {
public:
    /// Builds the window and runs its load handler, which starts the update check
    /// when there is a server to ask.
    explicit FrmAbout(App& app, QWidget* parent = nullptr);
    ~FrmAbout() override;

    /// The update check while it runs, else null.
    UpdateChecker* checker() const;

private:
    void Form_Load();
    void webAbout_DocumentComplete(const QString& line);
    void cmdOK_Click();

    App& m_app;
    QPointer<UpdateChecker> m_checker;
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblUpdate = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace morv
