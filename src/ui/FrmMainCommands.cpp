// The main window's commands: each button and File menu entry hands the work to
// the library, which traces and traps it under the handler's own name.
#include "analysis/BaseLevel.h"
#include "analysis/ColourRange.h"
#include "analysis/Contours.h"
#include "documents/FileCommands.h"
#include "engine/Redraw.h"
#include "ui/FrmMain.h"

namespace morv {

void FrmMain::cmdRedraw_Click() { morv::cmdRedraw_Click(*this); }

void FrmMain::cmdCalcCL_Click() { morv::cmdCalcCL_Click(*this); }

void FrmMain::cmdGetHighLowColor_Click() { morv::cmdGetHighLowColor_Click(*this); }

void FrmMain::cmdNewCoast_Click() { morv::cmdNewCoast_Click(*this); }

void FrmMain::mnuFileOpen_Click() { morv::mnuFileOpen_Click(*this); }

void FrmMain::mnuFileSave_Click() { morv::mnuFileSave_Click(*this); }

void FrmMain::mnuFileSaveAs_Click() { morv::mnuFileSaveAs_Click(*this); }

void FrmMain::mnuFileClose_Click() { morv::mnuFileClose_Click(*this); }

}  // namespace morv
