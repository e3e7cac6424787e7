#pragma once

namespace morv {

class Host;

/// Redraw: reloads the height image from the file the dialog names, runs the
/// passes the terrain controls ask for (mountains, valleys, scale up), the blur and
/// the contours, scans the result, names it and marks it unsaved. Esc (gblnCancel)
/// after any column restores the file's image and marks nothing unsaved.
void cmdRedraw_Click(Host& host);

}  // namespace morv
