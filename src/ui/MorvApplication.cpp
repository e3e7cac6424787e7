#include "ui/MorvApplication.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "core/Routine.h"

namespace morv {

void reportFatalError(App& app, const RuntimeError& error, const std::string& routine) {
    // Standard error first: the box may never be answered (no display, a script).
    std::fprintf(stderr, "morv: run-time error %d: %s\n", int(error.number()), error.description().c_str());
    if (!routine.empty()) std::fprintf(stderr, "morv: routine: %s\n", routine.c_str());
    std::fflush(stderr);
    const UntrappedReport report{error, routine};
    if (app.prompter) app.prompter->msgBox(report.text(app.session), mb::OKOnly + mb::Critical, "Morv: RUNTIME ERROR");
}

bool MorvApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception&) {
        const std::exception_ptr e = std::current_exception();
        if (m_app) {
            const UntrappedReport report = untrappedReport(*m_app, e);
            reportFatalError(*m_app, report.error, report.routine);
            m_app->trace.closeLog();
        } else {
            App none;
            reportFatalError(none, toRuntimeError(e), {});
        }
        // The windows are left as they are: the unwinding went through the toolkit's
        // own frames, so nothing of it may run again.
        std::_Exit(1);
    }
}

}  // namespace morv
