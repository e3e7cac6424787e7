#pragma once
#include <string>

#include "commands/Host.h"

namespace morv {

/// The name an asset of the shown map takes: the file name, less folder and
/// extension, of the last result name (Redraw or Fit to Boards), else of the map.
std::string assetNameFor(const Session& session);

/// File > Export Asset: asks for the folder (offering the map's), the asset's name
/// (offering assetNameFor), its kuid and the map's level it holds at neutral
/// (offering the ground level), then writes the shown height image there as a
/// ready asset (see writeAssetFolder), asking before
/// it replaces files an earlier export left. A failure is told in a message box,
/// and then no file in the folder was changed. Returns true when written.
/// Traces "frmMain.mnuFileExportAsset_Click".
bool exportAsset(const Host& host);

}  // namespace morv
