#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "core/Prompter.h"
#include "core/Session.h"
#include "core/Trace.h"

namespace morv {

/// One running program: the session fields, the trace, and the way the program
/// reaches its user. main() owns one; every test makes a fresh one.
struct App {
    Session session;
    Trace trace{session};
    /// Message boxes and file dialogs; null in a program that has no user to ask.
    Prompter* prompter = nullptr;
    /// Ends the process at once (Abort in the error message). Never returns;
    /// tests replace it with one that throws a type no trap catches.
    std::function<void()> endProgram;
    /// The update server's address (main() takes MORV_UPDATE_URL when it is set,
    /// otherwise the build's); empty when the update check is off.
    std::string updateServer;
    /// The folder the release files go to (main() decides it from MORV_RELEASE_DIR
    /// and HOME).
    std::string releaseFolder;

    App();
};

/// Stages text, title and style in the message fields, shows the box and keeps the
/// answer in glngMsgResult. Without a prompter the answer is OK.
int showMessage(App& app, std::string_view text, int style, std::string_view title);

}  // namespace morv
