#pragma once
#include "commands/Host.h"

namespace morv {

/// Get High/Low Colors: scans the height display and records the highest and lowest
/// grey level in gintCurHighColor and gintCurLowColor, and when run for opening
/// (gblnOpening) and not cancelled also in gintHighColor and gintLowColor. Takes
/// the interface only when no other operation holds it.
/// Traces "frmMain.cmdGetHighLowColor_Click".
void findGreyRange(const Host& host);

/// Calc Base: sets the ground level to the average height under the contour lines.
/// Traces "frmMain.cmdCalcCL_Click".
void calcBase(const Host& host);

/// Make New Contours: redraws the contour display as a copy of the height display
/// with every ground-level pixel that touches higher terrain drawn black.
/// Traces "frmMain.cmdNewCoast_Click".
void drawNewContours(const Host& host);

}  // namespace morv
