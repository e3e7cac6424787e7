#include "ui/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace morv {

QImage toQImage(const HeightImage& image) {
    if (image.empty()) return {};
    const int w = image.width(), h = image.height();
    if (image.isGrey()) {
        const QImage wrapped(image.grey(), w, h, qsizetype(w), QImage::Format_Grayscale8);
        return wrapped.copy();
    }
    // 0x00BBGGRR read as RGB32 (0xAARRGGBB) has red and blue exchanged: the swap
    // is the one copy.
    const QImage wrapped(reinterpret_cast<const uchar*>(image.colour()), w, h, qsizetype(w) * 4, QImage::Format_RGB32);
    return wrapped.rgbSwapped();
}

PictureBox::PictureBox(const Picture& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    rebuild();
}

bool PictureBox::stale() const {
    return m_shownImage != m_picture.image.get() || m_shownCommits != m_picture.commits;
}

void PictureBox::rebuild() {
    m_shownImage = m_picture.image.get();
    m_shownCommits = m_picture.commits;
    m_image = toQImage(*m_picture.image);
    if (!m_image.isNull()) ++m_copies;
    const QSize size(m_picture.width(), m_picture.height());
    if (this->size() != size) setFixedSize(size);
}

void PictureBox::sync() {
    if (stale()) {
        rebuild();
        update();
    }
}

const QImage& PictureBox::shownImage() {
    if (stale()) rebuild();
    return m_image;
}

QSize PictureBox::sizeHint() const { return {m_picture.width(), m_picture.height()}; }

void PictureBox::setBoardGrid(bool on) {
    if (m_grid == on) return;
    m_grid = on;
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    if (m_image.isNull()) {
        painter.fillRect(area, palette().window());
        return;
    }
    painter.drawImage(area.topLeft(), m_image, area);
    if (!m_grid) return;
    // Over the picture on screen only: the picture itself, what is saved and the
    // readout never see the grid. A colour no grey level has, so it always shows.
    painter.setPen(QPen(QColor(0, 160, 255), 0));
    const int w = m_image.width(), h = m_image.height();
    for (int x = kBoardGridStep; x < w; x += kBoardGridStep)
        if (x >= area.left() && x <= area.right()) painter.drawLine(x, area.top(), x, std::min(area.bottom(), h - 1));
    for (int y = kBoardGridStep; y < h; y += kBoardGridStep)
        if (y >= area.top() && y <= area.bottom()) painter.drawLine(area.left(), y, std::min(area.right(), w - 1), y);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (onMouseMove) onMouseMove(p.x(), p.y());
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent*) {
    if (onDoubleClick) onDoubleClick();
}

}  // namespace morv
