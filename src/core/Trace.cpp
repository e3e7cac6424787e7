#include "core/Trace.h"

#include <cerrno>
#include <cstdio>

#include "core/RuntimeError.h"

namespace morv {

std::string formatVersion(int major, int minor, int revision) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d.%04d.%04d", major, minor, revision);
    return buf;
}

Trace::Trace(Session& session, Clock clock) : m_session(session), m_clock(std::move(clock)) {
    if (!m_clock) m_clock = [] { return std::time(nullptr); };
}

Trace::~Trace() { closeLog(); }

void Trace::openLog(const std::string& path, const VersionRecord& r) {
    closeLog();
    m_log = std::fopen(path.c_str(), "wb");
    if (!m_log) throw fileError(path, errno);
    m_session.gblnLogging = true;
    const std::string cr = "\r";
    std::string header = "Company:     " + r.company + cr + "Title:       " + r.title + cr +
                         "ProductName: " + r.productName + cr + "Executable:  " + r.executable + ".exe" + cr +
                         "Description: " + r.description + cr + "Copyright:   " + r.copyright + cr +
                         "Version:     " + formatVersion(r.major, r.minor, r.revision) + cr +
                         std::string(59, '-');
    writeLine(header);
}

void Trace::closeLog() {
    if (m_log) {
        std::fclose(m_log);
        m_log = nullptr;
    }
}

std::string Trace::timestamp(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%y%m%d.%H%M%S", &tm);
    return buf;
}

void Trace::writeLine(std::string_view text) {
    if (!m_log) return;
    std::string line(text);
    line += "\r\n";
    // Each line goes out at once: Abort ends the process without unwinding.
    if (std::fwrite(line.data(), 1, line.size(), m_log) != line.size() || std::fflush(m_log) != 0)
        throw RuntimeError(err::PathFileAccess, "Path/File access error: Morv.log could not be written");
}

void Trace::enterDepth() { ++m_session.gintTraceDepth; }

void Trace::storeName(std::string_view name) {
    const int d = m_session.gintTraceDepth;
    if (d < 0 || d > 100) throw RuntimeError(err::SubscriptOutOfRange);
    std::string indented(static_cast<std::size_t>(d), '|');
    indented += name;
    m_session.garrRoutineNames[static_cast<std::size_t>(d)] = std::move(indented);
    if (m_session.gblnLogging) writeLine(timestamp(m_clock()) + "- " + m_session.garrRoutineNames[static_cast<std::size_t>(d)] + " - ENTER");
}

void Trace::leaveDepth() { --m_session.gintTraceDepth; }

void Trace::writeExit() {
    const int d = m_session.gintTraceDepth;
    if (d < 0 || d > 100) throw RuntimeError(err::SubscriptOutOfRange);
    if (m_session.gblnLogging) writeLine(timestamp(m_clock()) + "- " + m_session.garrRoutineNames[static_cast<std::size_t>(d)] + " - EXIT");
}

std::string Trace::currentRoutine() const {
    const int d = m_session.gintTraceDepth;
    if (d < 0 || d > 100) return {};
    return m_session.garrRoutineNames[static_cast<std::size_t>(d)];
}

}  // namespace morv
