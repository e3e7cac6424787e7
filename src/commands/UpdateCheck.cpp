#include "commands/UpdateCheck.h"

// The update check is its own small HTTP client on a bare socket rather than Qt's
// network access manager, because what it must promise is easier to keep where
// every byte passes through our hands:
// - a byte budget over the whole answer (status line and header lines included),
//   so a server that floods or never ends its head is cut off, and Qt's read
//   buffer is capped to the same budget;
// - redirects followed only to the same scheme, host and port, at most a few,
//   so the About window never ends up talking to another server;
// - a silence timeout and an overall deadline on our own timers, and the
//   application's proxy honoured by hand;
// - nothing else of HTTP: one GET with Connection: close, plain or chunked bodies.
// The tests drive it against a server of their own on 127.0.0.1.

#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QSslSocket>
#include <QTcpSocket>

#include <cstdlib>
#include <utility>
#include <vector>

#include "core/Routine.h"

namespace morv {

namespace {

bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

/// Position of the first case-insensitive occurrence of an ASCII lower-case needle.
std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    if (needle.size() > hay.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && lower(hay[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

bool isBlankAddress(std::string_view address) { return address.empty() || address == "http:///"; }

bool isClearPage(std::string_view address, std::string_view server) {
    return address == std::string(server) + kClearPagePath;
}

bool isErrorTitle(std::string_view t) { return t == kNotFoundTitle || t == kCancelledTitle; }

/// The server text without trailing slashes.
std::string withoutTrailingSlashes(std::string s) {
    while (!s.empty() && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

std::string updateServerFrom(const char* environment, std::string_view built) {
    return withoutTrailingSlashes(environment ? std::string(environment) : std::string(built));
}

std::optional<std::string> extractTitle(std::string_view html) {
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = findNoCase(html, "<title", at);
        if (open == std::string_view::npos) return std::nullopt;
        const std::size_t after = open + 6;
        if (after < html.size() && (html[after] == '>' || isHtmlSpace(html[after]))) {
            const std::size_t gt = html.find('>', after);
            if (gt == std::string_view::npos) return std::nullopt;
            std::size_t close = gt + 1;
            for (;;) {
                close = findNoCase(html, "</title", close);
                if (close == std::string_view::npos) return std::nullopt;
                std::size_t end = close + 7;
                while (end < html.size() && isHtmlSpace(html[end])) ++end;
                if (end < html.size() && html[end] == '>') return std::string(html.substr(gt + 1, close - gt - 1));
                close += 7;
            }
        }
        at = after;
    }
}

std::string trimBlanks(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isHtmlSpace(text[b])) ++b;
    while (e > b && isHtmlSpace(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

bool isVersionForm(std::string_view t) {
    if (t.size() != 14) return false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const bool point = i == 4 || i == 9;
        if (point ? t[i] != '.' : (t[i] < '0' || t[i] > '9')) return false;
    }
    return true;
}

std::string versionLine(std::string_view published, std::string_view own) {
    // Character by character by character code: unsigned bytes, as string_view compares.
    const int order = published.compare(own);
    if (order > 0) return "A new version " + std::string(published) + " is available.";
    if (order == 0) return "Morv is up to date.";
    return "This version is a pre-release.";
}

std::string updateLineFor(App& app, const FetchResult& result, std::string_view server) {
    Routine r(app, "frmAbout.webAbout_DocumentComplete");
    bool done = false;
    r.setTask("Section# 1");
    r([&] { done = isBlankAddress(result.address); });
    if (done) return {};
    r.setTask("Section# 2");
    r([&] { done = isClearPage(result.address, server); });
    if (done) return {};
    std::string t;
    r([&] { t = trimBlanks(result.title); });
    r.setTask("Section# 3");
    r([&] { done = isErrorTitle(t); });
    if (done) return {};
    r.setTask("Section# 4");
    // A title of any other form than a version text has nothing to tell.
    r([&] { done = !isVersionForm(t); });
    if (done) return {};
    std::string line;
    r([&] { line = versionLine(t, app.session.gstrVersion); });
    return line;
}

namespace {

/// The head of an HTTP answer: its status and header lines (names in lower case).
struct AnswerHead {
    int status = -1;
    std::vector<std::pair<QByteArray, QByteArray>> fields;
    qsizetype bodyStart = 0;
    QByteArray field(const QByteArray& name) const {
        for (const auto& [n, v] : fields)
            if (n == name) return v;
        return {};
    }
};

/// The head once it is complete (an empty line ends it), nothing before.
std::optional<AnswerHead> parseHead(const QByteArray& answer) {
    const qsizetype end = answer.indexOf("\r\n\r\n");
    if (end < 0) return std::nullopt;
    AnswerHead head;
    head.bodyStart = end + 4;
    const QList<QByteArray> lines = answer.left(end).split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    bool ok = false;
    if (status.value(0).startsWith("HTTP/1.")) head.status = status.value(1).toInt(&ok);
    if (!ok) head.status = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0) continue;
        head.fields.emplace_back(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    return head;
}

/// A chunked body decoded once its last chunk has come, nothing before; an empty
/// array with ok false for a malformed one.
std::optional<QByteArray> decodeChunked(const QByteArray& data, bool& ok) {
    ok = true;
    QByteArray body;
    qsizetype at = 0;
    for (;;) {
        const qsizetype eol = data.indexOf("\r\n", at);
        if (eol < 0) return std::nullopt;
        QByteArray sizeText = data.mid(at, eol - at);
        if (const qsizetype semi = sizeText.indexOf(';'); semi >= 0) sizeText.truncate(semi);
        bool hex = false;
        const qlonglong size = sizeText.trimmed().toLongLong(&hex, 16);
        if (!hex || size < 0) {
            ok = false;
            return std::nullopt;
        }
        at = eol + 2;
        if (size == 0) return body;
        if (data.size() < at + size + 2) return std::nullopt;
        body += data.mid(at, size);
        at += size + 2;
    }
}

}  // namespace

bool isSameServer(const QUrl& target, const QUrl& server) {
    if (!target.isValid() || !server.isValid() || target.host().isEmpty()) return false;
    // A user name in the address says nothing we send, but "http://host@other/"
    // is the classic way to make another server look like ours: refused.
    if (!target.userInfo().isEmpty()) return false;
    const int defaultPort = target.scheme() == "https" ? 443 : 80;
    // QUrl keeps schemes and host names in lower case.
    return target.scheme() == server.scheme() && target.host() == server.host() &&
           target.port(defaultPort) == server.port(defaultPort);
}

UpdateChecker::UpdateChecker(App& app, UpdateCheckOptions options, QObject* parent)
    : QObject(parent), m_app(app), m_options(std::move(options)) {
    m_silence.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] { fail(kCancelledTitle); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { fail(kCancelledTitle); });
}

UpdateChecker::~UpdateChecker() {
    disarm(LimitClock::Silence);
    disarm(LimitClock::Deadline);
    dropSocket();
}

void UpdateChecker::start() {
    if (m_running) return;
    m_running = true;
    m_redirects = 0;
    m_result = {};
    arm(LimitClock::Deadline, m_options.deadline);
    const QUrl url(QString::fromStdString(withoutTrailingSlashes(m_options.server) + kVersionPagePath));
    m_url = url;
    if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") || url.host().isEmpty() ||
        (url.scheme() == "https" && !QSslSocket::supportsSsl())) {
        // Told from the event loop, like every other ending, never from inside start().
        QTimer::singleShot(0, this, [this] { fail(kCancelledTitle); });
        return;
    }
    request(url);
}

void UpdateChecker::request(const QUrl& url) {
    m_url = url;
    m_answer.clear();
    const bool secure = url.scheme() == "https";
    QTcpSocket* socket = secure ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket = socket;
    // The proxy the application names, if any. A plain HTTP request goes to an
    // HTTP proxy in proxy form (the whole address on the request line); anything
    // else (https through a proxy, SOCKS) is left to the socket's own tunnel.
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    if (!m_options.directConnection) {
        const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
        if (!proxies.isEmpty()) proxy = proxies.first();
    }
    const bool viaHttpProxy = !secure && proxy.type() == QNetworkProxy::HttpProxy;
    socket->setProxy(viaHttpProxy ? QNetworkProxy(QNetworkProxy::NoProxy) : proxy);
    // Qt buffers no more than the budget: a flood waits in the kernel until the
    // connection is closed.
    socket->setReadBufferSize(m_options.maxBytes + 1);
    connect(socket, &QTcpSocket::readyRead, this, &UpdateChecker::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &UpdateChecker::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError) fail(kCancelledTitle);
    });
    const QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    const int defaultPort = secure ? 443 : 80;
    const QByteArray hostField = url.port(-1) >= 0 ? host + ":" + QByteArray::number(url.port()) : host;
    QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty()) path = "/";
    if (url.hasQuery()) path += "?" + url.query(QUrl::FullyEncoded).toLatin1();
    if (viaHttpProxy) path = "http://" + hostField + path;
    const QByteArray get = "GET " + path + " HTTP/1.1\r\nHost: " + hostField +
                           "\r\nAccept-Encoding: identity\r\nConnection: close\r\nUser-Agent: Morv\r\n\r\n";
    auto send = [socket, get] { socket->write(get); };
    if (secure) connect(static_cast<QSslSocket*>(socket), &QSslSocket::encrypted, this, send);
    else connect(socket, &QTcpSocket::connected, this, send);
    if (secure) static_cast<QSslSocket*>(socket)->connectToHostEncrypted(url.host(), quint16(url.port(defaultPort)));
    else if (viaHttpProxy) socket->connectToHost(proxy.hostName(), proxy.port());
    else socket->connectToHost(url.host(), quint16(url.port(defaultPort)));
    arm(LimitClock::Silence, m_options.silenceTimeout);
}

void UpdateChecker::onReadyRead() {
    if (!m_socket) return;
    const QByteArray got = m_socket->read(m_options.maxBytes + 1 - m_answer.size());
    if (got.isEmpty()) return;
    arm(LimitClock::Silence, m_options.silenceTimeout);
    m_answer += got;
    // Every byte counts, the status line and header lines included: an answer that
    // never ends its head is cut off like one that never ends its body.
    if (m_answer.size() > m_options.maxBytes) return fail(kCancelledTitle);
    examine(false);
}

void UpdateChecker::onDisconnected() {
    if (!m_socket) return;
    onReadyRead();
    if (m_socket) examine(true);
}

void UpdateChecker::examine(bool atEnd) {
    const std::optional<AnswerHead> head = parseHead(m_answer);
    if (!head) {
        if (atEnd) fail(kCancelledTitle);
        return;
    }
    const int status = head->status;
    if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
        const QByteArray location = head->field("location");
        const QUrl target = m_url.resolved(QUrl::fromEncoded(location));
        dropSocket();
        if (location.isEmpty() || !isSameServer(target, m_url) || ++m_redirects > m_options.maxRedirects)
            return fail(kCancelledTitle);
        return request(target);
    }
    if (status == 404) return finish({m_url.toString().toStdString(), kNotFoundTitle});
    if (status < 200 || status > 299) return fail(kCancelledTitle);

