#include "ui/MapHistory.h"

namespace morv {

void MapHistory::setLimits(int steps, std::size_t budget) {
    m_maxSteps = steps < 0 ? 0 : steps;
    m_budget = budget;
    trim();
}

void MapHistory::push(MapStep step, bool clean) {
    while (m_steps.size() > m_place) {
        m_bytes -= m_steps.back().byteSize();
        m_steps.pop_back();
        m_clean.pop_back();
    }
    m_bytes += step.byteSize();
    m_steps.push_back(std::move(step));
    m_clean.push_back(clean);
    ++m_place;
    trim();
}

void MapHistory::trim() {
    // The oldest go first; the step just done stays, so it can always be undone
    // unless no step at all is allowed.
    while (!m_steps.empty() && m_place > 0 &&
           (int(m_steps.size()) > m_maxSteps || (m_bytes > m_budget && m_steps.size() > 1))) {
        m_bytes -= m_steps.front().byteSize();
        m_steps.pop_front();
        m_clean.pop_front();
        --m_place;
    }
}

void MapHistory::clear(bool clean) {
    m_steps.clear();
    m_clean.assign(1, clean);
    m_place = 0;
    m_bytes = 0;
}

void MapHistory::markSaved() {
    for (std::size_t i = 0; i < m_clean.size(); ++i) m_clean[i] = i == m_place;
}

bool MapHistory::stepBack() {
    if (m_place > 0) --m_place;
    return m_clean[m_place];
}

bool MapHistory::stepForward() {
    if (m_place < m_steps.size()) ++m_place;
    return m_clean[m_place];
}

}  // namespace morv
