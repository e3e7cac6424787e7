#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/Numbers.h"

namespace morv {

/// Columns worked per strip. Pixels are stored row by row, so a walk that reports
/// column by column works a strip of columns row by row and then reports each of
/// its columns in turn: the progress and cancel points stay one per column while
/// memory is read in order.
inline constexpr int kColumnStrip = 256;

/// Rows a strip walk fetches ahead of the one being worked: a strip's rows lie a
/// whole row apart, often in different memory pages, where the processor does not
/// fetch ahead by itself.
inline constexpr int kRowsAhead = 8;

/// Asks for the n bytes at p to be fetched into the cache.
inline void prefetchSpan(const void* p, std::size_t n) noexcept {
    const auto* b = static_cast<const char*>(p);
    for (std::size_t i = 0; i < n; i += 64) __builtin_prefetch(b + i);
}

/// Walks the columns 0..width-1 of a width x height picture in strips: strip(x0, x1)
/// works columns x0 <= x < x1, then for each of those columns column(x) runs and
/// hook(visited) is asked whether to stop. Returns true when every column was
/// reported, false when the hook stopped the walk. A stop may come after a strip
/// has worked columns beyond the last one reported.
template <class Strip, class Column>
bool walkColumns(int width, int height, Strip&& strip, Column&& column, const ColumnHook& hook) {
    std::int64_t visited = 0;
    for (int x0 = 0; x0 < width; x0 += kColumnStrip) {
        const int x1 = std::min(width, x0 + kColumnStrip);
        strip(x0, x1);
        for (int x = x0; x < x1; ++x) {
            column(x);
            visited += height;
            if (hook && hook(visited)) return false;
        }
    }
    return true;
}

}  // namespace morv
