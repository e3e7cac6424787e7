#include "io/GradeFiles.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "io/TrackFile.h"

namespace morv {

namespace {

std::string fixed(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::abs(v) < 0.5 * std::pow(10.0, -decimals) && text[0] == '-' ? text + 1 : text;
}

/// A stretch of the formation at one grade.
struct Stretch {
    std::size_t from, to;  // stations
    double grade;
};

/// The stretches of one grade (to a hundredth of a per mille), vertical curves
/// falling between them.
std::vector<Stretch> stretches(const TrackProfile& p) {
    std::vector<Stretch> out;
    for (std::size_t i = 1; i < p.formation.size(); ++i) {
        const double g = p.gradeAt(i);
        if (!out.empty() && out.back().to == i - 1 && std::abs(g - out.back().grade) < 1e-5) {
            out.back().to = i;
            continue;
        }
        out.push_back({i - 1, i, g});
    }
    return out;
}

/// A step of 1, 2 or 5 times a power of ten that divides span into about count parts.
double tickStep(double span, int count) {
    const double raw = span / count, power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

}  // namespace

std::string splineTableCsv(const TrackProfile& p, double every, const GeoFrame* geo) {
    std::string csv = geo ? "distance_m,x,y,longitude,latitude,height_m\n" : "distance_m,x,y,height_m\n";
    const double length = p.length();
    auto row = [&](double d) {
        const TrackPoint at = p.pointAt(d);
        csv += fixed(d, 1) + "," + fixed(at.x, 2) + "," + fixed(at.y, 2) + ",";
        if (geo) {
            const auto [lon, lat] = geo->lonLatOf(at);
            csv += fixed(lon, 7) + "," + fixed(lat, 7) + ",";
        }
        csv += fixed(p.scale.metresOfLevel(p.formationAt(d)), 2) + "\n";
    };
    const auto rows = std::size_t(std::floor(length / every + 1e-9));
    for (std::size_t k = 0; k <= rows; ++k) row(double(k) * every);
    if (length - double(rows) * every > 1e-6) row(length);
    return csv;
}

std::string gradeReportJson(const GradeSummary& s) {
    const TrackProfile& p = s.profile;
    const CorridorResult& c = s.corridor;
    QJsonArray steps;
    for (const LevelStep& st : s.steps)
        steps.append(QJsonObject{{"distance", st.distance}, {"x", st.at.x}, {"y", st.at.y}, {"from", st.from}, {"to", st.to}});
    const QJsonObject report{
        {"length", p.length()},
        {"steepestGradePercent", p.steepestGrade() * 100},
        {"meanGradePercent", p.meanGrade() * 100},
        {"maxGradePercent", p.maxGrade * 100},
        {"formationWidth", s.corridorOptions.widthMetres},
        {"shoulderWidth", s.corridorOptions.shoulderMetres},
        {"cutCubicMetres", c.cutCubicMetres},
        {"fillCubicMetres", c.fillCubicMetres},
        {"largestCut", c.largestCutMetres},
        {"highestBank", c.highestBankMetres},
        {"startHeight", p.scale.metresOfLevel(p.formation.front())},
        {"endHeight", p.scale.metresOfLevel(p.formation.back())},
        {"metresPerLevel", p.scale.levelMetres},
        {"storedDepartureLevels", c.storedDeviationLevels},
        {"storedDepartureMetres", c.storedDeviationLevels * p.scale.levelMetres},
        {"levelSteps", steps},
        {"box", QJsonObject{{"x0", c.box.x0}, {"y0", c.box.y0}, {"x1", c.box.x1}, {"y1", c.box.y1}}},
    };
    return QJsonDocument(report).toJson().toStdString();
}

std::string gradeReportText(const GradeSummary& s) {
    const TrackProfile& p = s.profile;
    const CorridorResult& c = s.corridor;
    std::string t;
    t += "length: " + fixed(p.length(), 1) + " m\n";
    t += "grade: steepest " + fixed(p.steepestGrade() * 100, 3) + " %, mean " + fixed(p.meanGrade() * 100, 3) +
         " % (at most " + fixed(p.maxGrade * 100, 3) + " %)\n";
    t += "formation: " + fixed(p.scale.metresOfLevel(p.formation.front()), 2) + " m to " +
         fixed(p.scale.metresOfLevel(p.formation.back()), 2) + " m\n";
    t += "cut: " + fixed(c.cutCubicMetres, 0) + " m3, largest " + fixed(c.largestCutMetres, 2) + " m\n";
    t += "fill: " + fixed(c.fillCubicMetres, 0) + " m3, highest bank " + fixed(c.highestBankMetres, 2) + " m\n";
    t += "stored in levels: departs at most " + fixed(c.storedDeviationLevels, 2) + " level (" +
         fixed(c.storedDeviationLevels * p.scale.levelMetres, 2) + " m) from the computed formation; " +
         std::to_string(s.steps.size()) + " level step" + (s.steps.size() == 1 ? "" : "s") + " along the track\n";
    for (const LevelStep& st : s.steps)
        t += "  step " + std::to_string(st.from) + " -> " + std::to_string(st.to) + " at " + fixed(st.distance, 1) +
             " m (" + fixed(st.at.x, 1) + ", " + fixed(st.at.y, 1) + ")\n";
    return t;
}

QImage profilePicture(const TrackProfile& p, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 255));
    if (p.formation.size() < 2) return image;
    const bool fonts = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    const double left = fonts ? 70 : 10, right = width - 15.0, top = fonts ? 30 : 10, bottom = height - (fonts ? 40.0 : 10.0);
    double low = 1e300, high = -1e300;
    for (std::size_t i = 0; i < p.formation.size(); ++i)
        for (double level : {p.terrain[i], p.formation[i]}) {
            low = std::min(low, p.scale.metresOfLevel(level));
            high = std::max(high, p.scale.metresOfLevel(level));
        }
    const double pad = std::max(1.0, (high - low) * 0.08);
    low -= pad, high += pad;
    const double length = p.length();
    auto px = [&](double d) { return left + (right - left) * d / length; };
    auto py = [&](double level) { return bottom - (bottom - top) * (p.scale.metresOfLevel(level) - low) / (high - low); };

