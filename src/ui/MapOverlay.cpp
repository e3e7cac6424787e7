#include "ui/MapOverlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "ui/PictureBox.h"

namespace morv {

namespace {

/// How near (screen pixels) a press must come to a track point to drag it.
constexpr double kGrabDistance = 6;

const QColor kSelectionColour(255, 220, 0);
const QColor kMeasureColour(255, 0, 0);
const QColor kTrackColour(255, 0, 255);

}  // namespace

MapOverlay::MapOverlay(QWidget* canvas, PictureBox* disp, PictureBox* dispCL, QWidget* keys)
    : QWidget(canvas), m_disp(disp) {
    setObjectName(QStringLiteral("mapOverlay"));
    // The displays beneath take the pointer; the layer only watches them.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(canvas->size());
    canvas->installEventFilter(this);
    disp->installEventFilter(this);
    dispCL->installEventFilter(this);
    keys->installEventFilter(this);
    raise();
}

void MapOverlay::setTool(Tool tool) {
    if (tool == m_tool) return;
    if (!m_polygonEnded) m_polygon.clear();
    if (!m_trackEnded) m_track.clear();
    m_press.reset();
    m_dragged = -1;
    m_tool = tool;
    update();
}

std::optional<SiteShape> MapOverlay::selection() const {
    if (m_rect.size() == 2) {
        const int x0 = int(std::lround(std::min(m_rect[0].x(), m_rect[1].x())));
        const int y0 = int(std::lround(std::min(m_rect[0].y(), m_rect[1].y())));
        const int x1 = int(std::lround(std::max(m_rect[0].x(), m_rect[1].x())));
        const int y1 = int(std::lround(std::max(m_rect[0].y(), m_rect[1].y())));
        return SiteShape::rectangle(x0, y0, x1 - x0, y1 - y0);
    }
    if (!m_polygonEnded) return std::nullopt;
    SiteShape shape;
    for (const QPointF& p : m_polygon) shape.corners.push_back({p.x(), p.y()});
    return shape;
}

std::vector<TrackPoint> MapOverlay::track() const {
    std::vector<TrackPoint> line;
    // Pixel centres sit at whole numbers on a track: half a pixel in from the corners.
    for (const QPointF& p : m_track) line.push_back({p.x() - 0.5, p.y() - 0.5});
    return line;
}

void MapOverlay::clearTrack() {
    m_track.clear();
    m_trackEnded = false;
    m_dragged = -1;
    update();
}

QPointF MapOverlay::mapPoint(QPointF pos) const {
    const double s = m_disp->scale();
    const QSize size = m_disp->scaledSize(1.0);
    return {std::clamp(pos.x() / s, 0.0, double(size.width())), std::clamp(pos.y() / s, 0.0, double(size.height()))};
}

QPointF MapOverlay::screenPoint(QPointF p) const { return p * m_disp->scale(); }

bool MapOverlay::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == parent()) resize(static_cast<QWidget*>(watched)->size());
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return watched != parent() && m_tool != Tool::None && mouse(event);
    case QEvent::KeyPress: return m_tool != Tool::None && key(event);
    default: return false;
    }
}

