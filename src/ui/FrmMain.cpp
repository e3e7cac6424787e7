#include "ui/FrmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "core/Routine.h"
#include "commands/FileCommands.h"
#include "io/ImageIO.h"
#include "engine/TerrainSettings.h"
#include "commands/ReleaseFiles.h"
#include "ui/FrmAbout.h"
#include "ui/FrmCalcImgSize.h"
#include "ui/FrmOverWrite.h"
#include "ui/FrmPicture.h"

namespace morv {

namespace {

QPushButton* button(QWidget* parent, const char* name, const char* caption, const char* tip) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setToolTip(QString::fromUtf8(tip));
    b->setAutoDefault(false);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, const char* tip) {
    auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
    c->setObjectName(QString::fromUtf8(name));
    c->setToolTip(QString::fromUtf8(tip));
    return c;
}

/// A scroll bar whose Change event comes only when the value settles (a drag ends),
/// with the thumb's movement reported separately as its Scroll event.
QScrollBar* scrollBar(QWidget* parent, const char* name, Qt::Orientation o, int lo, int hi, int small, int large, int value) {
    auto* s = new QScrollBar(o, parent);
    s->setObjectName(QString::fromUtf8(name));
    s->setRange(lo, hi);
    s->setSingleStep(small);
    s->setPageStep(large);
    s->setValue(value);
    s->setTracking(false);
    return s;
}

/// Keeps a check box wide enough for the longest caption it will be given.
void reserveWidthFor(QCheckBox* box, const QString& longest) {
    const QString caption = box->text();
    box->ensurePolished();
    box->setText(longest);
    box->setMinimumWidth(box->sizeHint().width());
    box->setText(caption);
}

}  // namespace

