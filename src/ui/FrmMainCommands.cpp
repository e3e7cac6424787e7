// The main window's commands: each button and File menu entry hands the work to
// the library, which traces and traps it under the handler's own name.
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "ui/FrmMain.h"

namespace morv {

void FrmMain::cmdRedraw_Click() { redraw(*this); }

void FrmMain::cmdCalcCL_Click() { calcBase(*this); }

void FrmMain::cmdGetHighLowColor_Click() { findGreyRange(*this); }

void FrmMain::cmdNewCoast_Click() { drawNewContours(*this); }

void FrmMain::mnuFileOpen_Click() { openImage(*this); }

void FrmMain::mnuFileSave_Click() { saveImage(*this); }

void FrmMain::mnuFileSaveAs_Click() { saveImageAs(*this); }

void FrmMain::mnuFileClose_Click() { closeImage(*this); }

}  // namespace morv
