#pragma once
#include <string>

namespace morv {

class Host;

/// File > Open: asks for a height image, closes the open one first (with its
/// unsaved-changes question), loads the image and its contour image, warns about
/// sizes that do not fit the base-board grid, records the opening grey range and
/// prepares the blur.
void mnuFileOpen_Click(Host& host);

/// File > Open on a path chosen elsewhere (a dropped file): every step of Open but
/// the file dialog.
void openFile(Host& host, const std::string& chosen);

/// File > Save: writes both pictures over the files they came from, asking first
/// when the height image exists and the overwrite notification is on.
void mnuFileSave_Click(Host& host);

/// File > Save As: asks for a name (offering the result name) and writes both
/// pictures there. Returns true when both files were written.
bool mnuFileSaveAs_Click(Host& host);

/// File > Close: asks about unsaved changes, then takes the image down. Returns
/// true when the image was closed, false when it stays open (Cancel, or a save
/// that wrote nothing).
bool mnuFileClose_Click(Host& host);

}  // namespace morv
