#pragma once
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "core/Session.h"

namespace morv {

/// The values the log header names, from the program's version record.
struct VersionRecord {
    std::string company, title, productName, executable, description, copyright;
    int major = 0, minor = 0, revision = 0;
};

/// "MMMM.mmmm.rrrr": each part at least four digits, zero-padded.
std::string formatVersion(int major, int minor, int revision);

/// The routine trace: a depth counter and a stack of indented routine names in the
/// session, and with logging on one "Morv.log" line per entry and exit.
class Trace {
public:
    using Clock = std::function<std::time_t()>;
    explicit Trace(Session& session, Clock clock = nullptr);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    /// Creates (or empties) the log file at path, turns logging on and writes the
    /// header record. Throws RuntimeError (75) when the file cannot be created.
    void openLog(const std::string& path, const VersionRecord& record);
    /// Closes the log file; later lines are dropped. Safe to call twice.
    void closeLog();

    /// Raises the depth by one. The name is stored by storeName, so that a failure
    /// there (error 9 past depth 100) can be retried or ignored on its own.
    void enterDepth();
    /// Stores the indented name at the current depth and writes the ENTER line.
    /// Throws RuntimeError(9) when the depth is outside 0..100.
    void storeName(std::string_view name);
    /// Writes the EXIT line for the current depth. Throws RuntimeError(9) when the
    /// depth is outside 0..100.
    void writeExit();
    /// Lowers the depth by one.
    void leaveDepth();

    /// The indented name at the current depth, or "" when the depth is out of range.
    std::string currentRoutine() const;

    /// "yymmdd.hhmmss" in local time.
    static std::string timestamp(std::time_t t);

private:
    void writeLine(std::string_view text);

    Session& m_session;
    Clock m_clock;
    std::FILE* m_log = nullptr;
};

}  // namespace morv
