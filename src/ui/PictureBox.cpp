#include "ui/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace morv {

namespace {

/// Fewest milliseconds between two repaints while a command keeps drawing: a
/// repaint after every column would cost more than the column itself.
constexpr int kRepaintInterval = 40;

/// Guards the floor of a quotient against the rounding of scales such as 1/3.
constexpr double kEdge = 1e-9;

/// The first display pixel that shows image pixel i at the scale.
int displayStart(int i, double scale) { return int(std::ceil(i * scale - kEdge)); }

}  // namespace

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

int shadedBrightness(double across, double down) {
    // The surface normal (-k across, -k down, 2) against the light (-1, -1, sqrt 2) / 2,
    // k the height of a grey level against a pixel's width: a quarter keeps slopes of
    // a few levels a pixel apart from one another and from cliffs.
    constexpr double k = 0.25;
    const double nx = -k * across, ny = -k * down, nz = 2.0;
    const double lit = (-nx - ny + std::sqrt(2.0) * nz) / 2.0 / std::sqrt(nx * nx + ny * ny + nz * nz);
    return std::clamp(int(std::lround(40 + 200 * std::max(0.0, lit))), 0, 255);
}

int imagePixelAt(double position, double scale, int count) {
    if (count <= 0) return 0;
    const double at = std::floor(position / scale + kEdge);
    if (at < 0) return 0;
    if (at >= count) return count - 1;
    return int(at);
}

PictureBox::PictureBox(const Picture& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_pending = new QTimer(this);
    m_pending->setSingleShot(true);
    connect(m_pending, &QTimer::timeout, this, [this] { update(); });
    fitSize();
}

QSize PictureBox::pictureSize() const {
    return m_standIn ? QSize(m_standIn->width(), m_standIn->height()) : QSize(m_picture.width(), m_picture.height());
}

void PictureBox::setStandIn(std::shared_ptr<const PackedPicture> packed) {
    m_standIn = std::move(packed);
    m_standInY = -1;
    if (m_standIn)
        m_standInRow.resize(std::size_t(m_standIn->width()) * (m_standIn->grey() ? 1 : sizeof(Colour)));
    else
        m_standInRow = {};
    update();
}

QSize PictureBox::scaledSize(double scale) const {
    const int w = pictureSize().width(), h = pictureSize().height();
    if (w <= 0 || h <= 0) return {0, 0};
    return {std::max(1, displayStart(w, scale)), std::max(1, displayStart(h, scale))};
}

void PictureBox::fitSize() {
    // A patch made of another picture, or of this one at another size, is stale.
    if (m_shownImage != m_picture.image.get() || m_shownSize != pictureSize()) m_patch.reset();
    m_shownImage = m_picture.image.get();
    m_shownSize = pictureSize();
    const QSize size = scaledSize(m_scale);
    if (this->size() != size || minimumSize() != size) setFixedSize(size);
}

void PictureBox::setScale(double scale) {
    if (scale == m_scale) return;
    m_scale = scale;
    fitSize();
    update();
}

void PictureBox::sync() {
    if (m_shownImage != m_picture.image.get() || m_shownSize != pictureSize()) {
        fitSize();
        m_pending->stop();
        update();
        return;
    }
    const qint64 since = m_lastPaint.isValid() ? m_lastPaint.elapsed() : kRepaintInterval;
    if (since >= kRepaintInterval) {
        m_pending->stop();
        update();
    } else if (!m_pending->isActive()) {
        m_pending->start(int(kRepaintInterval - since));
    }
}

QImage PictureBox::shownImage() const { return toQImage(*m_picture.image); }

QSize PictureBox::sizeHint() const { return scaledSize(m_scale); }

void PictureBox::setBoardGrid(bool on) {
    if (m_grid == on) return;
    m_grid = on;
    update();
}

void PictureBox::setLevelMap(const std::optional<std::array<std::uint8_t, 256>>& levels,
                             std::shared_ptr<const HeightImage> source) {
    if (!levels) source = nullptr;
    if (m_levels == levels && m_source == source) return;
    m_levels = levels;
    m_source = std::move(source);
    update();
}

