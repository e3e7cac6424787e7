// The main window's commands: each button and File menu entry hands the work to
// the library, which traces and traps it under the handler's own name.
#include "commands/AssetCommands.h"
#include "commands/BoardCommands.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "ui/FrmFitBoards.h"
#include "ui/FrmLevels.h"
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

void FrmMain::mnuFileExportAsset_Click() { exportAsset(*this); }

void FrmMain::mnuToolsFitBoards_Click() {
    const int width = m_doc.disp.width(), height = m_doc.disp.height();
    FrmFitBoards dialog(suggestedBoardFit(BoardGrid::FiveMetre, width, height), width, height, this);
    if (showFitBoardsModally(dialog) == QDialog::Accepted) fitMapToBoards(*this, dialog.choice());
}

std::optional<SampleRange> FrmMain::askLevelRange(const LevelMapping& mapping) {
    // The wait pointer of the read stands back while the user answers.
    const bool waiting = m_waitCursor;
    setWaitCursor(false);
    FrmLevels dialog(mapping, this);
    const bool kept = showLevelsModally(dialog) == QDialog::Accepted;
    setWaitCursor(waiting);
    return kept ? dialog.range() : std::nullopt;
}

}  // namespace morv
