#include "ui/FrmImport.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <charconv>
#include <exception>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "core/Numbers.h"
#include "core/RuntimeError.h"
#include "core/Session.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "analysis/ShadedRelief.h"
#include "commands/ImportCommands.h"

namespace morv {

namespace {

constexpr const char* kTitle = "Import Elevation Data";
constexpr int kPreviewSide = 320;

std::string text(const QLineEdit* e) { return e->text().trimmed().toStdString(); }

QLineEdit* field(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromUtf8(name));
    return e;
}

/// A form row whose caption's Alt letter reaches buddy, also when the row holds
/// more than the field (a form only links a caption to a lone widget).
void addRow(QFormLayout* form, QWidget* parent, const char* caption, QWidget* buddy, QLayout* row) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setBuddy(buddy);
    form->addRow(label, row);
}

/// Hints tell what an empty field means, so each field is wide enough for its own
/// hint from the start, not only once a report widens the form.
void fitHint(QLineEdit* e) {
    if (e->placeholderText().isEmpty()) return;
    QStyleOptionFrame option;
    option.initFrom(e);
    option.rect = QRect(0, 0, 0, 0);
    const QMargins margins = e->textMargins();
    const int text = e->fontMetrics().horizontalAdvance(e->placeholderText()) + margins.left() + margins.right();
    // QLineEdit keeps a few pixels of its content box free on either side of the text.
    const QSize need = e->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text + 8, e->sizeHint().height()), e);
    e->setMinimumWidth(need.width());
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

