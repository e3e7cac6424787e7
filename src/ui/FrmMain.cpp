#include "ui/FrmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QScrollBar>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <exception>
#include <thread>

#include "core/Routine.h"
#include "commands/FileCommands.h"
#include "commands/PictureCommands.h"
#include "io/ImageIO.h"
#include "engine/TerrainSettings.h"
#include "commands/ReleaseFiles.h"
#include "ui/FrmAbout.h"
#include "ui/FrmCalcImgSize.h"
#include "ui/FrmFitBoards.h"
#include "ui/FrmGradeTrack.h"
#include "ui/FrmLevelSite.h"
#include "ui/FrmMapScale.h"
#include "ui/FrmLevels.h"
#include "ui/FrmExportAsset.h"
#include "ui/FrmImport.h"
#include "ui/FrmOverWrite.h"
#include "ui/FrmPicture.h"
#include "ui/PictureBox.h"

namespace morv {

namespace {

/// Key preview for the whole main window while an operation runs: every key
/// pressed in it, wherever the focus is (a disabled button, the menu bar), goes to
/// the picture window's key handlers and no further. Boxes and dialogs shown over
/// the window keep their keys.
class KeyPreview : public QObject {
public:
    KeyPreview(QWidget* window, std::function<FrmPicture*()> picture) : m_window(window), m_picture(std::move(picture)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if ((t != QEvent::KeyPress && t != QEvent::ShortcutOverride) || !watched->isWidgetType()) return false;
        if (static_cast<QWidget*>(watched)->window() != m_window) return false;
        FrmPicture* picture = m_picture();
        if (!picture) return false;
        // Claiming the shortcut check makes the key arrive as a key press (Ctrl+C
        // copies the contour picture even now); the press itself goes to the window.
        if (t == QEvent::ShortcutOverride)
            event->accept();
        else
            picture->previewKey(static_cast<QKeyEvent*>(event));
        return true;
    }

private:
    QWidget* m_window;
    std::function<FrmPicture*()> m_picture;
};

}  // namespace

FrmMain::FrmMain(App& app, QWidget* parent) : QMainWindow(parent), m_app(app) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Morv:"));
    setupUi();
    // The window never gets smaller than 1024 x 768 pixels, or the screen where it
    // is smaller (the resize handler snaps it back too, for window managers that
    // ignore the minimum).
    setMinimumSize(frameMinimum());
    resize(frameMinimum());

    tmrResize = new QTimer(this);
    tmrResize->setObjectName(QStringLiteral("tmrResize"));
    tmrResize->setInterval(50);
    tmrResize->setSingleShot(true);

    showOverWriteModally = [](FrmOverWrite& dialog) { dialog.exec(); };
    showCalcImgSizeModally = [](FrmCalcImgSize& dialog) { dialog.exec(); };
    showImportModally = [](FrmImport& dialog) { dialog.exec(); };
    showAboutModally = [](FrmAbout& dialog) { dialog.exec(); };
    showFitBoardsModally = [](FrmFitBoards& dialog) { return dialog.exec(); };
    showLevelsModally = [](FrmLevels& dialog) { return dialog.exec(); };
    showExportAssetModally = [](FrmExportAsset& dialog) { return dialog.exec(); };
    showMapScaleModally = [](FrmMapScale& dialog) { return dialog.exec(); };
    showLevelSiteModally = [](FrmLevelSite& dialog) { return dialog.exec(); };
    showGradeTrackModally = [](FrmGradeTrack& dialog) { return dialog.exec(); };
    readPictureFile = [this](const std::string& path) { return morv::loadPicture(path, LevelOptions{m_doc.levels}).image; };
    // A height image dropped from a file manager opens as File > Open would; the
    // ground level box must not take the file's name as typed text instead.
    setAcceptDrops(true);
    txtGroundLevel->setAcceptDrops(false);
    connectHandlers();
    connectEditViewHandlers();
    connectGroundHandlers();
    MDIForm_Load();
    // Enabled from the start: it also fires once, 50 ms after the window loads.
    tmrResize->start();
}

