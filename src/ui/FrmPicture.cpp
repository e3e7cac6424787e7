#include "ui/FrmPicture.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QScrollArea>

#include "core/Routine.h"
#include "commands/FileCommands.h"
#include "ui/PictureBox.h"

namespace morv {

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

    m_disp->onMouseMove = [this](int x, int y) { picDisp_MouseMove(x, y); };
    m_dispCL->onMouseMove = [this](int x, int y) { picDispCL_MouseMove(x, y); };
    m_disp->onDoubleClick = [this] { picDisp_DblClick(); };
    m_dispCL->onDoubleClick = [this] { picDispCL_DblClick(); };
    sync();
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
}

void FrmPicture::setBoardGrid(bool on) {
    m_disp->setBoardGrid(on);
    m_dispCL->setBoardGrid(on);
}

void FrmPicture::fitToPicture(QSize room) {
    sync();
    // The frame is what the window adds around its content; one screen pixel per
    // image pixel, and no larger than the room the main window has for it.
    const QSize frame = sizeHint() - m_scroll->sizeHint();
    const QSize wanted = QSize(m_doc.disp.width(), m_doc.disp.height()) + frame;
    resize(wanted.boundedTo(room).expandedTo(minimumSizeHint()));
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
                         " - HC: " + std::to_string(s.gintCurHighColor) + " - LC: " + std::to_string(s.gintCurLowColor));
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