FrmImport::FrmImport(App& app, Activity& activity, QWidget* parent)
    : QDialog(parent), m_app(app), m_activity(activity) {
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QString::fromUtf8(kTitle));
    auto* form = new QFormLayout;
    // The elevation files as a list: Add... takes one or more from a file dialog,
    // Remove (or Delete in the list) drops the selected ones.
    lstDemFiles = new QListWidget(this);
    lstDemFiles->setObjectName(QStringLiteral("lstDemFiles"));
    lstDemFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstDemFiles->setFixedHeight(lstDemFiles->fontMetrics().height() * 4 + 2 * lstDemFiles->frameWidth() + 6);
    cmdAddDem = button(this, "cmdAddDem", "&Add...");
    // Every other letter of "Remove" is another field's Alt letter (Preview takes w).
    cmdRemoveDem = button(this, "cmdRemoveDem", "Remo&ve");
    cmdRemoveDem->setEnabled(false);
    auto* demButtons = new QVBoxLayout;
    demButtons->addWidget(cmdAddDem);
    demButtons->addWidget(cmdRemoveDem);
    demButtons->addStretch();
    auto* demRow = new QHBoxLayout;
    demRow->addWidget(lstDemFiles);
    demRow->addLayout(demButtons);
    addRow(form, this, "&Elevation files:", lstDemFiles, demRow);
    txtArea = field(this, "txtArea");
    txtArea->setPlaceholderText(QStringLiteral("W,S,E,N degrees; empty: all the input"));
    form->addRow(QStringLiteral("A&rea:"), txtArea);
    txtCrs = field(this, "txtCrs");
    txtCrs->setPlaceholderText(QStringLiteral("empty: the UTM zone of the area's centre"));
    form->addRow(QStringLiteral("&Coordinate system:"), txtCrs);
    cboResample = new QComboBox(this);
    cboResample->setObjectName(QStringLiteral("cboResample"));
    cboResample->addItems({QStringLiteral("bilinear"), QStringLiteral("cubic"), QStringLiteral("average")});
    form->addRow(QStringLiteral("Re&sampling:"), cboResample);
    cboGrid = new QComboBox(this);
    cboGrid->setObjectName(QStringLiteral("cboGrid"));
    cboGrid->addItems({QStringLiteral("5 m (144 pixels a board)"), QStringLiteral("10 m (72 pixels a board plus one)")});
    form->addRow(QStringLiteral("&Grid:"), cboGrid);
    txtSpacing = field(this, "txtSpacing");
    txtSpacing->setPlaceholderText(QStringLiteral("metres; empty: the grid's own"));
    form->addRow(QStringLiteral("S&pacing:"), txtSpacing);
    txtBoards = field(this, "txtBoards");
    txtBoards->setPlaceholderText(QStringLiteral("WxH; empty: as many as the area holds"));
    form->addRow(QStringLiteral("&Boards:"), txtBoards);
    txtHeights = field(this, "txtHeights");
    txtHeights->setPlaceholderText(QStringLiteral("LOW:HIGH metres; empty: the map's range"));
    form->addRow(QStringLiteral("&Heights:"), txtHeights);
    txtGround = field(this, "txtGround");
    txtGround->setPlaceholderText(QStringLiteral("metres; empty: the lowest"));
    form->addRow(QStringLiteral("Gro&und:"), txtGround);
    cboOutside = new QComboBox(this);
    cboOutside->setObjectName(QStringLiteral("cboOutside"));
    cboOutside->addItems({QStringLiteral("refuse"), QStringLiteral("the ground height"),
                          QStringLiteral("extend the data")});
    form->addRow(QStringLiteral("Pas&t the data:"), cboOutside);
    cboVoids = new QComboBox(this);
    cboVoids->setObjectName(QStringLiteral("cboVoids"));
    cboVoids->addItems({QStringLiteral("fill smoothly"), QStringLiteral("the ground height"), QStringLiteral("refuse")});
    form->addRow(QStringLiteral("Voi&ds:"), cboVoids);
    txtMapFile = field(this, "txtMapFile");
    cmdBrowseMap = button(this, "cmdBrowseMap", "Br&owse...");
    auto* mapRow = new QHBoxLayout;
    mapRow->addWidget(txtMapFile);
    mapRow->addWidget(cmdBrowseMap);
    addRow(form, this, "&Map file:", txtMapFile, mapRow);
    for (QLineEdit* e : {txtArea, txtCrs, txtSpacing, txtBoards, txtHeights, txtGround}) fitHint(e);

    picPreview = new QLabel(this);
    picPreview->setObjectName(QStringLiteral("picPreview"));
    picPreview->setFixedSize(kPreviewSide, kPreviewSide);
    picPreview->setAlignment(Qt::AlignCenter);
    picPreview->setFrameShape(QFrame::StyledPanel);
    // The map has 256 levels: on a gentle slope the relief steps at each of them,
    // which the caption owns up to rather than letting it pass for terraces.
    lblPreviewCaption = new QLabel(QStringLiteral("Shaded relief after mapping to 256 levels"), this);
    lblPreviewCaption->setObjectName(QStringLiteral("lblPreviewCaption"));
    lblPreviewCaption->setAlignment(Qt::AlignHCenter);
    lblPreviewCaption->setWordWrap(true);
    lblPreviewCaption->setFixedWidth(kPreviewSide);
    lblPreviewCaption->hide();
    lblReport = new QLabel(this);
    lblReport->setObjectName(QStringLiteral("lblReport"));
    lblReport->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Said plainly when much of the map is invented, so it is not taken for terrain.
    lblWarning = new QLabel(this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    lblWarning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    lblWarning->hide();

    cmdPreview = button(this, "cmdPreview", "Previe&w");
    cmdImport = button(this, "cmdImport", "&Import");
    cmdCancel = button(this, "cmdCancel", "Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdCancel);

    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(lblReport);
    left->addWidget(lblWarning);
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left);
    auto* right = new QVBoxLayout;
    right->addWidget(picPreview);
    right->addWidget(lblPreviewCaption);
    right->addStretch();
    top->addLayout(right);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(buttons);

    connect(cmdAddDem, &QPushButton::clicked, this, &FrmImport::cmdAddDem_Click);
    connect(cmdRemoveDem, &QPushButton::clicked, this, &FrmImport::cmdRemoveDem_Click);
    connect(lstDemFiles, &QListWidget::itemSelectionChanged, this, &FrmImport::updateRemoveDem);
    auto* removeKey = new QShortcut(QKeySequence::Delete, lstDemFiles, nullptr, nullptr, Qt::WidgetShortcut);
    connect(removeKey, &QShortcut::activated, this, &FrmImport::cmdRemoveDem_Click);
    connect(cmdBrowseMap, &QPushButton::clicked, this, &FrmImport::cmdBrowseMap_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &FrmImport::cmdPreview_Click);
    connect(cmdImport, &QPushButton::clicked, this, &FrmImport::cmdImport_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmImport::refused(const std::string& message) {
    if (m_app.prompter) m_app.prompter->msgBox(message, mb::OKOnly + mb::Exclamation, kTitle);
}

std::optional<ImportOptions> FrmImport::readOptions() {
    ImportOptions o;
    o.inputs = demFiles();
    std::vector<double> n;
    if (o.inputs.empty()) return refused("Choose at least one elevation file."), std::nullopt;
    if (const std::string a = text(txtArea); !a.empty()) {
        if (!readDecimalList(a, ',', 4, n)) return refused("The area must be W,S,E,N in degrees."), std::nullopt;
        o.area = GeoBox{n[0], n[1], n[2], n[3]};
    }
    o.crs = text(txtCrs);
    o.resampling = Resampling(cboResample->currentIndex());
    o.grid = cboGrid->currentIndex() == 1 ? BoardGrid::TenMetre : BoardGrid::FiveMetre;
    o.outside = OutsidePolicy(cboOutside->currentIndex());
    o.voids = VoidPolicy(cboVoids->currentIndex());
    if (const std::string s = text(txtSpacing); !s.empty()) {
        if (!readDecimalList(s, ';', 1, n) || n[0] <= 0) return refused("The spacing must be a number of metres."), std::nullopt;
        o.spacing = n[0];
    }
    if (const std::string b = text(txtBoards); !b.empty()) {
        if (!readDecimalList(b, 'x', 2, n) || n[0] < 1 || n[1] < 1 || n[0] > 100000 || n[1] > 100000 ||
            n[0] != std::floor(n[0]) || n[1] != std::floor(n[1]))
            return refused("The boards must be WxH, two whole numbers."), std::nullopt;
        o.boards = GridSize{int(n[0]), int(n[1])};
    }
    if (const std::string h = text(txtHeights); !h.empty()) {
        if (!readDecimalList(h, ':', 2, n) || !(n[0] < n[1]))
            return refused("The heights must be LOW:HIGH in metres, LOW below HIGH."), std::nullopt;
        o.lowHeight = n[0], o.highHeight = n[1];
    }
    if (const std::string g = text(txtGround); !g.empty()) {
        if (!readDecimalList(g, ';', 1, n)) return refused("The ground must be a height in metres."), std::nullopt;
        o.ground = n[0];
    }
    return o;
}

void FrmImport::reject() {
    if (!m_running) return QDialog::reject();
    Session& s = m_app.session;
    if (showMessage(m_app, "Do you want to cancel this process?", mb::YesNo + mb::Question, "Cancel Drawing") == mb::Yes)
        s.gblnCancel = true;
}

void FrmImport::setInputsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{lstDemFiles, txtArea, txtCrs, cboResample, cboGrid, txtSpacing,
                                                      txtBoards, txtHeights, txtGround, cboOutside, cboVoids, txtMapFile, cmdAddDem,
                                                      cmdBrowseMap, cmdPreview, cmdImport})
        w->setEnabled(enabled);
    updateRemoveDem();
}

