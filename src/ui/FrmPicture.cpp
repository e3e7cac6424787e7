#include "ui/FrmPicture.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

#include "core/Routine.h"
#include "commands/FileCommands.h"
#include "engine/GroundMeasure.h"
#include "ui/MapOverlay.h"
#include "ui/PictureBox.h"

namespace morv {

namespace {

/// The scales the zoom steps stop at, smallest first (screen pixels per image pixel).
constexpr std::array<double, 23> kZoomSteps = {1.0 / 64, 1.0 / 48, 1.0 / 32, 1.0 / 24, 1.0 / 16, 1.0 / 12,
                                               1.0 / 8,  1.0 / 6,  1.0 / 4,  1.0 / 3,  1.0 / 2,  2.0 / 3,
                                               1.0,      1.5,      2.0,      3.0,      4.0,      6.0,
                                               8.0,      12.0,     16.0,     24.0,     32.0};

/// One notch of a mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;

/// The status bar's words for a scale: "Scale: 25%", "Scale: 6.3%".
std::string scaleText(double scale) {
    const double percent = scale * 100.0;
    const QString number = percent >= 10.0 ? QString::number(std::lround(percent)) : QString::number(percent, 'f', 1);
    return "Scale: " + number.toStdString() + "%";
}

}  // namespace

FrmPicture::FrmPicture(const Host& host, Document& document)
    : m_host(host), m_app(host.app()), m_doc(document) {
    setObjectName(QStringLiteral("frmPicture"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Morv:"));

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("picScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_canvas = new QWidget;
    m_canvas->setMouseTracking(true);
    m_disp = new PictureBox(m_doc.disp, m_canvas);
    m_disp->setObjectName(QStringLiteral("picDisp"));
    m_dispCL = new PictureBox(m_doc.dispCL, m_canvas);
    m_dispCL->setObjectName(QStringLiteral("picDispCL"));
    m_disp->move(0, 0);
    m_dispCL->move(0, 0);
    m_dispCL->hide();
    m_scroll->setWidget(m_canvas);
    m_scroll->viewport()->setMouseTracking(true);
    setWidget(m_scroll);

    // Key preview: keys pressed anywhere in the window reach its own handlers first.
    for (QObject* o : {static_cast<QObject*>(m_scroll), static_cast<QObject*>(m_scroll->viewport()),
                       static_cast<QObject*>(m_canvas), static_cast<QObject*>(m_disp), static_cast<QObject*>(m_dispCL)})
        o->installEventFilter(this);
    // Made after the key preview: the tools' Enter and Esc come first.
    m_overlay = new MapOverlay(m_canvas, m_disp, m_dispCL, m_scroll);

    m_disp->onMouseMove = [this](int x, int y) { picDisp_MouseMove(x, y); };
    m_dispCL->onMouseMove = [this](int x, int y) { picDispCL_MouseMove(x, y); };
    m_disp->onDoubleClick = [this] { picDisp_DblClick(); };
    m_dispCL->onDoubleClick = [this] { picDispCL_DblClick(); };
    sync();
}

void FrmPicture::zoomKey(ZoomKey key) {
    switch (key) {
    case ZoomKey::Fit: zoomTo(fitScale(), viewportCentre()); break;
    case ZoomKey::OneToOne: zoomTo(1.0, viewportCentre()); break;
    case ZoomKey::In: zoomStep(1, viewportCentre()); break;
    case ZoomKey::Out: zoomStep(-1, viewportCentre()); break;
    }
}

double FrmPicture::scale() const { return m_disp->scale(); }

double FrmPicture::fitScale() const {
    const int w = m_doc.disp.width(), h = m_doc.disp.height();
    if (w <= 0 || h <= 0) return 1.0;
    const QSize room = m_scroll->maximumViewportSize();
    return std::max(std::min(double(room.width()) / w, double(room.height()) / h), 1e-6);
}

QPointF FrmPicture::viewportCentre() const { return QRectF(m_scroll->viewport()->rect()).center(); }

void FrmPicture::zoomStep(int direction, QPointF anchor) {
    const double now = scale();
    double next = now;
    if (direction > 0) {
        const auto it = std::find_if(kZoomSteps.begin(), kZoomSteps.end(), [&](double s) { return s > now * (1 + 1e-6); });
        if (it != kZoomSteps.end()) next = *it;
    } else {
        const auto it = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(), [&](double s) { return s < now * (1 - 1e-6); });
        // Below the smallest step only the whole picture is left to see.
        next = it != kZoomSteps.rend() ? *it : std::min(now, fitScale());
    }
    zoomTo(next, anchor);
}

void FrmPicture::zoomTo(double to, QPointF anchor) {
    // From the whole picture in the window (however large it is) to 32 screen
    // pixels per image pixel.
    to = std::clamp(to, std::min(kZoomSteps.front(), fitScale()), kZoomSteps.back());
    QScrollBar* across = m_scroll->horizontalScrollBar();
    QScrollBar* down = m_scroll->verticalScrollBar();
    const double from = scale();
    const QPointF point = (QPointF(across->value(), down->value()) + anchor) / from;
    m_disp->setScale(to);
    m_dispCL->setScale(to);
    sync();
    across->setValue(int(std::lround(point.x() * to - anchor.x())));
    down->setValue(int(std::lround(point.y() * to - anchor.y())));
    if (!m_app.session.gblnDrawing && !m_app.session.gblnBusy) m_host.activity.setStatus(scaleText(to));
}

void FrmPicture::sync() {
    m_disp->sync();
    m_dispCL->sync();
    const QSize size = m_disp->size().expandedTo(m_dispCL->size());
    if (m_canvas->size() != size) m_canvas->resize(size);
}

void FrmPicture::setContourVisible(bool visible) {
    sync();
    m_dispCL->setVisible(visible);
    if (visible) m_dispCL->raise();
    m_overlay->raise();
}

void FrmPicture::setBoardGrid(bool on) {
    m_disp->setBoardGrid(on);
    m_dispCL->setBoardGrid(on);
}

void FrmPicture::setShading(bool on) { m_disp->setShading(on); }

void FrmPicture::setLevelMap(const std::optional<std::array<std::uint8_t, 256>>& levels,
                             std::shared_ptr<const HeightImage> source) {
    m_disp->setLevelMap(levels, std::move(source));
}

void FrmPicture::fitToPicture(QSize room) {
    sync();
    // The frame is what the window adds around its content; the picture at its
    // scale, and no larger than the room the main window has for it.
    const QSize frame = sizeHint() - m_scroll->sizeHint();
    const QSize wanted = m_disp->scaledSize(scale()) + frame;
    resize(wanted.boundedTo(room).expandedTo(minimumSizeHint()));
}

void FrmPicture::takeKeyboardFocus() {
    if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
    m_scroll->setFocus(Qt::OtherFocusReason);
}

void FrmPicture::unload() {
    m_unloading = true;
    // Inside its own close request the window closes when the request returns.
    if (!m_inQueryUnload) close();
}

void FrmPicture::closeEvent(QCloseEvent* event) {
    if (m_unloading || m_inQueryUnload) {
        event->accept();
        return;
    }
    m_inQueryUnload = true;
    const bool allowed = Form_QueryUnload();
    m_inQueryUnload = false;
    if (allowed)
        event->accept();
    else
        event->ignore();
}

bool FrmPicture::Form_QueryUnload() {
    Routine r(m_app, "frmPicture.Form_QueryUnload");
    Session& s = m_app.session;
    bool allowed = true;
    r([&] {
        if (s.gblnDrawing) {
            showMessage(m_app, "Can not close while Drawing", mb::OKOnly, "Morv");
            allowed = false;
        }
    });
    if (!allowed) return false;
    r([&] {
        if (!s.gblnClosing) allowed = closeImage(m_host);
    });
    return allowed;
}

void FrmPicture::keyPressEvent(QKeyEvent* event) { keyPressed(event); }

bool FrmPicture::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        keyPressed(static_cast<QKeyEvent*>(event));
        return true;
    }
    if (event->type() == QEvent::Wheel && watched == m_scroll->viewport()) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // About the pointer; small turns of a fine wheel add up to a notch.
            m_wheelAngle += wheel->angleDelta().y();
            while (std::abs(m_wheelAngle) >= kWheelNotch) {
                const int direction = m_wheelAngle > 0 ? 1 : -1;
                m_wheelAngle -= direction * kWheelNotch;
                zoomStep(direction, wheel->position());
            }
            wheel->accept();
            return true;
        }
    }
    if (event->type() == QEvent::MouseMove && (watched == m_scroll->viewport() || watched == m_canvas)) Form_MouseMove();
    return QMdiSubWindow::eventFilter(watched, event);
}

