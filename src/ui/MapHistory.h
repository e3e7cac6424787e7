#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "commands/Host.h"
#include "engine/MapDelta.h"

namespace morv {

/// What a step of the history puts back besides the pixels: the ground level, the
/// picture window's caption, what the session knows of the map and its scale.
struct MapState {
    int groundLevel = 128;
    std::string caption;
    std::string resultName;
    std::int16_t high = 0, low = 0, curHigh = 0, curLow = 0;
    std::optional<TerrainControls> drawnWith;
    std::optional<BlurState> blur;
    std::optional<MapScale> scale;
};

/// One command that changed the map in memory, kept small: what it did to each
/// picture (only what changed, packed) and the state before and after it.
struct MapStep {
    std::string label;  // the command's name as the Edit menu says it ("Redraw")
    PictureChange disp;
    PictureChange dispCL;
    MapState before;
    MapState after;
    std::size_t byteSize() const { return disp.byteSize() + dispCL.byteSize() + sizeof(MapStep); }
};

/// The undo history of the open map: the steps done, the place in them, and for
/// every place whether the map there is the one last saved. Keeps at most a number
/// of steps and a number of bytes, dropping the oldest steps first.
class MapHistory {
public:
    /// At most steps steps and budget bytes (the newest step is kept even alone over it).
    void setLimits(int steps, std::size_t budget);
    /// Adds a step after the current place (the steps that were undone are dropped);
    /// clean tells whether the map after it is the one saved.
    void push(MapStep step, bool clean);
    /// Forgets every step; the map now is clean or not.
    void clear(bool clean);
    /// The map now is the one saved; no other place is any more.
    void markSaved();

    bool canUndo() const { return m_place > 0; }
    bool canRedo() const { return m_place < m_steps.size(); }
    /// The step an undo takes back, a redo does again (only when possible).
    const MapStep& undoStep() const { return m_steps[m_place - 1]; }
    const MapStep& redoStep() const { return m_steps[m_place]; }
    /// Moves the place back or forward one step; returns whether the map there is clean.
    bool stepBack();
    bool stepForward();

    std::size_t steps() const { return m_steps.size(); }
    std::size_t byteSize() const { return m_bytes; }

private:
    void trim();

    std::deque<MapStep> m_steps;
    std::deque<bool> m_clean{true};  // one more than steps: the place before the first
    std::size_t m_place = 0;
    std::size_t m_bytes = 0;
    int m_maxSteps = 10;
    std::size_t m_budget = std::size_t(512) << 20;
};

}  // namespace morv
