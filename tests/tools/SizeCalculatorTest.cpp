#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/Routine.h"
#include "support/TestSupport.h"
#include "tools/SizeCalculator.h"

namespace morv {
namespace {

int errorNumber(auto f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(SizeCalculatorNumbers, ReadsTheLeadingNumberSkippingBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_EQ(readNumber("12"), 12.0);
    EXPECT_EQ(readNumber("  1 2\t3\n"), 123.0);
    EXPECT_EQ(readNumber("- 4"), -4.0);
    EXPECT_EQ(readNumber("+7"), 7.0);
    EXPECT_EQ(readNumber("2.5"), 2.5);
    EXPECT_EQ(readNumber(".5"), 0.5);
    EXPECT_EQ(readNumber("5."), 5.0);
    EXPECT_EQ(readNumber("1.2.3"), 1.2);
    EXPECT_EQ(readNumber("12abc"), 12.0);
    EXPECT_EQ(readNumber("1,024"), 1.0);
    EXPECT_EQ(readNumber("1e3"), 1000.0);
    EXPECT_EQ(readNumber("1 E - 2"), 0.01);
    EXPECT_EQ(readNumber("2.5E+1x"), 25.0);
    EXPECT_EQ(readNumber("3e"), 3.0);
    EXPECT_EQ(readNumber("3e+"), 3.0);
    EXPECT_EQ(readNumber("3ex5"), 3.0);
}

TEST(SizeCalculatorNumbers, TextsWithoutANumberReadAsZero) {
    EXPECT_EQ(readNumber(""), 0.0);
    EXPECT_EQ(readNumber("   "), 0.0);
    EXPECT_EQ(readNumber("abc"), 0.0);
    EXPECT_EQ(readNumber("-"), 0.0);
    EXPECT_EQ(readNumber("."), 0.0);
    EXPECT_EQ(readNumber("e5"), 0.0);
    EXPECT_EQ(readNumber("\r5"), 0.0);  // a carriage return is not skipped
    EXPECT_EQ(readNumber("0e999999999999"), 0.0);
}

TEST(SizeCalculatorNumbers, TooLargeIsOverflowAndTooSmallIsZero) {
    EXPECT_EQ(errorNumber([] { readNumber("1e400"); }), err::Overflow);
    EXPECT_EQ(errorNumber([] { readNumber("-2e309"); }), err::Overflow);
    EXPECT_EQ(errorNumber([] { readNumber("1e99999999999999999999"); }), err::Overflow);
    EXPECT_EQ(readNumber("1e-400"), 0.0);
    EXPECT_EQ(readNumber("1e-99999999999999999999"), 0.0);
    EXPECT_EQ(readNumber("1e308"), 1e308);
}

TEST(SizeCalculatorNumbers, SixteenBitConversionRoundsHalvesToEvenThenChecksTheRange) {
    EXPECT_EQ(toInteger16(2.5), 2);
    EXPECT_EQ(toInteger16(3.5), 4);
    EXPECT_EQ(toInteger16(-2.5), -2);
    EXPECT_EQ(toInteger16(32767.0), 32767);
    EXPECT_EQ(toInteger16(32767.4), 32767);
    EXPECT_EQ(toInteger16(-32768.5), -32768);
    EXPECT_EQ(errorNumber([] { toInteger16(32767.5); }), err::Overflow);
    EXPECT_EQ(errorNumber([] { toInteger16(32768.0); }), err::Overflow);
    EXPECT_EQ(errorNumber([] { toInteger16(-32769.0); }), err::Overflow);
}

TEST(SizeCalculatorArithmetic, BoardsToPixelsIsTheLargestMultipleOfEightNotAboveOneMoreThan144PerBoard) {
    EXPECT_EQ(boardsToPixels(1), 144.0);
    EXPECT_EQ(boardsToPixels(4), 576.0);
    EXPECT_EQ(boardsToPixels(0), 0.0);
    EXPECT_EQ(boardsToPixels(0.5), 72.0);   // 73 rounded down to a multiple of 8
    EXPECT_EQ(boardsToPixels(0.1), 8.0);    // 15.4 -> 8
    EXPECT_EQ(boardsToPixels(-1), -144.0);  // -143 -> -144: down, not toward zero
    EXPECT_EQ(boardsToPixels(227), 32688.0);
    EXPECT_EQ(boardsToPixels(228), 32832.0);
}

TEST(SizeCalculatorArithmetic, PixelsToBoardsRoundsDown) {
    EXPECT_EQ(pixelsToBoards(1024), 7.0);
    EXPECT_EQ(pixelsToBoards(512), 3.0);
    EXPECT_EQ(pixelsToBoards(143.9), 0.0);
    EXPECT_EQ(pixelsToBoards(144), 1.0);
    EXPECT_EQ(pixelsToBoards(-1), -1.0);
}

TEST(SizeCalculatorArithmetic, WholeNumbersAreWrittenInPlainDecimal) {
    EXPECT_EQ(formatWhole(0.0), "0");
    EXPECT_EQ(formatWhole(-0.0), "0");
    EXPECT_EQ(formatWhole(1008.0), "1008");
    EXPECT_EQ(formatWhole(-144.0), "-144");
    EXPECT_EQ(formatWhole(1e20), "100000000000000000000");
    EXPECT_EQ(formatWhole(123456789012.0), "123456789012");
}

TEST(SizeCalculatorOperation, BoardsGiveTheImageSize) {
    CalcFields f{"1", "1", "", "", "", ""};
    const CalcFields out = calculate(f);
    EXPECT_EQ(out.lblAnswer0, "Your image should be 144px Wide, by 144px High to match Trainz image size requirements.");
    EXPECT_EQ(out.lblAnswer1, "");
    EXPECT_EQ(out.txtHorzBoards, "1");
    EXPECT_EQ(out.txtVertBoards, "1");
}

TEST(SizeCalculatorOperation, FractionalBoardsAreAcceptedAndWrittenWhole) {
    const CalcFields out = calculate({"0.5", "2.5", "", "", "", ""});
    EXPECT_EQ(out.lblAnswer0, "Your image should be 72px Wide, by 360px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorOperation, SizesGiveTheLayoutFillTheBoardFieldsAndTheImageSize) {
    const CalcFields out = calculate({"", "", "1024", "512", "old", "old"});
    EXPECT_EQ(out.lblAnswer1, "Your layout should be 7bbs Wide, by 3bbs High. See Number of Boards answer.");
    EXPECT_EQ(out.txtHorzBoards, "7");
    EXPECT_EQ(out.txtVertBoards, "3");
    EXPECT_EQ(out.lblAnswer0, "Your image should be 1008px Wide, by 432px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorOperation, OneBoardFieldFilledCountsAsEmpty) {
    const CalcFields out = calculate({"5", "", "300", "150", "", ""});
    EXPECT_EQ(out.txtHorzBoards, "2");
    EXPECT_EQ(out.txtVertBoards, "1");
    EXPECT_EQ(out.lblAnswer0, "Your image should be 288px Wide, by 144px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorOperation, AFieldOfBlanksIsNotEmptyAndReadsAsZero) {
    const CalcFields out = calculate({" ", "2", "1024", "1024", "", ""});
    EXPECT_EQ(out.lblAnswer1, "");
    EXPECT_EQ(out.lblAnswer0, "Your image should be 0px Wide, by 288px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorOperation, EverythingEmptyGivesZeroByZero) {
    const CalcFields out = calculate({});
    EXPECT_EQ(out.lblAnswer1, "Your layout should be 0bbs Wide, by 0bbs High. See Number of Boards answer.");
    EXPECT_EQ(out.txtHorzBoards, "0");
    EXPECT_EQ(out.txtVertBoards, "0");
    EXPECT_EQ(out.lblAnswer0, "Your image should be 0px Wide, by 0px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorOperation, AWidthBeyondSixteenBitsOverflowsButTheHeightDoesNot) {
    EXPECT_EQ(errorNumber([] { calculate({"228", "1", "", "", "", ""}); }), err::Overflow);
    EXPECT_EQ(calculate({"227", "1000", "", "", "", ""}).lblAnswer0,
              "Your image should be 32688px Wide, by 144000px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorClick, IsTracedUnderItsWindowsName) {
    test::TempDir dir;
    test::TestApp t;
    t.app.trace.openLog(dir.file("Morv.log"), {});
    CalcFields f{"4", "4", "", "", "", ""};
    cmdCalc_Click(t.app, f);
    t.app.trace.closeLog();
    EXPECT_EQ(f.lblAnswer0, "Your image should be 576px Wide, by 576px High to match Trainz image size requirements.");
    std::ifstream in(dir.file("Morv.log"), std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("- |frmCalcImgSize.cmdCalc_Click - ENTER\r\n"), std::string::npos);
    EXPECT_NE(log.find("- |frmCalcImgSize.cmdCalc_Click - EXIT\r\n"), std::string::npos);
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

TEST(SizeCalculatorClick, OverflowGoesToTheErrorHandlerAndIgnoreKeepsWhatWasSet) {
    test::TestApp t;
    t.prompter.answers = {mb::Ignore};
    CalcFields f{"", "", "40000", "288", "", ""};
    cmdCalc_Click(t.app, f);
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_EQ(t.prompter.shown[0].text,
              "Encountered Err#6\rOverflow\r\rRoutine: |frmCalcImgSize.cmdCalc_Click\r    Task: \r\r");
    EXPECT_EQ(f.lblAnswer1, "Your layout should be 277bbs Wide, by 2bbs High. See Number of Boards answer.");
    EXPECT_EQ(f.txtHorzBoards, "277");
    EXPECT_EQ(f.txtVertBoards, "2");
    // The width statement was skipped: the answer goes on with a width of 0.
    EXPECT_EQ(f.lblAnswer0, "Your image should be 0px Wide, by 288px High to match Trainz image size requirements.");
}

TEST(SizeCalculatorClick, RetryRunsTheFailingStatementAgain) {
    test::TestApp t;
    t.prompter.answers = {mb::Retry, mb::Ignore};
    CalcFields f{"300", "1", "", "", "", ""};
    cmdCalc_Click(t.app, f);
    EXPECT_EQ(t.prompter.shown.size(), 2u);
    EXPECT_EQ(t.app.session.gintTraceDepth, 0);
}

TEST(SizeCalculatorClick, MatchesTheUntrappedOperationWhenNothingFails) {
    for (const CalcFields& in : {CalcFields{"3", "2", "", "", "", ""}, CalcFields{"", "9", "2000", "1500", "", ""},
                                 CalcFields{"1e1", "-1", "", "", "", ""}, CalcFields{" ", "", "x", "1e4", "", ""}}) {
        test::TestApp t;
        CalcFields f = in;
        cmdCalc_Click(t.app, f);
        const CalcFields expected = calculate(in);
        EXPECT_EQ(f.lblAnswer0, expected.lblAnswer0);
        EXPECT_EQ(f.lblAnswer1, expected.lblAnswer1);
        EXPECT_EQ(f.txtHorzBoards, expected.txtHorzBoards);
        EXPECT_EQ(f.txtVertBoards, expected.txtVertBoards);
        EXPECT_TRUE(t.prompter.shown.empty());
    }
}

}  // namespace
}  // namespace morv
