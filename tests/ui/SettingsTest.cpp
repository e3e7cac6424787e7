// Choosing what Redraw does: the mode boxes, their bars and Scale Up.
#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>

#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class Settings : public UiTest {
protected:
    Settings() { openRamp(32, 16); }
    QCheckBox* flatten() const { return child<QCheckBox>("chkFlatten"); }
    QCheckBox* fill() const { return child<QCheckBox>("chkFill"); }
};

TEST_F(Settings, RightClickTogglesFlattenAndLowerWithoutTicking) {
    EXPECT_EQ(flatten()->text(), QStringLiteral("Flatten &Mountains"));
    rightClick("chkFlatten");
    EXPECT_EQ(flatten()->text(), QStringLiteral("Lower Mountains by 0%"));
    EXPECT_EQ(flatten()->property("Tag").toString(), QStringLiteral("Lower"));
    EXPECT_FALSE(flatten()->isChecked());
    rightClick("chkFlatten");
    EXPECT_EQ(flatten()->text(), QStringLiteral("Flatten Mountains by 0%"));
    EXPECT_EQ(flatten()->property("Tag").toString(), QStringLiteral("Flatten"));
}

TEST_F(Settings, RightClickTogglesFillAndInvertAtTheValleysBar) {
    rightClick("chkFill");
    EXPECT_EQ(fill()->text(), QStringLiteral("Invert Valleys by 100%"));
    rightClick("chkFill");
    EXPECT_EQ(fill()->text(), QStringLiteral("Fill in Valleys by 100%"));
    EXPECT_FALSE(fill()->isChecked());
}

TEST_F(Settings, ALeftClickTicksButKeepsTheMode) {
    rightClick("chkFlatten");
    click("chkFlatten");
    EXPECT_TRUE(flatten()->isChecked());
    EXPECT_EQ(flatten()->property("Tag").toString(), QStringLiteral("Lower"));
    click("chkFill");
    EXPECT_TRUE(fill()->isChecked());
    EXPECT_EQ(fill()->text(), QStringLiteral("Fill in &Valleys"));
}

TEST_F(Settings, MovingTheBarsRewritesCaptionsAndFractions) {
    child<QScrollBar>("vsbMountains")->setValue(29);
    EXPECT_EQ(flatten()->text(), QStringLiteral("Flatten Mountains by 29%"));
    EXPECT_EQ(s.gsngMountainFactor, 0.29f);
    child<QScrollBar>("vsbValleys")->setValue(35);
    EXPECT_EQ(fill()->text(), QStringLiteral("Fill in Valleys by 35%"));
    EXPECT_DOUBLE_EQ(s.gdblValleyFactor, 0.35);
}

TEST_F(Settings, DraggingTheMountainsBarChangesTheCaptionNotTheFraction) {
    auto* bar = child<QScrollBar>("vsbMountains");
    bar->setSliderDown(true);
    bar->setSliderPosition(40);
    EXPECT_EQ(flatten()->text(), QStringLiteral("Flatten Mountains by 40%"));
    EXPECT_EQ(s.gsngMountainFactor, 0.0f);
    bar->setSliderDown(false);
    EXPECT_EQ(s.gsngMountainFactor, 0.4f);
}

TEST_F(Settings, BothBarsAt100InFillModeWarnOfFlatTerrain) {
    prompter.answers.push_back(mb::OK);
    child<QScrollBar>("vsbMountains")->setValue(100);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].title, "No Terrain");
    EXPECT_EQ(prompter.shown[1].text, "This setting will render completely flat terrain.");
    EXPECT_EQ(prompter.shown[1].style, 64);
    rightClick("chkFill");
    child<QScrollBar>("vsbValleys")->setValue(95);
    child<QScrollBar>("vsbValleys")->setValue(100);
    EXPECT_EQ(prompter.shown.size(), 2u);
}

TEST_F(Settings, ScaleUpTogglesItsTagAndBoldCaption) {
    auto* scale = child<QPushButton>("cmdScale");
    click("cmdScale");
    EXPECT_EQ(scale->property("Tag").toString(), QStringLiteral("True"));
    EXPECT_TRUE(scale->font().bold());
    EXPECT_TRUE(s.gblnScaleUp);
    click("cmdScale");
    EXPECT_EQ(scale->property("Tag").toString(), QStringLiteral("False"));
    EXPECT_FALSE(scale->font().bold());
    EXPECT_FALSE(s.gblnScaleUp);
}

TEST_F(Settings, TheBlurBarTicksItsBoxAndWritesItsCaption) {
    auto* bar = child<QScrollBar>("hsbBlur");
    auto* box = child<QCheckBox>("chkBlur");
    EXPECT_EQ(box->text(), QStringLiteral("Apply &Blur Effect - 0"));
    bar->setValue(2);
    EXPECT_EQ(box->text(), QStringLiteral("Apply Blur Effect - 2"));
    EXPECT_TRUE(box->isChecked());
    bar->setValue(0);
    EXPECT_EQ(box->text(), QStringLiteral("Apply Blur Effect - 0"));
    EXPECT_FALSE(box->isChecked());
}

}  // namespace
}  // namespace morv::test
