// Redrawing: progress after each column, the busy interface, cancelling with Esc.

#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/RuntimeError.h"
#include "engine/Passes.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class Redraw : public UiTest {
protected:
    Redraw() { path = openRamp(100, 50); }
    std::string path;
};

TEST_F(Redraw, ReportsEachColumnWithTheToolsOffThenShowsAndNamesTheResult) {
    click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(50);
    statuses.clear();
    bool busyLooksBusy = true;
    main->afterYield = [&] {
        ++yields;
        busyLooksBusy = busyLooksBusy && !child<QWidget>("picMainToolbar")->isEnabled() &&
                        !child<QWidget>("picScrollToolbar")->isEnabled() && !action("mnuAbout")->isEnabled() &&
                        !child<QMenu>("mnuFile")->menuAction()->isEnabled() &&
                        (yields < 2 || (QApplication::overrideCursor() &&
                                         QApplication::overrideCursor()->shape() == Qt::WaitCursor));
    };
    const int copiesBefore = picture()->picDisp()->copiesMade();
    click("cmdRedraw");
    EXPECT_GT(yields, 100);
    EXPECT_TRUE(busyLooksBusy);
    for (const char* column : {"1%", "50%", "100%"})
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), std::string("WORKING... Flattening Mountains 50% - ") + column),
                  statuses.end()) << column;
    EXPECT_EQ(statusText(), "");
    EXPECT_EQ(picture()->windowTitle().toStdString(), "Morv: " + path.substr(0, path.size() - 4) + "_100x50_MF-50_B-0.bmp");
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_TRUE(child<QWidget>("picMainToolbar")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The window shows each commit with one copy: the reload, the pass and the end.
    EXPECT_LE(picture()->picDisp()->copiesMade() - copiesBefore, 3);
    EXPECT_EQ(qGray(picture()->picDisp()->shownImage().pixel(99, 0)), fcnGrayLevel(main->document().disp.image->pixel(99, 0)));
}

TEST_F(Redraw, TheRereadShowsTheOldMapWithoutHoldingItTwice) {
    const HeightImage first = flattenAndRedraw(50);  // unlike the file now
    const QImage shownBefore = picture()->picDisp()->grab().toImage();
    const std::weak_ptr<HeightImage> old = main->document().disp.image;
    // The read waits until the test has looked at the window.
    std::mutex m;
    std::condition_variable cv;
    bool letGo = false, failRead = false;
    const auto read = main->readPictureFile;
    main->readPictureFile = [&, read](const std::string& p) -> std::shared_ptr<HeightImage> {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return letGo; });
        if (failRead) throw RuntimeError(53, "File not found");
        return read(p);
    };
    bool oldGone = false;
    QImage shownWhileReading;
    main->whileReading = [&] {
        if (letGo) return;
        oldGone = old.expired();
        shownWhileReading = picture()->picDisp()->grab().toImage();
        const std::lock_guard lock(m);
        letGo = true;
        cv.notify_all();
    };
    click("cmdRedraw");
    EXPECT_TRUE(oldGone) << "the old map is still held while the file is read";
    EXPECT_EQ(shownWhileReading, shownBefore);
    EXPECT_EQ(*main->document().disp.image, first);

    // A read that fails puts the map back: ignored, the passes run on it again.
    letGo = false;
    failRead = true;
    prompter.answers.push_back(mb::Ignore);
    click("cmdRedraw");
    EXPECT_EQ(lastShown().style & 15, mb::AbortRetryIgnore);
    const PassTable flatten = flattenTable(128, mountainFactorFromBar(50));
    const HeightImage& now = *main->document().disp.image;
    ASSERT_EQ(now.width(), first.width());
    ASSERT_EQ(now.height(), first.height());
    for (int x = 0; x < first.width(); x += 9) {
        const int g = fcnGrayLevel(first.pixel(x, 7)) & 0xff;
        EXPECT_EQ(fcnGrayLevel(now.pixel(x, 7)), g > 128 ? flatten.level[std::size_t(g)] : g) << x;
    }
}

TEST_F(Redraw, WithNoTaskItSaysSoAndChangesNothing) {
    child<QScrollBar>("hsbBlur")->setValue(4);
    prompter.answers.push_back(mb::OK);
    click("cmdRedraw");
    EXPECT_EQ(lastShown().title, "No Task Selected");
    EXPECT_FALSE(action("mnuFileSave")->isEnabled());
}

}  // namespace
}  // namespace morv::test
