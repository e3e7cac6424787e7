#pragma once
#include <QApplication>
#include <string>

#include "core/App.h"
#include "core/RuntimeError.h"

namespace morv {

/// Tells the user about an error that ends the program: first on standard error
/// ("morv: run-time error N: description" and the routine), then in a message box
/// through the app's prompter, under the title "Morv: RUNTIME ERROR".
void reportFatalError(App& app, const RuntimeError& error, const std::string& routine);

/// The desktop program's application object. An error that reaches the event loop
/// untrapped (in programmer mode, where no routine traps, that is every error) ends
/// the program here: the report with its number, description and routine, then
/// exit status 1, without tearing the process down by abort().
class MorvApplication : public QApplication {
public:
    MorvApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    /// The program whose errors are reported (its session, trace and prompter).
    void setApp(App* app) { m_app = app; }
    /// Delivers the event; an error escaping it ends the program with the report.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    App* m_app = nullptr;
};

}  // namespace morv
