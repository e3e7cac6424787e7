#include "ui/FrmFitBoards.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace morv {

namespace {

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

/// A framed column of radio buttons; the frame makes them one exclusive group that
/// the arrow keys move through.
QGroupBox* column(QWidget* parent, const char* name, const char* title, std::initializer_list<QRadioButton*> options) {
    auto* box = named(new QGroupBox(QString::fromUtf8(title), parent), name);
    auto* layout = new QVBoxLayout(box);
    for (QRadioButton* o : options) {
        o->setParent(box);
        layout->addWidget(o);
    }
    return box;
}

}  // namespace

FrmFitBoards::FrmFitBoards(const BoardFitChoice& offered, int width, int height, QWidget* parent)
    : QDialog(parent), m_width(width), m_height(height) {
    setObjectName(QStringLiteral("frmFitBoards"));
    setWindowTitle(QStringLiteral("Fit to Boards"));
    setModal(true);

    auto* lblMap = named(new QLabel(QStringLiteral("The map is %1 x %2 pixels.").arg(width).arg(height), this), "lblMap");
    auto board = [this](const char* name, int value) {
        auto* spin = named(new QSpinBox(this), name);
        spin->setRange(1, kMaxBoards);
        spin->setValue(value);
        return spin;
    };
    spnBoardsWide = board("spnBoardsWide", offered.boardsWide);
    spnBoardsHigh = board("spnBoardsHigh", offered.boardsHigh);
    auto* fraBoards = named(new QGroupBox(QStringLiteral("Boards"), this), "fraBoards");
    auto* form = new QFormLayout(fraBoards);
    form->addRow(QStringLiteral("&Across:"), spnBoardsWide);
    form->addRow(QStringLiteral("&Down:"), spnBoardsHigh);

    optGrid5 = named(new QRadioButton(QStringLiteral("&5 m grid (%1 pixels a board)").arg(kPixelsPerBoard)), "optGrid5");
    optGrid10 = named(new QRadioButton(QStringLiteral("&10 m grid (72 pixels a board, one more at the edge)")), "optGrid10");
    (offered.grid == BoardGrid::TenMetre ? optGrid10 : optGrid5)->setChecked(true);
    QGroupBox* fraGrid = column(this, "fraGrid", "Grid", {optGrid5, optGrid10});

    optCrop = named(new QRadioButton(QStringLiteral("&Crop the middle")), "optCrop");
    optPad = named(new QRadioButton(QStringLiteral("&Pad with the ground level")), "optPad");
    optScale = named(new QRadioButton(QStringLiteral("&Scale")), "optScale");
    (offered.method == BoardFitMethod::Crop  ? optCrop
     : offered.method == BoardFitMethod::Pad ? optPad
                                             : optScale)
        ->setChecked(true);
    QGroupBox* fraMethod = column(this, "fraMethod", "Method", {optCrop, optPad, optScale});

    lblResult = named(new QLabel(this), "lblResult");
    lblResult->setWordWrap(true);
    // Room for a refusal's two lines, so the dialog keeps its size.
    lblResult->setMinimumSize(360, 2 * lblResult->fontMetrics().lineSpacing());
    auto* buttons = named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this), "buttons");
    cmdOK = buttons->button(QDialogButtonBox::Ok);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));

    auto* body = new QVBoxLayout(this);
    body->addWidget(lblMap);
    body->addWidget(fraBoards);
    body->addWidget(fraGrid);
    body->addWidget(fraMethod);
    body->addWidget(lblResult);
    body->addWidget(buttons);
    body->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QSpinBox* s : {spnBoardsWide, spnBoardsHigh}) connect(s, &QSpinBox::valueChanged, this, &FrmFitBoards::showResultSize);
    for (QRadioButton* o : {optGrid10, optCrop, optPad}) connect(o, &QRadioButton::toggled, this, &FrmFitBoards::showResultSize);
    showResultSize();
    QWidget* order[] = {spnBoardsWide, spnBoardsHigh, optGrid5, optGrid10, optCrop, optPad, optScale,
                        buttons->button(QDialogButtonBox::Ok), buttons->button(QDialogButtonBox::Cancel)};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    // Typing a number replaces the one offered.
    spnBoardsWide->setFocus(Qt::TabFocusReason);
    spnBoardsWide->selectAll();
}

BoardFitChoice FrmFitBoards::choice() const {
    BoardFitChoice c;
    c.grid = optGrid10->isChecked() ? BoardGrid::TenMetre : BoardGrid::FiveMetre;
    c.boardsWide = spnBoardsWide->value();
    c.boardsHigh = spnBoardsHigh->value();
    c.method = optCrop->isChecked() ? BoardFitMethod::Crop : optPad->isChecked() ? BoardFitMethod::Pad : BoardFitMethod::Scale;
    return c;
}

void FrmFitBoards::showResultSize() {
    // What cannot be done is said here, before OK, rather than after it.
    const BoardFitChoice c = choice();
    const std::string refused = boardFitRefusal(m_width, m_height, c);
    cmdOK->setEnabled(refused.empty());
    lblResult->setText(refused.empty() ? QStringLiteral("The result will be %1 x %2 pixels.")
                                             .arg(boardSide(c.grid, c.boardsWide))
                                             .arg(boardSide(c.grid, c.boardsHigh))
                                       : QString::fromStdString(refused + " " + boardFitAdvice(c.method)));
}

}  // namespace morv
