#include "ui/FrmMapScale.h"

#include "ui/OkCancel.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/HeightUnits.h"

namespace morv {

namespace {

/// A box's number: none when empty; a problem when it is no number or below min.
struct BoxValue {
    double value = 0;
    std::string problem;
};

BoxValue readBox(const QLineEdit* box, const char* what, bool mayBeNegative) {
    const std::string text = box->text().trimmed().toStdString();
    if (text.empty()) return {};
    // The same reading as every typed height: a bare number or one in metres.
    const auto q = parseQuantity(text);
    if (!q || (!q->metres && text.ends_with("px"))) return {0, std::string(what) + ": \"" + text + "\" is not a number of metres"};
    if (!mayBeNegative && q->value < 0) return {0, std::string(what) + " cannot be negative"};
    return {q->value, {}};
}

QString boxText(double value, bool known) { return known ? QString::number(value, 'g', 10) : QString(); }

}  // namespace

FrmMapScale::FrmMapScale(const std::optional<MapScale>& scale, QWidget* parent)
    : QDialog(parent), m_was(scale.value_or(MapScale{})) {
    setObjectName(QStringLiteral("frmMapScale"));
    setWindowTitle(QStringLiteral("Map Scale"));
    setModal(true);
    auto* lblHelp = new QLabel(QStringLiteral("What the map stands for on the ground, in metres. Leave a box empty "
                                              "where it is not known."),
                               this);
    lblHelp->setWordWrap(true);
    auto box = [this](const char* name, const QString& text) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(QString::fromUtf8(name));
        connect(edit, &QLineEdit::textChanged, this, &FrmMapScale::showRange);
        return edit;
    };
    txtPixelMetres = box("txtPixelMetres", boxText(m_was.pixelMetres, m_was.knowsDistances()));
    txtLevelMetres = box("txtLevelMetres", boxText(m_was.levelMetres, m_was.knowsHeights()));
    txtBaseMetres = box("txtBaseMetres", boxText(m_was.baseMetres, m_was.knowsHeights()));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Metres a &pixel:"), txtPixelMetres);
    form->addRow(QStringLiteral("Metres a grey &level:"), txtLevelMetres);
    form->addRow(QStringLiteral("Height of level &0 (m):"), txtBaseMetres);
    lblRange = new QLabel(this);
    lblRange->setObjectName(QStringLiteral("lblRange"));
    lblRange->setWordWrap(true);

    auto* buttons = okCancelButtons(this, cmdOK, [this] { return problem().empty(); });

    auto* body = new QVBoxLayout(this);
    body->addWidget(lblHelp);
    body->addLayout(form);
    body->addWidget(lblRange);
    body->addWidget(buttons);
    setMinimumWidth(420);
    showRange();
    txtPixelMetres->setFocus(Qt::TabFocusReason);
    txtPixelMetres->selectAll();
}

std::string FrmMapScale::problem() const {
    for (const BoxValue& v : {readBox(txtPixelMetres, "Metres a pixel", false), readBox(txtLevelMetres, "Metres a grey level", false),
                              readBox(txtBaseMetres, "The height of level 0", true)})
        if (!v.problem.empty()) return v.problem;
    return {};
}

std::optional<MapScale> FrmMapScale::scale() const {
    MapScale s = m_was;
    s.pixelMetres = readBox(txtPixelMetres, "", false).value;
    s.levelMetres = readBox(txtLevelMetres, "", false).value;
    s.baseMetres = s.levelMetres > 0 ? readBox(txtBaseMetres, "", true).value : 0;
    if (!s.knowsDistances() && !s.knowsHeights() && !s.isGeoreferenced()) return std::nullopt;
    return s;
}

void FrmMapScale::showRange() {
    const std::string why = problem();
    cmdOK->setEnabled(why.empty());
    if (!why.empty()) {
        lblRange->setText(QString::fromStdString(why + "."));
        return;
    }
    const std::optional<MapScale> s = scale();
    if (s && s->knowsHeights())
        lblRange->setText(QStringLiteral("Levels 0..255 stand for %1 to %2.")
                              .arg(QString::fromStdString(metresText(s->metresOfLevel(0))),
                                   QString::fromStdString(metresText(s->metresOfLevel(255)))));
    else
        lblRange->setText(s ? QStringLiteral("Heights are not known.") : QStringLiteral("The map will have no scale."));
}

}  // namespace morv
