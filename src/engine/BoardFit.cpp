#include "engine/BoardFit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/PixelKernels.h"
#include "engine/ResultName.h"

namespace morv {

int pixelsPerBoard(BoardGrid grid) noexcept {
    return grid == BoardGrid::FiveMetre ? kPixelsPerBoard : kPixelsPerBoard / 2;
}

int boardSide(BoardGrid grid, int boards) noexcept {
    return pixelsPerBoard(grid) * boards + (grid == BoardGrid::FiveMetre ? 0 : 1);
}

double gridPixelMetres(BoardGrid grid) noexcept { return grid == BoardGrid::FiveMetre ? 5.0 : 10.0; }

double scaledPixelMetres(BoardGrid grid, int side, int fitted) noexcept {
    const int edge = grid == BoardGrid::FiveMetre ? 0 : 1;
    return gridPixelMetres(grid) * double(side - edge) / double(std::max(fitted - edge, 1));
}

std::optional<BoardGrid> parseBoardGrid(std::string_view text) {
    if (text == "5") return BoardGrid::FiveMetre;
    if (text == "10") return BoardGrid::TenMetre;
    return std::nullopt;
}

std::optional<BoardFitMethod> parseBoardFitMethod(std::string_view text) {
    if (text == "crop") return BoardFitMethod::Crop;
    if (text == "pad") return BoardFitMethod::Pad;
    if (text == "scale") return BoardFitMethod::Scale;
    return std::nullopt;
}

std::optional<std::pair<int, int>> parseBoardLayout(std::string_view text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    auto count = [](std::string_view s) -> std::optional<int> {
        int v = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v < 1 || v > kMaxBoards) return std::nullopt;
        return v;
    };
    const auto w = count(text.substr(0, x)), h = count(text.substr(x + 1));
    if (!w || !h) return std::nullopt;
    return std::pair{*w, *h};
}

std::string boardFitTag(BoardGrid grid, int boardsWide, int boardsHigh) {
    return codeText(grid == BoardGrid::FiveMetre ? ResultCode::Boards : ResultCode::Boards10, boardsWide, boardsHigh);
}

