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
    ASSERT_TRUE(readDecimalList("300x150", 'x', 2, n));
    EXPECT_EQ(n, (std::vector<double>{300, 150}));
    // Too few, too many, an empty part, a trailing separator, two signs.
    for (const char* bad : {"1,2,3", "1,2,3,4,5", "1,,3,4", "1,2,3,", "1,+-2,3,4"}) EXPECT_FALSE(readDecimalList(bad, ',', 4, n)) << bad;
}

}  // namespace
}  // namespace morv
