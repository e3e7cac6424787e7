#pragma once
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/HeightImage.h"
#include "engine/BoardFit.h"
#include "engine/MapDelta.h"
#include "engine/TerrainSettings.h"

class QTimer;

namespace morv {

/// Pixels between two lines of the base-board grid: one board's width.
inline constexpr int kBoardGridStep = kPixelsPerBoard;

/// The picture of a HeightImage as Qt shows it: grey pictures as Grayscale8, colour
/// ones (0x00BBGGRR) as RGB32 with red and blue swapped. Makes exactly one copy.
QImage toQImage(const HeightImage& image);

/// The image pixel under a position along one axis: position is in the display's
/// own (logical) pixels, scale the screen pixels per image pixel, count the
/// picture's pixels along that axis; the result lies in 0..count-1.
int imagePixelAt(double position, double scale, int count);

/// The brightness (0..255) of a hill-shaded pixel from its height differences
/// across (east minus west neighbour) and down (south minus north neighbour), in
/// grey levels two pixels apart; lit from the north-west, 45 degrees up. Flat
/// ground is 181, slopes facing the light brighter, those facing away darker.
int shadedBrightness(double across, double down);

/// A part of the live preview worked out after the level table (the blur, the
/// contours): grey pixels over a rectangle of the display's samples, which are
/// display pixels when it was made below one to one and image pixels from one to
/// one up. It shows only at the scale it was made at.
struct PreviewPatch {
    double scale = 1.0;
    QRect area;
    std::shared_ptr<const HeightImage> pixels;
};

/// One display of the picture window (picDisp or picDispCL). Paints the picture's
/// pixels straight from its plane at a scale (screen pixels per image pixel), only
/// the part that is exposed, so no copy of the picture is ever kept: what is drawn
/// into the picture shows at the next repaint.
class PictureBox : public QWidget {
public:
    PictureBox(const Picture& picture, QWidget* parent);

    /// Schedules a repaint: at once when the picture was replaced or resized, else
    /// at most every few tens of milliseconds while pixels are being drawn, and
    /// always once more after the last call.
    void sync();
    /// The picture as shown at one to one (a copy of its pixels; for checks).
    QImage shownImage() const;
    /// Kept for callers that counted display copies: the display makes none.
    int copiesMade() const { return 0; }
    /// Shows or hides the base-board grid drawn over the picture on screen.
    void setBoardGrid(bool on);
    /// True while the base-board grid is shown.
    bool boardGrid() const { return m_grid; }
    /// Shows every grey level of source (of the display's own picture when source is
    /// null or of another size) through a table: a preview of what the level passes
    /// would make of it. No table: the picture as it is. Screen only.
    void setLevelMap(const std::optional<std::array<std::uint8_t, 256>>& levels,
                     std::shared_ptr<const HeightImage> source = nullptr);
    /// While the picture is read again from its file in place of the one shown, shows
    /// the one shown from its packed copy, so its memory can go back before the read
    /// rather than after it; none ends that (the display keeps its size until the
    /// next sync).
    void setStandIn(std::shared_ptr<const PackedPicture> packed);
    /// Shows a worked-out part of the preview over the picture (or its level
    /// preview) where it reaches; none removes it. Screen only.
    void setPatch(std::optional<PreviewPatch> patch);
    const std::optional<PreviewPatch>& patch() const { return m_patch; }
    /// While on, every paint asks onPatchWanted (after it, through the event
    /// queue), so the owner can make the patch for what is shown now.
    void setPatchWanted(bool on) { m_patchWanted = on; }
    std::function<void()> onPatchWanted;
    /// Shows the heights hill-shaded, lit from the north-west (screen only).
    void setShading(bool on);
    bool shading() const { return m_shading; }
    /// Screen pixels per image pixel (1 is one to one).
    double scale() const { return m_scale; }
    /// Sets the scale and resizes the display to the scaled picture.
    void setScale(double scale);
    /// The display's size for the picture at the given scale.
    QSize scaledSize(double scale) const;

    /// Runs on every mouse move over the display, with the image coordinates.
    std::function<void(int x, int y)> onMouseMove;
    /// Runs on a double click of the display.
    std::function<void()> onDoubleClick;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void fitSize();
    /// The size of what is shown: the stand-in's while there is one.
    QSize pictureSize() const;
    void paintGrid(QPainter& painter, const QRect& area) const;

    const Picture& m_picture;
    const HeightImage* m_shownImage = nullptr;
    QSize m_shownSize;
    double m_scale = 1.0;
    bool m_grid = false;
    bool m_shading = false;
    std::optional<std::array<std::uint8_t, 256>> m_levels;
    std::shared_ptr<const HeightImage> m_source;
    std::optional<PreviewPatch> m_patch;
    std::shared_ptr<const PackedPicture> m_standIn;
    std::vector<std::uint8_t> m_standInRow;
    int m_standInY = -1;
    bool m_patchWanted = false;
    QTimer* m_pending = nullptr;
    QElapsedTimer m_lastPaint;
};

}  // namespace morv
