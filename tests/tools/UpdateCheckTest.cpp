#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
#include <vector>

#include "core/Routine.h"
#include "support/TestSupport.h"
#include "tools/UpdateCheck.h"

namespace morv {
namespace {

using namespace std::chrono_literals;

// ---------------------------------------------------------------------------
// Reading and comparing the published version

TEST(UpdateTitle, FindsTheTitleInAnyLetterCaseWithAttributesAndBlanks) {
    EXPECT_EQ(extractTitle("<html><head><title>0001.0002.0034</title></head>"), "0001.0002.0034");
    EXPECT_EQ(extractTitle("<HTML><TITLE lang=\"en\">x</TITLE >"), "x");
    EXPECT_EQ(extractTitle("<title\n>  a b \n</title\t>"), "  a b \n");
    EXPECT_EQ(extractTitle("<titles>no</titles><title>yes</title>"), "yes");
    EXPECT_EQ(extractTitle("<title></title>"), "");
    EXPECT_EQ(extractTitle("<title>a</titlex></title>"), "a</titlex>");
}

TEST(UpdateTitle, APageWithoutACompleteTitleHasNone) {
    EXPECT_FALSE(extractTitle(""));
    EXPECT_FALSE(extractTitle("<html><body>0001.0002.0034</body></html>"));
    EXPECT_FALSE(extractTitle("<title>0001.0002.0034"));
    EXPECT_FALSE(extractTitle("<title"));
}

TEST(UpdateTitle, TheTitleIsTakenAsWrittenSoMarkupEntitiesAndNulsAreNoVersion) {
    EXPECT_EQ(extractTitle("<title>0001.<b>0002</b>.0003</title>"), "0001.<b>0002</b>.0003");
    EXPECT_FALSE(isVersionForm(*extractTitle("<title>0001.<b>0002</b>.0003</title>")));
    EXPECT_FALSE(isVersionForm(*extractTitle("<title>0001&#46;0002.0003</title>")));
    const std::string withNul("<title>0001.0002\0.0003</title>", 30);
    EXPECT_FALSE(isVersionForm(*extractTitle(withNul)));
}

TEST(UpdateTitle, TrimsBlanksAtBothEnds) {
    EXPECT_EQ(trimBlanks("  0001.0002.0034 \t\r\n"), "0001.0002.0034");
    EXPECT_EQ(trimBlanks(" a b "), "a b");
    EXPECT_EQ(trimBlanks("   "), "");
}

TEST(UpdateTitle, OnlyFourDigitsPointFourDigitsPointFourDigitsIsAVersion) {
    EXPECT_TRUE(isVersionForm("0001.0002.0034"));
    EXPECT_TRUE(isVersionForm("9999.0000.0000"));
    EXPECT_FALSE(isVersionForm("1.2.34"));
    EXPECT_FALSE(isVersionForm("00001.002.0034"));
    EXPECT_FALSE(isVersionForm("0001.0002.00345"));
    EXPECT_FALSE(isVersionForm("0001-0002-0034"));
    EXPECT_FALSE(isVersionForm("000a.0002.0034"));
    EXPECT_FALSE(isVersionForm(" 0001.0002.0034"));
    EXPECT_FALSE(isVersionForm(""));
}

TEST(UpdateTitle, ComparesAsText) {
    EXPECT_EQ(versionLine("0001.0003.0000", "0001.0002.0034"), "A new version 0001.0003.0000 is available.");
    EXPECT_EQ(versionLine("0001.0002.0034", "0001.0002.0034"), "Morv is up to date.");
    EXPECT_EQ(versionLine("0001.0002.0000", "0001.0002.0034"), "This version is a pre-release.");
    EXPECT_EQ(versionLine("0010.0000.0000", "0009.9999.9999"), "A new version 0010.0000.0000 is available.");
}

TEST(UpdateServerAddress, EnvironmentOverridesTheDefault) {
    const char* old = std::getenv("MORV_UPDATE_URL");
    const std::string saved = old ? old : "";
    ::unsetenv("MORV_UPDATE_URL");
    EXPECT_EQ(updateServer(), kDefaultUpdateServer);
    EXPECT_EQ(versionPageAddress(), std::string(kDefaultUpdateServer) + "/Morv/Morv.ver");
    ::setenv("MORV_UPDATE_URL", "http://127.0.0.1:8080//", 1);
    EXPECT_EQ(updateServer(), "http://127.0.0.1:8080");
    EXPECT_EQ(versionPageAddress(), "http://127.0.0.1:8080/Morv/Morv.ver");
    ::setenv("MORV_UPDATE_URL", "", 1);
    EXPECT_EQ(updateServer(), kDefaultUpdateServer);
    if (old) ::setenv("MORV_UPDATE_URL", saved.c_str(), 1);
    else ::unsetenv("MORV_UPDATE_URL");
}

// ---------------------------------------------------------------------------
// The about window's page handler

struct PageHandler : ::testing::Test {
    test::TestApp t;
    std::string label;
    void SetUp() override { t.app.session.gstrVersion = "0001.0002.0034"; }
    void complete(const std::string& address, const std::string& title) {
        webAbout_DocumentComplete(t.app, {address, title}, label);
    }
};

TEST_F(PageHandler, SetsTheUpdateLineFromTheTrimmedTitle) {
    complete(versionPageAddress(), "0001.0003.0000");
    EXPECT_EQ(label, "A new version 0001.0003.0000 is available.");
    complete(versionPageAddress(), " \t0001.0002.0034  ");
    EXPECT_EQ(label, "Morv is up to date.");
    complete(versionPageAddress(), "0001.0002.0000");
    EXPECT_EQ(label, "This version is a pre-release.");
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

TEST_F(PageHandler, LeavesTheLineAloneForBlankAddressesClearPageErrorTitlesAndOtherTitles) {
    complete("", "0001.0003.0000");
    complete("http:///", "0001.0003.0000");
    complete(updateServer() + "/Morv/Downloads/clear.nav", "0001.0003.0000");
    complete(versionPageAddress(), "HTTP 404 Not Found");
    complete(versionPageAddress(), " Navigation Cancelled ");
    complete(versionPageAddress(), "");
    complete(versionPageAddress(), "1.3.0");
    complete(versionPageAddress(), "0001.<i>0003</i>.0000");
    EXPECT_EQ(label, "");
}

TEST_F(PageHandler, TracesEveryWayOutAndNamesItsStepInTheTask) {
    test::TempDir dir;
    t.app.trace.openLog(dir.file("Morv.log"), {});
    complete("", "x");
    complete(versionPageAddress(), "HTTP 404 Not Found");
    complete(versionPageAddress(), "0001.0003.0000");
    t.app.trace.closeLog();
    std::ifstream in(dir.file("Morv.log"), std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t enters = 0, exits = 0;
    for (std::size_t p = 0; (p = log.find("|frmAbout.webAbout_DocumentComplete - ENTER", p)) != std::string::npos; ++p) ++enters;
    for (std::size_t p = 0; (p = log.find("|frmAbout.webAbout_DocumentComplete - EXIT", p)) != std::string::npos; ++p) ++exits;
    EXPECT_EQ(enters, 3u);
    EXPECT_EQ(exits, 3u);
}

TEST_F(PageHandler, UpdateLineForMakesTheSameDecisions) {
    const std::string server = updateServer();
    for (const FetchResult& r : std::vector<FetchResult>{{"", "0001.0003.0000"},
                                                         {server + "/Morv/Downloads/clear.nav", "0001.0003.0000"},
                                                         {versionPageAddress(), " 0001.0003.0000 "},
                                                         {versionPageAddress(), "0001.0002.0034"},
                                                         {versionPageAddress(), "HTTP 404 Not Found"},
                                                         {versionPageAddress(), "0001.0002.0000"},
                                                         {versionPageAddress(), "junk"}}) {
        std::string line;
        webAbout_DocumentComplete(t.app, r, line);
        EXPECT_EQ(updateLineFor(r, t.app.session.gstrVersion, server), line) << r.address << " " << r.title;
    }
}

// ---------------------------------------------------------------------------
// Fetching from a real HTTP server on 127.0.0.1

/// A small HTTP server on 127.0.0.1 whose answer to each request is a test's
/// function of the request path and the connection.
class TestServer {
public:
    using Answer = std::function<void(const QByteArray& path, QTcpSocket* socket)>;

    explicit TestServer(Answer answer) : m_answer(std::move(answer)) {
        EXPECT_TRUE(m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                ++connections;
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
                    *buffer += s->readAll();
                    const auto end = buffer->indexOf("\r\n\r\n");
                    if (end < 0) return;
                    const QByteArray head = buffer->left(end);
                    buffer->clear();
                    requests.push_back(head);
                    const QList<QByteArray> words = head.split('\n').value(0).trimmed().split(' ');
                    m_answer(words.value(1), s);
                });
            }
        });
    }
    std::string server() const { return "http://127.0.0.1:" + std::to_string(m_server.serverPort()); }
    quint16 port() const { return m_server.serverPort(); }

