#pragma once
#include <QMdiSubWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "commands/Host.h"

class QScrollArea;

namespace morv {

class MapOverlay;
class PictureBox;

/// The picture window: the one document window inside the main window. Shows the
/// height display picDisp and, over it while contours are shown, the contour
/// display picDispCL, at one screen pixel per image pixel when it opens, scrolling
/// when larger than the room it has, and zoomed with Ctrl+0 (fit), Ctrl+1 (one to
/// one), Ctrl++, Ctrl+- and Ctrl+wheel. Gives the pixel readout, Esc to cancel,
/// Ctrl+C to copy the contour display, the double-click reverts, and its close
/// request runs File > Close.
class FrmPicture : public QMdiSubWindow {
public:
    FrmPicture(const Host& host, Document& document);

    /// Brings both displays up to the pictures' latest commits.
    void sync();
    /// Shows or hides the contour display over the height display.
    void setContourVisible(bool visible);
    /// Sizes the window to the height picture plus its frame, at most room.
    void fitToPicture(QSize room);
    /// Shows or hides the base-board grid over both displays.
    void setBoardGrid(bool on);
    /// Shows the height display hill-shaded (screen only).
    void setShading(bool on);
    /// Shows the height display's grey levels through a table, or as they are.
    void setLevelMap(const std::optional<std::array<std::uint8_t, 256>>& levels,
                     std::shared_ptr<const HeightImage> source = nullptr);
    /// Closes the window for good (File > Close takes it down).
    void unload();
    /// Brings the window to the front of the document area and gives it the
    /// keyboard focus.
    void takeKeyboardFocus();
    /// A key pressed elsewhere in the main window while an operation runs: the
    /// window's own key handlers take it (key preview).
    void previewKey(QKeyEvent* event) { keyPressed(event); }

    /// Screen pixels per image pixel of both displays (1 when the window opens).
    double scale() const;
    /// Zooms both displays to scale (limited to what the window allows), keeping the
    /// image point under anchor (in the scrolled area's viewport) where it is, and
    /// tells the scale in the status bar.
    void zoomTo(double scale, QPointF anchor);
    /// The zoom keys: fit the window, one to one, a step in, a step out (about the
    /// middle of what is shown).
    enum class ZoomKey { Fit, OneToOne, In, Out };
    void zoomKey(ZoomKey key);
    /// The scale at which the whole height picture fits the window's room.
    double fitScale() const;

    PictureBox* picDisp() const { return m_disp; }
    PictureBox* picDispCL() const { return m_dispCL; }
    /// The ground tools' layer over both displays.
    MapOverlay* overlay() const { return m_overlay; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keyPressed(QKeyEvent* event);
    void Form_KeyDown(int KeyCode, Qt::KeyboardModifiers Shift);
    void Form_KeyPress();
    void Form_MouseMove();
    bool Form_QueryUnload();
    void picDisp_DblClick();
    void picDispCL_DblClick();
    void picDisp_MouseMove(int X, int Y);
    void picDispCL_MouseMove(int X, int Y);
    void readout(const Picture& picture, int X, int Y);
    void revertHeightDisplay();
    void zoomStep(int direction, QPointF anchor);
    QPointF viewportCentre() const;

    Host m_host;
    App& m_app;
    Document& m_doc;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_canvas = nullptr;
    PictureBox* m_disp = nullptr;
    PictureBox* m_dispCL = nullptr;
    MapOverlay* m_overlay = nullptr;
    bool m_inQueryUnload = false;
    bool m_unloading = false;
    int m_wheelAngle = 0;  // Ctrl+wheel turns not yet worth a zoom step
};

}  // namespace morv
