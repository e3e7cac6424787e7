#include "ui/FrmGradeTrack.h"

#include "ui/OkCancel.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "io/GradeFiles.h"
#include "io/ProfilePicture.h"

namespace morv {

namespace {

/// The profile beside the boxes, in screen pixels.
constexpr int kProfileWidth = 480;
constexpr int kProfileHeight = 220;

QDoubleSpinBox* spinBox(QWidget* parent, const char* name, double lo, double hi, double step, double value, const char* unit) {
    auto* s = new QDoubleSpinBox(parent);
    s->setObjectName(QString::fromUtf8(name));
    s->setRange(lo, hi);
    s->setDecimals(unit[1] == '%' ? 2 : 1);
    s->setSingleStep(step);
    s->setSuffix(QString::fromUtf8(unit));
    s->setValue(value);
    return s;
}

}  // namespace

FrmGradeTrack::FrmGradeTrack(std::shared_ptr<const HeightImage> map, const std::optional<MapScale>& scale,
                             std::vector<TrackPoint> line, const GradeRequest& last, QWidget* parent)
    : QDialog(parent), m_map(std::move(map)), m_scale(scale), m_line(std::move(line)) {
    setObjectName(QStringLiteral("frmGradeTrack"));
    setWindowTitle(QStringLiteral("Grade Track"));
    setModal(true);
    spnWidth = spinBox(this, "spnWidth", 1, 500, 1, last.corridor.widthMetres, " m");
    spnShoulder = spinBox(this, "spnShoulder", 0, 1000, 1, last.corridor.shoulderMetres, " m");
    spnMaxGrade = spinBox(this, "spnMaxGrade", 0.01, 50, 0.1, last.profile.maxGrade * 100, " %");
    spnCurve = spinBox(this, "spnCurve", 0, 5000, 10, last.profile.curveMetres, " m");
    chkContours = new QCheckBox(QStringLiteral("&Redraw contours"), this);
    chkContours->setObjectName(QStringLiteral("chkContours"));
    chkContours->setChecked(last.redrawContours);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Formation &width:"), spnWidth);
    form->addRow(QStringLiteral("&Shoulder each side:"), spnShoulder);
    form->addRow(QStringLiteral("Steepest &grade:"), spnMaxGrade);
    form->addRow(QStringLiteral("Vertical &curves:"), spnCurve);
    form->addRow(chkContours);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lblSummary->setTextFormat(Qt::PlainText);
    lblProfile = new QLabel(this);
    lblProfile->setObjectName(QStringLiteral("lblProfile"));
    lblProfile->setFixedSize(kProfileWidth, kProfileHeight);

    auto* buttons = okCancelButtons(this, cmdOK);
    for (QDoubleSpinBox* s : {spnWidth, spnShoulder, spnMaxGrade, spnCurve})
        connect(s, &QDoubleSpinBox::valueChanged, this, &FrmGradeTrack::grade);

    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(lblSummary, 1);
    auto* row = new QHBoxLayout;
    row->addLayout(left);
    row->addWidget(lblProfile);
    auto* body = new QVBoxLayout(this);
    body->addLayout(row);
    body->addWidget(buttons);
    spnMaxGrade->setFocus(Qt::TabFocusReason);
    grade();
}

GradeRequest FrmGradeTrack::request() const {
    GradeRequest r;
    r.line = m_line;
    r.profile.maxGrade = spnMaxGrade->value() / 100.0;
    r.profile.curveMetres = spnCurve->value();
    r.corridor.widthMetres = spnWidth->value();
    r.corridor.shoulderMetres = spnShoulder->value();
    r.redrawContours = chkContours->isChecked();
    return r;
}

void FrmGradeTrack::setLine(std::vector<TrackPoint> line) {
    m_line = std::move(line);
    grade();
}

void FrmGradeTrack::grade() {
    m_problem.clear();
    m_preview.reset();
    try {
        auto copy = std::make_shared<HeightImage>(*m_map);
        const GradeOutcome done = gradeMap(*copy, m_scale.value_or(MapScale{}), request());
        m_preview = std::move(copy);
        const CorridorOptions corridor = request().corridor;
        lblSummary->setText(QString::fromStdString(gradeReportText({done.profile, done.corridor, done.steps, corridor}))
                                .section(QLatin1Char('\n'), 0, 4));
        lblProfile->setPixmap(QPixmap::fromImage(profilePicture(done.profile, kProfileWidth, kProfileHeight)));
    } catch (const GradeError& e) {
        m_problem = e.what();
        std::string text = m_problem;
        if (!text.empty()) text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
        lblSummary->setText(QString::fromStdString(text + "."));
        lblProfile->clear();
    }
    cmdOK->setEnabled(m_problem.empty());
    if (onPreview) onPreview(m_preview);
}

}  // namespace morv
