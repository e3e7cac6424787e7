#pragma once
#include <cstddef>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/cli/BatchInputs.h"

namespace morv::cli {

/// The progress line of a batch on a terminal: the map being worked on, "map 3 of
/// 40", and one bar for that map's whole run. Lines printed through it are written
/// above the progress line. Thread-safe.
class ProgressLine {
public:
    /// draw: whether the line is drawn at all (standard error is a terminal and the
    /// run is not quiet); err: where it is drawn.
    ProgressLine(bool draw, std::FILE* err, std::size_t maps);
    ~ProgressLine();

    /// Map index (0-based among the maps) starts; its bar is empty.
    void start(std::size_t index, const std::string& name);
    /// Map index is done fraction 0..1 of its run.
    void update(std::size_t index, double fraction);
    /// Map index has ended.
    void finish(std::size_t index);
    /// Writes text to stream (standard output or error) with the progress line
    /// cleared first and drawn again after it.
    void print(std::FILE* stream, const std::string& text);

private:
    void drawLocked();
    void clearLocked();

    struct Running {
        std::size_t index;
        std::string name;
        double fraction;
    };
    bool m_draw;
    std::FILE* m_err;
    std::size_t m_maps;
    std::vector<Running> m_running;
    std::string m_shown;
    std::mutex m_mutex;
};

/// The progress of one map: its passes report their own percentages, which the map
/// adds up into one bar from empty to full for the whole run.
class MapProgress {
public:
    MapProgress(ProgressLine& line, std::size_t index, int passes) : m_line(line), m_index(index), m_passes(passes) {}
    /// A pass has started.
    void startPass();
    /// The running pass is percent (0..100) done.
    void pass(int percent);

private:
    ProgressLine& m_line;
    std::size_t m_index;
    int m_passes;
    int m_started = 0;
    int m_shownPercent = -1;
};

/// What one map's run handed back.
struct MapOutcome {
    std::string out;      // its text for standard output, printed in input order
    std::string failure;  // why it failed (one line), or empty
    std::string notes;    // its notes for standard error ("morv-cli: ..." lines), in input order; not when quiet
};

/// How a batch reports itself.
struct BatchReport {
    bool quiet = false;        // no notes, no summary, no progress line
    bool terminal = false;     // standard error is a terminal: draw the progress line
    std::string doneWord = "written";  // "12 written, 1 failed, 3 companions skipped"
    /// Standard output around and between the maps' texts (a JSON array's brackets
    /// and commas); `after` is printed even when no map succeeded.
    std::string before, between, after;
    /// A one-map call reports a failure as its reason alone, as ever; a batch
    /// names the map: "morv-cli: MAP: reason".
    bool single = false;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

/// Runs a batch: a note for each skipped input, then processMap(i, path, progress)
/// for each map on up to `jobs` threads with their outputs in input order, each
/// failure as one line "morv-cli: MAP: reason" on standard error, and for several
/// inputs the summary line. An exception out of processMap fails its map. Returns the exit status:
/// 1 when any map failed, else 0.
int runBatch(const std::vector<BatchInput>& inputs, unsigned jobs, const BatchReport& report, int passesPerMap,
             const std::function<MapOutcome(std::size_t, const std::string&, MapProgress&)>& processMap);

/// The summary of a batch: "12 written, 1 failed, 3 companions skipped", with
/// ", 2 earlier results skipped" when there were any.
std::string batchSummary(std::size_t done, std::size_t failed, std::size_t companions, std::size_t results,
                         const std::string& doneWord);

}  // namespace morv::cli
