#pragma once
#include <memory>
#include <string>

#include "commands/Host.h"

namespace morv {

/// File > Open: asks for a height image, closes the open one first (with its
/// unsaved-changes question), loads the image and its contour image, warns about
/// sizes that do not fit the base-board grid, records the opening grey range and
/// prepares the blur. Traces "frmMain.mnuFileOpen_Click".
void openImage(const Host& host);

/// File > Open on a path chosen elsewhere (a dropped file): every step of Open but
/// the file dialog. Traces "frmMain.mnuFileOpen_Click".
void openImageAt(const Host& host, const std::string& chosen);

/// Open's steps once its pictures are loaded, for a program that loads them itself:
/// the paths, the displays, the size warning, the frame, the opening grey range and
/// the blur's preparation. contour is null for an image without one.
/// Traces "frmMain.mnuFileOpen_Click".
void openLoadedImage(const Host& host, const std::string& path, std::shared_ptr<HeightImage> image,
                     std::shared_ptr<HeightImage> contour);

/// File > Save: writes both pictures over the files they came from, asking first
/// when the height image exists and the overwrite notification is on.
/// Traces "frmMain.mnuFileSave_Click".
void saveImage(const Host& host);

/// File > Save As: asks for a name (offering the result name) and writes both
/// pictures there. Returns true when both files were written.
/// Traces "frmMain.mnuFileSaveAs_Click".
bool saveImageAs(const Host& host);

/// File > Close: asks about unsaved changes, then takes the image down. Returns
/// true when the image was closed, false when it stays open (Cancel, or a save
/// that wrote nothing). Traces "frmMain.mnuFileClose_Click".
bool closeImage(const Host& host);

}  // namespace morv
