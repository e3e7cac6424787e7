#include "ui/FrmExportAsset.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/Prompter.h"
#include "io/AssetFolder.h"

namespace morv {

namespace {

std::string text(const QLineEdit* e) { return e->text().trimmed().toStdString(); }

QLineEdit* field(QWidget* parent, const char* name, const std::string& value) {
    auto* e = new QLineEdit(QString::fromStdString(value), parent);
    e->setObjectName(QString::fromUtf8(name));
    e->setMinimumWidth(360);
    return e;
}

}  // namespace

FrmExportAsset::FrmExportAsset(const AssetChoice& offered, Prompter* prompter, QWidget* parent)
    : QDialog(parent), m_prompter(prompter) {
    setObjectName(QStringLiteral("frmExportAsset"));
    setWindowTitle(QStringLiteral("Export Asset"));
    txtFolder = field(this, "txtFolder", offered.folder);
    cmdBrowseFolder = new QPushButton(QStringLiteral("Br&owse..."), this);
    cmdBrowseFolder->setObjectName(QStringLiteral("cmdBrowseFolder"));
    cmdBrowseFolder->setAutoDefault(false);
    txtAssetName = field(this, "txtAssetName", offered.name);
    txtUserId = field(this, "txtUserId", offered.userId);
    txtUserId->setPlaceholderText(QStringLiteral("empty: fill it into config.txt by hand"));
    txtContentId = field(this, "txtContentId", offered.contentId);
    txtContentId->setPlaceholderText(QStringLiteral("empty: made from the name"));
    spnGround = new QSpinBox(this);
    spnGround->setObjectName(QStringLiteral("spnGround"));
    spnGround->setRange(0, 255);
    spnGround->setValue(offered.ground);
    spnGround->setToolTip(QStringLiteral("The map's level the asset holds at 127: higher levels raise the ground, "
                                         "lower ones lower it"));
    lblFiles = new QLabel(this);
    lblFiles->setObjectName(QStringLiteral("lblFiles"));
    lblFiles->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdExport = new QPushButton(QStringLiteral("&Export"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setDefault(true);
    auto* cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);

    auto* form = new QFormLayout;
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(txtFolder);
    folderRow->addWidget(cmdBrowseFolder);
    // A caption beside a row of two widgets needs its buddy named to answer its Alt letter.
    auto* folderCaption = new QLabel(QStringLiteral("&Folder:"), this);
    folderCaption->setBuddy(txtFolder);
    form->addRow(folderCaption, folderRow);
    form->addRow(QStringLiteral("Asset &name:"), txtAssetName);
    form->addRow(QStringLiteral("&User id (kuid):"), txtUserId);
    form->addRow(QStringLiteral("&Content id (kuid):"), txtContentId);
    form->addRow(QStringLiteral("&Ground level (stays put):"), spnGround);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addWidget(lblFiles);
    all->addLayout(buttons);

    connect(cmdBrowseFolder, &QPushButton::clicked, this, &FrmExportAsset::cmdBrowseFolder_Click);
    connect(cmdExport, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QLineEdit* e : {txtFolder, txtAssetName, txtUserId, txtContentId})
        connect(e, &QLineEdit::textChanged, this, &FrmExportAsset::showFiles);
    showFiles();
}

AssetChoice FrmExportAsset::choice() const {
    return {text(txtFolder), text(txtAssetName), text(txtUserId), text(txtContentId), spnGround->value()};
}

void FrmExportAsset::cmdBrowseFolder_Click() {
    if (!m_prompter) return;
    const std::string chosen = m_prompter->folderName(text(txtFolder));
    if (!chosen.empty()) txtFolder->setText(QString::fromStdString(chosen));
}

void FrmExportAsset::showFiles() {
    const AssetChoice c = choice();
    std::string problem = c.folder.empty() ? "Choose the folder to write into." : assetNameProblem(c.name);
    if (problem.empty() && !c.userId.empty()) problem = userIdProblem(c.userId);
    if (problem.empty() && !c.contentId.empty()) problem = contentIdProblem(c.contentId);
    cmdExport->setEnabled(problem.empty());
    if (!problem.empty()) return lblFiles->setText(QString::fromStdString(problem));
    const std::string folder = c.folder.back() == '/' ? c.folder : c.folder + "/";
    AssetKuid kuid;
    if (!c.userId.empty()) kuid.user = c.userId;
    kuid.content = c.contentId.empty() ? contentIdFor(c.name) : c.contentId;
    const AssetFiles files = assetFileNames(c.name);
    lblFiles->setText(QString::fromStdString(
        "Writes into " + folder + ":\n  " + files.image + "\n  " + files.thumbnail + "\n  " + files.config + ", kuid " +
        kuidText(kuid) +
        (c.userId.empty() ? "\n(put your user id into config.txt before you import the folder)" : "")));
}

}  // namespace morv
