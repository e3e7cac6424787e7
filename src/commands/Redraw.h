#pragma once

#include "commands/Host.h"

namespace morv {

/// Redraw: reloads the height image from the file the dialog names, runs the
/// passes the terrain controls ask for (mountains, valleys, scale up), the blur and
/// the contours, scans the result, names it and marks it unsaved. Esc (gblnCancel)
/// after any column restores the file's image and marks nothing unsaved.
/// Traces "frmMain.cmdRedraw_Click".
void redraw(const Host& host);

}  // namespace morv