void FrmPicture::keyPressed(QKeyEvent* event) {
    Form_KeyDown(event->key(), event->modifiers());
    if (!event->text().isEmpty()) Form_KeyPress();
    // Every key ends here: none has any further effect in the window.
    event->accept();
}

void FrmPicture::Form_KeyDown(int KeyCode, Qt::KeyboardModifiers Shift) {
    Routine r(m_app, "frmPicture.Form_KeyDown");
    Session& s = m_app.session;
    r([&] {
        if (KeyCode == Qt::Key_Escape && (s.gblnDrawing || s.gblnBusy)) {
            if (showMessage(m_app, "Do you want to cancel this process?", mb::YesNo + mb::Question, "Cancel Drawing") == mb::Yes)
                s.gblnCancel = true;
        }
    });
    const Qt::KeyboardModifiers held = Shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (KeyCode == Qt::Key_C && held == Qt::ControlModifier) {
        r([&] { m_host.activity.doEvents(); });
        r([&] { QApplication::clipboard()->clear(); });
        r([&] { m_host.activity.doEvents(); });
        r([&] { QApplication::clipboard()->setImage(toQImage(*m_doc.dispCL.image)); });
        r([&] { m_host.activity.doEvents(); });
    }
}

void FrmPicture::Form_KeyPress() { Routine r(m_app, "frmPicture.Form_KeyPress"); }

