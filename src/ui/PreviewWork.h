#pragma once
#include <QRect>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/Numbers.h"
#include "engine/HeightImage.h"

namespace morv {

/// What the live preview works out off the interface thread: the shown part of
/// the map with the level table already applied, blurred and contoured as Redraw
/// would blur and contour it.
struct PreviewJob {
    HeightImage region;  // grey levels, the table applied; a margin around keep
    int amount = 0;      // blur iterations, 0 for none
    bool contours = false;
    Colour ground = 0;   // the colour the contour lines are drawn at
    QRect keep;          // the part of region that is shown, in region pixels
};

/// The finished part: keep's pixels blurred, and its contour picture when asked.
struct PreviewPatchPixels {
    std::shared_ptr<const HeightImage> height;
    std::shared_ptr<const HeightImage> contour;
};

/// Works the latest preview job on a thread of its own. A newer job supersedes
/// the one under way, which stops at its next blur iteration and is never
/// delivered; so typing and dragging start jobs freely and only the last shows.
class PreviewWork {
public:
    /// deliver runs on the worker with the id start gave and the finished pixels.
    explicit PreviewWork(std::function<void(std::uint64_t id, PreviewPatchPixels pixels)> deliver);
    ~PreviewWork();
    PreviewWork(const PreviewWork&) = delete;
    PreviewWork& operator=(const PreviewWork&) = delete;

    /// Queues job in place of any earlier one; returns its id (increasing).
    std::uint64_t start(PreviewJob job);
    /// Drops the job under way or queued; returns the id any delivery must beat.
    std::uint64_t cancel();
    /// True while id is the latest job started (not cancelled since).
    bool current(std::uint64_t id) const { return m_latest.load() == id; }

    /// The pixels a job makes, on the calling thread; stopped() is asked after
    /// each blur iteration and a true answer abandons the work (none returned).
    static std::optional<PreviewPatchPixels> compute(PreviewJob job, const std::function<bool()>& stopped);

private:
    void run();

    std::function<void(std::uint64_t, PreviewPatchPixels)> m_deliver;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<PreviewJob> m_job;
    std::atomic<std::uint64_t> m_latest{0};
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace morv
