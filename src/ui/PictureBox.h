#pragma once
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "engine/HeightImage.h"
#include "engine/TerrainSettings.h"

namespace morv {

/// Pixels between two lines of the base-board grid: one board's width.
inline constexpr int kBoardGridStep = kPixelsPerBoard;

/// The picture of a HeightImage as Qt shows it: grey pictures as Grayscale8, colour
/// ones (0x00BBGGRR) as RGB32 with red and blue swapped. Makes exactly one copy.
QImage toQImage(const HeightImage& image);

/// One display of the picture window (picDisp or picDispCL): shows the committed
/// picture of a Picture at one screen pixel per image pixel. The shown copy is made
/// again only when the picture was replaced or committed since it was last made.
class PictureBox : public QWidget {
public:
    PictureBox(const Picture& picture, QWidget* parent);

    /// Schedules a repaint when the picture was replaced or committed since shown.
    void sync();
    /// The picture as shown now (the last committed state), made up to date first.
    const QImage& shownImage();
    /// How many copies of the picture were made so far (one per commit shown).
    int copiesMade() const { return m_copies; }
    /// Shows or hides the base-board grid drawn over the picture on screen.
    void setBoardGrid(bool on);
    /// True while the base-board grid is shown.
    bool boardGrid() const { return m_grid; }

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
    bool stale() const;
    void rebuild();

    const Picture& m_picture;
    const HeightImage* m_shownImage = nullptr;
    std::uint64_t m_shownCommits = 0;
    QImage m_image;
    int m_copies = 0;
    bool m_grid = false;
};

}  // namespace morv
