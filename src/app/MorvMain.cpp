// morv: the desktop program.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ui/AppIcon.h"
#include "core/AppInfo.h"
#include "core/RuntimeError.h"
#include "ui/CommandLine.h"
#include "ui/FrmMain.h"
#include "ui/FrmSplash.h"
#include "ui/MorvApplication.h"
#include "ui/QtPrompter.h"

namespace {

std::vector<std::string> argumentsOf(const QStringList& list) {
    std::vector<std::string> args;
    for (qsizetype i = 1; i < list.size(); ++i) args.push_back(list[i].toStdString());
    return args;
}

/// For scripts/screenshot.sh: with MORV_SCREENSHOT set to a PNG path, the program
/// grabs the whole screen after MORV_SCREENSHOT_AFTER seconds (20 unless given),
/// saves it there and ends.
void armScreenshot() {
    const QString path = qEnvironmentVariable("MORV_SCREENSHOT");
    if (path.isEmpty()) return;
    bool ok = false;
    int seconds = qEnvironmentVariableIntValue("MORV_SCREENSHOT_AFTER", &ok);
    if (!ok || seconds <= 0) seconds = 20;
    QTimer::singleShot(seconds * 1000, [path] {
        if (QScreen* screen = QGuiApplication::primaryScreen()) screen->grabWindow(0).save(path, "PNG");
        QCoreApplication::exit(0);
    });
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version need no display: answer them before the toolkit starts.
    const morv::CommandLine early = morv::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (early.help) {
        std::fputs(morv::commandLineUsage().c_str(), stdout);
        return 0;
    }
    if (early.version) {
        std::printf("morv %s\n", morv::versionText().c_str());
        return 0;
    }

    morv::MorvApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morv"));
    QApplication::setDesktopFileName(QStringLiteral("morv"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(morv::drawAppIcon(size)));
    QApplication::setWindowIcon(icon);
    // The toolkit has taken its own options (-platform, ...) out of the list.
    const morv::CommandLine line = morv::parseCommandLine(argumentsOf(QCoreApplication::arguments()));

    morv::App app;
    morv::QtPrompter prompter;
    app.prompter = &prompter;
    qapp.setApp(&app);

    std::unique_ptr<morv::FrmMain> frmMain;
    auto showMain = [&] {
        if (!frmMain) frmMain = std::make_unique<morv::FrmMain>(app);
        prompter.setParent(frmMain.get());
        frmMain->show();
    };
    try {
        auto* frmSplash = new morv::FrmSplash(app, line, showMain);
        frmSplash->show();
    } catch (const morv::RuntimeError& e) {
        // The trace log could not be opened: say so where a desktop user looks too.
        morv::reportFatalError(app, e, {});
        return 1;
    }
    armScreenshot();
    const int status = QApplication::exec();
    frmMain.reset();
    app.trace.closeLog();
    return status;
}