FrmMain::FrmMain(App& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Morv:"));
    // The window never gets smaller than 1024 x 768 pixels (the resize handler
    // snaps it back too, for window managers that ignore the minimum).
    setMinimumSize(1024, 768);

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    buildMenus();
    buildMainToolbar();
    buildScrollToolbar();
    buildStatusbar();
    m_mdi = new QMdiArea(central);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->viewport()->setMouseTracking(true);
    m_mdi->viewport()->installEventFilter(this);
    picMainToolbar->setParent(central);
    picScrollToolbar->setParent(central);
    picStatusbar->setParent(central);
    grid->addWidget(picMainToolbar, 0, 0, 1, 2);
    grid->addWidget(picScrollToolbar, 1, 0);
    grid->addWidget(m_mdi, 1, 1);
    grid->addWidget(picStatusbar, 2, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(1, 1);
    setCentralWidget(central);

    tmrResize = new QTimer(this);
    tmrResize->setObjectName(QStringLiteral("tmrResize"));
    tmrResize->setInterval(50);
    tmrResize->setSingleShot(true);

    showOverWriteModally = [](FrmOverWrite& dialog) { dialog.exec(); };
    showCalcImgSizeModally = [](FrmCalcImgSize& dialog) { dialog.exec(); };
    showAboutModally = [](FrmAbout& dialog) { dialog.exec(); };
    // A height image dropped from a file manager opens as File > Open would; the
    // ground level box must not take the file's name as typed text instead.
    setAcceptDrops(true);
    txtGroundLevel->setAcceptDrops(false);
    connectHandlers();
    MDIForm_Load();
    // Enabled from the start: it also fires once, 50 ms after the window loads.
    tmrResize->start();
}

FrmMain::~FrmMain() {
    if (m_picture) delete m_picture.data();
    if (m_calcImgSize) delete m_calcImgSize.data();
}

void FrmMain::buildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto entry = [](QMenu* menu, const char* name, const char* caption, QKeySequence key = {}) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        if (!key.isEmpty()) a->setShortcut(key);
        return a;
    };
    mnuFileOpen = entry(mnuFile, "mnuFileOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFileSave = entry(mnuFile, "mnuFileSave", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFileSaveAs = entry(mnuFile, "mnuFileSaveAs", "Save &As", QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuFileClose = entry(mnuFile, "mnuFileClose", "&Close");
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileSep1"));
    mnuFileQuit = entry(mnuFile, "mnuFileQuit", "&Quit", QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuToolsCalcImgSize = entry(mnuTools, "mnuToolsCalcImgSize", "Calc Img Size");

    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuOptionsOverwrite = entry(mnuOptions, "mnuOptionsOverwrite", "OverWrite &Notification");
    mnuOptionsOverwrite->setCheckable(true);
    mnuOptionsOverwrite->setChecked(true);
    // Lines where the base boards fall; off at start, kept for the run.
    mnuOptionsBoardGrid = entry(mnuOptions, "mnuOptionsBoardGrid", "Show Board Grid");
    mnuOptionsBoardGrid->setCheckable(true);
    mnuOptionsBoardGrid->setChecked(false);

    // "About" is an entry of the menu bar itself that opens its window when chosen.
    mnuAbout = menuBar()->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    mnuMakeDLFiles = menuBar()->addAction(QStringLiteral("Make DL Files"));
    mnuMakeDLFiles->setObjectName(QStringLiteral("mnuMakeDLFiles"));
}

void FrmMain::buildMainToolbar() {
    picMainToolbar = new QWidget(this);
    picMainToolbar->setObjectName(QStringLiteral("picMainToolbar"));
    QWidget* p = picMainToolbar;

    cmdCalcCL = button(p, "cmdCalcCL", "&Calc Base",
                       "This will calculate the average color along the conture lines and reset the ground level.");
    cmdScale = button(p, "cmdScale", "Scale &Up Mountains", "Select this option if you want the mountains scaled up to 255");
    cmdScale->setProperty("Tag", QStringLiteral("False"));

    txtGroundLevel = new QLineEdit(QStringLiteral("128"), p);
    txtGroundLevel->setObjectName(QStringLiteral("txtGroundLevel"));
    txtGroundLevel->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    Text1 = new QLineEdit(QStringLiteral("Ground &Level:"), p);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setFrame(false);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setMinimumWidth(fontMetrics().horizontalAdvance(Text1->text()) + 8);
    chkShowCoast = checkBox(p, "chkShowCoast", "&Show Contours", "Shows the Contour lines");
    vsbGroundLevel = scrollBar(p, "vsbGroundLevel", Qt::Vertical, 0, 255, 1, 1, 128);
    // The top end of the bar is 255: moving the thumb up raises the level.
    vsbGroundLevel->setInvertedAppearance(true);
    vsbGroundLevel->setInvertedControls(true);

    cmdRedraw = button(p, "cmdRedraw", "&Redraw", "Draws the new image based on your settings.");
    cmdRedraw->setMinimumHeight(48);
    chkFlatten = checkBox(p, "chkFlatten", "Flatten &Mountains",
                          "Select this to flatten all mountains. Right-Click to toggle 'Flatten' or 'Lower'");
    chkFlatten->setProperty("Tag", QStringLiteral("Flatten"));
    chkFill = checkBox(p, "chkFill", "Fill in &Valleys", "Select this to fill in all valleys. Right-Click to toggle Fill or Invert");
    // Room for the longest caption a mode and value can give.
    reserveWidthFor(chkFlatten, QStringLiteral("Flatten Mountains by 100%"));
    reserveWidthFor(chkFill, QStringLiteral("Invert Valleys by 100%"));

    cmdGetHighLowColor = button(p, "cmdGetHighLowColor", "Get &High/Low Colors", "This calculates the highest and lowest colors used.");
    cmdNewCoast = button(p, "cmdNewCoast", "Make New Contours", "Draws contour lines at the base of mountains.");
    chkAutoContLine = checkBox(p, "chkAutoContLine", "Auto Draw Contoures",
                               "Check this option to automatically draw contour lines during the redraw");
    chkBlur = checkBox(p, "chkBlur", "Apply &Blur Effect - 0",
                       "Check this box to apply a blur with the ammount specified by the scrollbar below");
    reserveWidthFor(chkBlur, QStringLiteral("Apply Blur Effect - 48"));
    hsbBlur = scrollBar(p, "hsbBlur", Qt::Horizontal, 0, 48, 2, 16, 0);

    auto* row = new QHBoxLayout(p);
    row->setContentsMargins(6, 4, 6, 4);
    auto column = [&](std::initializer_list<QWidget*> widgets) {
        auto* col = new QVBoxLayout;
        col->setSpacing(2);
        for (QWidget* w : widgets) col->addWidget(w);
        row->addLayout(col);
    };
    column({cmdCalcCL, cmdScale});
    auto* level = new QGridLayout;
    level->setSpacing(2);
    level->addWidget(Text1, 0, 0);
    level->addWidget(txtGroundLevel, 0, 1);
    level->addWidget(chkShowCoast, 1, 0, 1, 2);
    level->addWidget(vsbGroundLevel, 0, 2, 2, 1);
    row->addLayout(level);
    row->addSpacing(8);
    row->addWidget(cmdRedraw);
    row->addSpacing(8);
    column({chkFlatten, chkFill});
    column({cmdGetHighLowColor, cmdNewCoast});
    column({chkAutoContLine});
    auto* blur = new QVBoxLayout;
    blur->setSpacing(2);
    blur->addWidget(chkBlur);
    blur->addWidget(hsbBlur);
    row->addLayout(blur);
    row->addStretch(1);
}

void FrmMain::buildScrollToolbar() {
    picScrollToolbar = new QWidget(this);
    picScrollToolbar->setObjectName(QStringLiteral("picScrollToolbar"));
    vsbValleys = scrollBar(picScrollToolbar, "vsbValleys", Qt::Vertical, 0, 100, 5, 20, 100);
    // The valleys bar reads 100 at its top end, the mountains bar 0.
    vsbValleys->setInvertedAppearance(true);
    vsbValleys->setInvertedControls(true);
    vsbMountains = scrollBar(picScrollToolbar, "vsbMountains", Qt::Vertical, 0, 100, 5, 20, 0);
    vsbValleys->setToolTip(QString());
    auto* row = new QHBoxLayout(picScrollToolbar);
    // The sliders stand the panel's height less 3 pixels.
    row->setContentsMargins(2, 0, 2, 3);
    row->setSpacing(2);
    row->addWidget(vsbValleys);
    row->addWidget(vsbMountains);
}

void FrmMain::buildStatusbar() {
    picStatusbar = new QFrame(this);
    picStatusbar->setObjectName(QStringLiteral("picStatusbar"));
    static_cast<QFrame*>(picStatusbar)->setFrameShape(QFrame::StyledPanel);
    lblStatusbar = new QLabel(picStatusbar);
    lblStatusbar->setObjectName(QStringLiteral("lblStatusbar"));
    lblStatusbar->setFont(QFont(QStringLiteral("Arial")));
    lblStatusbar->setTextFormat(Qt::PlainText);
    auto* row = new QHBoxLayout(picStatusbar);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(lblStatusbar);
    lblStatusbar->setMinimumHeight(lblStatusbar->fontMetrics().height());
}

// ---- Host ------------------------------------------------------------------

TerrainControls FrmMain::controls() const {
    TerrainControls c;
    c.flattenTicked = chkFlatten->isChecked();
    // The tag and the caption change together; the tag picks the pass.
    c.mountainMode = chkFlatten->property("Tag").toString() == QStringLiteral("Flatten") ? MountainMode::Flatten
                                                                                        : MountainMode::Lower;
    c.fillTicked = chkFill->isChecked();
    c.valleyMode = valleyModeOf(chkFill);
    c.scaleUpTagged = cmdScale->property("Tag").toString().compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
    c.mountainsValue = vsbMountains->value();
    c.valleysValue = vsbValleys->value();
    c.blurTicked = chkBlur->isChecked();
    c.blurValue = hsbBlur->value();
    c.autoContours = chkAutoContLine->isChecked();
    return c;
}

void FrmMain::setControlsEnabled(bool CtrlEnabled) {
    // Through the menus' own entries in the menu bar, so File > Save keeps its
    // enabled state: that state is the unsaved-changes mark.
    for (QAction* m : {mnuFile->menuAction(), mnuTools->menuAction(), mnuOptions->menuAction(), mnuAbout})
        m->setEnabled(CtrlEnabled);
    picMainToolbar->setEnabled(CtrlEnabled);
    picScrollToolbar->setEnabled(CtrlEnabled);
    if (CtrlEnabled && m_picture) m_picture->sync();
}

void FrmMain::setWaitCursor(bool on) {
    // A setting, not a stack: the default pointer clears every override.
    if (on) {
        if (QApplication::overrideCursor())
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    }
    m_waitCursor = on;
}

void FrmMain::setStatus(const std::string& text) {
    lblStatusbar->setText(QString::fromStdString(text));
    if (statusWritten) statusWritten(text);
}

void FrmMain::setProgress(const std::string& text, int) { setStatus(text); }

void FrmMain::doEvents() {
    if (m_picture) m_picture->sync();
    QCoreApplication::processEvents();
    if (afterYield) afterYield();
}

void FrmMain::setShowContours(bool ticked) { chkShowCoast->setChecked(ticked); }

void FrmMain::setContourVisible(bool visible) {
    if (m_picture) m_picture->setContourVisible(visible);
}

void FrmMain::setPictureCaption(const std::string& caption) {
    ensurePicture()->setWindowTitle(QString::fromStdString(caption));
}

void FrmMain::refreshPicture() {
    if (!m_picture) return;
    m_picture->sync();
    m_picture->repaint();
}

bool FrmMain::saveEnabled() const { return mnuFileSave->isEnabled(); }

void FrmMain::setSaveEnabled(bool enabled) { mnuFileSave->setEnabled(enabled); }

void FrmMain::setGroundLevelValue(int value) {
    if (value < vsbGroundLevel->minimum() || value > vsbGroundLevel->maximum()) throw RuntimeError(err::InvalidPropertyValue);
    vsbGroundLevel->setValue(value);
}

void FrmMain::beep() { QApplication::beep(); }

std::shared_ptr<HeightImage> FrmMain::loadPicture(const std::string& path) { return loadPictureFile(path); }

void FrmMain::setToolbarsVisible(bool visible) {
    picMainToolbar->setVisible(visible);
    picScrollToolbar->setVisible(visible);
}

void FrmMain::fitSliders() {
    // The panel's layout keeps both sliders at its height less 3 pixels; this
    // brings them to it now rather than at the next layout pass.
    if (picScrollToolbar->layout()) picScrollToolbar->layout()->activate();
}

FrmPicture* FrmMain::ensurePicture() {
    if (!m_picture) {
        m_picture = new FrmPicture(*this, m_doc);
        m_picture->setBoardGrid(mnuOptionsBoardGrid->isChecked());
        m_mdi->addSubWindow(m_picture);
        m_picture->hide();
    }
    return m_picture.data();
}

void FrmMain::showPictureWindow() {
    ensurePicture();
    m_picture->fitToPicture(m_mdi->viewport()->size());
    m_picture->move(0, 0);
    m_picture->show();
}

void FrmMain::unloadPictureWindow() {
    if (!m_picture) return;
    FrmPicture* p = m_picture.data();
    m_picture = nullptr;
    p->unload();
}

void FrmMain::setSaveAsCloseEnabled(bool enabled) {
    mnuFileSaveAs->setEnabled(enabled);
    mnuFileClose->setEnabled(enabled);
}

void FrmMain::focusGroundLevel() { txtGroundLevel->setFocus(Qt::OtherFocusReason); }

void FrmMain::setScaleUpOff() {
    cmdScale->setProperty("Tag", QStringLiteral("False"));
    QFont f = cmdScale->font();
    f.setBold(false);
    cmdScale->setFont(f);
    m_app.session.gblnScaleUp = false;
}

OverwriteAnswer FrmMain::askOverwrite() {
    FrmOverWrite dialog(m_app, *mnuOptionsOverwrite, m_overwriteAnswer, this);
    showOverWriteModally(dialog);
    // The dialog keeps its answer as the message box's code: "6" Yes, "7" No, "2" Cancel.
    return m_overwriteAnswer == "6" ? OverwriteAnswer::Yes
           : m_overwriteAnswer == "7" ? OverwriteAnswer::No
                                      : OverwriteAnswer::Cancel;
}

FrmPicture* FrmMain::picture() const { return m_picture.data(); }

FrmCalcImgSize* FrmMain::calcImgSize() const { return m_calcImgSize.data(); }

// ---- Frame handlers ----------------------------------------------------------

void FrmMain::connectHandlers() {
    connect(tmrResize, &QTimer::timeout, this, &FrmMain::tmrResize_Timer);
    connect(mnuFileOpen, &QAction::triggered, this, &FrmMain::mnuFileOpen_Click);
    connect(mnuFileSave, &QAction::triggered, this, &FrmMain::mnuFileSave_Click);
    connect(mnuFileSaveAs, &QAction::triggered, this, &FrmMain::mnuFileSaveAs_Click);
    connect(mnuFileClose, &QAction::triggered, this, &FrmMain::mnuFileClose_Click);
    connect(mnuFileQuit, &QAction::triggered, this, &FrmMain::mnuFileQuit_Click);
    connect(mnuToolsCalcImgSize, &QAction::triggered, this, &FrmMain::mnuToolsCalcImgSize_Click);
    connect(mnuOptionsOverwrite, &QAction::triggered, this, &FrmMain::mnuOptionsOverwrite_Click);
    connect(mnuOptionsBoardGrid, &QAction::triggered, this, &FrmMain::mnuOptionsBoardGrid_Click);
    connect(mnuAbout, &QAction::triggered, this, &FrmMain::mnuAbout_Click);
    connect(mnuMakeDLFiles, &QAction::triggered, this, &FrmMain::mnuMakeDLFiles_Click);

    connect(cmdRedraw, &QPushButton::clicked, this, &FrmMain::cmdRedraw_Click);
    connect(cmdCalcCL, &QPushButton::clicked, this, &FrmMain::cmdCalcCL_Click);
    connect(cmdGetHighLowColor, &QPushButton::clicked, this, &FrmMain::cmdGetHighLowColor_Click);
    connect(cmdNewCoast, &QPushButton::clicked, this, &FrmMain::cmdNewCoast_Click);
    connect(cmdScale, &QPushButton::clicked, this, &FrmMain::cmdScale_Click);

    connect(chkFlatten, &QCheckBox::clicked, this, &FrmMain::chkFlatten_Click);
    connect(chkFill, &QCheckBox::clicked, this, &FrmMain::chkFill_Click);
    chkFlatten->installEventFilter(this);
    chkFill->installEventFilter(this);
    connect(vsbMountains, &QScrollBar::sliderMoved, this, &FrmMain::vsbMountains_Scroll);
    connect(vsbMountains, &QScrollBar::valueChanged, this, &FrmMain::vsbMountains_Change);
    connect(vsbValleys, &QScrollBar::sliderMoved, this, &FrmMain::vsbValleys_Scroll);
    connect(vsbValleys, &QScrollBar::valueChanged, this, &FrmMain::vsbValleys_Change);

    connect(vsbGroundLevel, &QScrollBar::valueChanged, this, &FrmMain::vsbGroundLevel_Change);
    txtGroundLevel->installEventFilter(this);
    connect(chkShowCoast, &QCheckBox::toggled, this, &FrmMain::chkShowCoast_Click);

    connect(hsbBlur, &QScrollBar::sliderMoved, this, &FrmMain::hsbBlur_Scroll);
    connect(hsbBlur, &QScrollBar::valueChanged, this, &FrmMain::hsbBlur_Change);
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched == m_mdi->viewport() && t == QEvent::MouseMove) {
        MDIForm_MouseMove();
    } else if ((watched == chkFlatten || watched == chkFill) && t == QEvent::MouseButtonPress) {
        const Qt::MouseButton b = static_cast<QMouseEvent*>(event)->button();
        if (watched == chkFlatten)
            chkFlatten_MouseDown(b);
        else
            chkFill_MouseDown(b);
    } else if (watched == txtGroundLevel) {
        if (t == QEvent::FocusIn) {
            txtGroundLevel_GotFocus();
        } else if (t == QEvent::FocusOut) {
            // A message box or menu taking the focus for a moment is not leaving the box.
            const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
            if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason) txtGroundLevel_LostFocus();
        } else if (t == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(event);
            if (!k->text().isEmpty() && txtGroundLevel_KeyPress(k->key())) return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmMain::MDIForm_Load() {
    Routine r(m_app, "frmMain.MDIForm_Load");
    Session& s = m_app.session;
    r([&] { mnuMakeDLFiles->setVisible(s.gblnProgrammerMode); });
    r([&] { s.gblnLoading = true; });
    r([&] {
        s.gblnOverwriteNotify = true;
        s.gstrCR.assign(1, '\r');
        s.gstrCR2.assign(2, '\r');
        s.gdblValleyFactor = 1;
        // The mountains fraction follows its bar from the start. The bar stands at
        // 0, so a fraction of 1 here would make the first Redraw flatten by 100 %
        // while the caption and the result name say 0.
        s.gsngMountainFactor = mountainFactorFromBar(vsbMountains->value());
        s.gintGroundLevel = 128;
        s.glngGroundColor = fcnGrayColor(128);
    });
    r([&] { cmdScale->setProperty("Tag", QStringLiteral("False")); });
    r([&] {
        picMainToolbar->hide();
        picScrollToolbar->hide();
    });
    r([&] {
        mnuFileSave->setEnabled(false);
        mnuFileSaveAs->setEnabled(false);
        mnuFileClose->setEnabled(false);
    });
    r([&] { s.gblnLoading = false; });
}

void FrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    MDIForm_Resize();
}

void FrmMain::MDIForm_Resize() {
    Routine r(m_app, "frmMain.MDIForm_Resize");
    r.setBeforeHandler([this](const RuntimeError& e) {
        if (e.number() == err::InvalidPropertyValue)
            showMessage(m_app, "You are going to receive Error# 380. Click Retry", mb::OKOnly, "Morv");
    });
    bool skip = false;
    r([&] { skip = m_app.session.gblnLoading || isMinimized(); });
    if (skip) return;
    r([&] {
        if (width() < 1024) resize(1024, height());
    });
    r([&] {
        if (height() < 768) resize(width(), 768);
    });
    r([&] { tmrResize->start(); });
}

void FrmMain::tmrResize_Timer() {
    Routine r(m_app, "frmMain.tmrResize_Timer");
    r([&] { tmrResize->stop(); });
    r([&] { fitSliders(); });
}

void FrmMain::MDIForm_MouseMove() {
    Routine r(m_app, "frmMain.MDIForm_MouseMove");
    r([&] {
        if (!m_app.session.gblnDrawing && !m_app.session.gblnBusy) setStatus("");
    });
}

void FrmMain::closeEvent(QCloseEvent* event) {
    // The picture window's close request runs first, with the unsaved-changes
    // question; refusing it keeps the program running.
    if (m_picture && !m_picture->close()) {
        event->ignore();
        return;
    }
    event->accept();
}

void FrmMain::mnuFileQuit_Click() {
    Routine r(m_app, "frmMain.mnuFileQuit_Click");
    // Ends at once: no question, no close requests.
    r([&] {
        m_app.trace.closeLog();
        QCoreApplication::exit(0);
    });
}

void FrmMain::mnuToolsCalcImgSize_Click() {
    // Only shows the window: the calculation is traced and trapped on its button.
    if (!m_calcImgSize) m_calcImgSize = new FrmCalcImgSize(m_app, this);
    showCalcImgSizeModally(*m_calcImgSize);
}

void FrmMain::mnuAbout_Click() {
    Routine r(m_app, "frmMain.mnuAbout_Click");
    r([&] {
        // Loaded afresh for each showing and unloaded after it, its check with it.
        FrmAbout frmAbout(m_app, this);
        showAboutModally(frmAbout);
    });
}

void FrmMain::mnuMakeDLFiles_Click() {
    // The release maker traces and traps itself, then unloads this window: the
    // picture window's close request runs first, as for any close.
    makeReleaseFiles(m_app, m_app.releaseFolder, ownExecutablePath(), [this] { close(); });
}

void FrmMain::mnuOptionsOverwrite_Click() {
    // The entry's check mark has already flipped; the option follows it.
    m_app.session.gblnOverwriteNotify = mnuOptionsOverwrite->isChecked();
}

void FrmMain::mnuOptionsBoardGrid_Click() {
    Routine r(m_app, "frmMain.mnuOptionsBoardGrid_Click");
    r([&] {
        if (m_picture) m_picture->setBoardGrid(mnuOptionsBoardGrid->isChecked());
    });
}

// ---- Dropped files -------------------------------------------------------------

std::string FrmMain::droppableFile(const QMimeData* data) const {
    if (!data || !mnuFile->menuAction()->isEnabled() || !mnuFileOpen->isEnabled()) return {};
    if (m_app.session.gblnBusy || m_app.session.gblnDrawing) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("bmp") && suffix != QLatin1String("jpg") && suffix != QLatin1String("jpeg")) return {};
    return path.toStdString();
}

void FrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (droppableFile(event->mimeData()).empty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void FrmMain::dragMoveEvent(QDragMoveEvent* event) {
    if (droppableFile(event->mimeData()).empty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void FrmMain::dropEvent(QDropEvent* event) {
    const std::string path = droppableFile(event->mimeData());
    if (path.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    MDIForm_OLEDragDrop(path);
}

void FrmMain::MDIForm_OLEDragDrop(const std::string& path) {
    Routine r(m_app, "frmMain.MDIForm_OLEDragDrop");
    // Every step and question of File > Open, the unsaved-changes one first; only
    // the file dialog is left out.
    r([&] { openImageAt(*this, path); });
}

}  // namespace morv
