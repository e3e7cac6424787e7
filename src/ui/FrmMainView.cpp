// The main window's Edit and View menus: undo and redo of what the commands did
// to the map in memory, the zoom entries, the shaded relief, the board grid and
// the live preview of the terrain settings.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <cmath>
#include <vector>

#include "core/Routine.h"
#include "ui/FrmMain.h"
#include "ui/FrmPicture.h"
#include "ui/PictureBox.h"

namespace morv {

namespace {

const QString kLivePreview = QStringLiteral("view/livePreview");
const QString kUndoSteps = QStringLiteral("undo/steps");
const QString kUndoBudget = QStringLiteral("undo/budgetMiB");

/// Holding Space in the main window shows the map without the preview, as long
/// as it is held; the window says when through its two callbacks.
class SpaceHold : public QObject {
public:
    SpaceHold(QWidget* window, std::function<bool()> wanted, std::function<void(bool)> hold)
        : m_window(window), m_wanted(std::move(wanted)), m_hold(std::move(hold)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (t != QEvent::KeyPress && t != QEvent::KeyRelease) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier || !watched->isWidgetType()) return false;
        if (static_cast<QWidget*>(watched)->window() != m_window) return false;
        // A button or box with the focus keeps Space for itself.
        if (qobject_cast<QAbstractButton*>(watched)) return false;
        if (t == QEvent::KeyPress && !m_wanted()) return false;
        if (!key->isAutoRepeat()) m_hold(t == QEvent::KeyPress);
        return true;
    }

private:
    QWidget* m_window;
    std::function<bool()> m_wanted;
    std::function<void(bool)> m_hold;
};

}  // namespace

