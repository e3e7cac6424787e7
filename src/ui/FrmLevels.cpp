#include "ui/FrmLevels.h"

#include "ui/OkCancel.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QRegularExpressionValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace morv {

namespace {

QString perLevelText(SampleRange range) { return QString::number(unitsPerLevel(range), 'g', 4); }

}  // namespace

FrmLevels::FrmLevels(const LevelMapping& m, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmLevels"));
    setWindowTitle(QStringLiteral("%1-bit Height Map").arg(m.bits));
    setModal(true);

    auto* lblFound = new QLabel(QStringLiteral("This map holds %1-bit heights from %2 to %3: %4 units a grey level "
                                               "over that range.")
                                    .arg(m.bits)
                                    .arg(m.found.low)
                                    .arg(m.found.high)
                                    .arg(perLevelText(m.found)),
                                this);
    lblFound->setObjectName(QStringLiteral("lblFound"));
    lblFound->setWordWrap(true);
    auto* lblHelp = new QLabel(QStringLiteral("Keep that range, or type the heights grey levels 0 and 255 stand for; "
                                              "heights below or above them become 0 or 255."),
                               this);
    lblHelp->setObjectName(QStringLiteral("lblHelp"));
    lblHelp->setWordWrap(true);

    auto box = [this](const char* name, std::uint32_t value) {
        auto* edit = new QLineEdit(QString::number(value), this);
        edit->setObjectName(QString::fromUtf8(name));
        // Digits only, however many: a number past the 16-bit heights is shown
        // whole and refused, not cut to five digits.
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,12}")), edit));
        connect(edit, &QLineEdit::textChanged, this, &FrmLevels::showPerLevel);
        return edit;
    };
    txtLow = box("txtLow", m.used.low);
    txtHigh = box("txtHigh", m.used.high);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Level &0 at:"), txtLow);
    form->addRow(QStringLiteral("Level &255 at:"), txtHigh);

    lblPerLevel = new QLabel(this);
    lblPerLevel->setObjectName(QStringLiteral("lblPerLevel"));

    auto* buttons = okCancelButtons(this, cmdOK, [this] { return range().has_value(); });

    auto* body = new QVBoxLayout(this);
    body->addWidget(lblFound);
    body->addWidget(lblHelp);
    body->addLayout(form);
    body->addWidget(lblPerLevel);
    body->addWidget(buttons);
    setMinimumWidth(480);
    showPerLevel();
    // Enter keeps the range found; typing replaces the low end first.
    txtLow->setFocus(Qt::TabFocusReason);
    txtLow->selectAll();
}

std::optional<SampleRange> FrmLevels::range() const {
    return parseSampleRange((txtLow->text() + QLatin1Char(':') + txtHigh->text()).toStdString());
}

void FrmLevels::showPerLevel() {
    const auto r = range();
    cmdOK->setEnabled(r.has_value());
    if (r) {
        lblPerLevel->setText(QStringLiteral("%1 units a grey level.").arg(perLevelText(*r)));
        return;
    }
    for (const QLineEdit* edit : {txtLow, txtHigh}) {
        if (edit->text().size() > 5 || edit->text().toInt() > 65535) {
            lblPerLevel->setText(QStringLiteral("%1 is not a 16-bit height: they go from 0 to 65535.").arg(edit->text()));
            return;
        }
    }
    lblPerLevel->setText(QStringLiteral("Level 0 needs a height below level 255's (0 to 65535)."));
}

}  // namespace morv
