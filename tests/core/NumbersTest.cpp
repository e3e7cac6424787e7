#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Numbers.h"

namespace morv {
namespace {

TEST(DecimalReader, TakesOneSignAndRefusesTheRest) {
    struct Case { const char* text; bool read; double value; };
    const Case cases[] = {
        {"12", true, 12},   {"+12.5", true, 12.5}, {"-0.25", true, -0.25}, {"+3e2", true, 300},
        {"+-5", false, 0},  {"++5", false, 0},     {"-+5", false, 0},      {"+", false, 0},
        {"", false, 0},     {" 5", false, 0},      {"5 ", false, 0},       {"nan", false, 0},
        {"inf", false, 0},  {"1e999", false, 0},   {"0x10", false, 0},     {"5m", false, 0},
    };
    for (const Case& c : cases) {
        double v = -7;
        EXPECT_EQ(readDecimal(c.text, v), c.read) << c.text;
        if (c.read) EXPECT_EQ(v, c.value) << c.text;
        else EXPECT_EQ(v, -7) << c.text << ": left alone";
    }
}

TEST(DecimalReader, ListsHoldExactlyTheirCount) {
    std::vector<double> n;
    ASSERT_TRUE(readDecimalList("+5.5,-1,10,+2", ',', 4, n));
    EXPECT_EQ(n, (std::vector<double>{5.5, -1, 10, 2}));
    EXPECT_TRUE(readDecimalList("300x150", 'x', 2, n));
    EXPECT_FALSE(readDecimalList("1,2,3", ',', 4, n)) << "too few";
    EXPECT_FALSE(readDecimalList("1,2,3,4,5", ',', 4, n)) << "too many";
    EXPECT_FALSE(readDecimalList("1,,3,4", ',', 4, n)) << "an empty part";
    EXPECT_FALSE(readDecimalList("1,2,3,", ',', 4, n)) << "a trailing separator";
    EXPECT_FALSE(readDecimalList("1,+-2,3,4", ',', 4, n));
}

}  // namespace
}  // namespace morv
