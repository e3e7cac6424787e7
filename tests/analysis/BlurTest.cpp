#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/Blur.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

// ---------------------------------------------------------------------------
// The blend

TEST(BlurBlend, EqualsTheExactlyRoundedHalfStrengthBlendForEveryPair) {
    for (int s = 0; s < 256; ++s)
        for (int d = 0; d < 256; ++d) {
            const auto exact = int(std::round((s * 128 + d * 127) / 255.0));
            ASSERT_EQ(blendHalf(std::uint8_t(s), std::uint8_t(d)), exact) << "s=" << s << " d=" << d;
        }
}

TEST(BlurBlend, PictureBlurBlendsEveryPairOfLevelsTheSameWay) {
    // Two pixels side by side, one iteration: only the sideways passes have a
    // neighbour, so a := blend(b, a), then b := blend(a, b).
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            HeightImage img(2, 1);
            img.grey()[0] = std::uint8_t(a);
            img.grey()[1] = std::uint8_t(b);
            blurPicture(img, 1, nullptr, {1, false});
            const std::uint8_t a1 = blendHalf(std::uint8_t(b), std::uint8_t(a));
            ASSERT_EQ(img.grey()[0], a1) << "a=" << a << " b=" << b;
            ASSERT_EQ(img.grey()[1], blendHalf(a1, std::uint8_t(b))) << "a=" << a << " b=" << b;
        }
}

// ---------------------------------------------------------------------------
// The picture blur against a slow, plain reading of the rule

/// One pass at a time on whole pictures, every pixel read through pixel(): the
/// rule as written, with none of the pipeline, banding or vectorising.
HeightImage referenceBlur(HeightImage img, int amount) {
    constexpr int kDx[8] = {1, -1, 0, 0, 1, -1, 1, -1};
    constexpr int kDy[8] = {0, 0, 1, -1, 1, -1, -1, 1};
    for (int i = 0; i < amount; ++i)
        for (int p = 0; p < 8; ++p) {
            HeightImage next = img;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const Colour s = img.pixel(x + kDx[p], y + kDy[p]);
                    if (s < 0) continue;
                    const Colour d = img.pixel(x, y);
                    Colour out = 0;
                    for (int shift = 0; shift < 24; shift += 8) {
                        const int sc = (s >> shift) & 255, dc = (d >> shift) & 255;
                        out |= Colour(std::lround((sc * 128 + dc * 127) / 255.0)) << shift;
                    }
                    next.setPixel(x, y, out);
                }
            img = std::move(next);
        }
    return img;
}

HeightImage randomGrey(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    HeightImage img(w, h);
    for (std::int64_t i = 0; i < img.pixelCount(); ++i) img.grey()[i] = std::uint8_t(rng());
    return img;
}

HeightImage randomColour(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    HeightImage img(w, h);
    img.promoteToColour();
    for (std::int64_t i = 0; i < img.pixelCount(); ++i) img.colour()[i] = Colour(rng() & 0xFFFFFF);
    return img;
}

HeightImage blurred(HeightImage img, int amount, BlurOptions options = {}) {
    blurPicture(img, amount, nullptr, options);
    return img;
}

TEST(BlurPicture, MatchesTheReferenceOnRandomGreyPicturesOfAwkwardSizes) {
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {17, 4}, {5, 33}, {31, 70}};
    unsigned seed = 1;
    for (auto [w, h] : sizes)
        for (int amount : {1, 2, 5}) {
            const HeightImage img = randomGrey(w, h, seed++);
            EXPECT_EQ(blurred(img, amount, {2, false}), referenceBlur(img, amount)) << w << "x" << h << " amount " << amount;
        }
}

TEST(BlurPicture, MatchesTheReferenceOnColourPicturesChannelByChannel) {
    for (auto [w, h] : {std::pair{1, 6}, std::pair{6, 1}, std::pair{7, 9}, std::pair{13, 40}}) {
        const HeightImage img = randomColour(w, h, unsigned(w * 100 + h));
        const HeightImage out = blurred(img, 3, {2, true});
        EXPECT_FALSE(out.isGrey());
        EXPECT_EQ(out, referenceBlur(img, 3)) << w << "x" << h;
    }
}

TEST(BlurPicture, ResultDoesNotDependOnThreadsOrOnStoppingWhenSettled) {
    // Tall enough that every band has rows of its own beyond the halo, and thin
    // bands (threads 7 on 40 rows) where the halo reaches across whole bands.
    for (auto [w, h] : {std::pair{37, 211}, std::pair{64, 40}, std::pair{3, 7}}) {
        const HeightImage img = randomGrey(w, h, unsigned(w + h));
        const HeightImage one = blurred(img, 4, {1, false});
        for (int threads : {2, 3, 7}) {
            for (bool settle : {false, true})
                EXPECT_EQ(blurred(img, 4, {threads, settle}), one) << w << "x" << h << " threads " << threads;
        }
    }
}

TEST(BlurPicture, OneSettledBandDoesNotStopTheOthers) {
    // Flat but for the last rows: the upper band comes out unchanged from the first
    // iteration while the lower one still changes.
    HeightImage img = randomGrey(20, 200, 21);
    std::fill_n(img.grey(), 20 * 190, std::uint8_t(50));
    EXPECT_EQ(blurred(img, 5, {2, true}), blurred(img, 5, {1, false}));
}

TEST(BlurPicture, SingleWhitePixelSpreadsToAllEightNeighboursAndDims) {
    HeightImage img(5, 5, 0);
    img.setPixel(2, 2, fcnGrayColor(255));
    blurPicture(img, 1, nullptr);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx == 0 && dy == 0) continue;
            EXPECT_GT(img.pixel(2 + dx, 2 + dy), 0) << dx << "," << dy;
        }
    EXPECT_LT(fcnGrayLevel(img.pixel(2, 2)), 255);
}