    const QByteArray rest = m_answer.mid(head->bodyStart);
    QByteArray body;
    if (head->field("transfer-encoding").toLower().contains("chunked")) {
        bool ok = true;
        const std::optional<QByteArray> whole = decodeChunked(rest, ok);
        if (!ok || (!whole && atEnd)) return fail(kCancelledTitle);
        if (!whole) return;
        body = *whole;
    } else if (const QByteArray declared = head->field("content-length"); !declared.isEmpty()) {
        bool ok = false;
        const qulonglong length = declared.toULongLong(&ok);
        if (!ok || length > static_cast<qulonglong>(m_options.maxBytes)) return fail(kCancelledTitle);
        if (static_cast<qulonglong>(rest.size()) < length) {
            if (atEnd) fail(kCancelledTitle);
            return;
        }
        body = rest.left(qsizetype(length));
    } else {
        if (!atEnd) return;  // the page ends with the connection
        body = rest;
    }
    const auto title = extractTitle(std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
    finish({m_url.toString().toStdString(), title.value_or(std::string())});
}

void UpdateChecker::fail(const char* title) { finish({m_url.toString().toStdString(), title}); }

void UpdateChecker::finish(FetchResult result) {
    if (!m_running) return;
    m_running = false;
    disarm(LimitClock::Silence);
    disarm(LimitClock::Deadline);
    dropSocket();
    m_answer.clear();
    m_result = std::move(result);
    const QString line = QString::fromStdString(updateLineFor(m_app, m_result, withoutTrailingSlashes(m_options.server)));
    // Last statement: a receiver may destroy the checker.
    emit finished(line);
}

void UpdateChecker::arm(LimitClock::Alarm alarm, std::chrono::milliseconds after) {
    if (m_options.clock) return m_options.clock->arm(alarm, after, [this] { fail(kCancelledTitle); });
    (alarm == LimitClock::Silence ? m_silence : m_deadline).start(after);
}

void UpdateChecker::disarm(LimitClock::Alarm alarm) {
    if (m_options.clock) return m_options.clock->disarm(alarm);
    (alarm == LimitClock::Silence ? m_silence : m_deadline).stop();
}

void UpdateChecker::dropSocket() {
    if (!m_socket) return;
    QTcpSocket* socket = std::exchange(m_socket, nullptr);
    disconnect(socket, nullptr, this, nullptr);
    // abort() closes the connection at once, whatever is still buffered either way.
    socket->abort();
    socket->deleteLater();
}

}  // namespace morv
