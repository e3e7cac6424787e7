#include "ui/UiFixture.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QMouseEvent>

#include "io/Files.h"

namespace morv::test {

HeightImage rampImage(int width, int height) {
    HeightImage img(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) img.setPixel(x, y, fcnGrayColor(width > 1 ? x * 255 / (width - 1) : 0));
    return img;
}

void moveOver(QWidget* w, int x, int y) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

UiTest::UiTest() {
    main = std::make_unique<FrmMain>(t.app);
    main->statusWritten = [this](const std::string& text) { statuses.push_back(text); };
    main->show();
}

UiTest::~UiTest() {
    main.reset();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

std::string UiTest::writePair(const std::string& name, const HeightImage& height, const HeightImage* contour) {
    const std::string path = dir.file(name);
    const HeightImage white(height.width(), height.height(), 255);
    savePictureFiles({{&height, path}, {contour ? contour : &white, contourPathFor(path)}});
    return path;
}

void UiTest::open(const std::string& path) {
    prompter.fileNames.push_back(path);
    action("mnuFileOpen")->trigger();
}

std::string UiTest::openRamp(int width, int height, const std::string& name) {
    const std::string path = writePair(name, rampImage(width, height));
    open(path);
    return path;
}

HeightImage UiTest::flattenAndRedraw(int percent) {
    if (!child<QCheckBox>("chkFlatten")->isChecked()) click("chkFlatten");
    child<QScrollBar>("vsbMountains")->setValue(percent);
    click("cmdRedraw");
    return *main->document().disp.image;
}

void UiTest::click(const char* name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }

void UiTest::rightClick(const char* name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::RightButton); }

void UiTest::typeGroundLevel(const QString& text, bool pressEnter) {
    auto* box = child<QLineEdit>("txtGroundLevel");
    box->selectAll();
    QTest::keyClicks(box, text);
    if (pressEnter) {
        QTest::keyClick(box, Qt::Key_Return);
    } else {
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &leave);
    }
}

void UiTest::atYield(int n, std::function<void()> act) {
    yields = 0;
    main->afterYield = [this, n, act = std::move(act)] {
        if (++yields == n) act();
    };
}

void UiTest::activate() {
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
}

void UiTest::keyInPicture(Qt::Key key, Qt::KeyboardModifiers mods) {
    QTest::keyClick(picture()->findChild<QScrollArea*>(QStringLiteral("picScroll")), key, mods);
}

std::string UiTest::statusText() const { return child<QLabel>("lblStatusbar")->text().toStdString(); }

}  // namespace morv::test
