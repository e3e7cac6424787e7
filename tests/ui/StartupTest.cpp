// Starting the program: the splash, the empty main window and its frame.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <fstream>
#include <sstream>

#include "core/AppInfo.h"
#include "ui/FrmSplash.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

using Startup = UiTest;

TEST_F(Startup, BeforeAnImageOnlyOpenQuitAndTheOtherMenusAreUsable) {
    EXPECT_FALSE(child<QWidget>("picMainToolbar")->isVisible());
    EXPECT_FALSE(child<QWidget>("picScrollToolbar")->isVisible());
    EXPECT_TRUE(action("mnuFileOpen")->isEnabled());
    EXPECT_TRUE(action("mnuFileQuit")->isEnabled());
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    EXPECT_FALSE(action("mnuFileSaveAs")->isEnabled());
    EXPECT_FALSE(action("mnuFileClose")->isEnabled());
    for (const char* menu : {"mnuFile", "mnuTools", "mnuOptions"}) EXPECT_TRUE(child<QMenu>(menu)->menuAction()->isEnabled());
    EXPECT_TRUE(action("mnuAbout")->isEnabled());
    EXPECT_TRUE(action("mnuOptionsOverwrite")->isChecked());
    EXPECT_FALSE(action("mnuMakeDLFiles")->isVisible());
    EXPECT_EQ(main->windowTitle(), QStringLiteral("Morv:"));
}

TEST_F(Startup, TheMenusCarryTheirAccelerators) {
    EXPECT_EQ(action("mnuFileOpen")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(action("mnuFileSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(action("mnuFileSaveAs")->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    EXPECT_EQ(action("mnuFileQuit")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    const QList<QAction*> file = child<QMenu>("mnuFile")->actions();
    ASSERT_EQ(file.size(), 6);
    EXPECT_TRUE(file[4]->isSeparator());
}

TEST_F(Startup, TheMountainsFractionStartsWhereItsBarStands) {
    // The bar stands at 0, so the first Redraw must not flatten by 100 %.
    EXPECT_EQ(child<QScrollBar>("vsbMountains")->value(), 0);
    EXPECT_EQ(s.gsngMountainFactor, 0.0f);
    EXPECT_EQ(s.gdblValleyFactor, 1.0);
    const std::string path = openRamp(40, 20);
    click("chkFlatten");
    click("cmdRedraw");
    EXPECT_EQ(*main->document().disp.image, rampImage(40, 20));
    EXPECT_NE(picture()->windowTitle().indexOf(QStringLiteral("_MF-0_")), -1) << picture()->windowTitle().toStdString();
}

TEST_F(Startup, TheWindowStaysAtLeast1024By768) {
    main->resize(800, 600);
    QTest::qWait(80);
    EXPECT_GE(main->width(), 1024);
    EXPECT_GE(main->height(), 768);
}

TEST(StartupProgrammer, ProgrammerModeShowsMakeDLFiles) {
    TestApp t;
    t.app.session.gblnProgrammerMode = true;
    FrmMain main(t.app);
    EXPECT_TRUE(main.findChild<QAction*>(QStringLiteral("mnuMakeDLFiles"))->isVisible());
}

TEST(Splash, ShowsThePlatformAndVersionOpensTheLogThenTheMainWindow) {
    TempDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    TestApp t;
    CommandLine line;
    line.log = true;
    line.imageFile = "/home/me/logs/map.bmp";
    bool mainShown = false;
    QPointer<FrmSplash> splash = new FrmSplash(t.app, line, [&] { mainShown = true; });
    splash->show();
    EXPECT_EQ(splash->findChild<QLabel*>(QStringLiteral("lblPlatform"))->text(), QStringLiteral("Linux"));
    EXPECT_EQ(splash->findChild<QLabel*>(QStringLiteral("lblVersion"))->text().toStdString(), "Version " + versionText());
    EXPECT_EQ(t.app.session.gstrVersion, versionText());
    EXPECT_EQ(t.app.session.gstrImageFile, "/home/me/logs/map.bmp");
    EXPECT_TRUE(t.app.session.gblnLogging);
    EXPECT_FALSE(mainShown);
    QTest::qWait(1700);
    EXPECT_TRUE(mainShown);
    QTest::qWait(20);
    EXPECT_TRUE(splash.isNull());
    t.app.trace.closeLog();
    std::ifstream log(dir.file("Morv.log"));
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("- |frmSplash.Form_Load - ENTER"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("frmSplash.Timer1_Timer - EXIT"), std::string::npos) << text.str();
    QDir::setCurrent(before);
}

}  // namespace
}  // namespace morv::test
