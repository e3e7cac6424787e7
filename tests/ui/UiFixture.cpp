#include "ui/UiFixture.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QSettings>
#include <algorithm>

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

void clickIn(QWidget& window, const char* name) { QTest::mouseClick(in<QAbstractButton>(window, name), Qt::LeftButton); }

void typeIn(QWidget& window, const char* name, const std::string& text) {
    QTest::keyClicks(in<QWidget>(window, name), QString::fromStdString(text));
}

void UiTest::press(QWidget& dialog, Qt::Key key, Qt::KeyboardModifiers mods) {
    QTest::keyClick(dialog.windowHandle(), key, mods);
    // A button's Alt letter shows it pressed for a moment before it clicks.
    const auto buttons = dialog.findChildren<QAbstractButton*>();
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::none_of(buttons.begin(), buttons.end(), [](auto* b) { return b->isDown(); }); }, 5000));
}

void retype(QWidget& dialog, const char* text) {
    QTest::keyClick(dialog.focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Backspace);
    QTest::keyClicks(dialog.focusWidget(), QString::fromUtf8(text));
}

int drive(QDialog& d, const std::function<void(QDialog&)>& keys) {
    d.show();
    d.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
    keys(d);
    const int result = d.isVisible() ? QDialog::Rejected : d.result();
    d.hide();
    return result;
}

void settle() {
    bool reached = false;
    QTimer::singleShot(0, qApp, [&] { reached = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return reached; }, 5000));
}

UiTest::UiTest() {
    makeMain();
    main->show();
}

void UiTest::makeMain() {
    main = std::make_unique<FrmMain>(t.app);
    main->statusWritten = [this](const std::string& text) { statuses.push_back(text); };
}

UiTest::~UiTest() {
    main.reset();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    if (settingsOwned) QSettings().clear();
}

void UiTest::rebuild() {
    main.reset();
    makeMain();
    main->show();
    activate();
}

void UiTest::ownSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.file("config")));
    QSettings().clear();
    settingsOwned = true;
}

void UiTest::press(Qt::Key key, Qt::KeyboardModifiers mods) {
    QWidget* active = QApplication::activeWindow();
    ASSERT_NE(active, nullptr);
    QTest::keyClick(active->windowHandle(), key, mods);
}

void UiTest::choose(Qt::Key menuKey, const char* menu, Qt::Key letter) {
    activate();
    press(menuKey, Qt::AltModifier);
    QMenu* m = child<QMenu>(menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m->isVisible(); }, 5000)) << menu;
    QTest::keyClick(m, letter);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m->isVisible(); }, 5000)) << menu;
}

void UiTest::resizeFrame(QSize size) {
    main->resize(size);
    QCoreApplication::processEvents();
    auto* layout = child<QTimer>("tmrResize");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !layout->isActive(); }, 5000));
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

void UiTest::click(const char* name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }

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
