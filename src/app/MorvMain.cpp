// morv: the desktop program.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "commands/ReleaseFiles.h"
#include "commands/UpdateCheck.h"
#include "ui/AppIcon.h"
#include "core/AppInfo.h"
#include "core/RuntimeError.h"
#include "io/SafeWrite.h"
#include "morv/UpdateServer.h"
#include "ui/CommandLine.h"
#include "ui/DesktopSettings.h"
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

}  // namespace

int main(int argc, char** argv) {
    // --help and --version need no display: answer them before the toolkit starts.
    const morv::CommandLine early = morv::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (early.help) {
        std::fputs(morv::commandLineUsage().c_str(), stdout);
        return 0;
    }
    if (early.version) {
        std::printf("morv %s\n", morv::releaseVersion().c_str());
        return 0;
    }

    morv::MorvApplication qapp(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Morv"));
    QApplication::setApplicationName(QStringLiteral("Morv"));
    QApplication::setDesktopFileName(QStringLiteral("morv"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(morv::drawAppIcon(size)));
    QApplication::setWindowIcon(icon);
    // The toolkit has taken its own options (-platform, ...) out of the list.
    const morv::CommandLine line = morv::parseCommandLine(argumentsOf(QCoreApplication::arguments()));

    morv::App app;
    morv::setRepairNoticeHandler([](const std::string& line) { std::fprintf(stderr, "morv: %s\n", line.c_str()); });
    // Abort ends the process without destructors: no temporary of a save outlives it.
    app.endProgram = [end = app.endProgram] {
        morv::removeStagedTemporaries();
        end();
    };
    // The only places the desktop program reads its environment.
    app.updateServer = morv::updateServerFrom(std::getenv("MORV_UPDATE_URL"), morv::build::kUpdateServer);
    app.releaseFolder = morv::releaseFolderFrom(std::getenv("MORV_RELEASE_DIR"), std::getenv("HOME"));
    morv::QtPrompter prompter;
    app.prompter = &prompter;
    qapp.setApp(&app);

    std::unique_ptr<morv::FrmMain> frmMain;
    auto showMain = [&] {
        if (!frmMain) {
            frmMain = std::make_unique<morv::FrmMain>(app);
            morv::restoreWindowGeometry(*frmMain);
        }
        prompter.setParent(frmMain.get());
        frmMain->showAtStart();
    };
    try {
        auto* frmSplash = new morv::FrmSplash(app, line, showMain);
        frmSplash->show();
    } catch (const morv::RuntimeError& e) {
        // The trace log could not be opened: say so where a desktop user looks too,
        // naming the start-up routine that opens it.
        morv::reportFatalError(app, e, "frmSplash.Form_Load");
        return 1;
    }
    const int status = QApplication::exec();
    if (frmMain) morv::saveWindowGeometry(*frmMain);
    frmMain.reset();
    morv::removeStagedTemporaries();
    app.trace.closeLog();
    return status;
}
