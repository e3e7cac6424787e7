#pragma once
#include <QPointF>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "engine/LevelSite.h"
#include "engine/TrackGrade.h"

namespace morv {

class PictureBox;

/// The ground tools' layer over the picture window's displays: it takes the
/// pointer while a tool is chosen and draws what the tool made (a selected
/// rectangle or polygon, a measured line, a track's points) over the picture, on
/// screen only. With no tool chosen the displays get the pointer as before.
class MapOverlay : public QWidget {
public:
    enum class Tool { None, Rectangle, Polygon, Measure, Track };

    /// A layer over canvas for the two displays; keys pressed in keys (the window's
    /// focus) reach it first: Enter ends a polygon or a track, Esc drops it.
    MapOverlay(QWidget* canvas, PictureBox* disp, PictureBox* dispCL, QWidget* keys);

    /// Chooses the tool the pointer works; another tool drops a polygon or track
    /// not yet ended.
    void setTool(Tool tool);
    Tool tool() const { return m_tool; }

    /// The site selected (a rectangle or an ended polygon), in map pixels' corners.
    std::optional<SiteShape> selection() const;
    /// The track's points (pixel centres at whole numbers), in the order clicked.
    std::vector<TrackPoint> track() const;
    /// True once Enter ended the track.
    bool trackEnded() const { return m_trackEnded; }
    /// Forgets the track, so the next clicks start a new one.
    void clearTrack();

    /// Runs while the measured line is drawn and when it ends, with its ends in
    /// map coordinates (corners of pixels at whole numbers).
    std::function<void(QPointF from, QPointF to)> onMeasure;
    /// Runs when Enter ends a track of two points or more.
    std::function<void()> onTrackEnded;
    /// Runs when a point of the track was added or dragged elsewhere.
    std::function<void()> onTrackChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointF mapPoint(QPointF displayPos) const;
    QPointF screenPoint(QPointF mapPos) const;
    bool mouse(QEvent* event);
    bool key(QEvent* event);

    PictureBox* m_disp;
    Tool m_tool = Tool::None;
    // What the tools made, in map coordinates.
    std::optional<QPointF> m_press;          // a rectangle's or a measure's first corner, while dragged
    std::vector<QPointF> m_rect;             // a rectangle's two corners (none: no rectangle)
    std::vector<QPointF> m_polygon;          // its corners as clicked
    bool m_polygonEnded = false;
    std::vector<QPointF> m_measure;          // the measured line's two ends
    std::vector<QPointF> m_track;
    bool m_trackEnded = false;
    int m_dragged = -1;                      // the track point being dragged
};

}  // namespace morv