bool FrmImport::runImport(const ImportOptions& o) {
    m_result.reset();
    lblWarning->hide();
    Session& s = m_app.session;
    // The work yields to the interface after each step: nothing else may start
    // meanwhile, and Esc (on Cancel, which keeps the focus) asks to stop it.
    m_running = true;
    s.gblnBusy = true;
    s.gblnCancel = false;
    setInputsEnabled(false);
    cmdCancel->setFocus();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string failure;
    try {
        ImportOutcome outcome = morv::runImport(m_app, o, [&](int percent) {
            m_activity.doEvents();
            m_activity.setProgress("WORKING... Importing Elevation Data " + std::to_string(percent) + "%", percent);
            return s.gblnCancel;
        });
        if (outcome.error) std::rethrow_exception(outcome.error);
        m_result = std::move(outcome.result);
    } catch (const ImportError& e) {
        failure = e.what();
    } catch (const std::bad_alloc&) {
        failure = "There is not enough memory for a map this large.";
    } catch (const std::exception& e) {
        // Whatever else went wrong, the window comes back to life.
        failure = e.what();
    }
    QApplication::restoreOverrideCursor();
    m_activity.setStatus("");
    setInputsEnabled(true);
    s.gblnCancel = false;
    s.gblnBusy = false;
    m_running = false;
    if (!m_result) {
        if (!failure.empty()) refused(failure);
        return false;
    }
    const ImportReport& r = m_result->report;
    const HeightImage relief = shadedRelief(m_result->map, r.metresPerLevel, r.spacing);
    const QImage image(relief.grey(), relief.width(), relief.height(), relief.width(), QImage::Format_Grayscale8);
    picPreview->setPixmap(QPixmap::fromImage(
        image.scaled(kPreviewSide - 4, kPreviewSide - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    std::string report = importReportText(r);
    if (!report.empty() && report.back() == '\n') report.pop_back();
    lblReport->setText(QString::fromStdString(report));
    const std::string warning = inventedTerrainWarning(r);
    lblWarning->setText(QString::fromStdString(warning));
    lblWarning->setVisible(!warning.empty());
    lblPreviewCaption->show();
    return true;
}

std::vector<std::string> FrmImport::demFiles() const {
    std::vector<std::string> files;
    for (int i = 0; i < lstDemFiles->count(); ++i) files.push_back(lstDemFiles->item(i)->text().toStdString());
    return files;
}

void FrmImport::updateRemoveDem() {
    cmdRemoveDem->setEnabled(lstDemFiles->isEnabled() && !lstDemFiles->selectedItems().isEmpty());
}

void FrmImport::cmdAddDem_Click() {
    if (!m_app.prompter) return;
    const std::vector<std::string> chosen = m_app.prompter->openFileNames(
        "Elevation data|*.hgt;*.tif;*.tiff;*.asc;*.dem|All files|*", 1, "");
    // A file already listed is not listed twice; the ones added stay selected, so
    // Remove takes back a wrong choice at once.
    QListWidgetItem* last = nullptr;
    for (const std::string& path : chosen) {
        const QString name = QString::fromStdString(path);
        if (name.trimmed().isEmpty() || !lstDemFiles->findItems(name, Qt::MatchExactly).isEmpty()) continue;
        if (!last) lstDemFiles->clearSelection();
        last = new QListWidgetItem(name, lstDemFiles);
        last->setSelected(true);
    }
    if (last) lstDemFiles->setCurrentItem(last, QItemSelectionModel::Current);
}

void FrmImport::cmdRemoveDem_Click() {
    const QList<QListWidgetItem*> selected = lstDemFiles->selectedItems();
    if (selected.isEmpty() || !lstDemFiles->isEnabled()) return;
    int next = lstDemFiles->count();
    for (QListWidgetItem* item : selected) next = std::min(next, lstDemFiles->row(item));
    for (QListWidgetItem* item : selected) delete item;
    // The file now in the place of the first removed is selected, so Remove can go on.
    if (lstDemFiles->count() > 0) {
        QListWidgetItem* item = lstDemFiles->item(std::min(next, lstDemFiles->count() - 1));
        lstDemFiles->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    }
    lstDemFiles->setFocus();
    updateRemoveDem();
}

void FrmImport::cmdBrowseMap_Click() {
    if (!m_app.prompter) return;
    const std::string chosen = m_app.prompter->saveFileName(text(txtMapFile));
    if (!chosen.empty()) txtMapFile->setText(QString::fromStdString(chosen));
}

void FrmImport::cmdPreview_Click() {
    if (const std::optional<ImportOptions> o = readOptions()) runImport(*o);
}

void FrmImport::cmdImport_Click() {
    // The fields are checked in the order the form shows them, the map file last.
    const std::optional<ImportOptions> o = readOptions();
    if (!o) return;
    const std::string path = text(txtMapFile);
    if (path.empty()) return refused("Choose the map file to write.");
    if (!runImport(*o)) return;
    auto replace = [&](const std::string& target) {
        return m_app.prompter &&
               m_app.prompter->msgBox(target + " exists. Replace it?", mb::YesNo + mb::Question, kTitle) == mb::Yes;
    };
    try {
        if (!writeImport(m_app, *m_result, path, pictureTypeFor(path, std::nullopt), Existing::Refuse, {}, replace)) return;
    } catch (const RuntimeError& e) {
        return refused(e.description());
    }
    m_writtenMap = path;
    accept();
}

}  // namespace morv
