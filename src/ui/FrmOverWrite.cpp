#include "ui/FrmOverWrite.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "core/Routine.h"

namespace morv {

FrmOverWrite::FrmOverWrite(App& app, QAction& option, std::string& answer, QWidget* parent)
    : QDialog(parent), m_app(app), mnuOptionsOverwrite(option), m_answer(answer) {
    setObjectName(QStringLiteral("frmOverWrite"));
    setWindowTitle(QStringLiteral("File Already Exists"));
    setModal(true);

    // A plain band across the top behind the icon and the question.
    auto* Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setAutoFillBackground(true);
    Shape1->setBackgroundRole(QPalette::Base);
    Image1 = new QLabel(Shape1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    Image1->setFixedSize(32, 32);
    Label1 = new QLabel(QStringLiteral("The file already exists. Do you want to overwrite?"), Shape1);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto* band = new QHBoxLayout(Shape1);
    band->setContentsMargins(16, 16, 16, 16);
    band->setSpacing(16);
    band->addWidget(Image1);
    band->addWidget(Label1, 1);

    Check1 = new QCheckBox(QStringLiteral("Don't show this message again."), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Command1 = new QPushButton(QStringLiteral("&Yes"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("&No"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command3 = new QPushButton(QStringLiteral("Cancel"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    // Enter answers the button that has the focus; No is the default while none has.
    for (QPushButton* b : {Command1, Command2, Command3}) b->setAutoDefault(true);
    Command2->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch(1);
    buttons->addWidget(Command3);
    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(0, 0, 0, 8);
    body->addWidget(Shape1);
    auto* lower = new QVBoxLayout;
    lower->setContentsMargins(8, 4, 8, 0);
    lower->addWidget(Check1);
    lower->addLayout(buttons);
    body->addLayout(lower);

    // Focus starts on No; Tab goes on to Yes, Cancel and the check box.
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Check1);
    Command2->setFocus(Qt::OtherFocusReason);

    connect(Command1, &QPushButton::clicked, this, &FrmOverWrite::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmOverWrite::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmOverWrite::Command3_Click);
}

void FrmOverWrite::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Command2->setFocus(Qt::OtherFocusReason);
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

void FrmOverWrite::keyPressEvent(QKeyEvent* event) {
    // Esc presses Cancel, as a cancel button would; the buttons' letters Y, N and C
    // answer without Alt too, as in a message box.
    if (event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_C: Command3->click(); return;
        case Qt::Key_Y: Command1->click(); return;
        case Qt::Key_N: Command2->click(); return;
        default: break;
        }
    }
    QDialog::keyPressEvent(event);
}

void FrmOverWrite::reject() {
    // Closed by its window's close control: no agreement to replace anything, so
    // the answer is Cancel rather than whatever was answered last time.
    leaveAnswer('2');
    QDialog::reject();
}

void FrmOverWrite::leaveAnswer(char code) { m_answer.assign(1, code); }

void FrmOverWrite::Command1_Click() {
    Routine r(m_app, "frmOverWrite.Command1_Click");
    r([&] { mnuOptionsOverwrite.setChecked(!Check1->isChecked()); });
    r([&] { m_app.session.gblnOverwriteNotify = mnuOptionsOverwrite.isChecked(); });
    r([&] {
        leaveAnswer('6');
        done(QDialog::Accepted);
    });
}

void FrmOverWrite::Command2_Click() {
    Routine r(m_app, "frmOverWrite.Command2_Click");
    r([&] {
        const bool notify = !Check1->isChecked();
        m_app.session.gblnOverwriteNotify = notify;
        mnuOptionsOverwrite.setChecked(notify);
    });
    r([&] {
        leaveAnswer('7');
        done(QDialog::Accepted);
    });
}

void FrmOverWrite::Command3_Click() {
    Routine r(m_app, "frmOverWrite.Command3_Click");
    r([&] {
        leaveAnswer('2');
        done(QDialog::Rejected);
    });
}

}  // namespace morv
