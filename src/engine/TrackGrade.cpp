#include "engine/TrackGrade.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace morv {

namespace {

/// The finest height step the profile is solved in, in levels: far below what a
/// level can store, so the solution is as good as exact for a map.
constexpr double kFinestStep = 0.05;
/// The most height steps between two stations' grades (they are kept in a byte).
constexpr int kMostSteps = 100;
/// The most cells (stations x heights) of the solve: its back-links take a byte each.
constexpr std::int64_t kMostCells = std::int64_t(160) << 20;

/// A number with up to `decimals` places, trailing zeros dropped ("2.5", "12").
std::string number(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string metres(double v) { return number(v, 1) + " m"; }
std::string percent(double grade) { return number(grade * 100, 2) + " %"; }

/// Length of the segment from a to b, pixels.
double span(TrackPoint a, TrackPoint b) noexcept { return std::hypot(b.x - a.x, b.y - a.y); }

/// The stations' even step along a line of `pixels` length: at most `most` pixels.
std::size_t stationCount(double pixels, double most) {
    return std::size_t(std::ceil(pixels / most - 1e-9)) + 1;
}

/// The place at `pixels` along the line (cumulative lengths in `along`, pixels).
TrackPoint placeAlong(const std::vector<TrackPoint>& line, const std::vector<double>& along, double pixels) noexcept {
    if (pixels <= 0) return line.front();
    if (pixels >= along.back()) return line.back();
    const std::size_t k = std::size_t(std::upper_bound(along.begin(), along.end(), pixels) - along.begin()) - 1;
    const double len = along[k + 1] - along[k];
    const double t = len > 0 ? (pixels - along[k]) / len : 0;
    return {line[k].x + t * (line[k + 1].x - line[k].x), line[k].y + t * (line[k + 1].y - line[k].y)};
}

/// Values at evenly spaced stations, straight between them, at a fractional index.
double between(const std::vector<double>& v, double index) noexcept {
    if (v.empty()) return 0;
    if (index <= 0) return v.front();
    const double last = double(v.size() - 1);
    if (index >= last) return v.back();
    const std::size_t i = std::size_t(index);
    const double t = index - double(i);
    return v[i] + t * (v[i + 1] - v[i]);
}

void checkLine(const std::vector<TrackPoint>& line, int width, int height) {
    if (line.size() < 2)
        throw GradeError("the track has " + std::string(line.empty() ? "no points" : "only one point") +
                         "; a track needs at least two");
    for (std::size_t i = 0; i < line.size(); ++i) {
        const TrackPoint p = line[i];
        if (!(p.x >= -0.5 && p.x < width - 0.5 && p.y >= -0.5 && p.y < height - 0.5))
            throw GradeError("the track's point " + std::to_string(i + 1) + " (" + number(p.x, 1) + ", " +
                             number(p.y, 1) + ") lies outside the map of " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels");
    }
}

/// A fixed height placed on a station, in levels.
struct Fix {
    std::size_t station;
    double level;
    FixedHeight asked;
};

std::vector<Fix> placeFixes(const ProfileOptions& options, const MapScale& scale, double spacing, std::size_t stations) {
    const double length = spacing * double(stations - 1);
    std::vector<Fix> fixes;
    for (const FixedHeight& f : options.fixes) {
        if (!std::isfinite(f.distance) || !std::isfinite(f.metres))
            throw GradeError("a fixed height is not a number");
        if (f.distance < -spacing / 2 || f.distance > length + spacing / 2)
            throw GradeError("the fixed height at " + metres(f.distance) + " lies off the track, which is " +
                             metres(length) + " long");
        const double level = scale.levelOfMetres(f.metres);
        if (level < -1e-9 || level > 255 + 1e-9)
            throw GradeError("the fixed height " + metres(f.metres) + " at " + metres(f.distance) +
                             " lies outside the map's heights (" + metres(scale.metresOfLevel(0)) + " to " +
                             metres(scale.metresOfLevel(255)) + ")");
        const auto station = std::size_t(std::clamp(std::lround(f.distance / spacing), 0L, long(stations - 1)));
        fixes.push_back({station, std::clamp(level, 0.0, 255.0), f});
    }
    std::sort(fixes.begin(), fixes.end(), [](const Fix& a, const Fix& b) { return a.station < b.station; });
    for (std::size_t k = 1; k < fixes.size(); ++k) {
        const Fix& a = fixes[k - 1];
        const Fix& b = fixes[k];
        const double rise = std::abs(b.asked.metres - a.asked.metres);
        const double run = spacing * double(b.station - a.station);
        const std::string both = metres(a.asked.metres) + " at " + metres(a.asked.distance) + " and " +
                                 metres(b.asked.metres) + " at " + metres(b.asked.distance);
        if (run <= 0) {
            if (rise > 1e-9) throw GradeError("the fixed heights " + both + " fall on one place of the track");
            continue;
        }
        const double needed = rise / run;
        if (needed > options.maxGrade * (1 + 1e-9))
            throw GradeError("no grade of at most " + percent(options.maxGrade) + " joins the fixed heights " + both +
                             ": that needs " + percent(needed));
    }
    // Two fixes on one station with the same height are one.
    fixes.erase(std::unique(fixes.begin(), fixes.end(), [](const Fix& a, const Fix& b) { return a.station == b.station; }),
                fixes.end());
    return fixes;
}

/// The least-departure formation on a lattice of heights lo + j h, a grade step of
/// at most k lattice steps between stations: an exact dynamic programme, each
/// station's best predecessor found by a running window minimum.
std::vector<double> latticeFormation(const std::vector<double>& terrain, const std::vector<Fix>& fixes, double lo,
                                     double h, int k, int heights) {
    const std::size_t n = terrain.size();
    const auto N = std::size_t(heights);
    constexpr double kBarred = std::numeric_limits<double>::infinity();
    std::vector<std::int8_t> back(n * N);
    std::vector<double> prev(N), cur(N);
    std::vector<int> window(N);
    std::vector<int> fixedAt(n, -1);
    // Each fix on its nearest lattice height that the previous fix can reach.
    long lastJ = 0;
    std::size_t lastStation = 0;
    for (std::size_t q = 0; q < fixes.size(); ++q) {
        long j = std::clamp(std::lround((fixes[q].level - lo) / h), 0L, long(N - 1));
        if (q > 0) {
            const long reach = long(k) * long(fixes[q].station - lastStation);
            j = std::clamp(j, lastJ - reach, lastJ + reach);
        }
        fixedAt[fixes[q].station] = int(j);
        lastJ = j, lastStation = fixes[q].station;
    }

    auto departure = [&](std::size_t i, std::size_t j) {
        if (fixedAt[i] >= 0 && int(j) != fixedAt[i]) return kBarred;
        return std::abs(lo + double(j) * h - terrain[i]);
    };
    for (std::size_t j = 0; j < N; ++j) prev[j] = departure(0, j);
    for (std::size_t i = 1; i < n; ++i) {
        std::int8_t* links = back.data() + i * N;
        int head = 0, tail = 0, pushed = 0;
        for (int j = 0; j < int(N); ++j) {
            const int right = std::min(j + k, int(N) - 1);
            for (; pushed <= right; ++pushed) {
                while (tail > head && prev[std::size_t(window[std::size_t(tail - 1)])] >= prev[std::size_t(pushed)]) --tail;
                window[std::size_t(tail++)] = pushed;
            }
            while (window[std::size_t(head)] < j - k) ++head;
            const int best = window[std::size_t(head)];
            links[j] = std::int8_t(best - j);
            cur[std::size_t(j)] = prev[std::size_t(best)] + departure(i, std::size_t(j));
        }
        std::swap(prev, cur);
    }
    std::size_t j = std::size_t(std::min_element(prev.begin(), prev.end()) - prev.begin());
    std::vector<double> formation(n);
    for (std::size_t i = n; i-- > 0;) {
        formation[i] = lo + double(j) * h;
        if (i > 0) j = std::size_t(int(j) + back[i * N + j]);
    }
    return formation;
}

/// Sets each fixed station from its lattice height to its own, then pulls back
/// any grade that made steeper than step (levels a station): forwards from each
/// fix, then backwards from the next, which keeps both fixes and every grade
/// within the limit.
void holdFixes(std::vector<double>& f, const std::vector<Fix>& fixes, double step) {
    if (fixes.empty()) return;
    const std::size_t n = f.size();
    for (const Fix& x : fixes) f[x.station] = x.level;
    auto pull = [&](std::size_t i, std::size_t from) { f[i] = std::clamp(f[i], f[from] - step, f[from] + step); };
    for (std::size_t i = fixes.front().station; i-- > 0;) pull(i, i + 1);
    for (std::size_t i = fixes.back().station + 1; i < n; ++i) pull(i, i - 1);
    for (std::size_t k = 1; k < fixes.size(); ++k) {
        const std::size_t a = fixes[k - 1].station, b = fixes[k].station;
        for (std::size_t i = a + 1; i < b; ++i) pull(i, i - 1);
        for (std::size_t i = b; i-- > a + 1;) pull(i, i + 1);
    }
}

/// The running mean over 2 half + 1 stations of each stretch between fixes (and
/// the track's ends), the stretch mirrored point-wise about its end heights beyond
/// them: the ends keep their heights, and a mean of grades within a limit is within
/// it.
void joinGrades(std::vector<double>& f, const std::vector<Fix>& fixes, std::size_t half) {
    if (half == 0) return;
    std::vector<std::size_t> ends{0};
    for (const Fix& x : fixes)
        if (x.station > ends.back()) ends.push_back(x.station);
    if (ends.back() != f.size() - 1) ends.push_back(f.size() - 1);
    std::vector<double> sums;
    for (std::size_t k = 1; k < ends.size(); ++k) {
        const std::size_t a = ends[k - 1], b = ends[k];
        const std::size_t w = std::min(half, b - a);
        if (w == 0) continue;
        // ext(m) for m = a - w .. b + w, mirrored about (a, f[a]) and (b, f[b]).
        auto ext = [&](std::ptrdiff_t m) {
            const auto A = std::ptrdiff_t(a), B = std::ptrdiff_t(b);
            if (m < A) return 2 * f[a] - f[std::size_t(2 * A - m)];
            if (m > B) return 2 * f[b] - f[std::size_t(2 * B - m)];
            return f[std::size_t(m)];
        };
        const std::size_t count = b - a + 1 + 2 * w;
        sums.assign(count + 1, 0.0);
        for (std::size_t m = 0; m < count; ++m)
            sums[m + 1] = sums[m] + ext(std::ptrdiff_t(a) - std::ptrdiff_t(w) + std::ptrdiff_t(m));
        std::vector<double> mean(b - a + 1);
        for (std::size_t i = a; i <= b; ++i) {
            const std::size_t from = i - a;  // index in ext of i - w
            mean[i - a] = (sums[from + 2 * w + 1] - sums[from]) / double(2 * w + 1);
        }
        for (std::size_t i = a + 1; i < b; ++i) f[i] = mean[i - a];
    }
}

double smoothstep(double t) noexcept { return t * t * (3 - 2 * t); }

}  // namespace

double TrackProfile::formationAt(double m) const noexcept { return between(formation, spacing > 0 ? m / spacing : 0); }

double TrackProfile::terrainAt(double m) const noexcept { return between(terrain, spacing > 0 ? m / spacing : 0); }

TrackPoint TrackProfile::pointAt(double m) const noexcept {
    if (line.empty()) return {};
    return placeAlong(line, vertexDistance, m);
}

double TrackProfile::gradeAt(std::size_t i) const noexcept {
    return (formation[i] - formation[i - 1]) * scale.levelMetres / spacing;
}

double TrackProfile::steepestGrade() const noexcept {
    double most = 0;
    for (std::size_t i = 1; i < formation.size(); ++i) most = std::max(most, std::abs(gradeAt(i)));
    return most;
}

double TrackProfile::meanGrade() const noexcept {
    if (formation.size() < 2) return 0;
    double sum = 0;
    for (std::size_t i = 1; i < formation.size(); ++i) sum += std::abs(gradeAt(i));
    return sum / double(formation.size() - 1);
}

double sampleLevel(const std::uint8_t* grey, int width, int height, TrackPoint at) noexcept {
    const double x = std::clamp(at.x, 0.0, double(width - 1)), y = std::clamp(at.y, 0.0, double(height - 1));
    const int x0 = std::min(int(x), width - 1), y0 = std::min(int(y), height - 1);
    const int x1 = std::min(x0 + 1, width - 1), y1 = std::min(y0 + 1, height - 1);
    const double tx = x - x0, ty = y - y0;
    auto g = [&](int px, int py) { return double(grey[std::size_t(py) * std::size_t(width) + std::size_t(px)]); };
    const double top = g(x0, y0) + tx * (g(x1, y0) - g(x0, y0));
    const double bottom = g(x0, y1) + tx * (g(x1, y1) - g(x0, y1));
    return top + ty * (bottom - top);
}

TrackProfile solveProfile(const std::uint8_t* grey, int width, int height, const MapScale& scale,
                          const std::vector<TrackPoint>& line, const ProfileOptions& options) {
    if (!scale.knowsDistances() || !scale.knowsHeights())
        throw GradeError(std::string("the map has no scale: its metres per ") +
                         (scale.knowsDistances() ? "grey level are" : scale.knowsHeights() ? "pixel are" : "pixel and per grey level are") +
                         " not known");
    if (!(options.maxGrade > 0) || !std::isfinite(options.maxGrade))
        throw GradeError("the steepest grade allowed must be above 0 %");
    if (!(options.curveMetres >= 0) || !std::isfinite(options.curveMetres))
        throw GradeError("the vertical curves' length must be 0 m or more");
    checkLine(line, width, height);

    TrackProfile p;
    p.line = line;
    p.scale = scale;
    p.maxGrade = options.maxGrade;
    std::vector<double> along{0};
    for (std::size_t i = 1; i < line.size(); ++i) along.push_back(along.back() + span(line[i - 1], line[i]));
    if (!(along.back() > 1e-9)) throw GradeError("the track's points all lie on one place");
    for (double a : along) p.vertexDistance.push_back(a * scale.pixelMetres);
    const double pixels = along.back();

    // The terrain's and the fixed heights' range bounds the best formation: any
    // formation outside it comes nearer the terrain when clamped into it.
    double pixelStep = 1;
    for (;;) {
        const std::size_t n = stationCount(pixels, pixelStep);
        p.spacing = pixels / double(n - 1) * scale.pixelMetres;
        p.station.resize(n);
        p.terrain.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            p.station[i] = placeAlong(line, along, pixels * double(i) / double(n - 1));
            p.terrain[i] = sampleLevel(grey, width, height, p.station[i]);
        }
        const std::vector<Fix> fixes = placeFixes(options, scale, p.spacing, n);
        double lo = *std::min_element(p.terrain.begin(), p.terrain.end());
        double hi = *std::max_element(p.terrain.begin(), p.terrain.end());
        for (const Fix& f : fixes) lo = std::min(lo, f.level), hi = std::max(hi, f.level);
        const double step = options.maxGrade * p.spacing / scale.levelMetres;  // levels a station
        int k = std::clamp(int(std::ceil(step / kFinestStep)), 1, kMostSteps);
        auto heights = [&](int steps) { return std::int64_t(std::floor((hi - lo) / (step / steps))) + 2; };
        while (k > 1 && heights(k) * std::int64_t(n) > kMostCells) k = std::max(1, k / 2);
        if (heights(k) * std::int64_t(n) > kMostCells && heights(k) > 2) {
            pixelStep *= 2;  // a grade too gentle for the heights' range: coarser stations
            continue;
        }
        const double h = step / k;
        // The lattice passes through the first fixed height, which it then holds exactly.
        if (!fixes.empty()) lo = fixes.front().level - std::ceil((fixes.front().level - lo) / h - 1e-9) * h;
        p.formation = latticeFormation(p.terrain, fixes, lo, h, k, int(std::floor((hi - lo) / h)) + 2);
        holdFixes(p.formation, fixes, step);
        joinGrades(p.formation, fixes, std::size_t(std::lround(options.curveMetres / (2 * p.spacing))));
        for (const Fix& f : fixes) p.fixedStation.push_back(f.station);
        return p;
    }
}

TrackProfile solveProfile(const HeightImage& map, const MapScale& scale, const std::vector<TrackPoint>& line,
                          const ProfileOptions& options) {
    if (map.empty()) throw GradeError("there is no map to grade");
    if (!map.isGrey()) throw GradeError("the map holds colour, not grey levels");
    return solveProfile(map.grey(), map.width(), map.height(), scale, line, options);
}

namespace {

/// Half the corridor's widths in pixels: the formation's and the shoulders' outer edge.
std::pair<double, double> reaches(const TrackProfile& p, const CorridorOptions& o) {
    const double formation = std::max(0.0, o.widthMetres) / 2 / p.scale.pixelMetres;
    return {formation, formation + std::max(0.0, o.shoulderMetres) / p.scale.pixelMetres};
}

}  // namespace

PixelBox corridorBox(const TrackProfile& p, const CorridorOptions& o, int width, int height) noexcept {
    if (p.line.empty() || !p.scale.knowsDistances()) return {};
    const double r = reaches(p, o).second;
    double x0 = p.line[0].x, x1 = x0, y0 = p.line[0].y, y1 = y0;
    for (const TrackPoint& q : p.line) x0 = std::min(x0, q.x), x1 = std::max(x1, q.x), y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
    PixelBox b;
    b.x0 = int(std::clamp(std::ceil(x0 - r), 0.0, double(width)));
    b.x1 = int(std::clamp(std::floor(x1 + r) + 1, 0.0, double(width)));
    b.y0 = int(std::clamp(std::ceil(y0 - r), 0.0, double(height)));
    b.y1 = int(std::clamp(std::floor(y1 + r) + 1, 0.0, double(height)));
    return b.empty() ? PixelBox{} : b;
}

CorridorResult applyCorridor(std::uint8_t* grey, int width, int height, const TrackProfile& p, const CorridorOptions& o) {
    CorridorResult result;
    result.box = corridorBox(p, o, width, height);
    if (result.box.empty() || p.formation.empty()) return result;
    const auto [inner, outer] = reaches(p, o);
    const PixelBox box = result.box;
    const double pixelMetres = p.scale.pixelMetres, levelMetres = p.scale.levelMetres;

    struct Segment {
        TrackPoint a, b;
        double from;    // metres along the track at a
        double length;  // pixels
        double yLow, yHigh;
        bool first, last;  // the track ends square at its first and last points
    };
    std::vector<Segment> segments;
    for (std::size_t i = 1; i < p.line.size(); ++i) {
        const TrackPoint a = p.line[i - 1], b = p.line[i];
        segments.push_back({a, b, p.vertexDistance[i - 1], span(a, b), std::min(a.y, b.y) - outer,
                            std::max(a.y, b.y) + outer, i == 1, i + 1 == p.line.size()});
    }
    std::vector<std::size_t> order(segments.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t l, std::size_t r) { return segments[l].yLow < segments[r].yLow; });

