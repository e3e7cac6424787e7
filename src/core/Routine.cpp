#include "core/Routine.h"

#include <cstdlib>

namespace morv {

App::App() {
    endProgram = [this] {
        trace.closeLog();
        std::_Exit(1);
    };
}

int showMessage(App& app, std::string_view text, int style, std::string_view title) {
    Session& s = app.session;
    s.gstrMsgText = text;
    s.gstrMsgTitle = title;
    s.glngMsgStyle = style;
    s.glngMsgResult = app.prompter ? app.prompter->msgBox(s.gstrMsgText, s.glngMsgStyle, s.gstrMsgTitle) : mb::OK;
    return s.glngMsgResult;
}

std::string fcnMainErrorHandler(App& app, std::int16_t number, std::string_view description,
                                std::string_view routine, std::string_view task) {
    Session& s = app.session;
    // Past the end of the name stack (depth 101 and more) the handler still reports
    // the error: its own trace lines are the ones dropped.
    const bool traced = s.gintTraceDepth + 1 <= 100;
    app.trace.enterDepth();
    if (traced) app.trace.storeName("Ovo_Code.fcnMainErrorHandler");
    s.gstrMsgTitle = "Morv: RUNTIME ERROR";
    s.glngMsgStyle = mb::AbortRetryIgnore + mb::Critical + mb::DefaultButton2;
    s.gstrMsgText = "Encountered Err#" + std::to_string(number) + s.gstrCR + std::string(description) + s.gstrCR2 +
                    "Routine: " + std::string(routine) + s.gstrCR + "    Task: " + std::string(task) + s.gstrCR2;
    s.glngMsgResult = app.prompter ? app.prompter->msgBox(s.gstrMsgText, s.glngMsgStyle, s.gstrMsgTitle) : mb::Abort;
    if (s.glngMsgResult == mb::Retry || s.glngMsgResult == mb::Ignore) {
        if (traced) app.trace.writeExit();
        app.trace.leaveDepth();
        return s.glngMsgResult == mb::Retry ? "RETRY" : "IGNORE";
    }
    app.trace.closeLog();
    app.endProgram();
    std::_Exit(1);  // endProgram must not return
}

Routine::Routine(App& app, std::string_view name)
    : m_app(app), m_armed(!app.session.gblnProgrammerMode), m_uncaught(std::uncaught_exceptions()) {
    m_app.trace.enterDepth();
    (*this)([&] { m_app.trace.storeName(name); });
}

Routine::~Routine() noexcept(false) {
    // An error that was not trapped (programmer mode, or the end of the program in a
    // test) is on its way out: that is not a normal return, so no EXIT line.
    if (std::uncaught_exceptions() > m_uncaught) {
        m_app.trace.leaveDepth();
        return;
    }
    (*this)([&] { m_app.trace.writeExit(); });
    m_app.trace.leaveDepth();
}

void Routine::noteUntrapped(std::exception_ptr e) {
    // The innermost routine sees the error first; the outer ones rethrow the same one.
    if (m_app.untrappedError == e) return;
    m_app.untrappedError = e;
    m_app.untrappedRoutine = m_app.trace.currentRoutine();
}

std::string UntrappedReport::text(const Session& s) const {
    const std::string head = "Encountered Err#" + std::to_string(error.number()) + s.gstrCR + error.description();
    // A routine that is not known leaves its line out rather than show it empty.
    if (routine.empty()) return head + s.gstrCR;
    return head + s.gstrCR2 + "Routine: " + routine + s.gstrCR;
}

UntrappedReport untrappedReport(const App& app, std::exception_ptr e) {
    return {toRuntimeError(e), app.untrappedError == e ? app.untrappedRoutine : std::string()};
}

bool Routine::handle(std::exception_ptr e) {
    const RuntimeError error = toRuntimeError(e);
    if (m_before) m_before(error);
    return fcnMainErrorHandler(m_app, error.number(), error.description(), m_app.trace.currentRoutine(), m_task) == "RETRY";
}

}  // namespace morv
