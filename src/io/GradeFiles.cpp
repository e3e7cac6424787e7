#include "io/GradeFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "io/TrackFile.h"

namespace morv {

std::string fixedDecimals(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::abs(v) < 0.5 * std::pow(10.0, -decimals) && text[0] == '-' ? text + 1 : text;
}

std::string splineTableCsv(const TrackProfile& p, double every, const GeoFrame* geo) {
    std::string csv = geo ? "distance_m,x,y,longitude,latitude,height_m\n" : "distance_m,x,y,height_m\n";
    const double length = p.length();
    auto row = [&](double d) {
        const TrackPoint at = p.pointAt(d);
        csv += fixedDecimals(d, 1) + "," + fixedDecimals(at.x, 2) + "," + fixedDecimals(at.y, 2) + ",";
        if (geo) {
            const auto [lon, lat] = geo->lonLatOf(at);
            csv += fixedDecimals(lon, 7) + "," + fixedDecimals(lat, 7) + ",";
        }
        csv += fixedDecimals(p.scale.metresOfLevel(p.formationAt(d)), 2) + "\n";
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
    t += "length: " + fixedDecimals(p.length(), 1) + " m\n";
    t += "grade: steepest " + fixedDecimals(p.steepestGrade() * 100, 3) + " %, mean " + fixedDecimals(p.meanGrade() * 100, 3) +
         " % (at most " + fixedDecimals(p.maxGrade * 100, 3) + " %)\n";
    t += "formation: " + fixedDecimals(p.scale.metresOfLevel(p.formation.front()), 2) + " m to " +
         fixedDecimals(p.scale.metresOfLevel(p.formation.back()), 2) + " m\n";
    t += "cut: " + fixedDecimals(c.cutCubicMetres, 0) + " m3, largest " + fixedDecimals(c.largestCutMetres, 2) + " m\n";
    t += "fill: " + fixedDecimals(c.fillCubicMetres, 0) + " m3, highest bank " + fixedDecimals(c.highestBankMetres, 2) + " m\n";
    t += "stored in levels: departs at most " + fixedDecimals(c.storedDeviationLevels, 2) + " level (" +
         fixedDecimals(c.storedDeviationLevels * p.scale.levelMetres, 2) + " m) from the computed formation; " +
         std::to_string(s.steps.size()) + " level step" + (s.steps.size() == 1 ? "" : "s") + " along the track\n";
    // The first steps here; every one of them is in the JSON report.
    constexpr std::size_t kListed = 12;
    for (std::size_t k = 0; k < s.steps.size() && k < kListed; ++k) {
        const LevelStep& st = s.steps[k];
        t += "  step " + std::to_string(st.from) + " -> " + std::to_string(st.to) + " at " + fixedDecimals(st.distance, 1) +
             " m (" + fixedDecimals(st.at.x, 1) + ", " + fixedDecimals(st.at.y, 1) + ")\n";
    }
    if (s.steps.size() > kListed) t += "  and " + std::to_string(s.steps.size() - kListed) + " more\n";
    return t;
}

}  // namespace morv
