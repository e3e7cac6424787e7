// The main window's commands: each button and File menu entry hands the work to
// the library, which traces and traps it under the handler's own name.
#include "commands/AssetCommands.h"
#include "commands/BoardCommands.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "commands/Redraw.h"
#include "ui/DesktopSettings.h"
#include "ui/FrmExportAsset.h"
#include "ui/FrmFitBoards.h"
#include "ui/FrmLevels.h"
#include "ui/FrmMain.h"
#include "ui/FrmPicture.h"

namespace morv {

// The commands that change the map in memory run as steps of the undo history.
void FrmMain::cmdRedraw_Click() {
    recorded("Redraw", true, [this] { redraw(*this); });
}

void FrmMain::cmdCalcCL_Click() {
    recorded("Calc Base", false, [this] { calcBase(*this); });
}

void FrmMain::cmdGetHighLowColor_Click() { findGreyRange(*this); }

void FrmMain::cmdNewCoast_Click() {
    recorded("Make New Contours", true, [this] { drawNewContours(*this); });
}

void FrmMain::mnuFileOpen_Click() {
    const HeightImage* before = m_doc.disp.image.get();
    openImage(*this);
    afterOpen(before);
}

void FrmMain::mnuFileSave_Click() {
    checkHistory();
    saveImage(*this);
    // Writing leaves the pixels as they were: the history still fits them.
    rememberPlace();
    if (!saveEnabled()) m_history.markSaved();
}

void FrmMain::mnuFileSaveAs_Click() {
    checkHistory();
    const bool saved = saveImageAs(*this);
    if (m_picture) rememberPlace();
    if (saved) {
        // Redraw now starts from the file just written: so does the preview.
        m_history.markSaved();
        if (m_asRead) m_asRead = std::make_shared<HeightImage>(*m_doc.disp.image);
        updatePreview();
    }
}

void FrmMain::mnuFileClose_Click() {
    closeImage(*this);
    checkHistory();
}

void FrmMain::mnuFileExportAsset_Click() { exportAsset(*this); }

void FrmMain::mnuToolsFitBoards_Click() {
    const int width = m_doc.disp.width(), height = m_doc.disp.height();
    FrmFitBoards dialog(suggestedBoardFit(BoardGrid::FiveMetre, width, height), width, height, this);
    if (showFitBoardsModally(dialog) == QDialog::Accepted)
        recorded("Fit to Boards", true, [&] { fitMapToBoards(*this, dialog.choice()); });
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

std::optional<AssetChoice> FrmMain::askAsset(const AssetChoice& offered) {
    AssetChoice shown = offered;
    shown.userId = rememberedUserId().toStdString();
    shown.contentId = rememberedContentId().toStdString();
    FrmExportAsset dialog(shown, m_app.prompter, this);
    if (showExportAssetModally(dialog) != QDialog::Accepted) return std::nullopt;
    const AssetChoice chosen = dialog.choice();
    rememberUserId(QString::fromStdString(chosen.userId));
    // The next export offers the following id, so that two assets never share one by accident.
    rememberContentIdAfter(QString::fromStdString(chosen.contentId));
    return chosen;
}

}  // namespace morv
