#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "core/App.h"
#include "core/RuntimeError.h"

namespace morv {

/// The central error handler: shows "Encountered Err#..." with Abort, Retry and
/// Ignore and returns "RETRY" or "IGNORE". Abort closes the trace log and ends the
/// program; it does not return then. No trap is armed inside it.
std::string fcnMainErrorHandler(App& app, std::int16_t number, std::string_view description,
                                std::string_view routine, std::string_view task);

/// What ends the program when an error reached no trap (programmer mode): the
/// error and the routine it left, as noted on its way out ("" when unknown).
struct UntrappedReport {
    RuntimeError error;
    std::string routine;
    /// The message text: "Encountered Err#" with the number, the description and
    /// "Routine: " with the routine, in the error message's own layout (without that
    /// line when the routine is not known).
    std::string text(const Session& s) const;
};

/// The report of an error that left every routine untrapped.
UntrappedReport untrappedReport(const App& app, std::exception_ptr e);

/// A traced, trapped routine. Construction arms the trap (unless in programmer mode)
/// and traces the entry; the destructor traces the exit on every normal way out,
/// exactly once. The body runs as steps: each step is one lambda, so RETRY runs
/// the same lambda again and IGNORE goes on with the next step.
///
///     Routine r(app, "frmMain.cmdRedraw_Click");
///     r([&] { ...one step... });
class Routine {
public:
    Routine(App& app, std::string_view name);
    ~Routine() noexcept(false);
    Routine(const Routine&) = delete;
    Routine& operator=(const Routine&) = delete;

    /// Runs one step under the trap. Returns true when the step completed (after any
    /// retries), false when the user chose Ignore. Without a trap errors propagate.
    template <class Step>
    bool operator()(Step&& step) {
        if (!m_armed) {
            try {
                step();
            } catch (...) {
                noteUntrapped(std::current_exception());
                throw;
            }
            return true;
        }
        for (;;) {
            try {
                step();
                return true;
            } catch (const std::exception&) {
                if (!handle(std::current_exception())) return false;
            }
        }
    }

    /// The task text the error handler names ("Section# 1" ...); empty at the start.
    void setTask(std::string task) { m_task = std::move(task); }
    /// Runs before the handler on every trapped error (the resize routine's notice).
    void setBeforeHandler(std::function<void(const RuntimeError&)> f) { m_before = std::move(f); }
    bool armed() const { return m_armed; }

private:
    /// Asks the handler; true for RETRY, false for IGNORE.
    bool handle(std::exception_ptr e);
    /// Remembers the routine an untrapped error first left, for the final report.
    void noteUntrapped(std::exception_ptr e);

    App& m_app;
    bool m_armed;
    int m_uncaught;
    std::string m_task;
    std::function<void(const RuntimeError&)> m_before;
};

}  // namespace morv
