#include <gtest/gtest.h>

#include "engine/Passes.h"
#include "engine/TerrainSettings.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

/// The level a grey pixel of level g has after the pass.
int after(const PassTable& t, int g) {
    HeightImage img(1, 1, std::uint8_t(g));
    runPass(img, t, nullptr);
    return fcnGrayLevel(img.pixel(0, 0));
}

TEST(Passes, LevelsTable) {
    const float half = mountainFactorFromBar(50);
    const struct {
        const char* what;
        PassTable table;
        std::vector<std::pair<int, int>> fromTo;
    } cases[] = {
        // 129 rounds down; 131 is 129.5, down, not to even; the ground and valleys untouched.
        {"flatten 50", flattenTable(128, half), {{200, 164}, {129, 128}, {131, 129}, {128, 128}, {20, 20}}},
        {"flatten 100", flattenTable(128, 1.0f), {{255, 128}}},
        {"lower 50 H228", lowerTable(128, 228, half), {{200, 150}, {150, 128}}},  // stops at G
        // 149.5, 150.5 and 151.5 all to even.
        {"lower 50 H229", lowerTable(128, 229, half), {{200, 150}, {201, 150}, {202, 152}}},
        {"lower 100 H229 G100", lowerTable(100, 229, 1.0f), {{229, 128}, {120, 100}}},
        {"lower H100 G50 raises", lowerTable(50, 100, 1.0f), {{90, 118}}},
        {"raise G128 H200", raiseTable(128, 200), {{200, 255}, {164, 191}, {129, 129}}},
        // 99 is 113.5, down, not to even; mountains untouched.
        {"fill 50", fillTable(128, 0.5), {{100, 114}, {127, 127}, {99, 113}, {0, 64}, {200, 200}}},
        {"fill 100", fillTable(128, 1.0), {{3, 128}}},
        {"invert 100 L20", invertTable(128, 20, 1.0), {{100, 156}, {20, 236}}},
        {"invert 50 L20", invertTable(128, 20, 0.5), {{100, 128}, {74, 128}, {50, 152}, {20, 182}}},
        {"invert 0", invertTable(128, 20, 0.0), {{50, 128}}},
        // The turning level t = 74 (74.5 to even), 76 (75.5 to even).
        {"invert L21 v.5", invertTable(128, 21, 0.5), {{74, 128}, {73, 129}}},
        {"invert L23 v.5", invertTable(128, 23, 0.5), {{76, 128}}},
        {"invert G200 saturates", invertTable(200, 0, 1.0), {{0, 255}, {100, 255}, {150, 250}}},
    };
    for (const auto& c : cases)
        for (auto [from, to] : c.fromTo) EXPECT_EQ(after(c.table, from), to) << c.what << ": " << from;
}

TEST(Passes, RaiseFormsTheQuotientFirst) {
    // The highest level is already 255: with G = 128 nothing moves, with G = 100
    // these levels drop by one because the quotient is rounded before the product.
    const PassTable same = raiseTable(128, 255);
    for (int g = 129; g < 256; ++g) EXPECT_EQ(after(same, g), g) << g;
    const PassTable t = raiseTable(100, 255);
    const int drop[] = {139, 149, 159, 178, 191, 198, 205, 218, 225};
    for (int g = 101; g < 256; ++g) {
        const bool drops = std::find(std::begin(drop), std::end(drop), g) != std::end(drop);
        EXPECT_EQ(after(t, g), drops ? g - 1 : g) << g;
    }
}

TEST(Passes, ColourPixelsTakePartByWholeColourAndReadAsBlue) {
    // Green 200, blue 128: above the ground colour although its level is 128.
    HeightImage img(3, 1, 0);
    img.setPixel(0, 0, 0x80C800);
    img.setPixel(1, 0, 0x8000C8);   // red 200, blue 128: below the ground colour
    img.setPixel(2, 0, 0x0A00FF);   // red 255, blue 10: a valley pixel of level 10
    runPass(img, flattenTable(128, 1.0f), nullptr);
    EXPECT_EQ(img.pixel(0, 0), fcnGrayColor(128)) << "taking part writes a grey level";
    EXPECT_EQ(img.pixel(1, 0), 0x8000C8);
    runPass(img, fillTable(128, 0.5), nullptr);
    EXPECT_EQ(img.pixel(2, 0), fcnGrayColor(69));
    EXPECT_EQ(img.pixel(1, 0), fcnGrayColor(128));
}

TEST(Passes, StatusTextsAndStrengths) {
    EXPECT_EQ(passStatusText(PassKind::Flatten, 50, 3), "WORKING... Flattening Mountains 50% - 3%");
    EXPECT_EQ(passStatusText(PassKind::Lower, 0, 100), "WORKING... Lowering Mountains 0% - 100%");
    EXPECT_EQ(passStatusText(PassKind::Raise, 7, 10), "WORKING... Raising Mountains 10%");
    EXPECT_EQ(passStatusText(PassKind::Fill, 29, 1), "WORKING... Filling in the Valleys by 29% - 1%");
    EXPECT_EQ(passStatusText(PassKind::Invert, 100, 1), "WORKING... Inverting the Valleys by 100% - 1%");
    EXPECT_EQ(mountainStrength(mountainFactorFromBar(29)), 28);
    EXPECT_EQ(valleyStrength(valleyFactorFromBar(29)), 28);
    EXPECT_EQ(mountainStrength(mountainFactorFromBar(50)), 50);
    EXPECT_EQ(valleyStrength(1.0), 100);
}

}  // namespace
}  // namespace morv
