#include <gtest/gtest.h>

#include "core/Routine.h"
#include "support/TestSupport.h"
#include "commands/SizeCalculator.h"

namespace morv {
namespace {

std::string image(const char* wide, const char* high) {
    return std::string("Your image should be ") + wide + "px Wide, by " + high +
           "px High to match Trainz image size requirements.";
}

TEST(SizeCalculator, ReadsTheLeadingNumberLeniently) {
    const std::pair<const char*, double> rows[] = {
        {"12", 12}, {"  1 2\t3\n", 123}, {"- 4", -4}, {"+7", 7}, {".5", 0.5},
        {"1.2.3", 1.2}, {"12abc", 12}, {"1,024", 1}, {"1 E - 2", 0.01}, {"2.5E+1x", 25},
        {"3e+", 3}, {"", 0}, {"abc", 0}, {"-", 0}, {"e5", 0},
        {"\r5", 0}, {"1e-400", 0}, {"0e999999999999", 0},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(readNumber(text), value) << text;
    EXPECT_THROW(readNumber("1e400"), RuntimeError);
}

/// The fields after pressing Calculate on them.
CalcFields calculate(CalcFields f) {
    test::TestApp t;
    calculateSizes(t.app, f);
    EXPECT_TRUE(t.prompter.shown.empty());
    return f;
}

TEST(SizeCalculator, AnswersFromBoardsOrFromSizes) {
    EXPECT_EQ(calculate({"4", "0.5", "", "", "", ""}).lblAnswer0, image("576", "72"));  // 73 down to a multiple of 8
    const CalcFields out = calculate({"5", "", "1024", "512", "", ""});  // one board field counts as none
    EXPECT_EQ(out.lblAnswer1, "Your layout should be 7bbs Wide, by 3bbs High. See Number of Boards answer.");
    EXPECT_EQ(out.txtHorzBoards + "x" + out.txtVertBoards, "7x3");
    EXPECT_EQ(out.lblAnswer0, image("1008", "432"));
    EXPECT_EQ(calculate({"227", "1000", "", "", "", ""}).lblAnswer0, image("32688", "144000"));
    EXPECT_EQ(std::pair(boardsToPixels(-1), pixelsToBoards(143.9)), std::pair(-144.0, 0.0));
}

TEST(SizeCalculator, AWidthBeyond16BitsIsError6IgnoreGoesOn) {
    test::TestApp t;
    t.prompter.answers = {mb::Ignore};
    CalcFields f{"", "", "40000", "288", "", ""};
    calculateSizes(t.app, f);
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_EQ(t.prompter.shown[0].text,
              "Encountered Err#6\rOverflow\r\rRoutine: |frmCalcImgSize.cmdCalc_Click\r    Task: \r\r");
    EXPECT_EQ(f.lblAnswer1, "Your layout should be 277bbs Wide, by 2bbs High. See Number of Boards answer.");
    EXPECT_EQ(f.lblAnswer0, image("0", "288"));  // the width statement was skipped
}

}  // namespace
}  // namespace morv
