#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/App.h"

class QTcpSocket;

namespace morv {

/// The path of the version page on the update server.
inline constexpr const char* kVersionPagePath = "/Morv/Morv.ver";

/// The path of the page the about window treats as its blank page.
inline constexpr const char* kClearPagePath = "/Morv/Downloads/clear.nav";

/// The titles a fetch that did not deliver the page reports: a missing page, and
/// every other failure (refused, unreachable, timed out, too large, bad redirect).
inline constexpr const char* kNotFoundTitle = "HTTP 404 Not Found";
inline constexpr const char* kCancelledTitle = "Navigation Cancelled";

/// What a finished fetch left behind: the address of the page shown and the page's
/// title as written (not yet trimmed).
struct FetchResult {
    std::string address;
    std::string title;
};

/// The about window's update line when there is no server to ask.
inline constexpr const char* kUpdateCheckOffLine = "The update check is turned off.";

/// The update server to ask (scheme, host and optional port, without trailing
/// slashes): the environment's setting when there is one, even an empty one,
/// otherwise the one the program was built with. Empty means the update check is
/// off.
std::string updateServerFrom(const char* environment, std::string_view built);

/// The text of a page's first <title> element: tag names in any letter case, the
/// opening tag may carry attributes. The text is taken as written: no entities are
/// decoded and no markup is removed. Nothing when the page has no complete title.
std::optional<std::string> extractTitle(std::string_view html);

/// The text without blanks, tabs, carriage returns, line feeds and form feeds at
/// either end.
std::string trimBlanks(std::string_view text);

/// True when the text is exactly "DDDD.DDDD.DDDD", four decimal digits each.
bool isVersionForm(std::string_view text);

/// The update line for a published version t against the own version, compared as
/// text: "A new version <t> is available.", "Morv is up to date." or
/// "This version is a pre-release.".
std::string versionLine(std::string_view published, std::string_view own);

/// The about window's page handler: the update line a finished fetch leads to
/// against gstrVersion, or "" when there is nothing to tell (a blank address, the
/// server's clear page, an error title or a title that is not a version text).
/// Traced and trapped, its task text naming the step it is in ("Section# 1" to
/// "Section# 4"). Traces "frmAbout.webAbout_DocumentComplete".
std::string updateLineFor(App& app, const FetchResult& result, std::string_view server);

/// True when target is on the same server as server: the same scheme, host name
/// (as written, no look-up: "localhost" is not "127.0.0.1") and port, the
/// scheme's own port when none is written; an address naming a user is never the
/// same server.
bool isSameServer(const QUrl& target, const QUrl& server);

/// What the two limits of a check run on when not on Qt's own timers (the tests
/// move one by hand). arm() sets an alarm to call ring once, `after` from now,
/// replacing an earlier setting of the same alarm; disarm() cancels it.
class LimitClock {
public:
    enum Alarm { Silence, Deadline };
    virtual ~LimitClock() = default;
    virtual void arm(Alarm alarm, std::chrono::milliseconds after, std::function<void()> ring) = 0;
    virtual void disarm(Alarm alarm) = 0;
};

/// Limits of one update check.
struct UpdateCheckOptions {
    /// Scheme, host and port of the update server.
    std::string server;
    /// Longest wait without a byte from the server.
    std::chrono::milliseconds silenceTimeout{5000};
    /// Longest whole check, redirects included.
    std::chrono::milliseconds deadline{10000};
    /// Most bytes of an answer read, its status line and header lines included; an
    /// answer declaring or sending more is refused and its connection closed.
    qint64 maxBytes = 64 * 1024;
    /// Most redirects followed, never to another scheme, host or port.
    int maxRedirects = 3;
    /// Connect directly even when the environment names a proxy.
    bool directConnection = false;
    /// The clock of the limits; none: Qt's timers. A checker disarms its alarms
    /// before it goes.
    LimitClock* clock = nullptr;
};

/// Fetches the version page asynchronously (HTTP/1.1 on a socket of its own) and
/// tells the update line it leads to. Nothing blocks: the check runs in the event
/// loop of the calling thread and ends with exactly one finished() signal, unless
/// the checker is destroyed first, which aborts the fetch silently. Every ending,
/// a limit's included, closes the connection at once. A receiver that wants the
/// checker gone after the signal calls deleteLater() on it. Only http and https are
/// fetched; a redirect is followed only on the same server (isSameServer). Any
/// answer but a page (status 200-299) or a missing page (404) ends as
/// "Navigation Cancelled".
class UpdateChecker : public QObject {
    Q_OBJECT
public:
    /// A checker for the program app, comparing against its version text (gstrVersion).
    explicit UpdateChecker(App& app, UpdateCheckOptions options = {}, QObject* parent = nullptr);
    ~UpdateChecker() override;

    /// Starts the fetch of the version page. A second call while one runs does nothing.
    void start();
    /// True from start() until finished() is emitted.
    bool running() const { return m_running; }
    /// The address and title the finished fetch left behind.
    const FetchResult& result() const { return m_result; }

signals:
    /// The check is over: the update line to show (updateLineFor), empty when there
    /// is nothing to tell.
    void finished(const QString& updateLine);

private:
    void request(const QUrl& url);
    void onReadyRead();
    void onDisconnected();
    /// Acts on the answer when it is complete (or the connection ended, at end).
    void examine(bool atEnd);
    void fail(const char* title);
    void finish(FetchResult result);
    void dropSocket();
    void arm(LimitClock::Alarm alarm, std::chrono::milliseconds after);
    void disarm(LimitClock::Alarm alarm);

    App& m_app;
    UpdateCheckOptions m_options;
    QTcpSocket* m_socket = nullptr;
    QTimer m_silence;
    QTimer m_deadline;
    QByteArray m_answer;  // everything the server sent on this connection
    QUrl m_url;
    int m_redirects = 0;
    bool m_running = false;
    FetchResult m_result;
};

}  // namespace morv
