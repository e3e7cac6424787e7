#include "engine/LevelSite.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace morv {

namespace {

constexpr double kFar = 1e20;

/// The squared Euclidean distance transform of one line (lower envelope of
/// parabolas): f holds 0 at site pixels and kFar elsewhere on entry, the squared
/// distance to the nearest site pixel on return. v, z and d are work space of n,
/// n + 1 and n entries. The plane is kept in single precision (half the memory of
/// a large shoulder's box); the envelope is worked out in double.
void distanceLine(float* f, int n, std::ptrdiff_t stride, int* v, double* z, double* d) {
    int k = -1;
    for (int q = 0; q < n; ++q) {
        const double fq = f[q * stride];
        if (fq >= kFar) continue;
        double s = -std::numeric_limits<double>::infinity();
        while (k >= 0) {
            const int p = v[k];
            s = ((fq + double(q) * q) - (double(f[p * stride]) + double(p) * p)) / (2.0 * (q - p));
            if (s > z[k]) break;
            --k;
        }
        ++k;
        v[k] = q;
        z[k] = k == 0 ? -std::numeric_limits<double>::infinity() : s;
        z[k + 1] = std::numeric_limits<double>::infinity();
    }
    if (k < 0) return;  // nothing near on this line
    int j = 0;
    for (int q = 0; q < n; ++q) {
        while (z[j + 1] < q) ++j;
        const int p = v[j];
        d[q] = double(q - p) * (q - p) + double(f[p * stride]);
    }
    for (int q = 0; q < n; ++q) f[q * stride] = float(d[q]);
}

double smoothstep(double t) { return t <= 0 ? 0 : t >= 1 ? 1 : t * t * (3 - 2 * t); }

int levelAt(const HeightImage& image, std::size_t i, int x, int y) {
    return image.isGrey() ? image.grey()[i] : fcnGrayLevel(image.pixel(x, y));
}

}  // namespace

SiteShape SiteShape::rectangle(int x, int y, int w, int h) {
    const double l = x, t = y, r = double(x) + w, b = double(y) + h;
    return {{{l, t}, {r, t}, {r, b}, {l, b}}};
}

std::string siteProblem(const SiteShape& shape, int width, int height) {
    if (shape.corners.size() < 3) return "a site needs at least three corners";
    for (const SitePoint& p : shape.corners) {
        if (!(p.x >= 0 && p.y >= 0 && p.x <= width && p.y <= height)) {
            char buf[128];
            std::snprintf(buf, sizeof buf, "the corner %g,%g lies outside the %d x %d map", p.x, p.y, width, height);
            return buf;
        }
    }
    if (siteMaskOf(shape, width, height).count == 0) return "the site covers no pixel (its area is zero)";
    return {};
}

