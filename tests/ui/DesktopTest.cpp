// At home on the desktop: a map named on the command line opens once the main
// window shows, and the settings file keeps the last folder and the frame only.
#include <QDir>
#include <QSettings>

#include "ui/CommandLine.h"
#include "ui/DesktopSettings.h"
#include "ui/FrmSplash.h"
#include "ui/QtPrompter.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class StartWithMap : public UiTest {
protected:
    StartWithMap() {
        main.reset();
        before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
    }
    ~StartWithMap() override { QDir::setCurrent(before); }
    /// Starts as the program does: the splash reads the command line, then shows the main window.
    void start(const std::string& arg) {
        CommandLine line = parseCommandLine({arg});
        QPointer<FrmSplash> splash = new FrmSplash(t.app, line, [this] {
            makeMain();
            main->showAtStart();
        });
        splash->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return splash.isNull() && main; }, 10000));
        settle();  // the map opens once the window shows
    }
    QString before;
};

TEST_F(StartWithMap, ARelativePathOpensAndOpenThenStartsFromIt) {
    HeightImage contour(100, 100, 255);
    contour.setPixel(3, 4, 0);
    const std::string path = writePair("Hills.bmp", rampImage(100, 100), &contour);
    prompter.answers = {mb::OK};  // 100 is no multiple of 8
    start("Hills.bmp");
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(lastShown().title, "Image Size Mismatch");
    EXPECT_EQ(s.gstrImageFile, path);  // the whole path, as the caption shows it
    EXPECT_EQ(picture()->windowTitle().toStdString(), path);
    EXPECT_EQ(*main->document().dispCL.image, contour);
    EXPECT_TRUE(picture()->isVisible());
    EXPECT_EQ(picture()->scale(), 1.0);
    moveOver(picture()->picDisp(), 99, 0);
    EXPECT_EQ(statusText(), "X: 99 - Y: 0 - C: 255 - HC: 255 - LC: 0");  // the opening scan ran
    prompter.fileNames = {""};
    action("mnuFileOpen")->trigger();
    EXPECT_EQ(lastShown().kind, "open");
    EXPECT_EQ(lastShown().text, path);
}

TEST_F(StartWithMap, AMissingPathGetsOpensMessageAndOpenStartsThere) {
    const std::string path = dir.file("missing.bmp");
    prompter.answers = {mb::OK};
    start(path);
    EXPECT_EQ(picture(), nullptr);
    EXPECT_EQ(lastShown().title, "FILE NOT FOUND");
    EXPECT_EQ(lastShown().text, "The file named...\r\r" + path + "\r\rCan not be found.");
    EXPECT_FALSE(child<QWidget>("picMainToolbar")->isVisible());
    prompter.fileNames = {""};
    action("mnuFileOpen")->trigger();
    EXPECT_EQ(lastShown().text, path);
}

using Remembered = UiTest;

TEST_F(Remembered, DialogsStartInTheLastFolderOnlyTheFrameReturns) {
    ownSettings();
    EXPECT_EQ(dialogStart(QString()), QString());
    const QString maps = QString::fromStdString(dir.file("maps"));
    QDir().mkpath(maps);
    const QString picked = maps + QStringLiteral("/Ridge.bmp");
    const HeightImage map(16, 16, 9);
    savePictureFile(map, picked.toStdString());
    QSettings().setValue(QStringLiteral("dialogs/lastFolder"), QString());
    rememberFolderOf(picked);
    struct Row { QString initial, start; };
    for (const Row& row : {Row{QString(), maps}, Row{QStringLiteral("Ridge_16x16_MF-40_B-0.bmp"), maps + QStringLiteral("/Ridge_16x16_MF-40_B-0.bmp")},
                           Row{QStringLiteral("/elsewhere/a.bmp"), QStringLiteral("/elsewhere/a.bmp")}})
        EXPECT_EQ(dialogStart(row.initial), row.start) << row.initial.toStdString();

    main->setGeometry(QRect(40, 30, main->minimumWidth() + 37, main->minimumHeight() + 11));
    click("chkFlatten");
    saveWindowGeometry(*main);
    FrmMain next(t.app);
    ASSERT_TRUE(restoreWindowGeometry(next));
    EXPECT_EQ(next.size(), main->size());
    EXPECT_FALSE(in<QCheckBox>(next, "chkFlatten")->isChecked());
    EXPECT_EQ(QSettings().allKeys(), QStringList({QStringLiteral("dialogs/lastFolder"), QStringLiteral("mainWindow/geometry")}));
}

}  // namespace
}  // namespace morv::test
