#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "analysis/Blur.h"
#include "commands/BlurCommands.h"
#include "commands/PictureCommands.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

int exactBlend(int s, int d) { return int(std::lround((s * 128 + d * 127) / 255.0)); }

TEST(BlurBlend, BlendAndPictureBlurRoundExactlyForEveryPair) {
    // Two pixels side by side, one iteration: only the sideways passes have a
    // neighbour, so a := blend(b, a), then b := blend(a, b).
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            ASSERT_EQ(blendHalf(std::uint8_t(a), std::uint8_t(b)), exactBlend(a, b)) << a << " into " << b;
            HeightImage img(2, 1);
            img.grey()[0] = std::uint8_t(a), img.grey()[1] = std::uint8_t(b);
            blurPicture(img, 1, nullptr, {1, false});
            const int a1 = exactBlend(b, a);
            ASSERT_EQ(std::pair(int(img.grey()[0]), int(img.grey()[1])), std::pair(a1, exactBlend(a1, b))) << a << "," << b;
        }
}

/// One pass at a time on whole pictures, every pixel read through pixel(): the
/// rule as written, with none of the pipeline, banding or vectorising.
HeightImage referenceBlur(HeightImage img, int amount) {
    constexpr int kDx[8] = {1, -1, 0, 0, 1, -1, 1, -1}, kDy[8] = {0, 0, 1, -1, 1, -1, -1, 1};
    for (int i = 0; i < amount; ++i)
        for (int p = 0; p < 8; ++p) {
            HeightImage next = img;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const Colour s = img.pixel(x + kDx[p], y + kDy[p]), d = img.pixel(x, y);
                    Colour out = 0;
                    for (int shift = 0; shift < 24 && s >= 0; shift += 8)
                        out |= Colour(exactBlend((s >> shift) & 255, (d >> shift) & 255)) << shift;
                    if (s >= 0) next.setPixel(x, y, out);
                }
            img = std::move(next);
        }
    return img;
}

HeightImage randomPicture(int w, int h, unsigned seed, bool colour = false) {
    std::mt19937 rng(seed);
    HeightImage img(w, h);
    if (colour) img.promoteToColour();
    for (std::int64_t i = 0; i < img.pixelCount(); ++i)
        if (colour) img.colour()[i] = Colour(rng() & 0xFFFFFF); else img.grey()[i] = std::uint8_t(rng());
    return img;
}

HeightImage blurred(HeightImage img, int amount, BlurOptions options = {}) {
    blurPicture(img, amount, nullptr, options);
    return img;
}

/// Blurs img with each thread count, stopping when settled or not, expecting the reference
/// result and every iteration reported in order.
void expectReference(const HeightImage& img, int amount, std::initializer_list<int> threadCounts) {
    const HeightImage expected = referenceBlur(img, amount);
    std::vector<int> all(static_cast<std::size_t>(amount));
    std::iota(all.begin(), all.end(), 0);
    for (int threads : threadCounts)
        for (bool settle : {false, true}) {
            HeightImage out = img;
            std::vector<int> seen;
            blurPicture(out, amount, [&](int i) { seen.push_back(i); }, {threads, settle});
            const std::string what = std::to_string(img.width()) + "x" + std::to_string(img.height()) +
                                     (img.isGrey() ? " grey" : " colour") + " amount " + std::to_string(amount) +
                                     " threads " + std::to_string(threads) + (settle ? " stopping when settled" : "");
            EXPECT_EQ(out, expected) << what;
            EXPECT_EQ(out.isGrey(), img.isGrey()) << what;
            EXPECT_EQ(seen, all) << what;
        }
}

