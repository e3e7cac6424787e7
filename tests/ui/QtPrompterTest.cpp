// The real message boxes and file dialog filters, answered by a user.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "core/Session.h"
#include "ui/QtPrompter.h"

namespace morv {
namespace {

/// Shows a box of the given style and lets a user act on it once it is up.
int answerBox(int style, const std::function<void(QMessageBox&)>& user, std::string text = "Question") {
    QtPrompter prompter;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        user(*box);
    });
    return prompter.msgBox(text, style, "Title");
}

void press(QMessageBox& box, QMessageBox::StandardButton b) { box.button(b)->click(); }

TEST(QtPrompter, EachButtonAnswersItsCode) {
    EXPECT_EQ(answerBox(0, [](QMessageBox& b) { press(b, QMessageBox::Ok); }), mb::OK);
    EXPECT_EQ(answerBox(1, [](QMessageBox& b) { press(b, QMessageBox::Cancel); }), mb::Cancel);
    EXPECT_EQ(answerBox(2, [](QMessageBox& b) { press(b, QMessageBox::Abort); }), mb::Abort);
    EXPECT_EQ(answerBox(2, [](QMessageBox& b) { press(b, QMessageBox::Retry); }), mb::Retry);
    EXPECT_EQ(answerBox(2, [](QMessageBox& b) { press(b, QMessageBox::Ignore); }), mb::Ignore);
    EXPECT_EQ(answerBox(3, [](QMessageBox& b) { press(b, QMessageBox::Yes); }), mb::Yes);
    EXPECT_EQ(answerBox(4, [](QMessageBox& b) { press(b, QMessageBox::No); }), mb::No);
    EXPECT_EQ(answerBox(5, [](QMessageBox& b) { press(b, QMessageBox::Retry); }), mb::Retry);
}

TEST(QtPrompter, TheErrorBoxShowsItsButtonsIconAndRetryAsDefault) {
    answerBox(274, [](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Title"));
        EXPECT_NE(box.button(QMessageBox::Abort), nullptr);
        EXPECT_NE(box.button(QMessageBox::Ignore), nullptr);
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Retry));
        box.defaultButton()->click();
    });
}

TEST(QtPrompter, QuestionStylesShowTheQuestionIconAndEscAnswersNoOrCancel) {
    EXPECT_EQ(answerBox(36, [](QMessageBox& box) {
                  EXPECT_EQ(box.icon(), QMessageBox::Question);
                  EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Yes));
                  box.escapeButton()->click();
              }),
              mb::No);
    EXPECT_EQ(answerBox(35, [](QMessageBox& box) { box.escapeButton()->click(); }), mb::Cancel);
    answerBox(64, [](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        press(box, QMessageBox::Ok);
    });
    answerBox(48, [](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Warning);
        press(box, QMessageBox::Ok);
    });
    answerBox(0, [](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        press(box, QMessageBox::Ok);
    });
}

TEST(QtPrompter, CarriageReturnsShowAsLineBreaks) {
    answerBox(
        0,
        [](QMessageBox& box) {
            EXPECT_EQ(box.text(), QStringLiteral("The file named...\n\n/tmp/a.bmp\n\nCan not be found."));
            press(box, QMessageBox::Ok);
        },
        "The file named...\r\r/tmp/a.bmp\r\rCan not be found.");
}

TEST(QtPrompter, TheOpenFilterBecomesQtFilters) {
    const QStringList filters = qtFilters("*.bmp|*.bmp|*.jpg|*.jpg|Images: bmp, jpg|*.bmp;*.jpg");
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], QStringLiteral("*.bmp (*.bmp)"));
    EXPECT_EQ(filters[1], QStringLiteral("*.jpg (*.jpg)"));
    EXPECT_EQ(filters[2], QStringLiteral("Images: bmp, jpg (*.bmp *.jpg)"));
}

}  // namespace
}  // namespace morv
