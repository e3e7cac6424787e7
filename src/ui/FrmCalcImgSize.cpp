#include "ui/FrmCalcImgSize.h"

#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands/SizeCalculator.h"

namespace morv {

namespace {

QLineEdit* field(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromUtf8(name));
    return box;
}

/// One group: its label as the frame's title, the two fields and the answer below.
QGroupBox* group(QWidget* parent, const char* name, const char* caption, QLineEdit* horz, QLineEdit* vert, QLabel* answer) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromUtf8(name));
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Horizontal:"), horz);
    form->addRow(QStringLiteral("Vertical:"), vert);
    form->addRow(answer);
    return box;
}

}  // namespace

FrmCalcImgSize::FrmCalcImgSize(App& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setObjectName(QStringLiteral("frmCalcImgSize"));
    setWindowTitle(QStringLiteral("Calculate Image Size"));
    setModal(true);

    txtHorzBoards = field(this, "txtHorzBoards");
    txtVertBoards = field(this, "txtVertBoards");
    txtHorzSize = field(this, "txtHorzSize");
    txtVertSize = field(this, "txtVertSize");
    for (int i = 0; i < 2; ++i) {
        m_answer[i] = new QLabel(this);
        m_answer[i]->setObjectName(QStringLiteral("lblAnswer_%1").arg(i));
        m_answer[i]->setProperty("Index", i);
        m_answer[i]->setWordWrap(true);
        m_answer[i]->setTextFormat(Qt::PlainText);
        // Room for the longest answer on two lines, so the window keeps its size.
        m_answer[i]->setMinimumSize(320, 2 * m_answer[i]->fontMetrics().lineSpacing());
    }
    QGroupBox* boards = group(this, "fraBoards", "Enter the number of boards...", txtHorzBoards, txtVertBoards, m_answer[0]);
    QGroupBox* sizes = group(this, "fraSize", "Enter the size of image...", txtHorzSize, txtVertSize, m_answer[1]);

    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    cmdCalc = new QPushButton(QStringLiteral("Calculate"), this);
    cmdCalc->setObjectName(QStringLiteral("cmdCalc"));
    cmdCalc->setDefault(true);

    auto* body = new QVBoxLayout(this);
    body->addWidget(boards);
    body->addWidget(sizes);
    body->addWidget(Line1);
    body->addWidget(cmdCalc, 0, Qt::AlignRight);
    body->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdCalc, &QPushButton::clicked, this, &FrmCalcImgSize::cmdCalc_Click);
}

void FrmCalcImgSize::cmdCalc_Click() {
    // The window only carries its texts to the library's operation and back; the
    // trace, the trap and an overflow's error box happen there.
    CalcFields f{txtHorzBoards->text().toStdString(), txtVertBoards->text().toStdString(),
                 txtHorzSize->text().toStdString(),   txtVertSize->text().toStdString(),
                 m_answer[0]->text().toStdString(),   m_answer[1]->text().toStdString()};
    calculateSizes(m_app, f);
    txtHorzBoards->setText(QString::fromStdString(f.txtHorzBoards));
    txtVertBoards->setText(QString::fromStdString(f.txtVertBoards));
    m_answer[0]->setText(QString::fromStdString(f.lblAnswer0));
    m_answer[1]->setText(QString::fromStdString(f.lblAnswer1));
}

}  // namespace morv
