#pragma once
#include <QWidget>
#include <functional>

#include "core/App.h"
#include "ui/CommandLine.h"

class QLabel;
class QTimer;

namespace morv {

/// The start-up window: reads the command line (trace log, programmer mode, image
/// path), shows the product and version, and after 1500 ms shows the main window
/// and closes itself.
class FrmSplash : public QWidget {
public:
    /// Runs the load handler at once; showMain shows the main window (making it on
    /// first use). Throws RuntimeError when "/LOG" cannot create the log file.
    FrmSplash(App& app, const CommandLine& commandLine, std::function<void()> showMain);

private:
    void Form_Load(const CommandLine& commandLine);
    void Timer1_Timer();

    App& m_app;
    std::function<void()> m_showMain;
    QTimer* Timer1 = nullptr;
    QLabel* lblVersion = nullptr;
};

/// The name of the platform the program runs on ("Linux"), for the splash window.
QString platformName();

}  // namespace morv
