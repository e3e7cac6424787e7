#include "commands/UpdateCheck.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cstdlib>
#include <utility>

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

UpdateChecker::UpdateChecker(App& app, UpdateCheckOptions options, QObject* parent)
    : QObject(parent), m_app(app), m_options(std::move(options)),
      m_manager(new QNetworkAccessManager(this)) {
    if (m_options.directConnection) m_manager->setProxy(QNetworkProxy::NoProxy);
    m_silence.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] { fail(kCancelledTitle); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { fail(kCancelledTitle); });
}

UpdateChecker::~UpdateChecker() { dropReply(); }

void UpdateChecker::start() {
    if (m_running) return;
    m_running = true;
    m_redirects = 0;
    m_result = {};
    m_deadline.start(m_options.deadline);
    const QUrl url(QString::fromStdString(withoutTrailingSlashes(m_options.server) + kVersionPagePath));
    m_url = url;
    if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") || url.host().isEmpty()) {
        // Told from the event loop, like every other ending, never from inside start().
        QTimer::singleShot(0, this, [this] { fail(kCancelledTitle); });
        return;
    }
    request(url);
}

void UpdateChecker::request(const QUrl& url) {
    m_url = url;
    m_body.clear();
    QNetworkRequest req(url);
    req.setRawHeader("Accept-Encoding", "identity");
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    m_reply = m_manager->get(req);
    m_reply->setReadBufferSize(m_options.maxBytes + 1);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UpdateChecker::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateChecker::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateChecker::onReplyFinished);
    m_silence.start(m_options.silenceTimeout);
}

void UpdateChecker::onMetaData() {
    if (!m_reply) return;
    m_silence.start(m_options.silenceTimeout);
    const QByteArray declared = m_reply->rawHeader("Content-Length").trimmed();
    if (declared.isEmpty()) return;
    bool ok = false;
    const qulonglong length = declared.toULongLong(&ok);
    if (!ok || length > static_cast<qulonglong>(m_options.maxBytes)) fail(kCancelledTitle);
}

void UpdateChecker::onReadyRead() {
    if (!m_reply) return;
    m_silence.start(m_options.silenceTimeout);
    m_body += m_reply->read(m_options.maxBytes + 1 - m_body.size());
    if (m_body.size() > m_options.maxBytes) fail(kCancelledTitle);
}

void UpdateChecker::onReplyFinished() {
    if (!m_reply) return;
    onReadyRead();
    if (!m_reply) return;
    QNetworkReply* reply = m_reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool failed = reply->error() != QNetworkReply::NoError;
    if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
        const QByteArray location = reply->rawHeader("Location").trimmed();
        const QUrl target = m_url.resolved(QUrl::fromEncoded(location));
        const QString scheme = QUrl(QString::fromStdString(m_options.server)).scheme();
        dropReply();
        if (location.isEmpty() || !target.isValid() || target.host().isEmpty() || target.scheme() != scheme ||
            ++m_redirects > m_options.maxRedirects) {
            fail(kCancelledTitle);
            return;
        }
        request(target);
        return;
    }
    if (status == 404) {
        finish({m_url.toString().toStdString(), kNotFoundTitle});
        return;
    }
    if (failed || status < 200 || status > 299) {
        fail(kCancelledTitle);
        return;
    }
    const auto title = extractTitle(std::string_view(m_body.constData(), static_cast<std::size_t>(m_body.size())));
    finish({m_url.toString().toStdString(), title.value_or(std::string())});
}

void UpdateChecker::fail(const char* title) { finish({m_url.toString().toStdString(), title}); }

void UpdateChecker::finish(FetchResult result) {
    if (!m_running) return;
    m_running = false;
    m_silence.stop();
    m_deadline.stop();
    dropReply();
    m_body.clear();
    m_result = std::move(result);
    const QString line = QString::fromStdString(updateLineFor(m_app, m_result, withoutTrailingSlashes(m_options.server)));
    // Last statement: a receiver may destroy the checker.
    emit finished(line);
}

void UpdateChecker::dropReply() {
    if (!m_reply) return;
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

}  // namespace morv
