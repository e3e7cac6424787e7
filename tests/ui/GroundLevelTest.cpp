// Setting the ground level by typing it, and showing the contours.
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>

#include "ui/PictureBox.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class GroundLevel : public UiTest {
protected:
    GroundLevel() { openRamp(32, 16); }
    QLineEdit* box() const { return child<QLineEdit>("txtGroundLevel"); }
    QScrollBar* bar() const { return child<QScrollBar>("vsbGroundLevel"); }
};

TEST_F(GroundLevel, TypingALevelAndEnterSetsBarLevelAndColour) {
    typeGroundLevel(QStringLiteral("64"));
    EXPECT_EQ(bar()->value(), 64);
    EXPECT_EQ(s.gintGroundLevel, 64);
    EXPECT_EQ(s.glngGroundColor, 0x404040);
    EXPECT_EQ(box()->text(), QStringLiteral("64"));
}

TEST_F(GroundLevel, LeavingTheBoxAppliesTheTypedLevelInNormalForm) {
    typeGroundLevel(QStringLiteral(" 64 "), false);
    EXPECT_EQ(s.gintGroundLevel, 64);
    EXPECT_EQ(box()->text(), QStringLiteral("64"));
}

TEST_F(GroundLevel, FractionsRoundHalfToEven) {
    typeGroundLevel(QStringLiteral("64.5"));
    EXPECT_EQ(s.gintGroundLevel, 64);
    typeGroundLevel(QStringLiteral("65.5"));
    EXPECT_EQ(s.gintGroundLevel, 66);
}

TEST_F(GroundLevel, TheSameLevelTypedDifferentlyStaysAsTyped) {
    typeGroundLevel(QStringLiteral("64"));
    typeGroundLevel(QStringLiteral("064"));
    EXPECT_EQ(box()->text(), QStringLiteral("064"));
    EXPECT_EQ(s.gintGroundLevel, 64);
}

TEST_F(GroundLevel, ALevelOutsideTheBarIsReportedAndIgnoredLeavesTheLevel) {
    prompter.answers.push_back(mb::Ignore);
    typeGroundLevel(QStringLiteral("300"));
    ASSERT_EQ(prompter.shown.size(), 2u);
    const Shown& box = prompter.shown[1];
    EXPECT_EQ(box.title, "Morv: RUNTIME ERROR");
    EXPECT_EQ(box.style, 274);
    EXPECT_EQ(box.text.rfind("Encountered Err#380\r", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("Routine: |frmMain.txtGroundLevel_KeyPress\r"), std::string::npos) << box.text;
    EXPECT_EQ(s.gintGroundLevel, 128);
    EXPECT_EQ(bar()->value(), 128);
    EXPECT_EQ(this->box()->text(), QStringLiteral("300"));
}

TEST_F(GroundLevel, TextThatIsNoNumberIsATypeMismatchAndRetryAsksAgain) {
    prompter.answers = {mb::Retry, mb::Ignore};
    typeGroundLevel(QStringLiteral("abc"), false);
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(prompter.shown[1].text.rfind("Encountered Err#13\r", 0), 0u);
    EXPECT_EQ(prompter.shown[2].text.rfind("Encountered Err#13\r", 0), 0u);
    EXPECT_EQ(s.gintGroundLevel, 128);
}

TEST_F(GroundLevel, ShowContoursShowsAndHidesTheContourDisplay) {
    click("chkShowCoast");
    EXPECT_TRUE(picture()->picDispCL()->isVisible());
    click("chkShowCoast");
    EXPECT_FALSE(picture()->picDispCL()->isVisible());
}

}  // namespace
}  // namespace morv::test
