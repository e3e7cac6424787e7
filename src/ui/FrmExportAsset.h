#pragma once
#include <QDialog>

#include "commands/Host.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace morv {

class Prompter;

/// File > Export Asset's questions: the folder, the asset's name, the user and
/// content ids of its kuid and the map's level that becomes neutral, with the files the export will write listed below them. Export
/// stays off while a field cannot be used, and the list says why.
class FrmExportAsset : public QDialog {
public:
    /// Builds the dialog with offered in its fields; Browse asks prompter for a folder.
    FrmExportAsset(const AssetChoice& offered, Prompter* prompter, QWidget* parent = nullptr);

    /// What the fields hold now, trimmed.
    AssetChoice choice() const;

private:
    void cmdBrowseFolder_Click();
    void showFiles();

    Prompter* m_prompter;
    QLineEdit* txtFolder = nullptr;
    QLineEdit* txtAssetName = nullptr;
    QLineEdit* txtUserId = nullptr;
    QLineEdit* txtContentId = nullptr;
    QSpinBox* spnGround = nullptr;
    QLabel* lblFiles = nullptr;
    QPushButton* cmdBrowseFolder = nullptr;
    QPushButton* cmdExport = nullptr;
};

}  // namespace morv