namespace {

/// The source pixels and weights that make one output pixel along one direction.
struct Taps {
    std::vector<int> first;      // per output pixel: index of its first tap
    std::vector<int> index;      // source pixel of each tap
    std::vector<double> weight;  // weight of each tap
};

Taps makeTaps(int from, int to) {
    Taps t;
    t.first.reserve(std::size_t(to) + 1);
    if (to < from) {
        // Each output pixel averages the stretch of source it covers, partial pixels
        // at its ends counted by the part covered.
        const double step = double(from) / to;
        for (int i = 0; i < to; ++i) {
            t.first.push_back(int(t.index.size()));
            const double a = i * step, b = (i + 1) * step;
            for (int j = int(std::floor(a)); j < int(std::ceil(b)) && j < from; ++j) {
                const double cover = std::min(b, double(j + 1)) - std::max(a, double(j));
                if (cover <= 0) continue;
                t.index.push_back(j);
                t.weight.push_back(cover / step);
            }
        }
    } else {
        // Catmull-Rom through the four nearest source pixels, edges repeated.
        const double step = double(from) / to;
        for (int i = 0; i < to; ++i) {
            t.first.push_back(int(t.index.size()));
            const double x = (i + 0.5) * step - 0.5;
            const int x0 = int(std::floor(x));
            const double f = x - x0;
            const double w[4] = {((-0.5 * f + 1.0) * f - 0.5) * f, (1.5 * f - 2.5) * f * f + 1.0,
                                 ((-1.5 * f + 2.0) * f + 0.5) * f, (0.5 * f - 0.5) * f * f};
            for (int k = 0; k < 4; ++k) {
                if (w[k] == 0.0) continue;
                t.index.push_back(std::clamp(x0 - 1 + k, 0, from - 1));
                t.weight.push_back(w[k]);
            }
        }
    }
    t.first.push_back(int(t.index.size()));
    return t;
}

std::uint8_t roundLevel(double v) noexcept {
    // A hair above the half keeps averages such as 2.5 from landing on 2.4999999.
    return std::uint8_t(std::clamp(std::floor(v + 0.5 + 1e-9), 0.0, 255.0));
}

/// Resamples one plane of levels (w x h, row-major) to outW x outH, one output row
/// at a time: the source rows it draws on are blended into a row of sums, which is
/// then resampled along the row.
void resamplePlane(const std::uint8_t* in, int w, int h, std::uint8_t* out, int outW, int outH) {
    const Taps across = makeTaps(w, outW), down = makeTaps(h, outH);
    std::vector<double> row(std::size_t(w), 0.0);
    const auto addWeighted = pixelKernels().addWeighted;
    for (int y = 0; y < outH; ++y) {
        std::fill(row.begin(), row.end(), 0.0);
        for (int k = down.first[std::size_t(y)]; k < down.first[std::size_t(y) + 1]; ++k) {
            const std::uint8_t* src = in + std::size_t(down.index[std::size_t(k)]) * std::size_t(w);
            addWeighted(row.data(), src, down.weight[std::size_t(k)], std::size_t(w));
        }
        std::uint8_t* dst = out + std::size_t(y) * std::size_t(outW);
        for (int x = 0; x < outW; ++x) {
            double sum = 0;
            for (int k = across.first[std::size_t(x)]; k < across.first[std::size_t(x) + 1]; ++k)
                sum += across.weight[std::size_t(k)] * row[std::size_t(across.index[std::size_t(k)])];
            dst[x] = roundLevel(sum);
        }
    }
}

HeightImage scaled(const HeightImage& image, int width, int height) {
    const int w = image.width(), h = image.height();
    HeightImage out(width, height);
    if (image.isGrey()) {
        resamplePlane(image.grey(), w, h, out.grey(), width, height);
        return out;
    }
    std::vector<std::uint8_t> in(std::size_t(w) * std::size_t(h)), done(std::size_t(width) * std::size_t(height));
    std::vector<Colour> result(done.size(), 0);
    for (int shift : {0, 8, 16}) {
        for (std::size_t i = 0; i < in.size(); ++i) in[i] = std::uint8_t(image.colour()[i] >> shift);
        resamplePlane(in.data(), w, h, done.data(), width, height);
        for (std::size_t i = 0; i < done.size(); ++i) result[i] |= Colour(done[i]) << shift;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.setPixel(x, y, result[std::size_t(y) * std::size_t(width) + std::size_t(x)]);
    return out;
}

/// Copies the overlap of image, shifted by (dx, dy), onto a plane filled with ground.
HeightImage shifted(const HeightImage& image, int width, int height, int dx, int dy, Colour ground) {
    const bool grey = image.isGrey() && (ground & 0xFFFFFF) == (ground & 0xFF) * 0x010101;
    HeightImage out(width, height, std::uint8_t(ground & 0xFF));
    if (!grey) {
        out.promoteToColour();
        std::fill(out.colour(), out.colour() + out.pixelCount(), ground);
    }
    const int x0 = std::max(0, dx), x1 = std::min(width, image.width() + dx);
    for (int y = std::max(0, dy); y < std::min(height, image.height() + dy); ++y) {
        const std::size_t from = std::size_t(y - dy) * std::size_t(image.width()) + std::size_t(x0 - dx);
        const std::size_t to = std::size_t(y) * std::size_t(width) + std::size_t(x0);
        if (x1 <= x0) break;
        if (grey) {
            std::memcpy(out.grey() + to, image.grey() + from, std::size_t(x1 - x0));
        } else if (image.isGrey()) {
            for (int i = 0; i < x1 - x0; ++i) out.colour()[to + std::size_t(i)] = fcnGrayColor(image.grey()[from + std::size_t(i)]);
        } else {
            std::memcpy(out.colour() + to, image.colour() + from, std::size_t(x1 - x0) * sizeof(Colour));
        }
    }
    return out;
}

}  // namespace

std::string fitRefusal(int w, int h, int width, int height, BoardFitMethod method) {
    const bool grows = width > w || height > h, shrinks = width < w || height < h;
    const char* verb = method == BoardFitMethod::Crop && grows   ? "cropping"
                       : method == BoardFitMethod::Pad && shrinks ? "padding"
                                                                  : nullptr;
    if (!verb) return {};
    return std::string(verb) + " cannot make " + std::to_string(w) + " x " + std::to_string(h) + " pixels into " +
           std::to_string(width) + " x " + std::to_string(height);
}

HeightImage fitToSize(const HeightImage& image, int width, int height, BoardFitMethod method, Colour ground) {
    const int w = image.width(), h = image.height();
    if (width <= 0 || height <= 0 || image.empty()) throw std::invalid_argument("nothing to fit");
    if (const std::string why = fitRefusal(w, h, width, height, method); !why.empty()) throw std::invalid_argument(why);
    switch (method) {
    case BoardFitMethod::Crop: return shifted(image, width, height, -((w - width) / 2), -((h - height) / 2), ground);
    case BoardFitMethod::Pad: return shifted(image, width, height, (width - w) / 2, (height - h) / 2, ground);
    case BoardFitMethod::Scale: break;
    }
    return scaled(image, width, height);
}

MapScale fittedScale(const MapScale& scale, int w, int h, int width, int height, BoardFitMethod method) {
    MapScale s = scale;
    auto& g = s.geoTransform;
    if (method == BoardFitMethod::Scale) {
        if (width <= 0 || height <= 0) return s;
        const double sx = double(w) / width, sy = double(h) / height;
        s.pixelMetres *= std::sqrt(sx * sy);
        g[1] *= sx, g[4] *= sx, g[2] *= sy, g[5] *= sy;
        return s;
    }
    // The old pixel that becomes the new top-left one, as fitToSize shifts.
    const double ox = method == BoardFitMethod::Crop ? (w - width) / 2 : -((width - w) / 2);
    const double oy = method == BoardFitMethod::Crop ? (h - height) / 2 : -((height - h) / 2);
    g[0] += ox * g[1] + oy * g[2];
    g[3] += ox * g[4] + oy * g[5];
    return s;
}

}  // namespace morv
