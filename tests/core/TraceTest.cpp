#include <gtest/gtest.h>

#include "core/Routine.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

std::time_t at(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_sec = s, tm.tm_min = mi, tm.tm_hour = h, tm.tm_mday = d, tm.tm_mon = mo - 1, tm.tm_year = y - 1900;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

TEST(Trace, LogHasHeaderAndNestedLinesWithBarsAndCrLf) {
    test::TempDir dir;
    test::TestApp t;
    std::time_t now = at(2026, 12, 5, 13, 46, 51);
    // A trace with a clock the test moves.
    Trace trace(t.app.session, [&] { return now; });
    trace.openLog(dir.file("Morv.log"), {"Maker", "Morv", "Morv", "morv", "Height maps", "(c) Maker", 1, 2, 34});
    trace.enterDepth();
    trace.storeName("frmSplash.Form_Load");
    trace.writeExit();
    trace.leaveDepth();
    now = at(2026, 12, 5, 13, 46, 53);
    trace.enterDepth();
    trace.storeName("frmSplash.Timer1_Timer");
    trace.enterDepth();
    trace.storeName("frmMain.MDIForm_Load");
    trace.writeExit();
    trace.leaveDepth();
    trace.writeExit();
    trace.leaveDepth();
    trace.closeLog();

    const std::string expected =
        "Company:     Maker\rTitle:       Morv\rProductName: Morv\rExecutable:  morv.exe\r"
        "Description: Height maps\rCopyright:   (c) Maker\rVersion:     0001.0002.0034\r" +
        std::string(59, '-') + "\r\n"
        "261205.134651- |frmSplash.Form_Load - ENTER\r\n"
        "261205.134651- |frmSplash.Form_Load - EXIT\r\n"
        "261205.134653- |frmSplash.Timer1_Timer - ENTER\r\n"
        "261205.134653- ||frmMain.MDIForm_Load - ENTER\r\n"
        "261205.134653- ||frmMain.MDIForm_Load - EXIT\r\n"
        "261205.134653- |frmSplash.Timer1_Timer - EXIT\r\n";
    EXPECT_EQ(test::readFile(dir.file("Morv.log")), expected);
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

TEST(Trace, EarlyReturnTracesExitOnce) {
    test::TempDir dir;
    test::TestApp t;
    t.app.trace.openLog(dir.file("Morv.log"), {});
    auto routine = [&](bool early) {
        Routine r(t.app, "frmMain.mnuFileOpen_Click");
        bool stop = false;
        r([&] { stop = early; });
        if (stop) return;
        r([] {});
    };
    routine(true);
    routine(false);
    t.app.trace.closeLog();
    const std::string log = test::readFile(dir.file("Morv.log"));
    std::size_t exits = 0;
    for (std::size_t p = log.find("- EXIT"); p != std::string::npos; p = log.find("- EXIT", p + 1)) ++exits;
    EXPECT_EQ(exits, 2u);
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

}  // namespace
}  // namespace morv
