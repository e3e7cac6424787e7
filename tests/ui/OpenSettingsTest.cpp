// Opening a height map (the picture window, the panels, the size warnings) and
// choosing what Redraw does: the mode boxes, their bars, Scale Up and the ground level.
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

using Open = UiTest;

TEST_F(Open, APairOpensTopLeftSizedToItFocusOnTheGroundLevel) {
    s.gstrImageFile = "/home/me/maps/Ridge.bmp";
    activate();
    const std::string path = openRamp(300, 200);
    EXPECT_EQ(prompter.shown.at(0).text, "/home/me/maps/Ridge.bmp");  // the dialog starts there
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(picture()->pos(), QPoint(0, 0));
    EXPECT_EQ(picture()->findChild<QScrollArea*>(QStringLiteral("picScroll"))->viewport()->size(), QSize(300, 200));
    EXPECT_EQ(picture()->windowTitle().toStdString(), path);
    EXPECT_TRUE(child<QWidget>("picMainToolbar")->isVisible());
    EXPECT_TRUE(child<QLineEdit>("txtGroundLevel")->hasFocus());
}

TEST_F(Open, OddSizedMapsAreWarnedAboutAndLargeOnesScroll) {
    for (auto [side, title] : {std::pair{145, "Image Size Mismatch"}, {512, "Image Not Scaled to BaseBoards"}, {1440, ""}}) {
        prompter.shown.clear();
        if (*title) prompter.answers.push_back(mb::OK);
        openRamp(side, side, "map" + std::to_string(side) + ".bmp");
        ASSERT_NE(picture(), nullptr);
        EXPECT_EQ(prompter.shown.size(), *title ? 2u : 1u) << side;
        EXPECT_EQ(lastShown().kind == "msgBox" ? lastShown().title : "", title) << side;
    }
    EXPECT_LE(picture()->width(), main->findChild<QMdiArea*>(QStringLiteral("mdiArea"))->viewport()->width());
    // Larger than the window: it opens fitted, and Ctrl+1 shows it one to one, scrolling.
    EXPECT_LT(picture()->scale(), 1.0);
    EXPECT_DOUBLE_EQ(picture()->scale(), picture()->fitScale());
    EXPECT_EQ(statusText().rfind("Scale: ", 0), 0u) << statusText();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(picture()->picDisp()->size(), QSize(1440, 1440));
}

TEST_F(Open, AMissingContourMapIsAskedAboutFirst) {
    const std::string path = dir.file("alone.bmp");
    savePictureFile(rampImage(16, 8), path);
    prompter.answers.push_back(mb::No);
    open(path);
    EXPECT_EQ(lastShown().title, "FILE NOT FOUND");
    EXPECT_EQ(lastShown().style, 36);
    EXPECT_EQ(picture(), nullptr);
    EXPECT_FALSE(child<QWidget>("picMainToolbar")->isVisible());
    prompter.answers.push_back(mb::Yes);
    open(path);
    ASSERT_NE(picture(), nullptr);
    EXPECT_TRUE(main->document().dispCL.image->empty());
}

class Settings : public UiTest {
protected:
    Settings() { openRamp(32, 16); }
    QString caption(const char* box) const { return child<QCheckBox>(box)->text(); }
    QString tag(const char* widget) const { return child<QWidget>(widget)->property("Tag").toString(); }
    QScrollBar* bar(const char* name) const { return child<QScrollBar>(name); }
};

TEST_F(Settings, RightClickTogglesTheModeAndLeftClickTicks) {
    EXPECT_EQ(caption("chkFlatten"), QStringLiteral("Flatten &Mountains"));
    rightClick("chkFlatten");
    EXPECT_EQ(caption("chkFlatten"), QStringLiteral("Lower Mountains by 0%"));
    EXPECT_EQ(tag("chkFlatten"), QStringLiteral("Lower"));
    rightClick("chkFill");
    EXPECT_EQ(caption("chkFill"), QStringLiteral("Invert Valleys by 100%"));
    EXPECT_FALSE(child<QCheckBox>("chkFlatten")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("chkFill")->isChecked());
    click("chkFlatten");
    EXPECT_TRUE(child<QCheckBox>("chkFlatten")->isChecked());
    EXPECT_EQ(tag("chkFlatten"), QStringLiteral("Lower"));
    rightClick("chkFlatten");
    EXPECT_EQ(caption("chkFlatten"), QStringLiteral("Flatten Mountains by 0%"));
    EXPECT_EQ(tag("chkFlatten"), QStringLiteral("Flatten"));
    rightClick("chkFill");
    EXPECT_EQ(caption("chkFill"), QStringLiteral("Fill in Valleys by 100%"));
}

