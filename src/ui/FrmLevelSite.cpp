#include "ui/FrmLevelSite.h"

#include "ui/OkCancel.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace morv {

FrmLevelSite::FrmLevelSite(double meanLevel, const std::optional<MapScale>& scale, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLevelSite"));
    setWindowTitle(QStringLiteral("Level Site"));
    setModal(true);
    const bool metres = scale && scale->knowsHeights();
    const bool metresWide = scale && scale->knowsDistances();
    auto* lblHelp = new QLabel(metres ? QStringLiteral("The site is set to this height, in metres (\"312 m\"); a bare "
                                                       "number is a grey level.")
                                      : QStringLiteral("The site is set to this grey level (0..255)."),
                               this);
    lblHelp->setWordWrap(true);
    // Offered: the mean under the site, to the level it will be stored at.
    const double level = std::nearbyint(meanLevel);
    txtHeight = new QLineEdit(metres ? QString::fromStdString(metresText(scale->metresOfLevel(level)))
                                     : QString::number(level),
                              this);
    txtHeight->setObjectName(QStringLiteral("txtHeight"));
    txtShoulder = new QLineEdit(metresWide ? QStringLiteral("0 m") : QStringLiteral("0"), this);
    txtShoulder->setObjectName(QStringLiteral("txtShoulder"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Height:"), txtHeight);
    form->addRow(metresWide ? QStringLiteral("&Shoulder (pixels, or metres with m):") : QStringLiteral("&Shoulder (pixels):"),
                 txtShoulder);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));

    auto* buttons = okCancelButtons(this, cmdOK, [this] { return problem().empty(); });
    for (QLineEdit* box : {txtHeight, txtShoulder}) connect(box, &QLineEdit::textChanged, this, &FrmLevelSite::showProblem);

    auto* body = new QVBoxLayout(this);
    body->addWidget(lblHelp);
    body->addLayout(form);
    body->addWidget(lblProblem);
    body->addWidget(buttons);
    setMinimumWidth(380);
    txtHeight->setFocus(Qt::TabFocusReason);
    txtHeight->selectAll();
}

Quantity FrmLevelSite::height() const { return parseQuantity(txtHeight->text().toStdString()).value_or(Quantity{}); }

Quantity FrmLevelSite::shoulder() const { return parseQuantity(txtShoulder->text().toStdString()).value_or(Quantity{}); }

std::string FrmLevelSite::problem() const {
    if (!parseQuantity(txtHeight->text().toStdString()))
        return "The height is a grey level or metres (\"312 m\")";
    if (!parseQuantity(txtShoulder->text().toStdString()))
        return "The shoulder is a width in pixels or metres (\"20 m\")";
    return {};
}

void FrmLevelSite::showProblem() {
    const std::string why = problem();
    cmdOK->setEnabled(why.empty());
    lblProblem->setText(why.empty() ? QString() : QString::fromStdString(why + "."));
}

}  // namespace morv
