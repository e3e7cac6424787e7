#include <gtest/gtest.h>

#include "analysis/GroundLevel.h"
#include "core/RuntimeError.h"

namespace morv {
namespace {

TEST(GroundLevelText, AcceptsWhatANumericConversionAccepts) {
    const struct {
        const char* text;
        int level;
    } cases[] = {
        {"64", 64},      {" 64 ", 64},   {"\t64\t", 64}, {"064", 64},      {"+64", 64},   {"0", 0},
        {"255", 255},    {"-0", 0},      {"64.5", 64},   {"65.5", 66},     {"64.51", 65}, {"64.500", 64},
        {"64.4999", 64}, {"0.5", 0},     {"1.5", 2},     {"-0.5", 0},      {"-0.4", 0},   {"254.5", 254},
        {"255.49", 255}, {"5.", 5},      {".5", 0},      {".6", 1},        {"000000000000000000128", 128},
    };
    for (const auto& c : cases) {
        try {
            EXPECT_EQ(groundLevelFromText(c.text), c.level) << '"' << c.text << '"';
        } catch (const RuntimeError& e) {
            ADD_FAILURE() << '"' << c.text << "\" raised " << e.number();
        }
    }
}

TEST(GroundLevelText, RefusesWithTheConversionsAndTheScrollBarsErrors) {
    const struct {
        const char* text;
        int error;
    } cases[] = {
        {"", err::TypeMismatch},          {"   ", err::TypeMismatch},      {"abc", err::TypeMismatch},
        {"6 4", err::TypeMismatch},       {"64abc", err::TypeMismatch},    {"+", err::TypeMismatch},
        {".", err::TypeMismatch},         {"--5", err::TypeMismatch},      {"6.4.1", err::TypeMismatch},
        {"- 5", err::TypeMismatch},       {"300", err::InvalidPropertyValue}, {"-5", err::InvalidPropertyValue},
        {"255.5", err::InvalidPropertyValue}, {"-0.6", err::InvalidPropertyValue},
        {"32767", err::InvalidPropertyValue}, {"-32768", err::InvalidPropertyValue},
        {"-32768.5", err::InvalidPropertyValue}, {"32767.5", err::Overflow}, {"32768", err::Overflow},
        {"-32769", err::Overflow},        {"99999999999999999999", err::Overflow},
    };
    for (const auto& c : cases) {
        try {
            const int level = groundLevelFromText(c.text);
            ADD_FAILURE() << '"' << c.text << "\" gave " << level;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << '"' << c.text << '"';
        }
    }
}

}  // namespace
}  // namespace morv
