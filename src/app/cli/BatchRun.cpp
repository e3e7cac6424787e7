#include "app/cli/BatchRun.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "app/cli/CliOptions.h"
#include "app/cli/JobRunner.h"

namespace morv::cli {

namespace {
constexpr std::size_t kBarWidth = 24;
constexpr std::size_t kLineWidth = 79;

/// Whether text names the file at path by itself (standing alone, not as part of
/// another name), so that a line about that file need not put it in front again.
bool namesFile(const std::string& text, const std::string& path) {
    if (path.empty()) return false;
    for (std::size_t at = text.find(path); at != std::string::npos; at = text.find(path, at + 1)) {
        const std::size_t end = at + path.size();
        const bool starts = at == 0 || text[at - 1] == ' ';
        const bool ends = end == text.size() || text[end] == ' ' || text[end] == ':';
        if (starts && ends) return true;
    }
    return false;
}
}  // namespace

ProgressLine::ProgressLine(bool draw, std::FILE* err, std::size_t maps) : m_draw(draw), m_err(err), m_maps(maps) {}

ProgressLine::~ProgressLine() {
    const std::lock_guard lock(m_mutex);
    clearLocked();
}

void ProgressLine::start(std::size_t index, const std::string& name) {
    const std::lock_guard lock(m_mutex);
    m_running.push_back({index, oneLine(name), 0.0});
    drawLocked();
}

void ProgressLine::update(std::size_t index, double fraction) {
    const std::lock_guard lock(m_mutex);
    for (Running& r : m_running)
        if (r.index == index) r.fraction = std::clamp(fraction, r.fraction, 1.0);
    drawLocked();
}

void ProgressLine::finish(std::size_t index) {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_running, [&](const Running& r) { return r.index == index; });
    drawLocked();
}

void ProgressLine::print(std::FILE* stream, const std::string& text) {
    const std::lock_guard lock(m_mutex);
    clearLocked();
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
    drawLocked();
}

void ProgressLine::clearLocked() {
    if (!m_draw || m_shown.empty()) return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_shown.clear();
}

void ProgressLine::drawLocked() {
    if (!m_draw) return;
    // The earliest map still running: the one whose output comes next.
    const auto r = std::min_element(m_running.begin(), m_running.end(),
                                    [](const Running& a, const Running& b) { return a.index < b.index; });
    if (r == m_running.end()) {
        clearLocked();
        return;
    }
    const std::size_t filled = std::size_t(r->fraction * kBarWidth);
    std::string line = "[";
    line.append(filled, '#').append(kBarWidth - filled, '.');
    line.append("] map ").append(std::to_string(r->index + 1)).append(" of ").append(std::to_string(m_maps)).append(": ");
    std::string name = r->name;
    if (line.size() + name.size() > kLineWidth) {
        const std::size_t keep = kLineWidth > line.size() + 3 ? kLineWidth - line.size() - 3 : 0;
        name = "..." + name.substr(name.size() - keep);
    }
    line += name;
    if (line == m_shown) return;
    m_shown = line;
    std::fputs(("\r\033[K" + line).c_str(), m_err);
    std::fflush(m_err);
}

void MapProgress::startPass() {
    ++m_started;
    m_shownPercent = -1;
}

void MapProgress::pass(int percent) {
    // A pass that reports less than before is the next pass, for callers that do not say.
    if (m_started == 0 || percent < m_shownPercent) ++m_started;
    m_shownPercent = percent;
    const int passes = std::max(m_passes, m_started);
    m_line.update(m_index, (double(m_started - 1) + std::clamp(percent, 0, 100) / 100.0) / passes);
}

std::string batchSummary(std::size_t done, std::size_t failed, std::size_t companions, std::size_t results,
                         const std::string& doneWord) {
    std::string s = std::to_string(done) + " " + doneWord + ", " + std::to_string(failed) + " failed, " +
                    std::to_string(companions) + " companions skipped";
    if (results) s += ", " + std::to_string(results) + " earlier results skipped";
    return s;
}

int runBatch(const std::vector<BatchInput>& inputs, unsigned jobs, const BatchReport& report, int passesPerMap,
             const std::function<MapOutcome(std::size_t, const std::string&, MapProgress&)>& processMap) {
    std::vector<std::string> maps;
    std::vector<std::string> notes;
    std::size_t companions = 0, results = 0;
    for (const BatchInput& in : inputs) {
        if (in.skip == Skip::None) {
            maps.push_back(in.path);
            continue;
        }
        (in.skip == Skip::Companion ? companions : results) += 1;
        notes.push_back("morv-cli: " + oneLine(skipNote(in)) + "\n");
    }

    ProgressLine progress(report.terminal && !report.quiet, report.err, maps.size());
    if (!report.quiet)
        for (const std::string& note : notes) progress.print(report.err, note);
    std::vector<MapOutcome> outcomes(maps.size());
    std::size_t done = 0, failed = 0;
    if (!report.before.empty()) progress.print(report.out, report.before);
    runInOrder(
        maps.size(), jobs,
        [&](std::size_t i) {
            progress.start(i, maps[i]);
            MapProgress mapProgress(progress, i, passesPerMap);
            try {
                outcomes[i] = processMap(i, maps[i], mapProgress);
            } catch (const std::exception& e) {
                outcomes[i].failure = e.what();
            }
            progress.finish(i);
        },
        [&](std::size_t i) {
            MapOutcome outcome = std::move(outcomes[i]);
            if (!outcome.failure.empty()) {
                ++failed;
                const std::string why = oneLine(outcome.failure);
                const bool named = report.single || namesFile(why, oneLine(maps[i]));
                progress.print(report.err, "morv-cli: " + (named ? std::string() : oneLine(maps[i]) + ": ") + why + "\n");
                return;
            }
            if (!report.quiet && !outcome.notes.empty()) progress.print(report.err, outcome.notes);
            progress.print(report.out, (done++ ? report.between : std::string()) + outcome.out);
        });
    if (!report.after.empty()) progress.print(report.out, report.after);
    if (!report.quiet && inputs.size() > 1)
        progress.print(report.err, batchSummary(done, failed, companions, results, report.doneWord) + "\n");
    return failed ? 1 : 0;
}

}  // namespace morv::cli