    std::vector<QByteArray> requests;
    int connections = 0;

private:
    QTcpServer m_server;
    Answer m_answer;
};

QByteArray response(int status, const char* reason, const QByteArray& body, const QByteArray& extra = {}) {
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason + "\r\nContent-Type: text/html\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

QByteArray page(const QByteArray& title) {
    return "<html><head><title>" + title +
           "</title></head><body><center><font size=5>The Current Version of Morv is<br>\r\r\n" + title +
           "\r\r\n</center></body></html>\r\n";
}

TestServer::Answer serving(QByteArray raw) {
    return [raw](const QByteArray&, QTcpSocket* s) {
        s->write(raw);
        s->disconnectFromHost();
    };
}

struct Outcome {
    bool finished = false;
    QString line;
    FetchResult result;
    qint64 ms = 0;
};

UpdateCheckOptions quick(const std::string& server) {
    UpdateCheckOptions o;
    o.server = server;
    o.silenceTimeout = 600ms;
    o.deadline = 1500ms;
    o.directConnection = true;
    return o;
}

/// Runs one check to its end in a local event loop (at most 4 s).
Outcome check(const UpdateCheckOptions& options, const std::string& own = "0001.0002.0034") {
    Outcome out;
    UpdateChecker checker(own, options);
    QEventLoop loop;
    QObject::connect(&checker, &UpdateChecker::finished, &loop, [&](const QString& line) {
        out.finished = true;
        out.line = line;
        out.result = checker.result();
        loop.quit();
    });
    QTimer::singleShot(4000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    checker.start();
    EXPECT_TRUE(checker.running());
    loop.exec();
    out.ms = clock.elapsed();
    EXPECT_FALSE(checker.running());
    return out;
}

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(UpdateFetch, ANewerPublishedVersionGivesTheNewVersionLine) {
    TestServer server(serving(response(200, "OK", page("0001.0003.0000"))));
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "A new version 0001.0003.0000 is available.");
    EXPECT_EQ(o.result.address, server.server() + "/Morv/Morv.ver");
    EXPECT_EQ(o.result.title, "0001.0003.0000");
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_TRUE(server.requests[0].startsWith("GET /Morv/Morv.ver HTTP/1.1"));
    EXPECT_TRUE(server.requests[0].toLower().contains("accept-encoding: identity"));
}

TEST(UpdateFetch, TheSameVersionIsUpToDateAndAnOlderOneIsAPreRelease) {
    TestServer same(serving(response(200, "OK", page("0001.0002.0034"))));
    EXPECT_EQ(check(quick(same.server())).line, "Morv is up to date.");
    TestServer older(serving(response(200, "OK", page("0001.0002.0000"))));
    EXPECT_EQ(check(quick(older.server())).line, "This version is a pre-release.");
}

TEST(UpdateFetch, BlanksAroundThePublishedVersionAreTrimmed) {
    TestServer server(serving(response(200, "OK", page("  \n 0001.0003.0000\t "))));
    EXPECT_EQ(check(quick(server.server())).line, "A new version 0001.0003.0000 is available.");
}

TEST(UpdateFetch, AMissingPageGivesNoLine) {
    TestServer server(serving(response(404, "Not Found", page("0009.0000.0000"))));
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, kNotFoundTitle);
}

