// morv-grade: runs `morv-cli grade`, which starts it, so that only this command
// loads GDAL.
#include <QGuiApplication>

#include <memory>
#include <string>
#include <vector>

#include "app/cli/GradeCommand.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The profile picture's figures need fonts, which come with a QGuiApplication
    // (on the offscreen platform: no display is needed). Qt's own notes would
    // break the one-line errors, so they are not printed.
    std::unique_ptr<QGuiApplication> app;
    for (const std::string& a : args)
        if (a == "--profile" || a.rfind("--profile=", 0) == 0) {
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
            static int qtArgc = 3;
            static char name[] = "morv-grade", platform[] = "-platform", offscreen[] = "offscreen";
            static char* qtArgv[] = {name, platform, offscreen, nullptr};
            app = std::make_unique<QGuiApplication>(qtArgc, qtArgv);
            break;
        }
    return morv::cli::runGrade(args);
}