bool MapOverlay::mouse(QEvent* event) {
    auto* e = static_cast<QMouseEvent*>(event);
    const QPointF at = mapPoint(e->position());
    const QEvent::Type t = event->type();
    if (t == QEvent::MouseMove) {
        // Moves with nothing held go on to the readout.
        if (m_dragged >= 0) {
            m_track[std::size_t(m_dragged)] = at;
            if (onTrackChanged) onTrackChanged();
        } else if (m_press && m_tool == Tool::Rectangle) {
            m_rect = {*m_press, at};
        } else if (m_press && m_tool == Tool::Measure) {
            m_measure = {*m_press, at};
            if (onMeasure) onMeasure(*m_press, at);
        } else {
            return false;
        }
        update();
        return true;
    }
    if (e->button() != Qt::LeftButton) return true;
    if (t == QEvent::MouseButtonDblClick) {
        // Ends a polygon; never reverts the map while a tool is chosen.
        if (m_tool == Tool::Polygon && !m_polygon.empty()) m_polygonEnded = true;
        update();
        return true;
    }
    if (t == QEvent::MouseButtonRelease) {
        if (m_press && m_tool == Tool::Rectangle) m_rect = {*m_press, at};
        if (m_press && m_tool == Tool::Measure) {
            m_measure = {*m_press, at};
            if (onMeasure) onMeasure(*m_press, at);
        }
        m_press.reset();
        m_dragged = -1;
        update();
        return true;
    }
    switch (m_tool) {
    case Tool::Rectangle:
        m_polygon.clear();
        m_polygonEnded = false;
        m_press = at;
        m_rect = {at, at};
        break;
    case Tool::Polygon:
        if (m_polygonEnded) {
            m_polygon.clear();
            m_polygonEnded = false;
        }
        m_rect.clear();
        m_polygon.push_back(at);
        break;
    case Tool::Measure:
        m_press = at;
        m_measure = {at, at};
        break;
    case Tool::Track: {
        for (std::size_t i = 0; i < m_track.size(); ++i) {
            const QPointF d = screenPoint(m_track[i]) - screenPoint(at);
            if (std::hypot(d.x(), d.y()) <= kGrabDistance) {
                m_dragged = int(i);
                return true;
            }
        }
        if (m_trackEnded) return true;
        m_track.push_back(at);
        if (onTrackChanged) onTrackChanged();
        break;
    }
    case Tool::None: break;
    }
    update();
    return true;
}

bool MapOverlay::key(QEvent* event) {
    const int k = static_cast<QKeyEvent*>(event)->key();
    const bool enter = k == Qt::Key_Return || k == Qt::Key_Enter;
    if (enter && m_tool == Tool::Polygon && !m_polygon.empty() && !m_polygonEnded) {
        m_polygonEnded = true;
    } else if (enter && m_tool == Tool::Track && m_track.size() >= 2 && !m_trackEnded) {
        m_trackEnded = true;
        update();
        if (onTrackEnded) onTrackEnded();
        return true;
    } else if (k == Qt::Key_Escape && m_tool == Tool::Polygon && !m_polygon.empty() && !m_polygonEnded) {
        m_polygon.clear();
    } else if (k == Qt::Key_Escape && m_tool == Tool::Track && !m_track.empty()) {
        clearTrack();
        if (onTrackChanged) onTrackChanged();
    } else if (k == Qt::Key_Escape && m_tool == Tool::Measure && !m_measure.empty()) {
        m_measure.clear();
    } else {
        return false;
    }
    update();
    return true;
}

void MapOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    auto screen = [this](const std::vector<QPointF>& points) {
        QPolygonF poly;
        for (const QPointF& p : points) poly << screenPoint(p);
        return poly;
    };
    painter.setPen(QPen(kSelectionColour, 2));
    if (const auto shape = selection(); shape && m_rect.size() == 2) {
        const SitePoint a = shape->corners[0], c = shape->corners[2];
        painter.drawRect(QRectF(screenPoint({a.x, a.y}), screenPoint({c.x, c.y})));
    } else if (m_polygonEnded) {
        painter.drawPolygon(screen(m_polygon));
    } else if (!m_polygon.empty()) {
        painter.drawPolyline(screen(m_polygon));
    }
    if (m_measure.size() == 2) {
        painter.setPen(QPen(kMeasureColour, 2));
        painter.drawLine(screenPoint(m_measure[0]), screenPoint(m_measure[1]));
    }
    if (!m_track.empty()) {
        painter.setPen(QPen(kTrackColour, 2));
        const QPolygonF line = screen(m_track);
        painter.drawPolyline(line);
        painter.setBrush(kTrackColour);
        for (const QPointF& p : line) painter.drawRect(QRectF(p - QPointF(3, 3), QSizeF(6, 6)));
    }
}

}  // namespace morv
