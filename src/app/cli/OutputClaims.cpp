#include "app/cli/OutputClaims.h"

#include <map>

namespace morv::cli {

OutputClaims::OutputClaims(const std::vector<std::string>& keys)
    : m_previous(keys.size()), m_settled(keys.size(), 0), m_paths(keys.size()) {
    std::map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (const auto it = last.find(keys[i]); it != last.end()) m_previous[i] = it->second;
        last[keys[i]] = i;
    }
}

std::optional<std::size_t> OutputClaims::claim(std::size_t i, const std::vector<std::string>& paths) {
    std::unique_lock lock(m_mutex);
    // The maps of one key are handed out in input order, so the earlier ones are
    // running or done: waiting for them cannot wait for this one.
    m_changed.wait(lock, [&] {
        for (auto j = m_previous[i]; j; j = m_previous[*j])
            if (!m_settled[*j]) return false;
        return true;
    });
    std::optional<std::size_t> holder;
    for (auto j = m_previous[i]; j && !holder; j = m_previous[*j])
        for (const std::string& p : paths)
            for (const std::string& q : m_paths[*j])
                if (p == q) holder = *j;
    if (!holder) m_paths[i] = paths;
    m_settled[i] = 1;
    lock.unlock();
    m_changed.notify_all();
    return holder;
}

void OutputClaims::settle(std::size_t i) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_settled[i]) return;
        m_settled[i] = 1;
    }
    m_changed.notify_all();
}

}  // namespace morv::cli
