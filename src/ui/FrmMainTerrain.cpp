// The main window's terrain settings, ground level and blur controls.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "analysis/GroundLevel.h"
#include "core/Routine.h"
#include "engine/TerrainSettings.h"
#include "ui/FrmMain.h"

namespace morv {

namespace {

char firstLetter(const QCheckBox* box) {
    const QString t = box->text();
    return t.isEmpty() ? '\0' : t.at(0).toLatin1();
}

}  // namespace

/// The mountains mode the check box's caption shows ("Lower..." or "Flatten...").
MountainMode mountainModeOf(const QCheckBox* box) {
    return firstLetter(box) == 'L' ? MountainMode::Lower : MountainMode::Flatten;
}

/// The valleys mode the check box's caption shows ("Invert..." or "Fill in...").
ValleyMode valleyModeOf(const QCheckBox* box) { return firstLetter(box) == 'I' ? ValleyMode::Invert : ValleyMode::Fill; }

void FrmMain::chkFlatten_Click() {
    Routine r(m_app, "frmMain.chkFlatten_Click");
    r([&] { vsbMountains->setFocus(Qt::OtherFocusReason); });
}

void FrmMain::chkFill_Click() {
    Routine r(m_app, "frmMain.chkFill_Click");
    r([&] { vsbValleys->setFocus(Qt::OtherFocusReason); });
}

void FrmMain::chkFlatten_MouseDown(Qt::MouseButton button) {
    Routine r(m_app, "frmMain.chkFlatten_MouseDown");
    if (button != Qt::RightButton) return;
    r([&] {
        // The tag picks Redraw's pass, the caption's letter the result name: both change together.
        switch (firstLetter(chkFlatten)) {
        case 'F':
            chkFlatten->setProperty("Tag", QStringLiteral("Lower"));
            chkFlatten->setText(QString::fromStdString(mountainsCaption(MountainMode::Lower, vsbMountains->value())));
            break;
        case 'L':
            chkFlatten->setProperty("Tag", QStringLiteral("Flatten"));
            chkFlatten->setText(QString::fromStdString(mountainsCaption(MountainMode::Flatten, vsbMountains->value())));
            break;
        default: break;
        }
    });
}

void FrmMain::chkFill_MouseDown(Qt::MouseButton button) {
    Routine r(m_app, "frmMain.chkFill_MouseDown");
    if (button != Qt::RightButton) return;
    r([&] {
        switch (firstLetter(chkFill)) {
        case 'I': chkFill->setText(QString::fromStdString(valleysCaption(ValleyMode::Fill, vsbValleys->value()))); break;
        case 'F': chkFill->setText(QString::fromStdString(valleysCaption(ValleyMode::Invert, vsbValleys->value()))); break;
        default: break;
        }
    });
}

void FrmMain::vsbMountains_Scroll(int value) {
    Routine r(m_app, "frmMain.vsbMountains_Scroll");
    r([&] { chkFlatten->setText(QString::fromStdString(mountainsCaption(mountainModeOf(chkFlatten), value))); });
}

void FrmMain::vsbValleys_Scroll(int value) {
    Routine r(m_app, "frmMain.vsbValleys_Scroll");
    r([&] { chkFill->setText(QString::fromStdString(valleysCaption(valleyModeOf(chkFill), value))); });
}

void FrmMain::noTerrainCheck() {
    if (rendersFlatTerrain(valleyModeOf(chkFill), vsbValleys->value(), vsbMountains->value()))
        showMessage(m_app, "This setting will render completely flat terrain.", mb::Information, "No Terrain");
}

void FrmMain::vsbMountains_Change() {
    Routine r(m_app, "frmMain.vsbMountains_Change");
    r([&] { noTerrainCheck(); });
    r([&] { chkFlatten->setText(QString::fromStdString(mountainsCaption(mountainModeOf(chkFlatten), vsbMountains->value()))); });
    r([&] { m_app.session.gsngMountainFactor = mountainFactorFromBar(vsbMountains->value()); });
}

void FrmMain::vsbValleys_Change() {
    Routine r(m_app, "frmMain.vsbValleys_Change");
    r([&] { chkFill->setText(QString::fromStdString(valleysCaption(valleyModeOf(chkFill), vsbValleys->value()))); });
    r([&] { noTerrainCheck(); });
    r([&] { m_app.session.gdblValleyFactor = valleyFactorFromBar(vsbValleys->value()); });
}

void FrmMain::cmdScale_Click() {
    Routine r(m_app, "frmMain.cmdScale_Click");
    r([&] {
        const QString tag = cmdScale->property("Tag").toString();
        if (tag == QStringLiteral("True")) setScaleUp(false);
        else if (tag == QStringLiteral("False")) setScaleUp(true);
    });
}

void FrmMain::vsbGroundLevel_Change() {
    Routine r(m_app, "frmMain.vsbGroundLevel_Change");
    const int value = vsbGroundLevel->value();
    r([&] { txtGroundLevel->setText(QString::number(value)); });
    r([&] { m_app.session.gintGroundLevel = std::int16_t(value); });
    r([&] { m_app.session.glngGroundColor = fcnGrayColor(value); });
}

void FrmMain::txtGroundLevel_GotFocus() {
    Routine r(m_app, "frmMain.txtGroundLevel_GotFocus");
    r([&] { txtGroundLevel->selectAll(); });
}

bool FrmMain::txtGroundLevel_KeyPress(int key) {
    Routine r(m_app, "frmMain.txtGroundLevel_KeyPress");
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    // Enter is swallowed: no beep, no character.
    r([&] { setGroundLevelValue(int(groundLevelFromText(txtGroundLevel->text().toStdString(), m_doc.scale))); });
    return true;
}

void FrmMain::txtGroundLevel_LostFocus() {
    Routine r(m_app, "frmMain.txtGroundLevel_LostFocus");
    r([&] { setGroundLevelValue(int(groundLevelFromText(txtGroundLevel->text().toStdString(), m_doc.scale))); });
}

void FrmMain::chkShowCoast_Click() {
    Routine r(m_app, "frmMain.chkShowCoast_Click");
    r([&] { setContourVisible(chkShowCoast->isChecked()); });
}

void FrmMain::applyBlurCaption(int value) {
    chkBlur->setText(QStringLiteral("Apply Blur Effect - ") + QString::number(value));
    chkBlur->setChecked(value != 0);
}

void FrmMain::hsbBlur_Change() {
    Routine r(m_app, "frmMain.hsbBlur_Change");
    r([&] { applyBlurCaption(hsbBlur->value()); });
}

void FrmMain::hsbBlur_Scroll(int value) {
    Routine r(m_app, "frmMain.hsbBlur_Scroll");
    r([&] { applyBlurCaption(value); });
}

}  // namespace morv
