// The Tools and About windows, Make DL Files, dropping a map on the window, the
// base-board grid and reaching the menus from the keyboard.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHostAddress>
#include <QMenuBar>
#include <QMimeData>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <filesystem>
#include <tuple>

#include "commands/UpdateCheck.h"
#include "ui/FrmAbout.h"
#include "ui/FrmCalcImgSize.h"
#include "ui/FrmImport.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

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
    }
    std::string address() const { return "http://127.0.0.1:" + std::to_string(server.serverPort()); }
    void publish(const QByteArray& title) {
        const QByteArray body = "<html><head><title>" + title + "</title></head></html>";
        reply = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    QTcpServer server;
    QByteArray reply;
    int connections = 0;
};

struct AboutWindow : UiTest {
    /// Opens About from its menu entry, runs act on the shown window, then presses OK.
    void openAbout(const std::function<void(FrmAbout&)>& act) {
        main->showAboutModally = [&](FrmAbout& d) {
            d.show();
            act(d);
            if (d.isVisible()) QTest::mouseClick(in<QPushButton>(d, "cmdOK"), Qt::LeftButton);
            EXPECT_FALSE(d.isVisible());
        };
        action("mnuAbout")->trigger();
    }
};

TEST_F(AboutWindow, ComparesWithThePublishedVersionAndClosesMidFetch) {
    s.gstrVersion = "0001.0002.0034";
    VersionServer server;
    t.app.updateServer = server.address();
    for (auto [published, line] : {std::pair{" 0001.0003.0000 ", "A new version 0001.0003.0000 is available."},
                                   {"0001.0002.0034", "Morv is up to date."}}) {
        server.publish(published);
        openAbout([&](FrmAbout& d) {
            EXPECT_EQ(in<QLabel>(d, "lblVersion")->text(), QStringLiteral("v0001.0002.0034"));
            EXPECT_TRUE(QTest::qWaitFor([&] { return !d.checker(); }, 3000));
            EXPECT_EQ(in<QLabel>(d, "lblUpdate")->text(), QString::fromUtf8(line));
        });
    }
    server.reply.clear();
    openAbout([&](FrmAbout& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections == 3; }, 2000));
        d.close();
    });
    settle();  // whatever the closed fetch left behind
    EXPECT_EQ(s.gintTraceDepth, 0);
}

TEST_F(AboutWindow, WithTheCheckOffSaysSoAndAsksNoServer) {
    // Every request of the program goes through a proxy on 127.0.0.1, so a check
    // that asked any server at all, the build's own included, would reach it.
    s.gstrVersion = "0001.0002.0034";
    VersionServer proxy;
    proxy.publish("0001.0002.0034");
    const QNetworkProxy before = QNetworkProxy::applicationProxy();
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.server.serverPort()));
    const char* unset = nullptr;
    for (auto [environment, built, line, asked] :
         {std::tuple{unset, "", kUpdateCheckOffLine, 0}, {"", "http://updates.morv.invalid", kUpdateCheckOffLine, 0},
          {"http://updates.morv.invalid/", "", "Morv is up to date.", 1}}) {
        t.app.updateServer = updateServerFrom(environment, built);
        openAbout([&](FrmAbout& d) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !d.checker(); }, 3000));
            EXPECT_EQ(in<QLabel>(d, "lblUpdate")->text().toStdString(), line);
            EXPECT_EQ(proxy.connections, asked) << built;
        });
    }
    QNetworkProxy::setApplicationProxy(before);
    EXPECT_EQ(s.gintTraceDepth, 0);
}

TEST(MakeDLFiles, InProgrammerModeWritesTheReleaseFilesAndCloses) {
    TestApp t;
    TempDir release;
    t.app.releaseFolder = release.path().string();
    t.app.session.gblnProgrammerMode = true;
    t.app.session.gstrVersion = "0001.0002.0034";
    FrmMain main(t.app);
    main.show();
    QAction* make = main.findChild<QAction*>(QStringLiteral("mnuMakeDLFiles"));
    EXPECT_TRUE(make->isVisible());
    make->trigger();
    for (const char* name : {"Morv_v0001.0002.0034.txt", "Morv.ver", "Morv.html", "morv"})
        EXPECT_TRUE(std::filesystem::exists(release.path() / name)) << name;
    EXPECT_FALSE(main.isVisible());
}