TEST(UpdateFetch, AServerErrorGivesNoLine) {
    TestServer server(serving(response(500, "Internal Server Error", page("0009.0000.0000"))));
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, kCancelledTitle);
}

TEST(UpdateFetch, ARefusedConnectionGivesNoLine) {
    quint16 port = 0;
    {
        QTcpServer s;
        ASSERT_TRUE(s.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        port = s.serverPort();
    }
    const Outcome o = check(quick("http://127.0.0.1:" + std::to_string(port)));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, kCancelledTitle);
    EXPECT_LT(o.ms, 1000);
}

TEST(UpdateFetch, ASilentServerTimesOut) {
    TestServer server([](const QByteArray&, QTcpSocket*) {});
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, kCancelledTitle);
    EXPECT_GE(o.ms, 500);
    EXPECT_LT(o.ms, 1400);  // the silence limit, well before the deadline
}

TEST(UpdateFetch, ADrippingServerCannotOutlastTheDeadline) {
    TestServer server([](const QByteArray&, QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\n");
        auto* timer = new QTimer(s);
        QObject::connect(timer, &QTimer::timeout, s, [s] { s->write("<"); });
        timer->start(100);
    });
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_GE(o.ms, 1400);
    EXPECT_LT(o.ms, 2500);
}

TEST(UpdateFetch, AnEndlessBodyIsCutOffAtTheLimit) {
    TestServer server([](const QByteArray&, QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n<html><head><title>0009.0000.0000</title>");
        const QByteArray chunk(16 * 1024, 'x');
        QObject::connect(s, &QTcpSocket::bytesWritten, s, [s, chunk] {
            if (s->bytesToWrite() < chunk.size()) s->write(chunk);
        });
        s->write(chunk);
    });
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, kCancelledTitle);
    EXPECT_LT(o.ms, 1400);  // ended by the limit, not by a timer
}

