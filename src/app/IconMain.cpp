// Writes the program's icon as PNG files for the icon theme: morv-icon FOLDER
// gives FOLDER/SIZExSIZE/apps/morv.png for the usual sizes.
#include <QDir>
#include <QGuiApplication>
#include <QString>

#include <cstdio>

#include "ui/AppIcon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: morv-icon FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) || !morv::drawAppIcon(size).save(folder + "/morv.png")) {
            std::fprintf(stderr, "morv-icon: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