void FrmPicture::Form_MouseMove() {
    Routine r(m_app, "frmPicture.Form_MouseMove");
    r([&] {
        if (!m_app.session.gblnDrawing && !m_app.session.gblnBusy) m_host.activity.setStatus("");
    });
}

void FrmPicture::readout(const Picture& picture, int X, int Y) {
    const Session& s = m_app.session;
    Colour c = picture.image->pixel(X, Y);
    if (c > 65536) c = c / 65536;
    if (!s.gblnDrawing && !s.gblnBusy)
        m_host.activity.setStatus("X: " + std::to_string(X) + " - Y: " + std::to_string(Y) + " - C: " + std::to_string(c) +
                         " - HC: " + std::to_string(s.gintCurHighColor) + " - LC: " + std::to_string(s.gintCurLowColor) +
                                  groundReadout(*m_doc.disp.image, m_doc.scale, X, Y));
}

void FrmPicture::picDisp_MouseMove(int X, int Y) {
    Routine r(m_app, "frmPicture.picDisp_MouseMove");
    r([&] { readout(m_doc.disp, X, Y); });
}

void FrmPicture::picDispCL_MouseMove(int X, int Y) {
    Routine r(m_app, "frmPicture.picDispCL_MouseMove");
    r([&] { readout(m_doc.dispCL, X, Y); });
}

void FrmPicture::revertHeightDisplay() {
    m_doc.disp.replace(m_host.work.loadPicture(m_app.session.gstrImageFile));
    sync();
}

void FrmPicture::picDisp_DblClick() {
    Routine r(m_app, "frmPicture.picDisp_DblClick");
    Session& s = m_app.session;
    r([&] { revertHeightDisplay(); });
    r([&] { setWindowTitle(QString::fromStdString(s.gstrImageFile)); });
    r([&] { m_host.activity.doEvents(); });
    r([&] {
        s.gintCurHighColor = s.gintHighColor;
        s.gintCurLowColor = s.gintLowColor;
    });
}

void FrmPicture::picDispCL_DblClick() {
    Routine r(m_app, "frmPicture.picDispCL_DblClick");
    Session& s = m_app.session;
    r([&] { revertHeightDisplay(); });
    r([&] { m_host.frame.setShowContours(false); });
    r([&] { m_host.activity.doEvents(); });
    r([&] {
        s.gintCurHighColor = s.gintHighColor;
        s.gintCurLowColor = s.gintLowColor;
    });
}

}  // namespace morv
