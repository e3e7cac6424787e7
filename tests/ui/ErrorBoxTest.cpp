// The runtime error message as a user meets it (its buttons, Esc, its close
// control), and the errors that end the program: in programmer mode, and a trace
// log that cannot be written.
#include <QMessageBox>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ui/MorvApplication.h"
#include "ui/QtPrompter.h"
#include "ui/UiFixture.h"

namespace morv::test {
namespace {

class ErrorBox : public UiTest {
protected:
    ErrorBox() {
        activate();
        real.setParent(main.get());
    }
    ~ErrorBox() override { t.app.prompter = &prompter; }
    /// From now on the real message boxes answer.
    void useRealBoxes() { t.app.prompter = &real; }
    /// Types text into the ground level box after clicking into it.
    void typeIntoLevelBox(const QString& text) {
        QTest::mouseClick(child<QWidget>("txtGroundLevel"), Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    /// Runs act on the first message box shown from now on.
    void onBox(std::function<void(QMessageBox&)> act) { onModal<QMessageBox>(std::move(act), main.get()); }
    QtPrompter real;
};

/// The captions of a box's buttons from left to right.
QStringList captionsLeftToRight(const QMessageBox& box) {
    QList<QAbstractButton*> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList captions;
    for (QAbstractButton* b : buttons) captions << b->text();
    return captions;
}

TEST_F(ErrorBox, EscAndTheCloseControlLeaveItOpenAndItsLettersAnswer) {
    openRamp(48, 24);
    const HeightImage result = flattenAndRedraw();
    useRealBoxes();
    typeIntoLevelBox(QStringLiteral("12o"));
    QStringList captions;
    QString byDefault, title;
    bool openAfterEsc = false, openAfterClose = false;
    onBox([&](QMessageBox& box) {
        captions = captionsLeftToRight(box);
        byDefault = box.defaultButton() ? box.defaultButton()->text() : QString();
        title = box.windowTitle();
        QTest::keyClick(&box, Qt::Key_Escape);
        QCoreApplication::processEvents();
        openAfterEsc = box.isVisible();
        box.close();
        QCoreApplication::processEvents();
        openAfterClose = box.isVisible();
        QTest::keyClick(&box, Qt::Key_I);
    });
    QTest::keyClick(QApplication::activeWindow()->windowHandle(), Qt::Key_Tab);
    EXPECT_EQ(title, "Morv: RUNTIME ERROR");
    EXPECT_EQ(captions, QStringList({"&Abort", "&Retry", "&Ignore"}));
    EXPECT_EQ(byDefault, "&Retry");
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(openAfterClose);
    // Ignored: the program and the unsaved result are still there, the level unchanged.
    ASSERT_NE(picture(), nullptr);
    EXPECT_EQ(*main->document().disp.image, result);
    EXPECT_TRUE(action("mnuFileSave")->isEnabled());
    EXPECT_EQ(s.gintGroundLevel, 128);
}

TEST_F(ErrorBox, RedrawComesBackUpAfterTheBoxThatLeavingTheLevelBoxRaised) {
    openRamp(48, 24);
    useRealBoxes();
    auto* redraw = child<QPushButton>("cmdRedraw");
    redraw->setFocus();
    QTest::mouseMove(redraw);
    ASSERT_TRUE(QTest::qWaitFor([&] { return redraw->underMouse(); }, 5000));
    const QImage normal = redraw->grab().toImage();
    typeIntoLevelBox(QStringLiteral("12o"));
    // The user's release of the click on Redraw lands on the box's Ignore.
    onBox([](QMessageBox& box) {
        for (QAbstractButton* b : box.buttons())
            if (b->text() == QStringLiteral("&Ignore")) QTest::mouseClick(b, Qt::LeftButton);
    });
    QTest::mousePress(redraw, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !redraw->isDown(); }, 5000));
    EXPECT_EQ(redraw->grab().toImage(), normal);
}

TEST_F(ErrorBox, InProgrammerModeAnErrorEndsTheProgramWithItsReport) {
    const std::string path = openRamp(48, 24);
    click("chkFlatten");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A child process runs the Redraw; the file it re-reads has become unreadable.
    EXPECT_EXIT(
        {
            static_cast<MorvApplication*>(QCoreApplication::instance())->setApp(&t.app);
            s.gblnProgrammerMode = true;
            useRealBoxes();
            std::ofstream(path, std::ios::binary | std::ios::trunc) << "BM this is no picture";
            onBox([](QMessageBox& box) {
                QString text = box.text();
                text.replace(QLatin1Char('\n'), QLatin1Char('/'));
                std::fprintf(stderr, "box %s: %s\n", qPrintable(box.windowTitle()), qPrintable(text));
                box.buttons().front()->click();
            });
            QTest::mouseClick(child<QWidget>("cmdRedraw"), Qt::LeftButton);
            std::fprintf(stderr, "the program went on\n");
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1),
        // The report on standard error comes first, then the box (the toolkit may
        // say something of its own in between).
        "morv: run-time error 481: Invalid picture: [^\n]*\n"
        "morv: routine: [|]frmMain[.]cmdRedraw_Click\n.*"
        "box Morv: RUNTIME ERROR: Encountered Err#481/Invalid picture: [^\n]*//Routine: [|]frmMain[.]cmdRedraw_Click/\n");
}

TEST(LogFolder, ALogThatCannotBeWrittenIsReportedOnStandardErrorThenInABox) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("Morv.log"));  // where the log would go stands a folder
    QProcess morv;
    morv.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    morv.setProcessEnvironment(env);
    morv.start(QStringLiteral(MORV_GUI_PATH), {QStringLiteral("/LOG")});
    ASSERT_TRUE(morv.waitForStarted());
    QByteArray err;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        morv.waitForReadyRead(20);
        err += morv.readAllStandardError();
        return err.contains("morv: routine:");
    }, 10000)) << err.toStdString();
    EXPECT_TRUE(err.contains("morv: run-time error 75: Path/File access error: Morv.log")) << err.toStdString();
    // The box names the routine that opens the log, as standard error does.
    EXPECT_TRUE(err.contains("morv: routine: frmSplash.Form_Load\n")) << err.toStdString();
    // The report is out; the program now waits for its box to be answered.
    EXPECT_EQ(morv.state(), QProcess::Running);
    morv.kill();
    morv.waitForFinished();
}

}  // namespace
}  // namespace morv::test
