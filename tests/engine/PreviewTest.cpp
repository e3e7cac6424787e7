// The preview's one table for the level passes, and the packed pictures the undo
// history keeps.
#include <gtest/gtest.h>

#include <cmath>
#include "engine/MapDelta.h"
#include "engine/Passes.h"
#include "engine/PreviewLevels.h"
#include "support/TestSupport.h"

namespace morv {
namespace {

/// A picture holding every level from lo to hi once, in a row.
HeightImage levelsRow(int lo, int hi) {
    HeightImage img(hi - lo + 1, 1);
    for (int g = lo; g <= hi; ++g) img.setPixel(g - lo, 0, fcnGrayColor(g));
    return img;
}

/// What Redraw's passes make of the picture: mountains, valleys, then the raise
/// pass up to the highest level found after them.
HeightImage redrawn(HeightImage img, const LevelPlan& p) {
    if (p.mountains)
        runPass(img, p.mountainMode == MountainMode::Flatten ? flattenTable(p.ground, p.mountainFactor)
                                                             : lowerTable(p.ground, p.high, p.mountainFactor),
                nullptr);
    if (p.valleys)
        runPass(img, p.valleyMode == ValleyMode::Fill ? fillTable(p.ground, p.valleyFactor)
                                                      : invertTable(p.ground, p.low, p.valleyFactor),
                nullptr);
    if (p.scaleUp) {
        int high = 0;
        for (int x = 0; x < img.width(); ++x) high = std::max(high, fcnGrayLevel(img.pixel(x, 0)));
        runPass(img, raiseTable(p.ground, high), nullptr);
    }
    return img;
}

TEST(PreviewLevels, OneTableGivesWhatThePassesGiveInTurn) {
    struct Row {
        const char* what;
        int lo, hi;
        LevelPlan plan;
    };
    // A bar at 0 leaves its pass out.
    const auto plan = [](int ground, int mBar, MountainMode mm, int vBar, ValleyMode vm, bool up) {
        return LevelPlan{ground, mBar > 0, mm, mountainFactorFromBar(mBar), 230, vBar > 0, vm, valleyFactorFromBar(vBar), 30, up};
    };
    using M = MountainMode;
    using V = ValleyMode;
    const Row rows[] = {
        {"flatten 29", 0, 255, plan(128, 29, M::Flatten, 0, V::Fill, false)},
        {"lower 40", 0, 255, plan(100, 40, M::Lower, 0, V::Fill, false)},
        {"fill 35", 0, 255, plan(90, 0, M::Flatten, 35, V::Fill, false)},
        {"invert 60", 0, 255, plan(128, 0, M::Flatten, 60, V::Invert, false)},
        // The raise pass reaches 255 from the highest level the flatten left (190
        // flattened by half is 159), not from the highest before it.
        {"flatten then scale up", 60, 190, plan(128, 50, M::Flatten, 0, V::Fill, true)},
        {"all three", 10, 240, plan(120, 25, M::Lower, 80, V::Invert, true)},
        {"scale up alone", 40, 200, plan(100, 0, M::Flatten, 0, V::Fill, true)},
    };
    for (const Row& row : rows) {
        const HeightImage source = levelsRow(row.lo, row.hi);
        const LevelTable table = previewLevels(row.plan, countLevels(source));
        const HeightImage expected = redrawn(source, row.plan);
        for (int x = 0; x < source.width(); ++x)
            ASSERT_EQ(table[std::size_t(fcnGrayLevel(source.pixel(x, 0)))], fcnGrayLevel(expected.pixel(x, 0)))
                << row.what << ", level " << row.lo + x;
    }
}

TEST(PreviewLevels, CountsEveryPixelByItsLevel) {
    HeightImage img(5, 3, 7);
    img.setPixel(4, 2, fcnGrayColor(200));
    img.setPixel(0, 0, fcnGrayColor(0));
    const LevelCounts counts = countLevels(img);
    EXPECT_EQ(counts[7], 13u);
    EXPECT_EQ(counts[200], 1u);
    EXPECT_EQ(counts[0], 1u);
    img.setPixel(1, 1, 0x0000ff);  // red: colour storage, counted by its grey level 0
    EXPECT_EQ(countLevels(img)[0], 2u);
}

/// Smooth hills: what a height map is like.
HeightImage hills(int w, int h) {
    return test::levelImage(w, h, [](int x, int y) { return int(128 + 90 * std::sin(x / 40.0) * std::cos(y / 30.0)); });
}

TEST(MapDelta, PackedPicturesComeBackExactly) {
    HeightImage noisy = test::levelImage(300, 7, [](int x, int y) { return (x * 7919 + y * 104729) % 256; });
    HeightImage colour = hills(150, 20);
    colour.setPixel(3, 4, 0x123456);
    HeightImage flat(400, 3, 77);  // runs longer than one token holds
    for (const HeightImage* img : {&noisy, &colour, &flat}) {
        const PackedPicture packed(*img);
        EXPECT_EQ(*packed.unpack(), *img) << img->width();
    }
    // Flat and smooth rows take far less than a byte a pixel.
    EXPECT_LT(PackedPicture(flat).byteSize(), 400u);
    EXPECT_LT(PackedPicture(hills(512, 512)).byteSize(), 512u * 512u / 2);
}

TEST(MapDelta, AChangeUndoesAndRedoesInPlace) {
    const HeightImage before = hills(256, 128);
    HeightImage after = before;
    runPass(after, flattenTable(128, mountainFactorFromBar(50)), nullptr);
    const PictureChange change(PackedPicture(before), after);
    EXPECT_FALSE(change.none());
    // Only what changed is kept: far less than the picture.
    EXPECT_LT(change.byteSize(), std::size_t(before.pixelCount()) / 3);

    auto image = std::make_shared<HeightImage>(after);
    const HeightImage* same = image.get();
    image = change.undo(image);
    EXPECT_EQ(image.get(), same);
    EXPECT_EQ(*image, before);
    image = change.redo(image);
    EXPECT_EQ(*image, after);

    const PictureChange nothing(PackedPicture(before), before);
    EXPECT_TRUE(nothing.none());
    EXPECT_LT(nothing.byteSize(), 64u);
}

TEST(MapDelta, ANewSizeOrKindIsKeptWhole) {
    const HeightImage before = hills(100, 60);
    const HeightImage smaller = hills(72, 73);
    const PictureChange resized(PackedPicture(before), smaller);
    auto image = std::make_shared<HeightImage>(smaller);
    image = resized.undo(image);
    EXPECT_EQ(*image, before);
    image = resized.redo(image);
    EXPECT_EQ(*image, smaller);

    HeightImage coloured = before;
    coloured.setPixel(10, 10, 0x00ff00);
    ASSERT_FALSE(coloured.isGrey());
    const PictureChange promoted(PackedPicture(before), coloured);
    image = promoted.redo(std::make_shared<HeightImage>(before));
    EXPECT_EQ(*image, coloured);
    EXPECT_EQ(*promoted.undo(image), before);
}

}  // namespace
}  // namespace morv