void PictureBox::setPatch(std::optional<PreviewPatch> patch) {
    if (!patch && !m_patch) return;
    m_patch = std::move(patch);
    update();
}

void PictureBox::setShading(bool on) {
    if (m_shading == on) return;
    m_shading = on;
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    m_lastPaint.start();
    if (m_patchWanted && onPatchWanted) QMetaObject::invokeMethod(this, onPatchWanted, Qt::QueuedConnection);
    QPainter painter(this);
    const QRect area = event->rect();
    // A preview of the same size shows its own source; anything else shows the picture.
    const bool fromSource = m_source && QSize(m_source->width(), m_source->height()) == pictureSize();
    const HeightImage& image = fromSource ? *m_source : *m_picture.image;
    // The packed copy of the picture being read again, row by row.
    const PackedPicture* standIn = fromSource ? nullptr : m_standIn.get();
    if (image.empty() && !standIn) {
        painter.fillRect(area, palette().window());
        return;
    }
    // Only the exposed part, sampled straight from the picture's plane at the
    // scale: one image pixel per display pixel where the scale is below one.
    const qreal ratio = devicePixelRatioF();
    const int dw = int(std::ceil(area.width() * ratio)), dh = int(std::ceil(area.height() * ratio));
    QImage shown(dw, dh, QImage::Format_RGB32);
    shown.setDevicePixelRatio(ratio);
    const int w = standIn ? standIn->width() : image.width(), h = standIn ? standIn->height() : image.height();
    const bool grey = standIn ? standIn->grey() : image.isGrey();
    // Row y of what is shown, as bytes (grey levels or colours).
    const auto rowBytes = [&](int y) -> const std::uint8_t* {
        if (!standIn)
            return grey ? image.grey() + std::size_t(y) * std::size_t(w)
                        : reinterpret_cast<const std::uint8_t*>(image.colour() + std::size_t(y) * std::size_t(w));
        if (y != m_standInY) {
            standIn->unpackRow(y, m_standInRow.data());
            m_standInY = y;
        }
        return m_standInRow.data();
    };
    std::vector<int> column(std::size_t(std::max(dw, 0)));
    for (int i = 0; i < dw; ++i) column[std::size_t(i)] = imagePixelAt(area.left() + i / ratio, m_scale, w);
    // The grey level shown for each stored one: the preview's table, else itself.
    std::array<std::uint8_t, 256> map{};
    for (int g = 0; g < 256; ++g) map[std::size_t(g)] = m_levels ? (*m_levels)[std::size_t(g)] : std::uint8_t(g);
    if (m_shading && !standIn) {
        // Each shown pixel is lit by the slope at the image pixel it samples.
        const auto level = [&](int x, int y) {
            x = std::clamp(x, 0, w - 1);
            y = std::clamp(y, 0, h - 1);
            const Colour c = image.isGrey() ? Colour(image.grey()[std::size_t(y) * std::size_t(w) + std::size_t(x)])
                                            : fcnGrayLevel(image.colour()[std::size_t(y) * std::size_t(w) + std::size_t(x)]);
            return int(map[std::size_t(c & 0xff)]);
        };
        for (int j = 0; j < dh; ++j) {
            const int y = imagePixelAt(area.top() + j / ratio, m_scale, h);
            auto* out = reinterpret_cast<QRgb*>(shown.scanLine(j));
            for (int i = 0; i < dw; ++i) {
                const int x = column[std::size_t(i)];
                // The slope over the three rows and columns around the pixel, weighted to
                // its own (so a single grey step does not show as a line of its own).
                const int across = level(x + 1, y - 1) + 2 * level(x + 1, y) + level(x + 1, y + 1) - level(x - 1, y - 1) -
                                   2 * level(x - 1, y) - level(x - 1, y + 1);
                const int down = level(x - 1, y + 1) + 2 * level(x, y + 1) + level(x + 1, y + 1) - level(x - 1, y - 1) -
                                 2 * level(x, y - 1) - level(x + 1, y - 1);
                const int v = shadedBrightness(across / 4.0, down / 4.0);
                out[i] = 0xff000000u | (std::uint32_t(v) * 0x010101u);
            }
        }
        painter.drawImage(area.topLeft(), shown);
        if (m_grid) paintGrid(painter, area);
        return;
    }
    // The worked-out part of the preview, where it reaches: at the scale it was made
    // for, its samples are display pixels (below one to one) or image pixels.
    const bool patched = m_patch && m_patch->pixels && m_patch->scale == m_scale && ratio == 1.0 &&
                         m_patch->pixels->isGrey() && m_patch->pixels->width() == m_patch->area.width() &&
                         m_patch->pixels->height() == m_patch->area.height();
    const bool displaySamples = m_scale < 1.0;
    for (int j = 0; j < dh; ++j) {
        const int y = imagePixelAt(area.top() + j / ratio, m_scale, h);
        auto* out = reinterpret_cast<QRgb*>(shown.scanLine(j));
        if (grey) {
            const std::uint8_t* in = rowBytes(y);
            for (int i = 0; i < dw; ++i)
                out[i] = 0xff000000u | (std::uint32_t(map[in[column[std::size_t(i)]]]) * 0x010101u);
        } else if (m_levels) {
            // A colour picture previews by its grey level.
            const auto* in = reinterpret_cast<const Colour*>(rowBytes(y));
            for (int i = 0; i < dw; ++i)
                out[i] = 0xff000000u |
                         (std::uint32_t(map[std::size_t(fcnGrayLevel(in[column[std::size_t(i)]]) & 0xff)]) * 0x010101u);
        } else {
            // 0x00BBGGRR to 0xffRRGGBB.
            const auto* in = reinterpret_cast<const Colour*>(rowBytes(y));
            for (int i = 0; i < dw; ++i) {
                const auto c = std::uint32_t(in[column[std::size_t(i)]]);
                out[i] = 0xff000000u | ((c & 0xffu) << 16) | (c & 0xff00u) | ((c >> 16) & 0xffu);
            }
        }
        const int patchRow = patched ? (displaySamples ? area.top() + j : y) - m_patch->area.top() : -1;
        if (patchRow < 0 || patchRow >= m_patch->area.height()) continue;
        const std::uint8_t* in = m_patch->pixels->grey() + std::size_t(patchRow) * std::size_t(m_patch->area.width());
        for (int i = 0; i < dw; ++i) {
            const int at = (displaySamples ? area.left() + i : column[std::size_t(i)]) - m_patch->area.left();
            if (at >= 0 && at < m_patch->area.width()) out[i] = 0xff000000u | (std::uint32_t(in[at]) * 0x010101u);
        }
    }
    painter.drawImage(area.topLeft(), shown);
    if (m_grid) paintGrid(painter, area);
}

void PictureBox::paintGrid(QPainter& painter, const QRect& area) const {
    // Over the picture on screen only: the picture itself, what is saved and the
    // readout never see the grid. A colour no grey level has, so it always shows.
    painter.setPen(QPen(QColor(0, 160, 255), 0));
    const int w = pictureSize().width(), h = pictureSize().height();
    const int bottom = std::min(area.bottom(), height() - 1), right = std::min(area.right(), width() - 1);
    for (int x = kBoardGridStep; x < w; x += kBoardGridStep) {
        const int at = displayStart(x, m_scale);
        if (at >= area.left() && at <= area.right()) painter.drawLine(at, area.top(), at, bottom);
    }
    for (int y = kBoardGridStep; y < h; y += kBoardGridStep) {
        const int at = displayStart(y, m_scale);
        if (at >= area.top() && at <= area.bottom()) painter.drawLine(area.left(), at, right, at);
    }
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    if (onMouseMove)
        onMouseMove(imagePixelAt(p.x(), m_scale, m_picture.width()), imagePixelAt(p.y(), m_scale, m_picture.height()));
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent*) {
    if (onDoubleClick) onDoubleClick();
}

}  // namespace morv