    QPainter g(&image);
    g.setRenderHint(QPainter::Antialiasing, false);
    // Grid and figures.
    const double dStep = tickStep(length, 8), hStep = tickStep(high - low, 6);
    g.setPen(QColor(225, 225, 225));
    for (double d = 0; d <= length + 1e-9; d += dStep) g.drawLine(QPointF(px(d), top), QPointF(px(d), bottom));
    for (double h = std::ceil(low / hStep) * hStep; h <= high; h += hStep) {
        const double y = bottom - (bottom - top) * (h - low) / (high - low);
        g.drawLine(QPointF(left, y), QPointF(right, y));
        if (fonts) {
            g.setPen(QColor(90, 90, 90));
            g.drawText(QRectF(0, y - 8, left - 6, 16), Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(fixed(h, 0) + " m"));
            g.setPen(QColor(225, 225, 225));
        }
    }
    if (fonts) {
        g.setPen(QColor(90, 90, 90));
        for (double d = 0; d <= length + 1e-9; d += dStep)
            g.drawText(QRectF(px(d) - 40, bottom + 4, 80, 16), Qt::AlignCenter,
                       QString::fromStdString(length >= 5000 ? fixed(d / 1000, 1) + " km" : fixed(d, 0) + " m"));
    }
    // The terrain, filled down to the frame's foot.
    QPainterPath ground;
    ground.moveTo(px(0), bottom);
    for (std::size_t i = 0; i < p.terrain.size(); ++i) ground.lineTo(px(p.distanceOf(i)), py(p.terrain[i]));
    ground.lineTo(px(length), bottom);
    ground.closeSubpath();
    g.fillPath(ground, QColor(214, 190, 140));
    g.setPen(QPen(QColor(150, 115, 60), 1));
    g.drawPath(ground);
    // The formation over it.
    QPainterPath formation;
    formation.moveTo(px(0), py(p.formation[0]));
    for (std::size_t i = 1; i < p.formation.size(); ++i) formation.lineTo(px(p.distanceOf(i)), py(p.formation[i]));
    g.setRenderHint(QPainter::Antialiasing, true);
    g.setPen(QPen(QColor(30, 60, 170), 2));
    g.setBrush(Qt::NoBrush);
    g.drawPath(formation);
    // Each long stretch of one grade: a tick at its ends and its grade above it.
    for (const Stretch& s : stretches(p)) {
        if (double(s.to - s.from) * p.spacing < length * 0.06) continue;
        const double mid = p.distanceOf((s.from + s.to) / 2);
        g.setPen(QPen(QColor(30, 60, 170), 1));
        for (std::size_t end : {s.from, s.to})
            g.drawLine(QPointF(px(p.distanceOf(end)), py(p.formation[end]) - 6), QPointF(px(p.distanceOf(end)), py(p.formation[end]) + 6));
        if (fonts)
            g.drawText(QRectF(px(mid) - 50, py(p.formationAt(mid)) - 24, 100, 16), Qt::AlignCenter,
                       QString::fromStdString((s.grade > 0 ? "+" : "") + fixed(s.grade * 100, 2) + " %"));
    }
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(200, 30, 30));
    for (std::size_t i : p.fixedStation) g.drawEllipse(QPointF(px(p.distanceOf(i)), py(p.formation[i])), 4, 4);
    g.setBrush(Qt::NoBrush);
    g.setPen(QColor(120, 120, 120));
    g.drawRect(QRectF(left, top, right - left, bottom - top));
    if (fonts) {
        g.setPen(QColor(40, 40, 40));
        g.drawText(QRectF(left, 4, right - left, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString("length " + fixed(length, 0) + " m, steepest " + fixed(p.steepestGrade() * 100, 2) +
                                          " %, mean " + fixed(p.meanGrade() * 100, 2) + " %"));
    }
    return image;
}

std::string pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

}  // namespace morv
