#include "analysis/ColourRange.h"

#include <algorithm>
#include <string>

#include "core/Routine.h"
#include "engine/ColumnWalk.h"
#include "engine/Host.h"

namespace morv {

bool scanGreyRange(const HeightImage& image, GreyRange& range, const ColumnHook& hook) {
    const int w = image.width(), h = image.height();
    std::vector<std::uint8_t> colHigh(kColumnStrip), colLow(kColumnStrip);
    auto strip = [&](int x0, int x1) {
        const int n = x1 - x0;
        std::fill_n(colHigh.begin(), n, std::uint8_t(0));
        std::fill_n(colLow.begin(), n, std::uint8_t(255));
        std::uint8_t* hi = colHigh.data();
        std::uint8_t* lo = colLow.data();
        for (int y = 0; y < h; ++y) {
            if (image.isGrey()) {
                const std::uint8_t* row = image.grey() + std::size_t(y) * std::size_t(w) + std::size_t(x0);
                for (int i = 0; i < n; ++i) {
                    hi[i] = std::max(hi[i], row[i]);
                    lo[i] = std::min(lo[i], row[i]);
                }
            } else {
                const Colour* row = image.colour() + std::size_t(y) * std::size_t(w) + std::size_t(x0);
                for (int i = 0; i < n; ++i) {
                    const auto g = std::uint8_t(fcnGrayLevel(row[i]));
                    hi[i] = std::max(hi[i], g);
                    lo[i] = std::min(lo[i], g);
                }
            }
        }
    };
    auto column = [&](int x) {
        const int i = x % kColumnStrip;
        if (colHigh[std::size_t(i)] > range.high) range.high = colHigh[std::size_t(i)];
        if (colLow[std::size_t(i)] < range.low) range.low = colLow[std::size_t(i)];
    };
    return walkColumns(w, h, strip, column, hook);
}

void cmdGetHighLowColor_Click(Host& host) {
    App& app = host.app();
    Session& s = app.session;
    Routine r(app, "frmMain.cmdGetHighLowColor_Click");
    r([&] {
        if (!s.gblnBusy && !s.gblnDrawing) {
            s.gblnBusy = true;
            host.SetControlsEnabled(false);
        }
    });
    r([&] { host.setWaitCursor(true); });
    r([&] {
        s.gintCurHighColor = 0;
        s.gintCurLowColor = 255;
    });
    bool completed = false;
    r([&] {
        // Held by shared ownership: a close served during a yield may drop the display.
        const std::shared_ptr<const HeightImage> image = host.document().disp.image;
        const float total = float(image->pixelCount());
        GreyRange range;
        completed = scanGreyRange(*image, range, [&](std::int64_t visited) {
            s.gintCurHighColor = std::int16_t(range.high);
            s.gintCurLowColor = std::int16_t(range.low);
            host.doEvents();
            host.setStatus("WORKING... Getting Highest & Lowest Colors " + std::to_string(progressPercent(visited, total)) + "%");
            return s.gblnCancel && !s.gblnOpening;
        });
    });
    r([&] {
        if (completed && s.gblnOpening) {
            s.gintHighColor = s.gintCurHighColor;
            s.gintLowColor = s.gintCurLowColor;
        }
    });
    r([&] {
        if (s.gblnBusy && !s.gblnDrawing) {
            host.SetControlsEnabled(true);
            s.gblnBusy = false;
            s.gblnCancel = false;
        }
    });
    r([&] {
        host.setWaitCursor(false);
        host.setStatus("");
    });
}

}  // namespace morv
