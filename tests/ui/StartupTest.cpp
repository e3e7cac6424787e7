// Starting the program: the command line, the message boxes, the splash and the
// empty main window.
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include "core/AppInfo.h"
#include "ui/CommandLine.h"
#include "ui/FrmSplash.h"
#include "ui/QtPrompter.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

TEST(CommandLine, SwitchesAreWholeWordsInAnyCaseTheRestIsTheImage) {
    struct Row { std::vector<std::string> args; bool log, programmer, help, version; std::string imageFile; };
    const std::vector<Row> table = {
        {{"/LOG"}, true, false, false, false, ""},
        {{"/Log", "/prgm"}, true, true, false, false, ""},
        {{"/PRGM", "/home/me/maps/Ridge.bmp"}, false, true, false, false, "/home/me/maps/Ridge.bmp"},
        {{"/home/me/logs/map.bmp"}, false, false, false, false, "/home/me/logs/map.bmp"},
        {{"/home/me/prgm/LOG.bmp", "/LOGS"}, false, false, false, false, "/LOGS"},
        {{"--help"}, false, false, true, false, ""},
        {{"--version"}, false, false, false, true, ""},
    };
    for (const Row& row : table) {
        const CommandLine line = parseCommandLine(row.args);
        EXPECT_EQ(std::tie(line.log, line.programmer, line.help, line.version, line.imageFile),
                  std::tie(row.log, row.programmer, row.help, row.version, row.imageFile))
            << row.args.front();
    }
    for (const char* word : {"/LOG", "/PRGM", "--help", "--version"})
        EXPECT_NE(commandLineUsage().find(word), std::string::npos) << word;
}

using B = QMessageBox;

/// The box's button for a standard answer: the standard one, or the one captioned
/// with that answer's name and its letter ("&Retry").
QAbstractButton* buttonFor(QMessageBox* box, B::StandardButton which) {
    if (QAbstractButton* b = box->button(which)) return b;
    const QString name = which == B::Abort ? QStringLiteral("&Abort") : which == B::Retry ? QStringLiteral("&Retry") : QStringLiteral("&Ignore");
    for (QAbstractButton* b : box->buttons())
        if (b->text() == name) return b;
    return nullptr;
}

TEST(QtPrompter, EachStyleShowsItsIconAndDefaultButtonsAnswer) {
    // press NoButton: the user presses Esc; byDefault NoButton: not checked.
    struct Row { int style; B::StandardButton press; int answer; B::Icon icon; B::StandardButton byDefault; };
    const Row table[] = {
        {0, B::Ok, mb::OK, B::NoIcon, B::NoButton},
        {1, B::Cancel, mb::Cancel, B::NoIcon, B::NoButton},
        {2, B::Abort, mb::Abort, B::NoIcon, B::NoButton},
        {2, B::Ignore, mb::Ignore, B::NoIcon, B::NoButton},
        {3, B::Yes, mb::Yes, B::NoIcon, B::NoButton},
        {274, B::Retry, mb::Retry, B::Critical, B::Retry},
        {36, B::NoButton, mb::No, B::Question, B::Yes},
        {35, B::NoButton, mb::Cancel, B::Question, B::NoButton},
        {48, B::Ok, mb::OK, B::Warning, B::NoButton},
        {64, B::Ok, mb::OK, B::Information, B::NoButton},
    };
    for (const Row& row : table) {
        QtPrompter prompter;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon(), row.icon) << row.style;
            EXPECT_EQ(box->text(), QStringLiteral("The file named...\n\n/tmp/a.bmp"));
            EXPECT_TRUE(row.byDefault == B::NoButton || box->defaultButton() == buttonFor(box, row.byDefault)) << row.style;
            (row.press == B::NoButton ? box->escapeButton() : buttonFor(box, row.press))->click();
        });
        EXPECT_EQ(prompter.msgBox("The file named...\r\r/tmp/a.bmp", row.style, "Title"), row.answer) << row.style;
    }
    EXPECT_EQ(qtFilters("*.bmp|*.bmp|Images: bmp, jpg|*.bmp;*.jpg"),
              QStringList({QStringLiteral("*.bmp (*.bmp)"), QStringLiteral("Images: bmp, jpg (*.bmp *.jpg)")}));
}

using Startup = UiTest;

TEST_F(Startup, WithoutAnImageOnlyOpenQuitAndTheMenusWork) {
    EXPECT_FALSE(child<QWidget>("picMainToolbar")->isVisible());
    EXPECT_FALSE(child<QWidget>("picScrollToolbar")->isVisible());
    for (const char* name : {"mnuFileOpen", "mnuFileQuit", "mnuAbout"}) EXPECT_TRUE(action(name)->isEnabled()) << name;
    for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "mnuViewZoomIn", "mnuEditUndo"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    for (const char* menu : {"mnuTools", "mnuOptions"}) EXPECT_TRUE(child<QMenu>(menu)->menuAction()->isEnabled());
    EXPECT_FALSE(action("mnuMakeDLFiles")->isVisible());
    for (auto [name, key] : {std::pair{"mnuFileOpen", "Ctrl+O"}, {"mnuFileSave", "Ctrl+S"}, {"mnuFileSaveAs", "Ctrl+A"},
                             {"mnuFileQuit", "Ctrl+Q"}})
        EXPECT_EQ(action(name)->shortcut(), QKeySequence(QString::fromUtf8(key))) << name;
}

TEST_F(Startup, TheFrameKeepsItsMinimumSize) {
    resizeFrame(QSize(500, 300));
    EXPECT_GE(main->width(), main->frameMinimum().width());
    EXPECT_GE(main->height(), main->frameMinimum().height());
}

TEST_F(Startup, TheMountainsBarStartsAtZero) {
    // The mountains bar stands at 0, so the first Redraw must not flatten by 100 %.
    openRamp(40, 20);
    click("chkFlatten");
    click("cmdRedraw");
    EXPECT_EQ(*main->document().disp.image, rampImage(40, 20));
}

TEST(Splash, ShowsPlatformAndVersionLogsThenShowsTheMainWindow) {
    TempDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    TestApp t;
    CommandLine line;
    line.log = true;
    bool mainShown = false;
    QPointer<FrmSplash> splash = new FrmSplash(t.app, line, [&] { mainShown = true; });
    splash->show();
    EXPECT_EQ(splash->findChild<QLabel*>(QStringLiteral("lblPlatform"))->text(), QStringLiteral("Linux"));
    EXPECT_EQ(splash->findChild<QLabel*>(QStringLiteral("lblVersion"))->text().toStdString(), "Version " + versionText());
    EXPECT_FALSE(mainShown);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mainShown && splash.isNull(); }, 3000));
    t.app.trace.closeLog();
    const std::string log = readFile(dir.file("Morv.log"));
    EXPECT_NE(log.find("- |frmSplash.Form_Load - ENTER"), std::string::npos) << log;
    EXPECT_NE(log.find("frmSplash.Timer1_Timer - EXIT"), std::string::npos) << log;
    QDir::setCurrent(before);
}

}  // namespace
}  // namespace morv::test