TEST(UpdateFetch, AHugeDeclaredLengthIsRefusedAtOnce) {
    TestServer server([](const QByteArray&, QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100000000000\r\n\r\n" +
                 page("0009.0000.0000"));
    });
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_LT(o.ms, 500);
}

TEST(UpdateFetch, ALengthJustAboveTheLimitIsRefusedAndOneAtTheLimitRead) {
    UpdateCheckOptions o;
    QByteArray body = page("0001.0003.0000");
    const auto limit = o.maxBytes;
    QByteArray atLimit = body + QByteArray(int(limit) - body.size(), ' ');
    TestServer exact(serving(response(200, "OK", atLimit)));
    EXPECT_EQ(check(quick(exact.server())).line, "A new version 0001.0003.0000 is available.");
    TestServer over(serving(response(200, "OK", atLimit + " ")));
    EXPECT_EQ(check(quick(over.server())).line, "");
}

TEST(UpdateFetch, RedirectsOnTheSameSchemeAreFollowedUpToThree) {
    TestServer server([](const QByteArray& path, QTcpSocket* s) {
        const int hop = path.startsWith("/hop") ? path.mid(4).toInt() : 0;
        if (hop < 3) {
            s->write(response(302, "Found", "", "Location: /hop" + QByteArray::number(hop + 1) + "\r\n"));
        } else {
            s->write(response(200, "OK", page("0001.0003.0000")));
        }
        s->disconnectFromHost();
    });
    const Outcome o = check(quick(server.server()));
    EXPECT_EQ(o.line, "A new version 0001.0003.0000 is available.");
    EXPECT_EQ(o.result.address, server.server() + "/hop3");
    EXPECT_EQ(server.requests.size(), 4u);
}

TEST(UpdateFetch, ARedirectLoopEndsAfterThreeRedirects) {
    TestServer server(serving(response(301, "Moved Permanently", "", "Location: /Morv/Morv.ver\r\n")));
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, kCancelledTitle);
    EXPECT_EQ(server.requests.size(), 4u);
}

