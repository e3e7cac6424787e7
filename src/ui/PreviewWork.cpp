#include "ui/PreviewWork.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "analysis/Blur.h"
#include "analysis/Contours.h"

namespace morv {

namespace {

/// Thrown from the blur's iteration hook to abandon a superseded job.
struct Superseded {};

/// The rectangle r of a grey picture as a picture of its own.
std::shared_ptr<HeightImage> cropGrey(const HeightImage& image, const QRect& r) {
    auto out = std::make_shared<HeightImage>(r.width(), r.height());
    for (int y = 0; y < r.height(); ++y)
        std::memcpy(out->grey() + std::size_t(y) * std::size_t(r.width()),
                    image.grey() + std::size_t(y + r.top()) * std::size_t(image.width()) + std::size_t(r.left()),
                    std::size_t(r.width()));
    return out;
}

}  // namespace

PreviewWork::PreviewWork(std::function<void(std::uint64_t, PreviewPatchPixels)> deliver)
    : m_deliver(std::move(deliver)), m_thread([this] { run(); }) {}

PreviewWork::~PreviewWork() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_job.reset();
        ++m_latest;
    }
    m_wake.notify_all();
    m_thread.join();
}

std::uint64_t PreviewWork::start(PreviewJob job) {
    std::uint64_t id = 0;
    {
        const std::lock_guard lock(m_mutex);
        id = ++m_latest;
        m_job = std::move(job);
    }
    m_wake.notify_all();
    return id;
}

std::uint64_t PreviewWork::cancel() {
    const std::lock_guard lock(m_mutex);
    m_job.reset();
    return ++m_latest;
}

std::optional<PreviewPatchPixels> PreviewWork::compute(PreviewJob job, const std::function<bool()>& stopped) {
    if (!job.region.isGrey() || job.keep.isEmpty() ||
        !QRect(0, 0, job.region.width(), job.region.height()).contains(job.keep))
        return std::nullopt;
    try {
        blurPicture(job.region, job.amount, [&](int) {
            if (stopped()) throw Superseded{};
        });
        PreviewPatchPixels pixels;
        pixels.height = cropGrey(job.region, job.keep);
        if (job.contours) {
            if (stopped()) return std::nullopt;
            // Drawn on the whole region, so lines at the edge of the shown part see
            // their neighbours beyond it.
            pixels.contour = cropGrey(contourPicture(job.region, job.ground), job.keep);
        }
        return pixels;
    } catch (const Superseded&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        // A preview without room to work shows the level table alone.
        return std::nullopt;
    }
}

void PreviewWork::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_job; });
        if (m_stop) return;
        PreviewJob job = std::move(*m_job);
        m_job.reset();
        const std::uint64_t id = m_latest.load();
        lock.unlock();
        std::optional<PreviewPatchPixels> pixels =
            compute(std::move(job), [this, id] { return m_latest.load() != id; });
        if (pixels && m_latest.load() == id) m_deliver(id, std::move(*pixels));
        lock.lock();
    }
}

}  // namespace morv
