#include <gtest/gtest.h>

#include "analysis/GroundLevel.h"
#include "core/RuntimeError.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

TEST(GroundLevelText, AcceptsNumbersAndRefusesTheRestWithItsError) {
    constexpr int kBad = err::TypeMismatch, kRange = err::InvalidPropertyValue, kBig = err::Overflow;
    const struct {
        const char* text;
        int level, error = 0;  // error 0: accepted as level
    } cases[] = {
        {"64", 64}, {" 64 ", 64}, {"\t64\t", 64}, {"064", 64}, {"+64", 64}, {"0", 0}, {"255", 255}, {"-0", 0},
        {"64.5", 64}, {"65.5", 66}, {"64.51", 65}, {"64.500", 64}, {"64.4999", 64}, {"0.5", 0}, {"1.5", 2}, {"-0.5", 0},
        {"-0.4", 0}, {"254.5", 254}, {"255.49", 255}, {"5.", 5}, {".5", 0}, {".6", 1}, {"000000000000000000128", 128},
        {"", 0, kBad}, {"   ", 0, kBad}, {"abc", 0, kBad}, {"6 4", 0, kBad}, {"64abc", 0, kBad}, {"+", 0, kBad},
        {".", 0, kBad}, {"--5", 0, kBad}, {"6.4.1", 0, kBad}, {"- 5", 0, kBad}, {"300", 0, kRange}, {"-5", 0, kRange},
        {"255.5", 0, kRange}, {"-0.6", 0, kRange}, {"32767", 0, kRange}, {"-32768", 0, kRange}, {"-32768.5", 0, kRange},
        {"32767.5", 0, kBig}, {"32768", 0, kBig}, {"-32769", 0, kBig}, {"99999999999999999999", 0, kBig},
    };
    for (const auto& c : cases) {
        try {
            EXPECT_EQ(groundLevelFromText(c.text), c.level) << '"' << c.text << '"';
            EXPECT_EQ(c.error, 0) << '"' << c.text << "\" accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << '"' << c.text << '"';
        }
    }
}

// Metres go through the map's scale: (150.2 - 100) / 0.5 = 100.4, (150.3 - 100) / 0.5
// = 100.6; levels outside the range are refused with the reason (the reasons
// themselves are HeightUnits' own).
TEST(GroundLevelText, TakesMetresThroughTheMapsScale) {
    const MapScale s = test::mapScale(5, 0.5, 100);
    EXPECT_EQ(groundLevelFromText("150.2 m", s), 100);
    EXPECT_EQ(groundLevelFromText("150.3m", s), 101);
    EXPECT_EQ(groundLevelFromText(" 64 ", s), 64);
    EXPECT_EQ(test::refusalOf([&] { groundLevelFromText("312 m", s); }), "380: 312 m is level 424, outside the levels 0..255");
    EXPECT_THROW(groundLevelFromText("12px", s), RuntimeError);
}

}  // namespace
}  // namespace morv
