#pragma once
#include <QString>

class QWidget;

namespace morv {

// What the desktop program remembers between runs, in the user's settings file
// (QSettings of the application): the folder of the last Open or Save As, the
// main window's geometry and the user id an asset's kuid is given.

/// The folder of the last file chosen in an Open or Save As dialog ("" before any).
QString rememberedFolder();
/// Remembers the folder of a file chosen in a file dialog; an empty name is ignored.
void rememberFolderOf(const QString& chosenFile);
/// Where a file dialog starts: initial when it names a folder, else initial (a bare
/// name or nothing) in the remembered folder.
QString dialogStart(const QString& initial);
/// The user id last given for an exported asset's kuid ("" before any).
QString rememberedUserId();
/// Keeps the user id for the next export ("" forgets it).
void rememberUserId(const QString& userId);

/// The content id File > Export Asset offers: the one after the last it used,
/// "" before the first (or after the last possible one).
QString rememberedContentId();
/// Keeps the content id after usedId (a valid content id) for the next export;
/// an empty usedId forgets it.
void rememberContentIdAfter(const QString& usedId);
/// Gives the window the geometry it had when it was last saved; false when none was.
bool restoreWindowGeometry(QWidget& window);
/// Keeps the window's geometry for the next run.
void saveWindowGeometry(const QWidget& window);

}  // namespace morv