TEST(UpdateFetch, ARedirectToAnotherSchemeIsNotFollowed) {
    TestServer target(serving(response(200, "OK", page("0001.0003.0000"))));
    for (const char* scheme : {"https", "ftp"}) {
        TestServer server(serving(response(302, "Found", "",
                                           "Location: " + QByteArray(scheme) + "://127.0.0.1:" +
                                               QByteArray::number(target.port()) + "/Morv/Morv.ver\r\n")));
        const Outcome o = check(quick(server.server()));
        ASSERT_TRUE(o.finished);
        EXPECT_EQ(o.line, "");
        EXPECT_EQ(o.result.title, kCancelledTitle);
        EXPECT_EQ(server.requests.size(), 1u);
    }
    spin(50);
    EXPECT_EQ(target.connections, 0);
}

TEST(UpdateFetch, APageWithoutATitleGivesNoLine) {
    TestServer server(serving(response(200, "OK", "<html><body>0001.0003.0000</body></html>")));
    const Outcome o = check(quick(server.server()));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.line, "");
    EXPECT_EQ(o.result.title, "");
}

TEST(UpdateFetch, ATitleWithMarkupOrANulGivesNoLine) {
    TestServer markup(serving(response(200, "OK", page("0001.<b>0003</b>.0000"))));
    EXPECT_EQ(check(quick(markup.server())).line, "");
    TestServer nul(serving(response(200, "OK", page(QByteArray("0001.0003\0.0000", 15)))));
    EXPECT_EQ(check(quick(nul.server())).line, "");
    TestServer words(serving(response(200, "OK", page("Navigation Cancelled"))));
    EXPECT_EQ(check(quick(words.server())).line, "");
}

TEST(UpdateFetch, AnAddressThatIsNotHttpEndsFromTheEventLoop) {
    UpdateCheckOptions o = quick("ftp://127.0.0.1:1");
    const Outcome out = check(o);
    ASSERT_TRUE(out.finished);
    EXPECT_EQ(out.line, "");
}

TEST(UpdateFetch, DestroyingTheCheckerWhileItFetchesIsSafeAndSilent) {
    TestServer server([](const QByteArray&, QTcpSocket*) {});
    bool told = false;
    {
        UpdateChecker checker("0001.0002.0034", quick(server.server()));
        QObject::connect(&checker, &UpdateChecker::finished, [&] { told = true; });
        checker.start();
        spin(150);
        EXPECT_EQ(server.requests.size(), 1u);
    }
    spin(800);  // past the silence limit: nothing may fire for the dead checker
    EXPECT_FALSE(told);
}

TEST(UpdateFetch, AReceiverMayDeleteTheCheckerLaterFromItsSlot) {
    TestServer server(serving(response(200, "OK", page("0001.0002.0034"))));
    QPointer<UpdateChecker> checker = new UpdateChecker("0001.0002.0034", quick(server.server()));
    QString line;
    QEventLoop loop;
    QObject::connect(checker, &UpdateChecker::finished, &loop, [&](const QString& l) {
        line = l;
        checker->deleteLater();
        loop.quit();
    });
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    checker->start();
    loop.exec();
    spin(50);
    EXPECT_EQ(line, "Morv is up to date.");
    EXPECT_TRUE(checker.isNull());
}

TEST(UpdateFetch, ASecondStartWhileRunningDoesNothingAndACheckerCanRunAgain) {
    TestServer server(serving(response(200, "OK", page("0001.0003.0000"))));
    UpdateChecker checker("0001.0002.0034", quick(server.server()));
    int told = 0;
    QEventLoop loop;
    QObject::connect(&checker, &UpdateChecker::finished, &loop, [&] {
        ++told;
        loop.quit();
    });
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    checker.start();
    checker.start();
    loop.exec();
    spin(100);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(server.requests.size(), 1u);
    checker.start();
    loop.exec();
    EXPECT_EQ(told, 2);
}

}  // namespace
}  // namespace morv
