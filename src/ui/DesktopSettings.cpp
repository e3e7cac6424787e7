#include "ui/DesktopSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>

namespace morv {

namespace {

const QString kLastFolder = QStringLiteral("dialogs/lastFolder");
const QString kGeometry = QStringLiteral("mainWindow/geometry");
const QString kUserId = QStringLiteral("asset/userId");
const QString kContentId = QStringLiteral("asset/contentId");

}  // namespace

QString rememberedFolder() { return QSettings().value(kLastFolder).toString(); }

void rememberFolderOf(const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    QSettings().setValue(kLastFolder, QFileInfo(chosenFile).absolutePath());
}

QString dialogStart(const QString& initial) {
    if (initial.contains(QLatin1Char('/'))) return initial;
    const QString folder = rememberedFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return initial;
    return initial.isEmpty() ? folder : QDir(folder).filePath(initial);
}

QString rememberedUserId() { return QSettings().value(kUserId).toString(); }

void rememberUserId(const QString& userId) {
    if (userId.isEmpty()) QSettings().remove(kUserId);
    else QSettings().setValue(kUserId, userId);
}

QString rememberedContentId() { return QSettings().value(kContentId).toString(); }

void rememberContentIdAfter(const QString& usedId) {
    const qint64 next = usedId.toLongLong() + 1;
    if (usedId.isEmpty() || next > 2147483647) QSettings().remove(kContentId);
    else QSettings().setValue(kContentId, QString::number(next));
}

bool restoreWindowGeometry(QWidget& window) {
    const QByteArray geometry = QSettings().value(kGeometry).toByteArray();
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void saveWindowGeometry(const QWidget& window) { QSettings().setValue(kGeometry, window.saveGeometry()); }

}  // namespace morv