TEST(BlurPicture, MatchesTheReferenceWhateverThreadsOrEarlyStop) {
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {17, 4}, {5, 33}, {13, 40}, {31, 70}};
    unsigned seed = 1;
    for (auto [w, h] : sizes)
        for (int amount : {1, 2, 5})
            for (bool colour : {false, true}) expectReference(randomPicture(w, h, seed++, colour), amount, {2});
    // Tall enough that every band has rows of its own beyond the halo; thin bands (threads 7
    // on 40 and 7 rows) where the halo reaches across whole bands; settled from the start;
    // a bump the blur never changes; settling part way (a spike on a flat field changes for
    // nine iterations, then never again); an upper band settled while the lower one still
    // changes; empty, still reporting every iteration; amount 0.
    HeightImage bump(12, 12, 100), spike(8, 5, 0), lowerOnly = randomPicture(20, 200, 21);
    bump.setPixel(6, 6, fcnGrayColor(101));
    spike.setPixel(3, 2, fcnGrayColor(255));
    ASSERT_NE(referenceBlur(spike, 8), referenceBlur(spike, 9));
    ASSERT_EQ(referenceBlur(spike, 9), referenceBlur(spike, 14));
    std::fill_n(lowerOnly.grey(), 20 * 190, std::uint8_t(50));
    const std::pair<HeightImage, int> cases[] = {{randomPicture(37, 211, 1), 4}, {randomPicture(64, 40, 2), 4}, {randomPicture(3, 7, 3), 4},
                                                 {HeightImage(40, 40, 77), 6}, {bump, 30}, {spike, 14}, {lowerOnly, 5}, {HeightImage(), 3}, {bump, 0}};
    for (const auto& [img, amount] : cases) expectReference(img, amount, {1, 2, 3, 7});
}

struct BlurCommandFixture : test::HostTest {
    const HeightImage before = randomPicture(10, 7, 8);
    BlurCommandFixture() { show(before); }
};

TEST_F(BlurCommandFixture, ProgressRoundsHalvesUpAndIgnoresCancel) {
    host.onYield = [&] { t.app.session.gblnCancel = true; };
    prepareBlur(host);
    runBlur(host, 3);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{"WORKING... Blurring Image 0%", "WORKING... Blurring Image 50%",
                                                       "WORKING... Blurring Image 100%", ""}));
    EXPECT_EQ(host.yields, 4) << "one per iteration and one after clearing the status";
    EXPECT_EQ(*host.doc.disp.image, blurred(before, 3)) << "a cancel request does not stop the blur";
    EXPECT_TRUE(t.app.session.gblnCancel) << "the cancel is left for the caller";
    host.statuses.clear();
    runBlur(host, 9);
    ASSERT_EQ(host.statuses.size(), 10u);
    EXPECT_EQ(host.statuses[1], "WORKING... Blurring Image 13%") << "12.5 after the second iteration";
    host.statuses.clear(), host.yields = 0;
    runBlur(host, 1);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{""})) << "amount 1 shows no percentage";
    EXPECT_EQ(host.yields, 2);
}

TEST_F(BlurCommandFixture, ApplyBlurPreparesBlursAndCommitsOnce) {
    t.prompter.answers = {mb::Ignore};
    runBlur(host, 2);
    ASSERT_EQ(t.prompter.shown.size(), 1u);
    EXPECT_NE(t.prompter.shown[0].text.find("Routine: |frmMain.blur"), std::string::npos);
    EXPECT_EQ(host.status, "");
    host.statuses.clear();
    applyBlur(host);  // the bar at 0
    EXPECT_EQ(*host.doc.disp.image, before);
    EXPECT_EQ(host.statuses, (std::vector<std::string>{""}));
    const auto commits = host.doc.disp.commits;
    host.ctl.blurValue = 2, host.yields = 0;
    applyBlur(host);
    EXPECT_EQ(*host.doc.disp.image, blurred(before, 2));
    EXPECT_EQ(host.doc.disp.commits, commits + 1);
    ASSERT_TRUE(host.doc.blur.has_value());
    EXPECT_EQ(std::pair(host.doc.blur->width, host.doc.blur->height), std::pair(10, 7));
    EXPECT_EQ(host.yields, 2 + 1 + 1) << "two iterations, the end of the blur, the end of ApplyBlur";
    EXPECT_EQ(t.prompter.shown.size(), 1u);
}

}  // namespace
}  // namespace morv
