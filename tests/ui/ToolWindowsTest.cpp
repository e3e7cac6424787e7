// The Tools and About menus and the programmer's Make DL Files.
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

template <class T>
QString textOf(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromUtf8(name))->text();
}

class CalcImgSize : public UiTest {
protected:
    /// Opens the calculator, types an image size and presses Calculate.
    FrmCalcImgSize& calculate(const char* horz, const char* vert) {
        main->showCalcImgSizeModally = [&](FrmCalcImgSize& d) {
            QTest::keyClicks(d.findChild<QLineEdit*>(QStringLiteral("txtHorzSize")), QString::fromUtf8(horz));
            QTest::keyClicks(d.findChild<QLineEdit*>(QStringLiteral("txtVertSize")), QString::fromUtf8(vert));
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdCalc")), Qt::LeftButton);
        };
        action("mnuToolsCalcImgSize")->trigger();
        return *main->calcImgSize();
    }
};

TEST_F(CalcImgSize, AnImageSizeGivesTheLayoutAndTheImageSizeThatFitsIt) {
    FrmCalcImgSize& d = calculate("1024", "512");
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Calculate Image Size"));
    EXPECT_EQ(textOf<QLabel>(d, "lblAnswer_1"), "Your layout should be 7bbs Wide, by 3bbs High. See Number of Boards answer.");
    EXPECT_EQ(textOf<QLineEdit>(d, "txtHorzBoards") + textOf<QLineEdit>(d, "txtVertBoards"), "73");
    EXPECT_EQ(textOf<QLabel>(d, "lblAnswer_0"), "Your image should be 1008px Wide, by 432px High to match Trainz image size requirements.");
    EXPECT_EQ(d.lblAnswer(1)->property("Index").toInt(), 1);
}

TEST_F(CalcImgSize, AWidthBeyond16BitsShowsTheErrorBoxAndTheWindowIsKept) {
    FrmCalcImgSize& first = calculate("1024", "512");
    first.findChild<QLineEdit*>(QStringLiteral("txtHorzBoards"))->setText(QStringLiteral("228"));
    prompter.answers = {mb::Ignore};
    EXPECT_EQ(&calculate("", ""), &first);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Encountered Err#6\rOverflow\r\rRoutine: |frmCalcImgSize.cmdCalc_Click\r    Task: \r\r");
}

/// An HTTP server on 127.0.0.1 answering every request with reply; silent while it is empty.
struct VersionServer {
    VersionServer() {
        EXPECT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            QTcpSocket* s = server.nextPendingConnection();
            ++connections;
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                if (!s->readAll().contains("\r\n\r\n") || reply.isEmpty()) return;
                s->write(reply);
                s->disconnectFromHost();
            });
        });
        ::setenv("MORV_UPDATE_URL", ("http://127.0.0.1:" + std::to_string(server.serverPort())).c_str(), 1);
    }
    ~VersionServer() { ::unsetenv("MORV_UPDATE_URL"); }
    void publish(const QByteArray& title) {
        const QByteArray body = "<html><head><title>" + title + "</title></head></html>";
        reply = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    QTcpServer server;
    QByteArray reply;
    int connections = 0;
};

class About : public UiTest {
protected:
    About() { s.gstrVersion = "0001.0002.0034"; }
    /// Opens the about window, lets act run in it, then presses OK if it is still open.
    void openAbout(const std::function<void(FrmAbout&)>& act) {
        main->showAboutModally = [&](FrmAbout& d) {
            d.show();
            act(d);
            if (d.isVisible()) QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
            EXPECT_FALSE(d.isVisible());
        };
        action("mnuAbout")->trigger();
    }
    static QString updateLine(FrmAbout& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.checker(); }, 3000));
        return textOf<QLabel>(d, "lblUpdate");
    }
    VersionServer server;
};

TEST_F(About, EachOpeningShowsTheVersionAndChecksThePublishedOne) {
    server.publish(" 0001.0003.0000 ");
    openAbout([](FrmAbout& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("About Morv"));
        EXPECT_EQ(textOf<QLabel>(d, "lblVersion"), QStringLiteral("v0001.0002.0034"));
        EXPECT_EQ(updateLine(d), QStringLiteral("A new version 0001.0003.0000 is available."));
    });
    server.publish("0001.0002.0034");
    openAbout([](FrmAbout& d) { EXPECT_EQ(updateLine(d), QStringLiteral("Morv is up to date.")); });
    EXPECT_EQ(server.connections, 2);
}

TEST_F(About, ClosingTheWindowWhileTheServerIsSilentIsSafe) {
    openAbout([&](FrmAbout& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections == 1; }, 2000));
        EXPECT_EQ(textOf<QLabel>(d, "lblUpdate"), QString());
        d.close();
    });
    QTest::qWait(100);
    EXPECT_EQ(s.gintTraceDepth, 0);
}

TEST(MakeDLFiles, WritesTheReleaseFilesThenClosesTheMainWindow) {
    TestApp t;
    TempDir release;
    ::setenv("MORV_RELEASE_DIR", release.path().c_str(), 1);
    t.app.session.gblnProgrammerMode = true;
    t.app.session.gstrVersion = "0001.0002.0034";
    FrmMain main(t.app);
    main.show();
    main.findChild<QAction*>(QStringLiteral("mnuMakeDLFiles"))->trigger();
    ::unsetenv("MORV_RELEASE_DIR");
    for (const char* name : {"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html", "morv"})
        EXPECT_TRUE(std::filesystem::exists(release.path() / name)) << name;
    EXPECT_FALSE(main.isVisible());
}

}  // namespace
}  // namespace morv::test
