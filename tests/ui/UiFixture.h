#pragma once
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QString>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/ImageIO.h"
#include "support/TestSupport.h"
#include "ui/FrmMain.h"
#include "ui/FrmPicture.h"
#include "ui/PictureBox.h"

namespace morv::test {

/// A height map rising from level 0 at the left edge to 255 at the right.
HeightImage rampImage(int width, int height);

/// Sends a mouse move to w at (x, y) with no button down.
void moveOver(QWidget* w, int x, int y);

/// Runs act on the first modal window of type T shown from now on (while owner lives).
template <class T>
void onModal(std::function<void(T&)> act, QObject* owner = nullptr) {
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*w);
        }
    });
    poll->start(5);
}

/// The child of a window with that object name.
template <class T>
T* in(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << "no " << name;
    return found;
}
/// Clicks a button of a window with the left mouse button.
void clickIn(QWidget& window, const char* name);
/// Types text into a field of a window.
void typeIn(QWidget& window, const char* name, const std::string& text);
/// Replaces the text of the field with the focus by typing.
void retype(QWidget& dialog, const char* text);
/// Shows the dialog as the program would, waits until it has the focus, runs keys
/// and gives back how it ended (Accepted when the keys ended it by Enter).
int drive(QDialog& d, const std::function<void(QDialog&)>& keys);
/// Runs every event posted so far: returns when a zero timer posted behind them fires.
void settle();

/// The main window as a user meets it, with a scripted prompter answering its
/// message boxes and file dialogs, and a temporary folder for the maps.
class UiTest : public ::testing::Test {
protected:
    using Keys = std::function<void(QDialog&)>;
    UiTest();
    ~UiTest() override;
    /// A new main window, not shown yet, that records its status texts.
    void makeMain();
    /// A fresh main window, shown and active, reading the settings as they are now.
    void rebuild();
    /// Settings of this test only, in its own folder, empty at the start and the end.
    void ownSettings();

    /// The child widget or action of the main window with that object name.
    template <class T>
    T* child(const char* name) const {
        T* found = main->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << "no " << name;
        return found;
    }
    QAction* action(const char* name) const { return child<QAction>(name); }

    /// Writes a height map and its contour map (white, or the one given) into the
    /// temporary folder; returns the height map's path.
    std::string writePair(const std::string& name, const HeightImage& height, const HeightImage* contour = nullptr);
    /// File > Open choosing path in the dialog.
    void open(const std::string& path);
    /// Writes a ramp map of the given size and opens it.
    std::string openRamp(int width, int height, const std::string& name = "hills.bmp");
    /// Ticks Flatten Mountains, sets its bar and presses Redraw; returns the result.
    HeightImage flattenAndRedraw(int percent = 60);
    /// Clicks a control of the main window at its centre with the left mouse button.
    void click(const char* name);
    /// Clicks a check box of the main window with the right mouse button.
    void rightClick(const char* name);
    /// Types into the ground level box, then presses Enter or leaves the box.
    void typeGroundLevel(const QString& text, bool pressEnter = true);
    /// Runs act once, at the n-th time a running command yields to the interface;
    /// yields counts them all.
    void atYield(int n, std::function<void()> act);
    /// Makes the main window the active one, where window shortcuts work.
    void activate();
    /// A key pressed on the keyboard: it goes wherever the focus is.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
    /// Presses a key in a dialog, where its focus is; an Alt letter that presses a
    /// button returns once the button has clicked.
    static void press(QWidget& dialog, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
    /// Opens a menu of the active main window with its Alt letter and picks the entry with letter.
    void choose(Qt::Key menuKey, const char* menu, Qt::Key letter);
    /// Resizes the frame and waits until its resize handler has laid it out.
    void resizeFrame(QSize size);
    /// Presses a key, with modifiers, in the picture window.
    void keyInPicture(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
    /// The picture window, or null when none is open.
    FrmPicture* picture() const { return main->picture(); }
    /// The status bar's text now.
    std::string statusText() const;
    /// The last message box or dialog shown.
    const Shown& lastShown() const { return prompter.shown.back(); }

    TestApp t;
    ScriptedPrompter& prompter = t.prompter;
    Session& s = t.app.session;
    TempDir dir;
    std::unique_ptr<FrmMain> main;
    /// Every text written to the status bar, in order.
    std::vector<std::string> statuses;
    int yields = 0;
    bool settingsOwned = false;
};

}  // namespace morv::test
