// The Tools and About menus and the programmer's Make DL Files: the size
// calculator, the about window with its update check, and the release files.
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cstdlib>
#include <filesystem>

#include "ui/FrmAbout.h"
#include "ui/FrmCalcImgSize.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

// ---- Calc Img Size -------------------------------------------------------------

class CalcImgSize : public UiTest {
protected:
    /// Opens the calculator, types into the named fields (replacing their text),
    /// presses Calculate and leaves the window.
    FrmCalcImgSize& calculate(std::initializer_list<std::pair<const char*, const char*>> typed) {
        main->showCalcImgSizeModally = [&](FrmCalcImgSize& d) {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Calculate Image Size"));
            for (const auto& [name, text] : typed) {
                auto* box = d.findChild<QLineEdit*>(QString::fromUtf8(name));
                box->clear();
                QTest::keyClicks(box, QString::fromUtf8(text));
            }
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdCalc")), Qt::LeftButton);
        };
        action("mnuToolsCalcImgSize")->trigger();
        return *main->calcImgSize();
    }
    static std::string text(FrmCalcImgSize& d, const char* name) {
        if (auto* l = d.findChild<QLabel*>(QString::fromUtf8(name))) return l->text().toStdString();
        return d.findChild<QLineEdit*>(QString::fromUtf8(name))->text().toStdString();
    }
};

TEST_F(CalcImgSize, BoardsGiveTheImageSize) {
    FrmCalcImgSize& d = calculate({{"txtHorzBoards", "1"}, {"txtVertBoards", "1"}});
    EXPECT_EQ(text(d, "lblAnswer_0"), "Your image should be 144px Wide, by 144px High to match Trainz image size requirements.");
    EXPECT_EQ(text(d, "lblAnswer_1"), "");
    EXPECT_EQ(d.lblAnswer(0)->property("Index").toInt(), 0);
    EXPECT_EQ(d.lblAnswer(1)->property("Index").toInt(), 1);
}

TEST_F(CalcImgSize, AnImageSizeGivesTheLayoutFillsTheBoardsAndTheWindowIsKept) {
    FrmCalcImgSize& first = calculate({{"txtHorzSize", "1024"}, {"txtVertSize", "512"}});
    EXPECT_EQ(text(first, "lblAnswer_1"), "Your layout should be 7bbs Wide, by 3bbs High. See Number of Boards answer.");
    EXPECT_EQ(text(first, "txtHorzBoards"), "7");
    EXPECT_EQ(text(first, "txtVertBoards"), "3");
    EXPECT_EQ(text(first, "lblAnswer_0"), "Your image should be 1008px Wide, by 432px High to match Trainz image size requirements.");
    // The same window comes back with what it showed.
    EXPECT_EQ(&calculate({}), &first);
    EXPECT_EQ(text(first, "txtHorzSize"), "1024");
}

TEST_F(CalcImgSize, AWidthOf228BoardsIsAnOverflowInTheErrorBox) {
    prompter.answers = {mb::Ignore};
    FrmCalcImgSize& d = calculate({{"txtHorzBoards", "228"}, {"txtVertBoards", "1"}});
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Encountered Err#6\rOverflow\r\rRoutine: |frmCalcImgSize.cmdCalc_Click\r    Task: \r\r");
    EXPECT_EQ(text(d, "lblAnswer_0"), "Your image should be 0px Wide, by 144px High to match Trainz image size requirements.");
}

// ---- About -----------------------------------------------------------------------

/// An HTTP server on 127.0.0.1 that answers every request with one raw reply, or
/// never answers when the reply is empty.
class VersionServer {
public:
    explicit VersionServer(QByteArray reply) : m_reply(std::move(reply)) {
        EXPECT_TRUE(m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                ++connections;
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->readAll().contains("\r\n\r\n") || m_reply.isEmpty()) return;
                    s->write(m_reply);
                    s->disconnectFromHost();
                });
            }
        });
    }
    static QByteArray page(const QByteArray& title) {
        const QByteArray body = "<html><head><title>" + title + "</title></head><body></body></html>";
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
    std::string address() const { return "http://127.0.0.1:" + std::to_string(m_server.serverPort()); }
    int connections = 0;

private:
    QTcpServer m_server;
    QByteArray m_reply;
};

