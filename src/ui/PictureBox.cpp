#include "ui/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

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

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(event->rect(), palette().window());
    else
        painter.drawImage(event->rect().topLeft(), m_image, event->rect());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (onMouseMove) onMouseMove(p.x(), p.y());
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent*) {
    if (onDoubleClick) onDoubleClick();
}

}  // namespace morv
