// The main window on small and scaled screens. ctest also runs these on a
// 1366 x 768 screen and on a 1600 x 1000 one at scale 2 (MORV_EXPECT_SCREEN names
// the screen in device pixels, so a screen set-up the platform ignored fails).
#include <QAbstractButton>
#include <QScreen>

#include "ui/UiFixture.h"

namespace morv::test {
namespace {

using ScreenFit = UiTest;

TEST_F(ScreenFit, TheFrameFitsTheScreenAndEveryControlStaysWholeAndInReach) {
    QScreen* screen = main->screen();
    ASSERT_NE(screen, nullptr);
    const QString expected = qEnvironmentVariable("MORV_EXPECT_SCREEN");
    const QSize device = screen->geometry().size() * screen->devicePixelRatio();
    if (!expected.isEmpty()) {
        EXPECT_EQ(QStringLiteral("%1x%2").arg(device.width()).arg(device.height()), expected);
    }
    const QSize room = screen->availableGeometry().size();
    openRamp(400, 300);
    // As small as a user can drag it, then as large as the screen.
    for (const QSize asked : {QSize(100, 100), room}) {
        resizeFrame(asked);
        EXPECT_LE(main->width(), room.width());
        EXPECT_LE(main->height(), room.height());
        EXPECT_LE(main->minimumSize().width(), room.width());
        EXPECT_LE(main->minimumSize().height(), room.height());
        QWidget* toolbar = child<QWidget>("picMainToolbar");
        QList<QWidget*> controls;
        for (QWidget* w : toolbar->findChildren<QWidget*>())
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QScrollBar*>(w)) controls << w;
        for (QWidget* w : child<QWidget>("picScrollToolbar")->findChildren<QScrollBar*>()) controls << w;
        ASSERT_GE(controls.size(), 16);
        const QRect frame = main->rect();
        for (QWidget* w : controls) {
            if (!w->isVisible()) continue;
            const QRect at(w->mapTo(main.get(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(frame.contains(at)) << w->objectName().toStdString() << " at " << at.x() << "," << at.y() << " "
                                            << at.width() << "x" << at.height();
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
            // Nothing lies under the document area or the status bar.
            EXPECT_LE(at.bottom(), child<QWidget>("picStatusbar")->mapTo(main.get(), QPoint(0, 0)).y()) << w->objectName().toStdString();
        }
        EXPECT_GT(main->findChild<QMdiArea*>()->height(), 100);
    }
}

}  // namespace
}  // namespace morv::test