FrmMain::~FrmMain() {
    if (m_picture) delete m_picture.data();
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
    // Nothing is undone while a command works on the map.
    mnuEdit->menuAction()->setEnabled(CtrlEnabled);
    picMainToolbar->setEnabled(CtrlEnabled);
    picScrollToolbar->setEnabled(CtrlEnabled);
    if (!CtrlEnabled) {
        // While the work runs only the picture window answers keys (Esc offers to
        // cancel): a click on a toolbar button left the focus on a control that no
        // longer takes any.
        if (m_picture && m_picture->isVisible()) m_picture->takeKeyboardFocus();
        if (!m_keyPreview) {
            m_keyPreview = std::make_unique<KeyPreview>(this, [this] { return m_picture.data(); });
            qApp->installEventFilter(m_keyPreview.get());
        }
        // Show the disabled look at once: the work may read a large file before it
        // first lets the window paint.
        menuBar()->repaint();
        picMainToolbar->repaint();
        picScrollToolbar->repaint();
    }
    if (CtrlEnabled) m_keyPreview.reset();
    if (CtrlEnabled && m_picture) m_picture->sync();
    // The preview stands back while the map itself is being worked.
    updatePreview();
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

std::shared_ptr<HeightImage> FrmMain::loadPicture(const std::string& path) {
    std::shared_ptr<HeightImage> image;
    if (m_app.session.gblnBusy || m_app.session.gblnDrawing) {
        // A running operation (Redraw re-reading its file) shows the wait pointer
        // for the read too, and reads on a worker: on a large map the read takes a
        // second or more, and the window keeps painting and answering Esc meanwhile.
        setWaitCursor(true);
        if (beforeReread) beforeReread();
        setStatus("WORKING... Loading Image");
        // The map read again takes the place of the one shown, which its undo step
        // already keeps packed: the window shows it from there while the file is
        // read, so its memory goes back first and the map is never held twice.
        std::shared_ptr<const PackedPicture> standIn;
        if (m_packedBefore && m_picture && path == m_doc.dialogFileName && m_doc.disp.image.get() == m_packedImage &&
            m_doc.disp.commits == m_packedCommits && m_doc.disp.image.use_count() == 1 &&
            m_packedBefore->width() == m_doc.disp.width() && m_packedBefore->height() == m_doc.disp.height()) {
            standIn = m_packedBefore;
            m_picture->picDisp()->setStandIn(standIn);
            m_doc.disp.replace(nullptr);
        }
        const auto endStandIn = [&] {
            if (standIn && m_picture) m_picture->picDisp()->setStandIn(nullptr);
        };
        try {
            image = readWhileServing(path);
        } catch (...) {
            // The file could not be read: the map goes back as it was.
            if (standIn) m_doc.disp.replace(standIn->unpack());
            endStandIn();
            throw;
        }
        endStandIn();
    } else {
        image = readPictureFile(path);
    }
    if (mnuViewLivePreview->isChecked() && path == m_doc.dialogFileName && image) {
        // The preview starts from the map as its file holds it, as Redraw does: keep
        // that. A running command is about to draw on what it reads: it gets a copy.
        // Undo, the only other change in place, copies first itself.
        m_asRead = image;
        if (m_app.session.gblnBusy || m_app.session.gblnDrawing) image = std::make_shared<HeightImage>(*image);
    }
    return image;
}

std::shared_ptr<HeightImage> FrmMain::readWhileServing(const std::string& path) {
    std::shared_ptr<HeightImage> image;
    std::exception_ptr failure;
    QEventLoop loop;
    std::atomic<bool> finished{false};
    std::thread worker([&, read = readPictureFile] {
        try {
            image = read(path);
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    // Tests act on the window while the read is under way.
    QTimer tick;
    tick.setInterval(20);
    connect(&tick, &QTimer::timeout, &loop, [this] {
        if (whileReading) whileReading();
    });
    tick.start();
    QTimer::singleShot(0, &loop, [this] {
        if (whileReading) whileReading();
    });
    if (!finished) loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return image;
}

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
        m_picture->setShading(mnuViewShaded->isChecked());
        m_mdi->addSubWindow(m_picture);
        m_picture->hide();
        attachGroundTools();
    }
    return m_picture.data();
}

void FrmMain::showPictureWindow() {
    ensurePicture();
    m_picture->fitToPicture(m_mdi->viewport()->size());
    m_picture->move(0, 0);
    m_picture->show();
    fitLargeMap();
}

void FrmMain::unloadPictureWindow() {
    if (!m_picture) return;
    FrmPicture* p = m_picture.data();
    m_picture = nullptr;
    p->unload();
    // The readout spoke of the picture that is gone, the history of its map.
    setStatus("");
    checkHistory();
}

void FrmMain::setSaveAsCloseEnabled(bool enabled) {
    mnuFileSaveAs->setEnabled(enabled);
    mnuFileClose->setEnabled(enabled);
    // The other entries that work on the open map follow the same state.
    mnuFileExportAsset->setEnabled(enabled);
    mnuToolsFitBoards->setEnabled(enabled);
    for (QAction* a : groundActions()) a->setEnabled(enabled);
    for (QAction* a : {mnuViewZoomFit, mnuViewActualSize, mnuViewZoomIn, mnuViewZoomOut}) a->setEnabled(enabled);
}

void FrmMain::focusGroundLevel() { txtGroundLevel->setFocus(Qt::OtherFocusReason); }

void FrmMain::setScaleUp(bool on) {
    cmdScale->setProperty("Tag", on ? QStringLiteral("True") : QStringLiteral("False"));
    QFont f = cmdScale->font();
    f.setBold(on);
    cmdScale->setFont(f);
    m_app.session.gblnScaleUp = on;
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
    connect(mnuFileExportAsset, &QAction::triggered, this, &FrmMain::mnuFileExportAsset_Click);
    connect(mnuFileQuit, &QAction::triggered, this, &FrmMain::mnuFileQuit_Click);
    connect(mnuToolsCalcImgSize, &QAction::triggered, this, &FrmMain::mnuToolsCalcImgSize_Click);
    connect(mnuToolsImport, &QAction::triggered, this, &FrmMain::mnuToolsImport_Click);
    connect(mnuToolsFitBoards, &QAction::triggered, this, &FrmMain::mnuToolsFitBoards_Click);
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

    // The bars carry no caption of their own: their tips name them and their value.
    const auto tip = [](QScrollBar* bar, const char* name, const char* unit) {
        const auto show = [bar, name, unit](int value) {
            bar->setToolTip(QString::fromUtf8(name) + QStringLiteral(": ") + QString::number(value) + QString::fromUtf8(unit));
        };
        show(bar->value());
        connect(bar, &QScrollBar::valueChanged, bar, show);
        connect(bar, &QScrollBar::sliderMoved, bar, show);
    };
    tip(vsbValleys, "Valleys", " %");
    tip(vsbMountains, "Mountains", " %");
    tip(vsbGroundLevel, "Ground level", "");
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
        updatePreview();
    } else if (watched == txtGroundLevel) {
        if (t == QEvent::FocusIn) {
            txtGroundLevel_GotFocus();
            // A click places the cursor after the focus came: select again when it ends.
            m_selectOnRelease = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
        } else if (t == QEvent::MouseButtonRelease && m_selectOnRelease) {
            m_selectOnRelease = false;
            QMainWindow::eventFilter(watched, event);
            txtGroundLevel->selectAll();
            return false;
        } else if (t == QEvent::FocusOut) {
            // A message box or menu taking the focus for a moment is not leaving the box.
            const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
            if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason) {
                txtGroundLevel_LostFocus();
                releaseStuckButtons();
            }
        } else if (t == QEvent::ShortcutOverride) {
            // The menus' shortcuts win over the box's own keys (Ctrl+A is Save As, not select all).
            if (isMenuShortcut(static_cast<QKeyEvent*>(event))) {
                event->ignore();
                return true;
            }
        } else if (t == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(event);
            if (!k->text().isEmpty() && txtGroundLevel_KeyPress(k->key())) return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool FrmMain::isMenuShortcut(const QKeyEvent* key) const {
    const QKeySequence pressed(key->keyCombination());
    for (const QAction* a : {mnuFileOpen, mnuFileSave, mnuFileSaveAs, mnuFileQuit})
        if (a->isEnabled() && mnuFile->menuAction()->isEnabled() && a->shortcut() == pressed) return true;
    // Ctrl+Z in the ground level box undoes the map's last command, not the typing.
    for (const QAction* a : {mnuEditUndo, mnuEditRedo})
        if (a->isEnabled() && mnuEdit->menuAction()->isEnabled() && a->shortcuts().contains(pressed)) return true;
    for (const QAction* a : {mnuViewZoomFit, mnuViewActualSize, mnuViewZoomIn, mnuViewZoomOut})
        if (a->isEnabled() && a->shortcuts().contains(pressed)) return true;
    return false;
}

void FrmMain::releaseStuckButtons() {
    // When leaving the ground level box was answered by an error message, the box
    // swallowed the release of the click that left it: a button pressed by that
    // click would keep its pressed look. Once the press has been delivered, a
    // button that is down while no mouse button is held goes back up.
    QTimer::singleShot(0, this, [this] {
        if (QGuiApplication::mouseButtons() != Qt::NoButton) return;
        for (QAbstractButton* b : picMainToolbar->findChildren<QAbstractButton*>())
            if (b->isDown()) b->setDown(false);
    });
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
    r([&] { setScaleUp(false); });
    r([&] {
        picMainToolbar->hide();
        picScrollToolbar->hide();
    });
    r([&] {
        mnuFileSave->setEnabled(false);
        mnuFileSaveAs->setEnabled(false);
        mnuFileClose->setEnabled(false);
        mnuFileExportAsset->setEnabled(false);
        mnuToolsFitBoards->setEnabled(false);
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
    const QSize least = frameMinimum();
    r([&] {
        if (width() < least.width()) resize(least.width(), height());
    });
    r([&] {
        if (height() < least.height()) resize(width(), least.height());
    });
    r([&] { tmrResize->start(); });
}

void FrmMain::tmrResize_Timer() {
    Routine r(m_app, "frmMain.tmrResize_Timer");
    r([&] { tmrResize->stop(); });
    r([&] { fitSliders(); });
}

QSize FrmMain::frameMinimum() const {
    const QSize least(1024, 768);
    const QScreen* where = screen();
    if (!where) return least;
    // The frame the window manager puts around the window is known once it shows.
    const QSize frame = isVisible() ? frameGeometry().size() - geometry().size() : QSize(0, 0);
    return least.boundedTo(where->availableGeometry().size() - frame);
}

void FrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (QWindow* handle = windowHandle())
        connect(handle, &QWindow::screenChanged, this, &FrmMain::followScreen, Qt::UniqueConnection);
    followScreen();
}

void FrmMain::followScreen() {
    const QSize least = frameMinimum();
    if (minimumSize() != least) setMinimumSize(least);
    // A frame larger than its screen (restored from a bigger one) comes down to it.
    const QSize room = least.expandedTo(screen() ? screen()->availableGeometry().size() - (frameGeometry().size() - size()) : least);
    if (width() > room.width() || height() > room.height()) resize(size().boundedTo(room));
}

void FrmMain::showAtStart() {
    show();
    const std::string path = m_app.session.gstrImageFile;
    if (!path.empty()) QTimer::singleShot(0, this, [this, path] { openCommandLineImage(path); });
}

void FrmMain::openCommandLineImage(const std::string& path) {
    // A name given relative to the working folder is kept whole, so the caption,
    // Redraw and the file dialogs know its folder.
    const std::string whole = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    // Every step and message of File > Open without the dialog, as for a dropped file.
    const HeightImage* before = m_doc.disp.image.get();
    openImageAt(*this, whole);
    afterOpen(before);
    // Nothing opened: File > Open still starts from the path the command line named.
    if (!m_picture) m_app.session.gstrImageFile = whole;
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
    // Unloaded when done, so each showing starts with its fields empty.
    FrmCalcImgSize frmCalcImgSize(m_app, this);
    m_calcImgSize = &frmCalcImgSize;
    showCalcImgSizeModally(frmCalcImgSize);
}

void FrmMain::mnuToolsImport_Click() {
    FrmImport dialog(m_app, *this, this);
    showImportModally(dialog);
    if (dialog.writtenMap().empty()) return;
    // The new map opens as a dropped file would: every step of File > Open but the dialog.
    Routine r(m_app, "frmMain.mnuToolsImport_Click");
    const HeightImage* before = m_doc.disp.image.get();
    r([&] { openImageAt(*this, dialog.writtenMap()); });
    afterOpen(before);
    // The contour image was drawn at the import's ground: the ground level follows
    // it, found as Calc Base finds it.
    if (m_picture && m_doc.disp.image.get() != before && !m_doc.dispCL.image->empty()) calcBase(*this);
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
        mnuViewBoardGrid->setChecked(mnuOptionsBoardGrid->isChecked());
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
    if (!hasReadableExtension(path.toStdString())) return {};
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
    const HeightImage* before = m_doc.disp.image.get();
    r([&] { openImageAt(*this, path); });
    afterOpen(before);
}

}  // namespace morv
