#include <gtest/gtest.h>

#include <stdexcept>

#include "core/Routine.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

TEST(ErrorHandler, ShowsNumberDescriptionRoutineAndTask) {
    test::TestApp t;
    t.prompter.answers = {mb::Ignore};
    {
        Routine outer(t.app, "frmMain.MDIForm_Load");
        Routine r(t.app, "frmMain.MDIForm_Resize");
        r([] { throw RuntimeError(err::InvalidPropertyValue); });
    }
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    const test::Shown& box = t.prompter.shown[0];
    EXPECT_EQ(box.title, "Morv: RUNTIME ERROR");
    EXPECT_EQ(box.style, 274);
    EXPECT_EQ(box.text, "Encountered Err#380\rInvalid property value\r\rRoutine: ||frmMain.MDIForm_Resize\r    Task: \r\r");
    EXPECT_EQ(t.app.session.glngMsgResult, mb::Ignore);
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

TEST(ErrorHandler, AnUntrappedReportLeavesOutAnUnknownRoutine) {
    const Session s;
    const RuntimeError error(75, "Path/File access error: Morv.log");
    EXPECT_EQ((UntrappedReport{error, "frmSplash.Form_Load"}.text(s)),
              "Encountered Err#75\rPath/File access error: Morv.log\r\rRoutine: frmSplash.Form_Load\r");
    EXPECT_EQ((UntrappedReport{error, ""}.text(s)), "Encountered Err#75\rPath/File access error: Morv.log\r");
}

TEST(ErrorHandler, RetryRerunsTheStepIgnoreGoesOn) {
    test::TestApp t;
    t.prompter.answers = {mb::Retry, mb::Ignore};
    std::vector<std::string> ran;
    int attempts = 0;
    {
        Routine r(t.app, "frmMain.cmdRedraw_Click");
        r.setTask("Section# 2");
        EXPECT_TRUE(r([&] {
            ran.push_back("first");
            if (++attempts == 1) throw RuntimeError(err::FileNotFound);
        }));
        EXPECT_FALSE(r([&] {
            ran.push_back("second");
            throw std::out_of_range("x");
        }));
        r([&] { ran.push_back("third"); });
    }
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "first", "second", "third"}));
    ASSERT_EQ(t.prompter.shown.size(), 2u);
    EXPECT_NE(t.prompter.shown[0].text.find("Err#53\rFile not found"), std::string::npos);
    EXPECT_NE(t.prompter.shown[0].text.find("    Task: Section# 2"), std::string::npos);
    EXPECT_NE(t.prompter.shown[1].text.find("Err#9\rSubscript out of range"), std::string::npos);
}

TEST(ErrorHandler, StandardExceptionsMapToTheTraditionsNumbers) {
    const auto number = [](auto e) { return toRuntimeError(std::make_exception_ptr(e)).number(); };
    EXPECT_EQ(number(std::out_of_range("i")), 9);
    EXPECT_EQ(number(std::overflow_error("o")), 6);
    EXPECT_EQ(number(std::bad_alloc()), 7);
    EXPECT_EQ(number(RuntimeError(err::DiskFull)), 61);
    EXPECT_EQ(fileError("/x", ENOENT).number(), 53);
    EXPECT_EQ(fileError("/x", EACCES).number(), 75);
    EXPECT_EQ(fileError("/x", ENOSPC).number(), 61);
    EXPECT_NE(fileError("/x/map.bmp", EACCES).description().find("/x/map.bmp"), std::string::npos);
}

TEST(ErrorHandler, AbortEndsWithTheLogClosedAndNothingRun) {
    test::TempDir dir;
    test::TestApp t;
    t.app.trace.openLog(dir.file("Morv.log"), {});
    t.prompter.answers = {mb::Abort};
    bool after = false;
    EXPECT_THROW(
        {
            Routine r(t.app, "frmMain.cmdRedraw_Click");
            r([] { throw RuntimeError(err::Overflow); });
            after = true;
        },
        test::ProgramEnded);
    EXPECT_FALSE(after);
    // The handler's ENTER is one level deeper than the failing routine's; nothing follows it.
    const std::string log = test::readFile(dir.file("Morv.log"));
    EXPECT_NE(log.find("- |frmMain.cmdRedraw_Click - ENTER\r\n"), std::string::npos);
    EXPECT_NE(log.find("- ||Ovo_Code.fcnMainErrorHandler - ENTER\r\n"), std::string::npos);
    EXPECT_EQ(log.find("EXIT"), std::string::npos);
}

TEST(ErrorHandler, ProgrammerModeArmsNoTrap) {
    test::TestApp t;
    t.app.session.gblnProgrammerMode = true;
    EXPECT_THROW(
        {
            Routine r(t.app, "frmMain.cmdRedraw_Click");
            r([] { throw RuntimeError(err::TypeMismatch); });
        },
        RuntimeError);
    EXPECT_TRUE(t.prompter.shown.empty());
}

TEST(ErrorHandler, DepthPastTheStackIsErrorNine) {
    test::TestApp t;
    t.app.session.gintTraceDepth = 100;
    t.prompter.answers = {mb::Ignore, mb::Ignore};
    {
        Routine r(t.app, "frmMain.cmdRedraw_Click");
        EXPECT_EQ(t.app.session.gintTraceDepth, 101);
    }
    ASSERT_GE(t.prompter.shown.size(), 1u);
    EXPECT_NE(t.prompter.shown[0].text.find("Err#9"), std::string::npos);
    EXPECT_EQ(t.app.session.gintTraceDepth, 100);
}

}  // namespace
}  // namespace morv
