// Redrawing: progress after each column, the busy interface, cancelling with Esc.
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "engine/ImageIO.h"
#include "ui/PictureBox.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class Redraw : public UiTest {
protected:
    Redraw() { path = openRamp(100, 50); }
    void pressEscInPicture() {
        QTest::keyClick(picture()->findChild<QScrollArea*>(QStringLiteral("picScroll")), Qt::Key_Escape);
    }
    bool seen(const std::string& text) const { return std::find(statuses.begin(), statuses.end(), text) != statuses.end(); }
    std::string path;
};

TEST_F(Redraw, FlatteningReportsEachColumnAndNamesTheResult) {
    click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(50);
    statuses.clear();
    click("cmdRedraw");
    EXPECT_TRUE(seen("WORKING... Flattening Mountains 50% - 1%"));
    EXPECT_TRUE(seen("WORKING... Flattening Mountains 50% - 50%"));
    EXPECT_TRUE(seen("WORKING... Flattening Mountains 50% - 100%"));
    EXPECT_TRUE(seen("WORKING... Getting Highest & Lowest Colors 100%"));
    EXPECT_EQ(statuses.front(), "WORKING... Flattening Mountains 50% - 1%");
    EXPECT_EQ(statusText(), "");
    const std::string name = path.substr(0, path.size() - 4) + "_100x50_MF-50_B-0.bmp";
    EXPECT_EQ(picture()->windowTitle().toStdString(), "Morv: " + name);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_LT(s.gintCurHighColor, 255);
    EXPECT_NE(*main->document().disp.image, rampImage(100, 50));
}

TEST_F(Redraw, WhileWorkingTheToolsAreOffAndThePointerWaits) {
    click("chkFill");
    int yields = 0;
    bool toolsOff = true, waiting = true, menusOff = true, saveKept = true;
    main->afterYield = [&] {
        ++yields;
        toolsOff = toolsOff && !child<QWidget>("picMainToolbar")->isEnabled() && !child<QWidget>("picScrollToolbar")->isEnabled();
        menusOff = menusOff && !child<QMenu>("mnuFile")->menuAction()->isEnabled() && !action("mnuAbout")->isEnabled();
        saveKept = saveKept && !action("mnuFileSave")->isEnabled();
        if (yields > 1) waiting = waiting && QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    };
    click("cmdRedraw");
    EXPECT_GT(yields, 100);
    EXPECT_TRUE(toolsOff);
    EXPECT_TRUE(menusOff);
    EXPECT_TRUE(waiting);
    EXPECT_TRUE(saveKept);
    EXPECT_TRUE(child<QWidget>("picMainToolbar")->isEnabled());
    EXPECT_TRUE(child<QMenu>("mnuFile")->menuAction()->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(s.gblnBusy || s.gblnDrawing);
}

TEST_F(Redraw, EscAnsweredYesStopsAndRestoresTheFile) {
    click("chkFlatten");
    click("chkFill");
    int yields = 0;
    main->afterYield = [&] {
        if (++yields == 30) {
            prompter.answers.push_back(mb::Yes);
            pressEscInPicture();
        }
    };
    const QString caption = picture()->windowTitle();
    click("cmdRedraw");
    ASSERT_EQ(prompter.shown.back().title, "Cancel Drawing");
    EXPECT_EQ(prompter.shown.back().text, "Do you want to cancel this process?");
    EXPECT_EQ(prompter.shown.back().style, 36);
    EXPECT_LT(yields, 40);
    EXPECT_EQ(*main->document().disp.image, rampImage(100, 50));
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(picture()->windowTitle(), caption);
    EXPECT_FALSE(s.gblnCancel);
    EXPECT_EQ(statusText(), "");
}

TEST_F(Redraw, EscAnsweredNoLetsTheRedrawFinish) {
    click("chkFlatten");
    int yields = 0;
    main->afterYield = [&] {
        if (++yields == 5) {
            prompter.answers.push_back(mb::No);
            pressEscInPicture();
        }
    };
    click("cmdRedraw");
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
}

TEST_F(Redraw, WithNoTaskItSaysSoAndChangesNothing) {
    child<QScrollBar>("hsbBlur")->setValue(4);
    prompter.answers.push_back(mb::OK);
    click("cmdRedraw");
    EXPECT_EQ(prompter.shown.back().title, "No Task Selected");
    EXPECT_EQ(prompter.shown.back().text, "You don't have any draw options selected.");
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
    EXPECT_TRUE(child<QWidget>("picMainToolbar")->isEnabled());
}

TEST_F(Redraw, TwoRedrawsInARowGiveTheSameImage) {
    click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(50);
    click("cmdRedraw");
    const HeightImage first = *main->document().disp.image;
    click("cmdRedraw");
    EXPECT_EQ(*main->document().disp.image, first);
}

TEST_F(Redraw, TheWindowShowsEachCommitWithOneCopy) {
    click("chkFlatten");
    prompter.answers.push_back(mb::OK);  // both bars at 100: "No Terrain"
    child<QScrollBar>("vsbMountains")->setValue(100);
    const int before = picture()->picDisp()->copiesMade();
    click("cmdRedraw");
    const int copies = picture()->picDisp()->copiesMade() - before;
    EXPECT_GE(copies, 1);
    EXPECT_LE(copies, 3);  // the reload, the pass's commit, the final commit
    const QImage& shown = picture()->picDisp()->shownImage();
    for (int x : {0, 50, 99}) EXPECT_EQ(qGray(shown.pixel(x, 0)), fcnGrayLevel(main->document().disp.image->pixel(x, 0))) << x;
    EXPECT_EQ(qGray(shown.pixel(99, 0)), 128);
}

}  // namespace
}  // namespace morv::test
