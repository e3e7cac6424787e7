#include "ui/FrmAbout.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "core/Routine.h"
#include "commands/UpdateCheck.h"
#include "ui/AppIcon.h"

namespace morv {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text = {}) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromUtf8(name));
    l->setTextFormat(Qt::PlainText);
    return l;
}

QFrame* line(QWidget* parent, const char* name) {
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromUtf8(name));
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

}  // namespace

FrmAbout::FrmAbout(App& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Morv"));
    setModal(true);

    picIcon = label(this, "picIcon");
    picIcon->setPixmap(QPixmap::fromImage(drawAppIcon(64)));
    picIcon->setFixedSize(64, 64);
    lblTitle = label(this, "lblTitle", QStringLiteral("Morv"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblDescription = label(this, "lblDescription",
                           QStringLiteral("Reshapes the grey-scale height maps of Trainz layouts."));
    lblVersion = label(this, "lblVersion");
    lblUpdate = label(this, "lblUpdate");
    lblUpdate->setFont(QFont(QStringLiteral("Arial")));
    // The line has its room from the start: the answer arrives after the window shows.
    lblUpdate->setMinimumHeight(lblUpdate->fontMetrics().height());
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(line(this, "Line1"), 3, 0, 1, 2);
    grid->addWidget(lblUpdate, 4, 0, 1, 2);
    grid->addWidget(line(this, "Line2"), 5, 0, 1, 2);
    grid->addWidget(cmdOK, 6, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdOK, &QPushButton::clicked, this, &FrmAbout::cmdOK_Click);
    Form_Load();
}

FrmAbout::~FrmAbout() {
    // Destroying the checker aborts a fetch that is still running, without a signal.
    delete m_checker.data();
}

UpdateChecker* FrmAbout::checker() const { return m_checker.data(); }

void FrmAbout::Form_Load() {
    Routine r(m_app, "frmAbout.Form_Load");
    r([&] { lblVersion->setText(QStringLiteral("v") + QString::fromStdString(m_app.session.gstrVersion)); });
    r([&] {
        delete m_checker.data();
        // With no server to ask there is no check: the line says so at once.
        if (m_app.updateServer.empty()) {
            lblUpdate->setText(QString::fromUtf8(kUpdateCheckOffLine));
            return;
        }
        UpdateCheckOptions options;
        options.server = m_app.updateServer;
        m_checker = new UpdateChecker(m_app, options, this);
        connect(m_checker.data(), &UpdateChecker::finished, this, &FrmAbout::webAbout_DocumentComplete);
        m_checker->start();
    });
}

void FrmAbout::webAbout_DocumentComplete(const QString& line) {
    // The page handler itself (trace, trap and task steps) ran in the checker.
    UpdateChecker* checker = m_checker.data();
    if (!checker) return;
    if (!line.isEmpty()) lblUpdate->setText(line);
    checker->deleteLater();
    m_checker = nullptr;
}

void FrmAbout::cmdOK_Click() {
    Routine r(m_app, "frmAbout.cmdOK_Click");
    r([&] { accept(); });
}

}  // namespace morv