using Desktop = UiTest;

TEST_F(Desktop, OneDroppedMapOpensAndOtherDropsAreRefused) {
    const auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(main->width() / 2, main->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.get(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.get(), &dropped);
        return dropped.isAccepted();
    };
    const auto file = [](const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); };
    const std::string path = writePair("Ridge.BMP", rampImage(40, 20));
    EXPECT_FALSE(drop({file(dir.file("notes.gif"))}));
    EXPECT_FALSE(drop({file(path), file(path)}));
    EXPECT_FALSE(drop({QUrl(QStringLiteral("http://127.0.0.1/a.bmp"))}));
    EXPECT_EQ(picture(), nullptr);
    EXPECT_TRUE(drop({file(path)}));
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(s.gstrImageFile, path);
    EXPECT_TRUE(prompter.shown.empty());

    flattenAndRedraw();
    prompter.answers = {mb::Cancel};
    EXPECT_TRUE(drop({file(writePair("second.jpeg", rampImage(24, 16)))}));
    EXPECT_EQ(lastShown().title, "FILE NOT SAVED");
    EXPECT_EQ(s.gstrImageFile, path);
}

TEST_F(Desktop, TheBoardGridDrawsEvery144PixelsAndChangesNothing) {
    const std::string path = openRamp(300, 160);
    const auto lineAt = [](PictureBox* box, int x, int y) { return box->grab().toImage().pixel(x, y) != box->shownImage().pixel(x, y); };
    EXPECT_FALSE(lineAt(picture()->picDisp(), 144, 10));
    moveOver(picture()->picDisp(), 144, 10);
    const std::string readout = statusText();
    choose(Qt::Key_W, "mnuView", Qt::Key_G);  // the View entry and the Options one are one setting
    EXPECT_TRUE(action("mnuOptionsBoardGrid")->isChecked());
    action("mnuFileClose")->trigger();
    open(path);  // the grid stays on for the run
    for (PictureBox* box : {picture()->picDisp(), picture()->picDispCL()}) {
        EXPECT_TRUE(lineAt(box, 144, 10));
        EXPECT_TRUE(lineAt(box, 10, 144));
        EXPECT_FALSE(lineAt(box, 143, 10));
    }
    moveOver(picture()->picDisp(), 144, 10);
    EXPECT_EQ(statusText(), readout);
    prompter.fileNames.push_back(dir.file("saved.bmp"));
    action("mnuFileSaveAs")->trigger();
    EXPECT_EQ(*loadPictureFile(dir.file("saved.bmp")), rampImage(300, 160));
    action("mnuOptionsBoardGrid")->trigger();
    EXPECT_FALSE(lineAt(picture()->picDisp(), 144, 10));
    EXPECT_FALSE(action("mnuViewBoardGrid")->isChecked());
}

TEST_F(Desktop, MenusHaveTheirOwnLettersAndArrowsReachEntries) {
    QStringList titles;  // in order, each with a letter of its own
    for (QAction* a : main->menuBar()->actions())
        if (a->isVisible()) titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "Vie&w", "&Tools", "&Options", "&About"}));
    int shown = 0, imports = 0;
    main->showCalcImgSizeModally = [&](FrmCalcImgSize&) { ++shown; };
    main->showImportModally = [&](FrmImport&) { ++imports; };
    activate();
    QTest::keyClick(main.get(), Qt::Key_T, Qt::AltModifier);
    QMenu* tools = child<QMenu>("mnuTools");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tools->isVisible(); }, 1000));
    // Down to Import Elevation Data and back up to Calc Img Size.
    QTest::keyClick(tools, Qt::Key_Down);
    QTest::keyClick(tools, Qt::Key_Up);
    QTest::keyClick(tools, Qt::Key_Return);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(imports, 0);
}

}  // namespace
}  // namespace morv::test