TEST_F(Settings, TheMountainsBarDraggedAndReleasedAndAt100) {
    bar("vsbMountains")->setSliderDown(true);
    bar("vsbMountains")->setSliderPosition(40);
    EXPECT_EQ(caption("chkFlatten"), QStringLiteral("Flatten Mountains by 40%"));
    EXPECT_EQ(s.gsngMountainFactor, 0.0f);
    bar("vsbMountains")->setSliderDown(false);
    EXPECT_EQ(s.gsngMountainFactor, 0.4f);
    // Both bars at 100 in Fill mode would leave no terrain.
    prompter.answers.push_back(mb::OK);
    bar("vsbMountains")->setValue(100);
    EXPECT_EQ(lastShown().title, "No Terrain");
    EXPECT_EQ(lastShown().text, "This setting will render completely flat terrain.");
    const size_t shown = prompter.shown.size();
    rightClick("chkFill");  // Invert mode: no warning
    bar("vsbValleys")->setValue(95);
    bar("vsbValleys")->setValue(100);
    EXPECT_EQ(prompter.shown.size(), shown);
}

TEST_F(Settings, ScaleUpAndBlurShowTheirState) {
    for (bool on : {true, false}) {
        click("cmdScale");
        EXPECT_EQ(tag("cmdScale"), on ? QStringLiteral("True") : QStringLiteral("False"));
        EXPECT_EQ(child<QPushButton>("cmdScale")->font().bold(), on);
    }
    EXPECT_EQ(caption("chkBlur"), QStringLiteral("Apply &Blur Effect - 0"));
    for (int level : {2, 0}) {
        bar("hsbBlur")->setValue(level);
        EXPECT_EQ(caption("chkBlur"), QStringLiteral("Apply Blur Effect - %1").arg(level));
        EXPECT_EQ(child<QCheckBox>("chkBlur")->isChecked(), level > 0);
    }
}

TEST_F(Settings, TheGroundLevelBoxTakesWholeNumbersAndReportsTheRest) {
    struct Row { const char* typed; bool enter; int level; const char* shown; };  // shown: the box afterwards, or null
    for (const Row& row : {Row{" 64 ", false, 64, "64"}, {"64.5", true, 64, nullptr}, {"65.5", true, 66, nullptr},
                           {"64", true, 64, "64"}, {"064", true, 64, "064"}}) {
        typeGroundLevel(QString::fromUtf8(row.typed), row.enter);
        EXPECT_EQ(s.gintGroundLevel, row.level) << row.typed;
        EXPECT_EQ(bar("vsbGroundLevel")->value(), row.level) << row.typed;
        if (row.shown) {
            EXPECT_EQ(child<QLineEdit>("txtGroundLevel")->text(), QString::fromUtf8(row.shown)) << row.typed;
        }
    }
    for (auto [typed, error] : {std::pair{"300", "Encountered Err#380\r"}, {"abc", "Encountered Err#13\r"}}) {
        prompter.answers.push_back(mb::Ignore);
        typeGroundLevel(QString::fromUtf8(typed));
        EXPECT_EQ(lastShown().title, "Morv: RUNTIME ERROR");
        EXPECT_EQ(lastShown().style, 274);
        EXPECT_EQ(lastShown().text.rfind(error, 0), 0u) << lastShown().text;
        EXPECT_EQ(s.gintGroundLevel, 64);
    }
    EXPECT_NE(lastShown().text.find("Routine: |frmMain.txtGroundLevel_KeyPress\r"), std::string::npos);
}

}  // namespace
}  // namespace morv::test
