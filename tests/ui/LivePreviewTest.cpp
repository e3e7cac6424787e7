// The live preview's blur and contours: worked out on the side while the level
// table shows at once, exact at one to one, at the shown scale when fitted, and
// never read from or written to the file.
#include <filesystem>

#include "analysis/Blur.h"
#include "analysis/Contours.h"
#include "engine/Passes.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class LivePreview : public UiTest {
protected:
    LivePreview() {
        ownSettings();  // the preview's on-off is remembered
        main->previewPatchShown = [this] { ++patches; };
        activate();
    }
    /// Waits until the worked-out preview has shown since count was patchesBefore.
    void waitForPatch(int patchesBefore) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return patches > patchesBefore; }, 60000)) << "the preview never came";
    }
    /// Live Preview on, Flatten ticked, mountains at 40 %: by keys.
    void previewFlatten() {
        choose(Qt::Key_W, "mnuView", Qt::Key_L);
        ASSERT_TRUE(action("mnuViewLivePreview")->isChecked());
        click("chkFlatten");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        ASSERT_EQ(child<QScrollBar>("vsbMountains")->value(), 40);
    }
    /// Apply Blur clicked, which hands the focus to the blur bar; then keys pressed there.
    void blurKeys(std::initializer_list<Qt::Key> keys) {
        click("chkBlur");
        ASSERT_EQ(QApplication::focusWidget(), child<QWidget>("hsbBlur"));
        for (Qt::Key k : keys) QTest::keyClick(QApplication::focusWidget(), k);
    }
    /// The map with the flatten pass of the controls applied, as Redraw's passes do.
    static HeightImage flattened(HeightImage map, int percent) {
        const PassTable t = flattenTable(128, mountainFactorFromBar(percent));
        for (int y = 0; y < map.height(); ++y)
            for (int x = 0; x < map.width(); ++x) {
                const int g = fcnGrayLevel(map.pixel(x, y)) & 0xff;
                if (g > t.ground && !t.keep[std::size_t(g)]) map.setPixel(x, y, fcnGrayColor(t.level[std::size_t(g)]));
            }
        return map;
    }
    static HeightImage greyOf(const QImage& shot) {
        HeightImage out(shot.width(), shot.height());
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) out.grey()[std::size_t(y) * std::size_t(shot.width()) + std::size_t(x)] = std::uint8_t(qGray(shot.pixel(x, y)));
        return out;
    }
    int patches = 0;
};

/// Terraces with sharp steps, some of them above the ground level.
HeightImage terraces(int width, int height) {
    HeightImage map(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) map.setPixel(x, y, fcnGrayColor(90 + 40 * ((x / 13 + y / 11) % 4)));
    return map;
}

TEST_F(LivePreview, BlurAndContoursShowAsRedrawWouldMakeThem) {
    const HeightImage map = terraces(160, 120);
    const std::string path = writePair("terraces.bmp", map);
    open(path);
    ASSERT_EQ(picture()->scale(), 1.0);
    const std::string fileBefore = readFile(path);
    const auto timeBefore = std::filesystem::last_write_time(path);
    previewFlatten();
    click("chkAutoContLine");
    click("chkShowCoast");
    // Three changes in a row: the last setting is the one that shows.
    int before = patches;
    blurKeys({Qt::Key_End, Qt::Key_Right, Qt::Key_Right});
    ASSERT_EQ(child<QScrollBar>("hsbBlur")->value(), 44);
    waitForPatch(before);
    HeightImage expected = flattened(map, 40);
    blurPicture(expected, 44, {});
    const HeightImage lines = contourPicture(expected, s.glngGroundColor);
    ASSERT_NE(lines, expected) << "the map must have contour lines to show";
    // The contour display lies on top; the height display under it shows the blur.
    EXPECT_EQ(greyOf(picture()->picDispCL()->grab().toImage()), lines);
    EXPECT_EQ(greyOf(picture()->picDisp()->grab().toImage()), expected);
    EXPECT_EQ(*main->document().disp.image, map);
    EXPECT_EQ(readFile(path), fileBefore);
    EXPECT_EQ(std::filesystem::last_write_time(path), timeBefore);

    // A change of the passes shows its table at once, without the old blur.
    click("chkShowCoast");
    QTest::keyClick(child<QScrollBar>("vsbMountains"), Qt::Key_PageUp);
    EXPECT_EQ(greyOf(picture()->picDisp()->grab().toImage()), flattened(map, 20));
    before = patches;
    waitForPatch(before);
    HeightImage at20 = flattened(map, 20);
    blurPicture(at20, 44, {});
    EXPECT_EQ(greyOf(picture()->picDisp()->grab().toImage()), at20);

    // Redraw makes what the preview showed.
    click("cmdRedraw");
    EXPECT_EQ(*main->document().disp.image, at20);
}

TEST_F(LivePreview, FittedAtTheShownScaleAndExactAtOneToOne) {
    const HeightImage map = terraces(1600, 1100);
    open(writePair("wide.bmp", map));
    const double scale = picture()->scale();
    ASSERT_LT(scale, 0.8);
    previewFlatten();
    const HeightImage table = greyOf(picture()->picDisp()->grab().toImage());
    const int before = patches;
    blurKeys({Qt::Key_End});  // 48 at one to one
    waitForPatch(before);
    // The shown picture blurred with the spread scaled down with it.
    HeightImage expected = table;
    const int amount = int(std::lround(48 * scale * scale));
    ASSERT_GT(amount, 0);
    blurPicture(expected, amount, {});
    ASSERT_NE(expected, table);
    EXPECT_EQ(greyOf(picture()->picDisp()->grab().toImage()), expected);

    // One to one (Ctrl+1, about the middle): the part shown is exact, edges and all.
    const int atOne = patches;
    QTest::keyClick(main->windowHandle(), Qt::Key_1, Qt::ControlModifier);
    ASSERT_EQ(picture()->scale(), 1.0);
    waitForPatch(atOne);
    const QRect shown = picture()->picDisp()->visibleRegion().boundingRect();
    ASSERT_GT(shown.left(), 0);
    ASSERT_GT(shown.top(), 0);
    ASSERT_LT(shown.right(), map.width() - 1);
    HeightImage whole = flattened(map, 40);
    blurPicture(whole, 48, {});
    const QImage onScreen = picture()->picDisp()->grab(shown).toImage();
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            wrong += qGray(onScreen.pixel(x, y)) != (fcnGrayLevel(whole.pixel(shown.left() + x, shown.top() + y)) & 0xff);
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace morv::test