TEST(BlurPicture, UniformPicturesAndAmountZeroStayAsTheyAre) {
    for (int level : {0, 1, 128, 254, 255}) {
        const HeightImage flat(23, 17, std::uint8_t(level));
        EXPECT_EQ(blurred(flat, 9, {2, false}), flat) << level;
    }
    const HeightImage img = randomGrey(8, 8, 5);
    EXPECT_EQ(blurred(img, 0), img);
}

TEST(BlurPicture, ReportsEveryIterationInOrderAlsoAfterSettling) {
    std::vector<int> seen;
    HeightImage flat(40, 40, 77);  // settled from the first iteration on
    blurPicture(flat, 6, [&](int i) { seen.push_back(i); }, {2, true});
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5}));

    // A picture that settles part way: one bump on a flat field smooths out, and the
    // settled result equals the one computed to the end.
    HeightImage bump(12, 12, 100);
    bump.setPixel(6, 6, fcnGrayColor(101));
    seen.clear();
    HeightImage early = bump;
    blurPicture(early, 30, [&](int i) { seen.push_back(i); }, {1, true});
    EXPECT_EQ(seen.size(), 30u);
    EXPECT_EQ(early, blurred(bump, 30, {1, false}));
}

TEST(BlurPicture, EmptyPictureStillReportsItsIterations) {
    HeightImage none;
    int calls = 0;
    blurPicture(none, 3, [&](int) { ++calls; });
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(none.empty());
}

// ---------------------------------------------------------------------------
// The check box caption

TEST(BlurCheckBox, CaptionNamesTheValueAndTicksForAnyButZero) {
    EXPECT_EQ(blurCheckBoxFor(2).caption, "Apply Blur Effect - 2");
    EXPECT_TRUE(blurCheckBoxFor(2).ticked);
    EXPECT_EQ(blurCheckBoxFor(0).caption, "Apply Blur Effect - 0");
    EXPECT_FALSE(blurCheckBoxFor(0).ticked);
    EXPECT_EQ(blurCheckBoxFor(48).caption, "Apply Blur Effect - 48");
}

// ---------------------------------------------------------------------------
// The commands

struct BlurCommandFixture : ::testing::Test {
    test::TestApp t;
    test::RecordingHost host{t.app};
    void use(HeightImage img) { host.doc.disp.replace(std::make_shared<HeightImage>(std::move(img))); }
    static std::vector<std::string> blurring(std::initializer_list<int> percents) {
        std::vector<std::string> out;
        for (int p : percents) out.push_back("WORKING... Blurring Image " + std::to_string(p) + "%");
        out.push_back("");
        return out;
    }
};

TEST_F(BlurCommandFixture, ProgressRoundsHalvesAwayFromZero) {
    use(randomGrey(6, 6, 3));
    LoadBlurData(host);
    blur(host, 3);
    EXPECT_EQ(host.statuses, blurring({0, 50, 100}));
    EXPECT_EQ(host.yields, 4) << "one per iteration and one after clearing the status";

    host.statuses.clear();
    blur(host, 9);
    ASSERT_GE(host.statuses.size(), 2u);
    EXPECT_EQ(host.statuses[1], "WORKING... Blurring Image 13%") << "12.5 after the second iteration";
    EXPECT_EQ(host.statuses.size(), 10u);
}

TEST_F(BlurCommandFixture, AmountOneYieldsWithoutAPercentageAndCannotBeCancelled) {
    use(randomGrey(6, 6, 4));
    const HeightImage before = *host.doc.disp.image;
    host.onYield = [&] { t.app.session.gblnCancel = true; };
    LoadBlurData(host);
    blur(host, 1);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{""}));
    EXPECT_EQ(host.yields, 2);
    EXPECT_EQ(*host.doc.disp.image, blurred(before, 1)) << "a cancel request does not stop the blur";
    EXPECT_TRUE(t.app.session.gblnCancel) << "the cancel is left for the caller";
}

TEST_F(BlurCommandFixture, ApplyBlurPreparesBlursByTheBarAndCommitsOnce) {
    use(randomGrey(10, 7, 8));
    const HeightImage before = *host.doc.disp.image;
    const auto commits = host.doc.disp.commits;
    host.ctl.blurValue = 2;
    ApplyBlur(host);
    EXPECT_EQ(*host.doc.disp.image, blurred(before, 2));
    EXPECT_EQ(host.doc.disp.commits, commits + 1);
    ASSERT_TRUE(host.doc.blur.has_value());
    EXPECT_EQ(host.doc.blur->width, 10);
    EXPECT_EQ(host.doc.blur->height, 7);
    EXPECT_EQ(host.yields, 2 + 1 + 1) << "two iterations, the end of the blur, the end of ApplyBlur";
    EXPECT_TRUE(t.prompter.shown.empty());
}

TEST_F(BlurCommandFixture, AmountZeroLeavesThePictureUnchanged) {
    use(randomGrey(5, 5, 9));
    const HeightImage before = *host.doc.disp.image;
    host.ctl.blurValue = 0;
    ApplyBlur(host);
    EXPECT_EQ(*host.doc.disp.image, before);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{""}));
}

TEST_F(BlurCommandFixture, BlurWithoutPreparationIsReportedAndChangesNothing) {
    use(randomGrey(5, 5, 10));
    const HeightImage before = *host.doc.disp.image;
    t.prompter.answers = {mb::Ignore};
    blur(host, 2);
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_NE(t.prompter.shown[0].text.find("Routine: |frmMain.blur"), std::string::npos);
    EXPECT_EQ(*host.doc.disp.image, before);
    EXPECT_EQ(host.status, "");
}

}  // namespace
}  // namespace morv