class About : public UiTest {
protected:
    About() {
        if (const char* old = std::getenv("MORV_UPDATE_URL")) saved = old;
        s.gstrVersion = "0001.0002.0034";
    }
    ~About() override {
        if (saved.empty()) ::unsetenv("MORV_UPDATE_URL");
        else ::setenv("MORV_UPDATE_URL", saved.c_str(), 1);
    }
    /// Opens the about window against the server, lets the user act in it, then
    /// presses OK unless the action closed it.
    void openAbout(const VersionServer& server, const std::function<void(FrmAbout&)>& act) {
        ::setenv("MORV_UPDATE_URL", server.address().c_str(), 1);
        main->showAboutModally = [&](FrmAbout& d) {
            d.show();
            act(d);
            if (d.isVisible()) QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
            EXPECT_FALSE(d.isVisible());
        };
        action("mnuAbout")->trigger();
    }
    /// What the update line says once the check has ended (or after 3 s).
    static QString updateLine(FrmAbout& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.checker(); }, 3000));
        return d.findChild<QLabel*>(QStringLiteral("lblUpdate"))->text();
    }
    std::string saved;
};

TEST_F(About, ShowsNameVersionAndThatANewerVersionIsPublished) {
    VersionServer server(VersionServer::page(" 0001.0003.0000 "));
    openAbout(server, [](FrmAbout& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("About Morv"));
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Morv"));
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("v0001.0002.0034"));
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblUpdate"))->font().family(), QStringLiteral("Arial"));
        EXPECT_FALSE(d.findChild<QLabel*>(QStringLiteral("picIcon"))->pixmap().isNull());
        EXPECT_EQ(updateLine(d), QStringLiteral("A new version 0001.0003.0000 is available."));
    });
    EXPECT_EQ(server.connections, 1);
}

TEST_F(About, TheSamePublishedVersionIsUpToDateAndEachOpeningChecksAgain) {
    VersionServer server(VersionServer::page("0001.0002.0034"));
    for (int i = 0; i < 2; ++i)
        openAbout(server, [](FrmAbout& d) { EXPECT_EQ(updateLine(d), QStringLiteral("Morv is up to date.")); });
    EXPECT_EQ(server.connections, 2);
}

TEST_F(About, ClosingTheWindowWhileTheServerIsSilentIsSafe) {
    VersionServer silent({});
    openAbout(silent, [&](FrmAbout& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return silent.connections == 1; }, 2000));
        EXPECT_NE(d.checker(), nullptr);
        EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblUpdate"))->text(), QString());
        d.close();
    });
    // The window and its check are gone; nothing arrives for them any more.
    QTest::qWait(100);
    EXPECT_EQ(s.gintTraceDepth, 0);
}

// ---- Make DL Files ----------------------------------------------------------------

TEST(MakeDLFiles, WritesTheReleaseFilesThenClosesTheMainWindow) {
    TestApp t;
    TempDir release;
    std::string saved;
    if (const char* old = std::getenv("MORV_RELEASE_DIR")) saved = old;
    ::setenv("MORV_RELEASE_DIR", release.path().c_str(), 1);
    t.app.session.gblnProgrammerMode = true;
    t.app.session.gstrVersion = "0001.0002.0034";
    FrmMain main(t.app);
    main.show();
    main.findChild<QAction*>(QStringLiteral("mnuMakeDLFiles"))->trigger();
    for (const char* name : {"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html", "morv"})
        EXPECT_TRUE(std::filesystem::exists(release.path() / name)) << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(release.path()), {}), 4);
    EXPECT_FALSE(main.isVisible());
    if (saved.empty()) ::unsetenv("MORV_RELEASE_DIR");
    else ::setenv("MORV_RELEASE_DIR", saved.c_str(), 1);
}

}  // namespace
}  // namespace morv::test
