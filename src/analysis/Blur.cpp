#include "analysis/Blur.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "core/Numbers.h"
#include "engine/PixelBuffer.h"
#include "engine/PixelKernels.h"

namespace morv {

namespace {

using Byte = std::uint8_t;

/// One pass on one row of n bytes: each pixel gets the blend of the pixel `shift`
/// bytes along in row nb (the same row for the sideways passes), or keeps its value
/// where that pixel lies outside the row; a missing row (nb null) keeps the whole row.
void passRow(Byte* out, const Byte* cur, const Byte* nb, std::ptrdiff_t shift, std::size_t n) {
    if (!nb) {
        std::memcpy(out, cur, n);
        return;
    }
    const std::size_t edge = std::min(n, std::size_t(shift < 0 ? -shift : shift));
    if (shift >= 0) {
        pixelKernels().blend(out, nb + shift, cur, n - edge);
        std::memcpy(out + (n - edge), cur + (n - edge), edge);
    } else {
        std::memcpy(out, cur, edge);
        pixelKernels().blend(out + edge, nb + edge + shift, cur + edge, n - edge);
    }
}

struct Pass {
    int dx, dy;
};
/// The eight passes of one iteration, in order.
constexpr Pass kPasses[8] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
/// Rows of halo a band needs on either side: the passes of an iteration that look
/// down (three) and up (three) each carry a wrong edge row one row further in.
constexpr int kHalo = 3;

/// A picture's pixel plane as rows of bytes; a colour pixel is four bytes whose top
/// byte (always 0) blends to 0.
struct Plane {
    int width = 0, height = 0;
    std::size_t pixelBytes = 1;
    std::size_t rowBytes() const { return std::size_t(width) * pixelBytes; }
};

/// Works one iteration of eight passes for the rows [a, b) of a picture, reading the
/// previous iteration from src and writing dst. The passes run as a pipeline down
/// the rows, each pass one or two rows behind the one before it, keeping two rows of
/// each pass in `rows`; so the picture is read and written once per iteration.
/// The band reads kHalo rows beyond its ends where the picture has them.
class Band {
public:
    Band(const Plane& plane, int a, int b) : m_plane(plane), m_a(a), m_b(b) {
        m_rows.resize(7 * 2 * plane.rowBytes());
    }

    /// Returns true when some row of the band came out different from src.
    bool run(const Byte* src, Byte* dst, bool lookForChange) {
        const std::size_t rb = m_plane.rowBytes();
        const int lo = std::max(0, m_a - kHalo), hi = std::min(m_plane.height, m_b + kHalo);
        int lag[8];
        for (int k = 0, l = 0; k < 8; ++k) lag[k] = l += kPasses[k].dy > 0 ? 1 : 0;
        // Where pass k keeps row r: pass 0's input is src itself, the last pass writes dst.
        auto slot = [&](int k, int r) -> Byte* { return m_rows.data() + (std::size_t(k) * 2 + std::size_t(r & 1)) * rb; };
        auto input = [&](int k, int r) -> const Byte* {
            return k == 0 ? src + std::size_t(r) * rb : slot(k - 1, r);
        };
        bool changed = false;
        for (int n = lo; n < hi + lag[7]; ++n) {
            for (int k = 0; k < 8; ++k) {
                const int r = n - lag[k];
                if (r < lo || r >= hi) continue;
                if (k == 7 && (r < m_a || r >= m_b)) continue;
                const Pass p = kPasses[k];
                const int nr = r + p.dy;
                const Byte* nb = nr >= lo && nr < hi ? input(k, nr) : nullptr;
                Byte* out = k == 7 ? dst + std::size_t(r) * rb : slot(k, r);
                passRow(out, input(k, r), nb, std::ptrdiff_t(p.dx) * std::ptrdiff_t(m_plane.pixelBytes), rb);
                if (k == 7 && lookForChange && !changed)
                    changed = std::memcmp(out, src + std::size_t(r) * rb, rb) != 0;
            }
        }
        return changed || !lookForChange;
    }

private:
    Plane m_plane;
    int m_a, m_b;
    std::vector<Byte> m_rows;
};

/// Bands per pass: as asked, or one per core but none thinner than a few dozen rows
/// (thinner bands cost more in halo and start-up than they save).
int bandCount(const BlurOptions& options, int height) {
    constexpr int kMinBandRows = 32;
    const int wanted = options.threads > 0 ? options.threads
                                           : std::min(int(std::max(1u, std::thread::hardware_concurrency())),
                                                      std::max(1, height / kMinBandRows));
    return std::clamp(wanted, 1, height);
}

}  // namespace

void blurPicture(HeightImage& image, int amount, const std::function<void(int iteration)>& afterIteration,
                 const BlurOptions& options) {
    int i = 0;
    if (!image.empty() && amount > 0) {
        Plane plane{image.width(), image.height(), image.isGrey() ? 1u : sizeof(Colour)};
        Byte* pixels = image.isGrey() ? image.grey() : reinterpret_cast<Byte*>(image.colour());
        // Every iteration writes the whole of it before reading it: fresh pages, not zeroed by hand.
        PixelBuffer<Byte> spare(std::size_t(plane.height) * plane.rowBytes());
        const int t = bandCount(options, plane.height);
        std::vector<Band> bands;
        bands.reserve(std::size_t(t));
        for (int k = 0; k < t; ++k)
            bands.emplace_back(plane, int(std::int64_t(plane.height) * k / t), int(std::int64_t(plane.height) * (k + 1) / t));
        std::vector<char> changed(static_cast<std::size_t>(t), 0);
        Byte* src = pixels;
        Byte* dst = spare.data();
        for (; i < amount; ++i) {
            auto work = [&](int k) { changed[std::size_t(k)] = bands[std::size_t(k)].run(src, dst, options.stopWhenSettled); };
            {
                std::vector<std::jthread> helpers;
                helpers.reserve(std::size_t(t));
                for (int k = 1; k < t; ++k) {
                    try {
                        helpers.emplace_back(work, k);
                    } catch (const std::system_error&) {
                        work(k);  // no thread to be had: the band runs here instead
                    }
                }
                work(0);
            }
            const bool any = std::find(changed.begin(), changed.end(), char(1)) != changed.end();
            if (any) std::swap(src, dst);
            if (afterIteration) afterIteration(i);
            if (!any) {
                ++i;
                break;
            }
        }
        if (src != pixels) std::memcpy(pixels, src, spare.size());
    }
    for (; i < amount; ++i)
        if (afterIteration) afterIteration(i);
}

}  // namespace morv