SiteMask siteMaskOf(const SiteShape& shape, int width, int height) {
    SiteMask m;
    if (shape.corners.size() < 3 || width <= 0 || height <= 0) return m;
    double x0 = kFar, y0 = kFar, x1 = -kFar, y1 = -kFar;
    for (const SitePoint& p : shape.corners) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return m;
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    // Pixels whose centres may lie inside, within the map.
    m.left = std::clamp(int(std::floor(x0)), 0, width);
    m.top = std::clamp(int(std::floor(y0)), 0, height);
    m.width = std::clamp(int(std::ceil(x1)), 0, width) - m.left;
    m.height = std::clamp(int(std::ceil(y1)), 0, height) - m.top;
    if (m.width <= 0 || m.height <= 0) return m = {};
    m.inside.assign(std::size_t(m.width) * std::size_t(m.height), 0);
    std::vector<double> cross;
    const std::size_t n = shape.corners.size();
    for (int row = 0; row < m.height; ++row) {
        const double yc = m.top + row + 0.5;
        cross.clear();
        for (std::size_t i = 0; i < n; ++i) {
            const SitePoint& a = shape.corners[i];
            const SitePoint& b = shape.corners[(i + 1) % n];
            if ((a.y <= yc) != (b.y <= yc)) cross.push_back(a.x + (yc - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(cross.begin(), cross.end());
        std::uint8_t* line = m.inside.data() + std::size_t(row) * std::size_t(m.width);
        for (std::size_t k = 0; k + 1 < cross.size(); k += 2) {
            // Centres x + 0.5 in [from, to).
            const int from = std::max(int(std::ceil(cross[k] - 0.5)), m.left);
            const int to = std::min(int(std::ceil(cross[k + 1] - 0.5)), m.left + m.width);
            for (int x = from; x < to; ++x) line[x - m.left] = 1;
        }
    }
    for (std::uint8_t v : m.inside) m.count += v;
    return m;
}

double meanLevelUnder(const HeightImage& image, const SiteMask& site) {
    if (site.count == 0) return 0;
    std::int64_t sum = 0;
    for (int y = site.top; y < site.top + site.height; ++y)
        for (int x = site.left; x < site.left + site.width; ++x)
            if (site.contains(x, y)) sum += levelAt(image, std::size_t(y) * std::size_t(image.width()) + std::size_t(x), x, y);
    return double(sum) / double(site.count);
}

LevelSiteResult levelSite(HeightImage& image, const SiteMask& site, double level, double shoulder) {
    if (!(shoulder >= 0) || !std::isfinite(shoulder)) throw std::invalid_argument("the shoulder cannot be negative");
    if (site.left < 0 || site.top < 0 || site.left + site.width > image.width() ||
        site.top + site.height > image.height() ||
        site.inside.size() != std::size_t(site.width) * std::size_t(site.height))
        throw std::invalid_argument("the site does not lie on the map");
    LevelSiteResult r;
    r.level = int(std::clamp(std::lround(level), 0L, 255L));
    r.sitePixels = site.count;
    if (site.count == 0) return r;

    // The box the blend can reach: the site's, widened by the shoulder.
    const int reach = int(std::ceil(std::min(shoulder, 1e6))) + 1;
    const int left = std::max(site.left - reach, 0), top = std::max(site.top - reach, 0);
    const int right = std::min(site.left + site.width + reach, image.width());
    const int bottom = std::min(site.top + site.height + reach, image.height());
    const int bw = right - left, bh = bottom - top;
    std::vector<float> dist(std::size_t(bw) * std::size_t(bh), float(kFar));
    for (int y = site.top; y < site.top + site.height; ++y)
        for (int x = site.left; x < site.left + site.width; ++x)
            if (site.contains(x, y)) dist[std::size_t(y - top) * std::size_t(bw) + std::size_t(x - left)] = 0;
    if (shoulder > 0) {
        const int n = std::max(bw, bh);
        std::vector<int> v(std::size_t(n) + 1);
        std::vector<double> z(std::size_t(n) + 2), d(std::size_t(n) + 1);
        for (int x = 0; x < bw; ++x) distanceLine(dist.data() + x, bh, bw, v.data(), z.data(), d.data());
        for (int y = 0; y < bh; ++y)
            distanceLine(dist.data() + std::size_t(y) * std::size_t(bw), bw, 1, v.data(), z.data(), d.data());
    }

    double cutSum = 0, fillSum = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const double d2 = dist[std::size_t(y - top) * std::size_t(bw) + std::size_t(x - left)];
            double weight = 1;
            if (d2 > 0) {
                const double edge = std::sqrt(d2) - 0.5;
                if (edge >= shoulder) continue;
                weight = 1 - smoothstep(edge / shoulder);
                ++r.shoulderPixels;
            }
            const std::size_t i = std::size_t(y) * std::size_t(image.width()) + std::size_t(x);
            const int old = levelAt(image, i, x, y);
            const int now = int(std::lround(old + (r.level - old) * weight));
            if (now == old) continue;
            if (image.isGrey()) image.grey()[i] = std::uint8_t(now);
            else image.setPixel(x, y, fcnGrayColor(now));
            ++r.changed;
            if (now < old) ++r.cut, cutSum += old - now;
            else ++r.fill, fillSum += now - old;
        }
    }
    if (r.cut) r.meanCut = cutSum / double(r.cut);
    if (r.fill) r.meanFill = fillSum / double(r.fill);
    return r;
}

}  // namespace morv