    const auto rowWidth = std::size_t(box.x1 - box.x0);
    std::vector<double> nearest(rowWidth, std::numeric_limits<double>::infinity()), along(rowWidth, 0.0);
    std::vector<std::size_t> active;
    std::size_t next = 0;
    const double pixelArea = pixelMetres * pixelMetres;
    for (int y = box.y0; y < box.y1; ++y) {
        while (next < order.size() && segments[order[next]].yLow <= y) active.push_back(order[next++]);
        std::erase_if(active, [&](std::size_t s) { return segments[s].yHigh < y; });
        int touchedLow = box.x1, touchedHigh = box.x0 - 1;
        for (std::size_t s : active) {
            const Segment& g = segments[s];
            const double dx = g.b.x - g.a.x, dy = g.b.y - g.a.y;
            // The stretch of the segment within reach of this row, then its x-range.
            double t0 = 0, t1 = 1;
            if (std::abs(dy) > 1e-12) {
                const double ta = (y - outer - g.a.y) / dy, tb = (y + outer - g.a.y) / dy;
                t0 = std::max(0.0, std::min(ta, tb));
                t1 = std::min(1.0, std::max(ta, tb));
                if (t0 > t1) continue;
            }
            const double xa = g.a.x + t0 * dx, xb = g.a.x + t1 * dx;
            const int from = std::max(box.x0, int(std::ceil(std::min(xa, xb) - outer)));
            const int to = std::min(box.x1 - 1, int(std::floor(std::max(xa, xb) + outer)));
            const double len2 = dx * dx + dy * dy;
            for (int x = from; x <= to; ++x) {
                double t = len2 > 0 ? ((x - g.a.x) * dx + (y - g.a.y) * dy) / len2 : 0;
                if ((g.first && t < 0) || (g.last && t > 1)) continue;
                t = std::clamp(t, 0.0, 1.0);
                const double d = std::hypot(x - (g.a.x + t * dx), y - (g.a.y + t * dy));
                const auto c = std::size_t(x - box.x0);
                if (d < nearest[c]) nearest[c] = d, along[c] = g.from + t * g.length * pixelMetres;
            }
            touchedLow = std::min(touchedLow, from), touchedHigh = std::max(touchedHigh, to);
        }
        std::uint8_t* row = grey + std::size_t(y) * std::size_t(width);
        for (int x = touchedLow; x <= touchedHigh; ++x) {
            const auto c = std::size_t(x - box.x0);
            const double d = nearest[c];
            nearest[c] = std::numeric_limits<double>::infinity();
            if (!(d <= outer)) continue;
            const double old = row[x];
            const double formation = p.formationAt(along[c]);
            double target = formation;
            if (d > inner) {
                const double keep = smoothstep((d - inner) / (outer - inner));
                target = formation + (old - formation) * keep;
                ++result.shoulderPixels;
            } else {
                ++result.formationPixels;
            }
            target = std::clamp(target, 0.0, 255.0);
            const double stored = std::round(target);
            if (d <= inner) result.storedDeviationLevels = std::max(result.storedDeviationLevels, std::abs(stored - target));
            row[x] = std::uint8_t(stored);
            const double change = (target - old) * levelMetres;
            if (change > 0) {
                result.fillCubicMetres += change * pixelArea;
                result.highestBankMetres = std::max(result.highestBankMetres, change);
            } else {
                result.cutCubicMetres -= change * pixelArea;
                result.largestCutMetres = std::max(result.largestCutMetres, -change);
            }
        }
    }
    return result;
}

std::vector<LevelStep> levelSteps(const TrackProfile& p) {
    std::vector<LevelStep> steps;
    for (std::size_t i = 1; i < p.formation.size(); ++i) {
        const double a = p.formation[i - 1], b = p.formation[i];
        int from = int(std::lround(a));
        const int to = int(std::lround(b));
        // A step of several levels between two stations is several steps.
        while (from != to) {
            const int level = from + (to > from ? 1 : -1);
            const double half = (from + level) / 2.0;
            const double t = b != a ? std::clamp((half - a) / (b - a), 0.0, 1.0) : 0;
            const double distance = p.distanceOf(i - 1) + t * p.spacing;
            steps.push_back({distance, p.pointAt(distance), from, level});
            from = level;
        }
    }
    return steps;
}

}  // namespace morv