void FrmMain::buildEditViewMenus() {
    const auto entry = [](QMenu* menu, const char* name, const char* caption, QList<QKeySequence> keys = {}) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromUtf8(name));
        a->setShortcuts(keys);
        return a;
    };
    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuEditUndo = entry(mnuEdit, "mnuEditUndo", "&Undo", {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    mnuEditRedo = entry(mnuEdit, "mnuEditRedo", "&Redo",
                        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    mnuEditUndo->setEnabled(false);
    mnuEditRedo->setEnabled(false);

    // "&View" would take Alt+V from Fill in &Valleys.
    mnuView = menuBar()->addMenu(QStringLiteral("Vie&w"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuViewZoomFit = entry(mnuView, "mnuViewZoomFit", "Zoom to &Fit", {QKeySequence(Qt::CTRL | Qt::Key_0)});
    mnuViewActualSize = entry(mnuView, "mnuViewActualSize", "&Actual Size", {QKeySequence(Qt::CTRL | Qt::Key_1)});
    mnuViewZoomIn = entry(mnuView, "mnuViewZoomIn", "Zoom &In",
                          {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    mnuViewZoomOut = entry(mnuView, "mnuViewZoomOut", "Zoom &Out", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    mnuView->addSeparator();
    mnuViewShaded = entry(mnuView, "mnuViewShaded", "&Shaded Relief");
    mnuViewShaded->setCheckable(true);
    mnuViewBoardGrid = entry(mnuView, "mnuViewBoardGrid", "Show Board &Grid");
    mnuViewBoardGrid->setCheckable(true);
    mnuView->addSeparator();
    mnuViewLivePreview = entry(mnuView, "mnuViewLivePreview", "&Live Preview");
    mnuViewLivePreview->setCheckable(true);
    mnuViewLivePreview->setChecked(QSettings().value(kLivePreview, false).toBool());
    mnuViewShowOriginal = entry(mnuView, "mnuViewShowOriginal", "Show O&riginal (hold Space)");
    mnuViewShowOriginal->setCheckable(true);
    for (QAction* a : {mnuViewZoomFit, mnuViewActualSize, mnuViewZoomIn, mnuViewZoomOut}) a->setEnabled(false);

    const QSettings settings;
    m_history.setLimits(settings.value(kUndoSteps, 10).toInt(),
                        std::size_t(std::max(0LL, settings.value(kUndoBudget, 512).toLongLong())) << 20);
}

void FrmMain::connectEditViewHandlers() {
    connect(mnuEditUndo, &QAction::triggered, this, &FrmMain::mnuEditUndo_Click);
    connect(mnuEditRedo, &QAction::triggered, this, &FrmMain::mnuEditRedo_Click);
    using Key = FrmPicture::ZoomKey;
    const auto zoom = [this](QAction* a, Key key) {
        connect(a, &QAction::triggered, this, [this, key] {
            if (m_picture && m_picture->isVisible()) m_picture->zoomKey(key);
        });
    };
    zoom(mnuViewZoomFit, Key::Fit);
    zoom(mnuViewActualSize, Key::OneToOne);
    zoom(mnuViewZoomIn, Key::In);
    zoom(mnuViewZoomOut, Key::Out);
    connect(mnuViewShaded, &QAction::triggered, this, &FrmMain::mnuViewShaded_Click);
    connect(mnuViewBoardGrid, &QAction::triggered, this, &FrmMain::mnuViewBoardGrid_Click);
    connect(mnuViewLivePreview, &QAction::triggered, this, &FrmMain::mnuViewLivePreview_Click);
    connect(mnuViewShowOriginal, &QAction::triggered, this, [this] { updatePreview(); });

    // Every setting the level passes read shows at once while Live Preview is on;
    // these run after the controls' own handlers.
    const auto preview = [this] { updatePreview(); };
    for (QScrollBar* bar : {vsbMountains, vsbValleys, vsbGroundLevel}) {
        connect(bar, &QScrollBar::sliderMoved, this, preview);
        connect(bar, &QScrollBar::valueChanged, this, preview);
    }
    connect(chkFlatten, &QCheckBox::toggled, this, preview);
    connect(chkFill, &QCheckBox::toggled, this, preview);
    connect(cmdScale, &QPushButton::clicked, this, preview);
    // The blur and the contours follow a moment later, worked out on the side.
    connect(hsbBlur, &QScrollBar::sliderMoved, this, preview);
    connect(hsbBlur, &QScrollBar::valueChanged, this, preview);
    for (QCheckBox* box : {chkBlur, chkAutoContLine, chkShowCoast}) connect(box, &QCheckBox::toggled, this, preview);
    // As Flatten and Fill hand the focus to their bars, Apply Blur hands it to the
    // blur bar: the amount can then be set with the keys.
    connect(chkBlur, &QCheckBox::clicked, this, [this] { hsbBlur->setFocus(Qt::OtherFocusReason); });
    m_previewWork = std::make_unique<PreviewWork>([this](std::uint64_t id, PreviewPatchPixels pixels) {
        QMetaObject::invokeMethod(
            this, [this, id, pixels = std::move(pixels)]() mutable { showPatch(id, std::move(pixels)); },
            Qt::QueuedConnection);
    });

    m_spaceHold = std::make_unique<SpaceHold>(
        this,
        [this] {
            const Session& s = m_app.session;
            return mnuViewLivePreview->isChecked() && m_picture && !s.gblnBusy && !s.gblnDrawing;
        },
        [this](bool held) {
            m_showOriginalHeld = held;
            updatePreview();
        });
    qApp->installEventFilter(m_spaceHold.get());
}

// ---- Undo and redo -------------------------------------------------------------

MapState FrmMain::currentState() const {
    const Session& s = m_app.session;
    MapState state;
    state.groundLevel = vsbGroundLevel->value();
    state.caption = m_picture ? m_picture->windowTitle().toStdString() : std::string();
    state.resultName = s.gstrResultName;
    state.high = s.gintHighColor;
    state.low = s.gintLowColor;
    state.curHigh = s.gintCurHighColor;
    state.curLow = s.gintCurLowColor;
    state.drawnWith = m_doc.drawnWith;
    state.blur = m_doc.blur;
    state.scale = m_doc.scale;
    return state;
}

void FrmMain::restoreState(const MapState& state) {
    Session& s = m_app.session;
    if (vsbGroundLevel->value() != state.groundLevel) setGroundLevelValue(state.groundLevel);
    setPictureCaption(state.caption);
    s.gstrResultName = state.resultName;
    s.gintHighColor = state.high;
    s.gintLowColor = state.low;
    s.gintCurHighColor = state.curHigh;
    s.gintCurLowColor = state.curLow;
    m_doc.drawnWith = state.drawnWith;
    m_doc.blur = state.blur;
    m_doc.scale = state.scale;
}

void FrmMain::rememberPlace() {
    m_placeDisp = m_doc.disp.image.get();
    m_placeDispCL = m_doc.dispCL.image.get();
    m_placeCommits = m_doc.disp.commits;
    m_placeCommitsCL = m_doc.dispCL.commits;
}

void FrmMain::checkHistory() {
    const bool same = m_picture && m_placeDisp == m_doc.disp.image.get() && m_placeDispCL == m_doc.dispCL.image.get() &&
                      m_placeCommits == m_doc.disp.commits && m_placeCommitsCL == m_doc.dispCL.commits;
    if (!same) {
        // Another map, or this one changed by something the history did not see
        // (a revert): its steps no longer fit the pictures.
        m_history.clear(!saveEnabled());
        rememberPlace();
        if (!m_picture || m_asRead.get() != m_doc.disp.image.get()) m_asRead.reset();
        m_countedImage = nullptr;
    }
    updateUndoMenu();
}

void FrmMain::updateUndoMenu() {
    const bool usable = m_picture != nullptr;
    mnuEditUndo->setEnabled(usable && m_history.canUndo());
    mnuEditRedo->setEnabled(usable && m_history.canRedo());
    mnuEditUndo->setText(mnuEditUndo->isEnabled() ? QStringLiteral("&Undo ") + QString::fromStdString(m_history.undoStep().label)
                                                  : QStringLiteral("&Undo"));
    mnuEditRedo->setText(mnuEditRedo->isEnabled() ? QStringLiteral("&Redo ") + QString::fromStdString(m_history.redoStep().label)
                                                  : QStringLiteral("&Redo"));
}

void FrmMain::recorded(const char* label, bool pictures, const std::function<void()>& command) {
    if (m_recording || !m_picture) {
        command();
        return;
    }
    checkHistory();
    MapStep step;
    step.label = label;
    step.before = currentState();
    std::shared_ptr<PackedPicture> disp;
    std::optional<PackedPicture> dispCL;
    try {
        if (pictures) {
            disp = std::make_shared<PackedPicture>(*m_doc.disp.image);
            dispCL.emplace(*m_doc.dispCL.image);
        }
    } catch (const std::bad_alloc&) {
        // No room to keep the step: the command runs, and what came before it can
        // no longer be undone.
        command();
        checkHistory();
        m_history.clear(!saveEnabled());
        updateUndoMenu();
        return;
    }
    m_recording = true;
    m_packedBefore = disp;
    m_packedImage = m_doc.disp.image.get();
    m_packedCommits = m_doc.disp.commits;
    struct Done {
        bool& flag;
        std::shared_ptr<const PackedPicture>& packed;
        ~Done() {
            flag = false;
            packed.reset();
        }
    } done{m_recording, m_packedBefore};
    command();
    m_packedBefore.reset();
    if (!m_picture) {
        checkHistory();
        return;
    }
    bool kept = true;
    try {
        if (disp) step.disp = PictureChange(*disp, *m_doc.disp.image);
        disp.reset();
        if (dispCL) step.dispCL = PictureChange(*dispCL, *m_doc.dispCL.image);
    } catch (const std::bad_alloc&) {
        kept = false;
    }
    step.after = currentState();
    const MapState& a = step.after;
    const MapState& b = step.before;
    const bool stateChanged = a.groundLevel != b.groundLevel || a.caption != b.caption || a.resultName != b.resultName ||
                              a.curHigh != b.curHigh || a.curLow != b.curLow || a.high != b.high || a.low != b.low ||
                              a.scale != b.scale;
    if (!kept)
        m_history.clear(!saveEnabled());
    else if (!step.disp.none() || !step.dispCL.none() || stateChanged)
        m_history.push(std::move(step), !saveEnabled());
    rememberPlace();
    updateUndoMenu();
    updatePreview();
}

void FrmMain::mnuEditUndo_Click() {
    Routine r(m_app, "frmMain.mnuEditUndo_Click");
    r([&] {
        const Session& s = m_app.session;
        if (s.gblnBusy || s.gblnDrawing) return;
        checkHistory();
        if (!m_history.canUndo()) return;
        const MapStep& step = m_history.undoStep();
        const QSize was(m_doc.disp.width(), m_doc.disp.height());
        // The preview's copy of the file's map is never changed in place.
        if (m_asRead && m_asRead == m_doc.disp.image) m_asRead = std::make_shared<HeightImage>(*m_asRead);
        m_doc.disp.replace(step.disp.undo(m_doc.disp.image));
        m_doc.dispCL.replace(step.dispCL.undo(m_doc.dispCL.image));
        restoreState(step.before);
        setSaveEnabled(!m_history.stepBack());
        rememberPlace();
        updateUndoMenu();
        if (was != QSize(m_doc.disp.width(), m_doc.disp.height())) showPictureWindow();
        refreshPicture();
        updatePreview();
    });
}

void FrmMain::mnuEditRedo_Click() {
    Routine r(m_app, "frmMain.mnuEditRedo_Click");
    r([&] {
        const Session& s = m_app.session;
        if (s.gblnBusy || s.gblnDrawing) return;
        checkHistory();
        if (!m_history.canRedo()) return;
        const MapStep& step = m_history.redoStep();
        const QSize was(m_doc.disp.width(), m_doc.disp.height());
        if (m_asRead && m_asRead == m_doc.disp.image) m_asRead = std::make_shared<HeightImage>(*m_asRead);
        m_doc.disp.replace(step.disp.redo(m_doc.disp.image));
        m_doc.dispCL.replace(step.dispCL.redo(m_doc.dispCL.image));
        restoreState(step.after);
        setSaveEnabled(!m_history.stepForward());
        rememberPlace();
        updateUndoMenu();
        if (was != QSize(m_doc.disp.width(), m_doc.disp.height())) showPictureWindow();
        refreshPicture();
        updatePreview();
    });
}

// ---- View ------------------------------------------------------------------------

void FrmMain::mnuViewBoardGrid_Click() {
    // One setting, two entries: the Options one and this.
    mnuOptionsBoardGrid->setChecked(mnuViewBoardGrid->isChecked());
    mnuOptionsBoardGrid_Click();
}

void FrmMain::mnuViewShaded_Click() {
    Routine r(m_app, "frmMain.mnuViewShaded_Click");
    r([&] {
        if (m_picture) m_picture->setShading(mnuViewShaded->isChecked());
        schedulePatch();
    });
}

void FrmMain::mnuViewLivePreview_Click() {
    Routine r(m_app, "frmMain.mnuViewLivePreview_Click");
    r([&] {
        QSettings().setValue(kLivePreview, mnuViewLivePreview->isChecked());
        if (!mnuViewLivePreview->isChecked()) m_asRead.reset();
        updatePreview();
    });
}

void FrmMain::updatePreview() {
    const Session& s = m_app.session;
    std::optional<LevelTable> table;
    const TerrainControls c = controls();
    const bool anyPass = c.flattenTicked || c.fillTicked || s.gblnScaleUp;
    const bool wanted = m_picture && mnuViewLivePreview->isChecked() && !mnuViewShowOriginal->isChecked() &&
                        !m_showOriginalHeld && !s.gblnBusy && !s.gblnDrawing && !m_doc.disp.image->empty() && anyPass;
    if (wanted) {
        if (!m_asRead && !saveEnabled()) m_asRead = m_doc.disp.image;
        const std::shared_ptr<HeightImage> source = previewSource();
        LevelPlan plan;
        plan.ground = s.gintGroundLevel;
        plan.mountains = c.flattenTicked;
        plan.mountainMode = c.mountainMode;
        // While a bar is dragged its value waits for the drop; the preview follows the thumb.
        plan.mountainFactor = mountainFactorFromBar(vsbMountains->sliderPosition());
        plan.high = s.gintHighColor;
        plan.valleys = c.fillTicked;
        plan.valleyMode = c.valleyMode;
        plan.valleyFactor = valleyFactorFromBar(vsbValleys->sliderPosition());
        plan.low = s.gintLowColor;
        plan.scaleUp = s.gblnScaleUp;
        if (plan.scaleUp && (m_countedImage != source.get() || m_countedCommits != m_doc.disp.commits)) {
            m_counts = countLevels(*source);
            m_countedImage = source.get();
            m_countedCommits = m_doc.disp.commits;
        }
        table = previewLevels(plan, m_counts);
        m_picture->setLevelMap(table, source);
    } else if (m_picture) {
        m_picture->setLevelMap(std::nullopt);
    }
    m_previewShown = table;
    schedulePatch();
}

std::shared_ptr<HeightImage> FrmMain::previewSource() {
    // Redraw starts from the file: so does the preview, from the copy of it kept in
    // memory. A map still as opened is that copy; after a change that was not read
    // from the file the preview works on the map as it is.
    return m_asRead && m_asRead->width() == m_doc.disp.width() && m_asRead->height() == m_doc.disp.height()
               ? m_asRead
               : m_doc.disp.image;
}

void FrmMain::schedulePatch() {
    const Session& s = m_app.session;
    PictureBox* disp = m_picture ? m_picture->picDisp() : nullptr;
    PictureBox* lines = m_picture ? m_picture->picDispCL() : nullptr;
    // As Redraw reads them: the blur when ticked (the bar's thumb while dragged), the
    // contours when drawn at its end and their display is shown.
    const int blurValue = hsbBlur->sliderPosition();
    const bool blur = chkBlur->isChecked() && blurValue > 0;
    const bool contours = lines && chkAutoContLine->isChecked() && chkShowCoast->isChecked() && lines->isVisible();
    const bool wanted = disp && m_previewShown && (blur || contours) && !disp->shading() && !s.gblnBusy && !s.gblnDrawing;
    if (disp) {
        for (PictureBox* box : {disp, lines}) {
            box->setPatchWanted(wanted);
            box->onPatchWanted = [this] { schedulePatch(); };
        }
    }
    if (!wanted) {
        if (m_patchKey) m_patchJob = m_previewWork->cancel();
        m_patchKey.reset();
        m_patchPending = false;
        if (disp) {
            disp->setPatch(std::nullopt);
            lines->setPatch(std::nullopt);
        }
        return;
    }
    const std::shared_ptr<const HeightImage> source = previewSource();
    const int w = source->width(), h = source->height();
    const double scale = m_picture->scale();
    const QRect shown = (contours ? lines : disp)->visibleRegion().boundingRect();
    if (shown.isEmpty() || w <= 0 || h <= 0) return;  // the first paint asks again
    // Below one to one the preview is worked out on the picture as shown, a display
    // pixel a sample, with the blur scaled to match: its spread grows with the root
    // of the iterations, so the scale squared. From one to one up it is worked out
    // on the map's own pixels, exactly as Redraw would.
    const bool displaySamples = scale < 1.0;
    const QRect bounds = displaySamples ? QRect(QPoint(0, 0), disp->size()) : QRect(0, 0, w, h);
    const QRect keep = (displaySamples ? shown
                                       : QRect(QPoint(imagePixelAt(shown.left(), scale, w), imagePixelAt(shown.top(), scale, h)),
                                               QPoint(imagePixelAt(shown.right(), scale, w),
                                                      imagePixelAt(shown.bottom(), scale, h)))) &
                       bounds;
    if (keep.isEmpty()) return;
    PatchKey key;
    key.source = source.get();
    key.commits = m_doc.disp.commits;
    key.table = *m_previewShown;
    key.amount = blur ? (displaySamples ? int(std::lround(blurValue * scale * scale)) : blurValue) : 0;
    key.contours = contours;
    key.ground = s.glngGroundColor;
    key.scale = scale;
    key.keep = keep;
    // Asked already: under way, or shown (unless the display has since let it go).
    if (m_patchKey && m_patchKey->sameLook(key) && m_patchKey->keep == keep && (m_patchPending || disp->patch()))
        return;
    if (!m_patchKey || !m_patchKey->sameLook(key)) {
        // The level table shows at once; what was worked out for other settings goes.
        disp->setPatch(std::nullopt);
        lines->setPatch(std::nullopt);
    }
    m_patchKey = key;
    // Each blur iteration carries the picture's edge three pixels further in (three
    // of its passes look each way): a margin that wide leaves the kept part exact.
    // One more pixel gives the contour lines at its edge their neighbours.
    const int margin = 3 * key.amount + 1;
    const QRect region = keep.adjusted(-margin, -margin, margin, margin) & bounds;
    PreviewJob job;
    try {
        job.region = HeightImage(region.width(), region.height());
    } catch (const std::bad_alloc&) {
        return;  // no room: the level table alone shows
    }
    std::vector<int> column(std::size_t(region.width()));
    for (int i = 0; i < region.width(); ++i)
        column[std::size_t(i)] = displaySamples ? imagePixelAt(region.left() + i, scale, w) : region.left() + i;
    for (int j = 0; j < region.height(); ++j) {
        const int y = displaySamples ? imagePixelAt(region.top() + j, scale, h) : region.top() + j;
        const std::size_t row = std::size_t(y) * std::size_t(w);
        std::uint8_t* out = job.region.grey() + std::size_t(j) * std::size_t(region.width());
        for (int i = 0; i < region.width(); ++i) {
            const std::size_t at = row + std::size_t(column[std::size_t(i)]);
            const int g = source->isGrey() ? source->grey()[at] : int(fcnGrayLevel(source->colour()[at]) & 0xff);
            out[i] = key.table[std::size_t(g)];
        }
    }
    job.amount = key.amount;
    job.contours = contours;
    job.ground = key.ground;
    job.keep = keep.translated(-region.topLeft());
    m_patchJob = m_previewWork->start(std::move(job));
    m_patchPending = true;
}

void FrmMain::showPatch(std::uint64_t id, PreviewPatchPixels pixels) {
    if (id != m_patchJob || !m_patchKey || !m_picture) return;
    m_patchPending = false;
    const PatchKey& key = *m_patchKey;
    m_picture->picDisp()->setPatch(PreviewPatch{key.scale, key.keep, std::move(pixels.height)});
    if (pixels.contour) m_picture->picDispCL()->setPatch(PreviewPatch{key.scale, key.keep, std::move(pixels.contour)});
    if (previewPatchShown) previewPatchShown();
}

void FrmMain::afterOpen(const HeightImage* before) {
    checkHistory();
    // The open's own last steps wrote the status bar: tell the scale of a map that
    // opened fitted once it is done.
    if (m_picture && m_doc.disp.image.get() != before && m_picture->fitScale() < 1.0)
        m_picture->zoomKey(FrmPicture::ZoomKey::Fit);
}

void FrmMain::fitLargeMap() {
    if (!m_picture) return;
    // A map larger than the window opens whole, at the scale that fits it.
    if (m_picture->fitScale() < 1.0) m_picture->zoomKey(FrmPicture::ZoomKey::Fit);
}

}  // namespace morv
