#pragma once
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "commands/Host.h"
#include "core/App.h"
#include "commands/ImportCommands.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace morv {

/// "Import Elevation Data": the choices of `morv-cli import` in a window, a preview
/// of the area's shaded relief, and the new map written and opened when done.
/// While an import runs its progress is the status text of activity, which also
/// serves the events; Esc or closing the window asks whether to cancel it.
class FrmImport : public QDialog {
public:
    /// Builds the window with empty fields.
    FrmImport(App& app, Activity& activity, QWidget* parent = nullptr);

    /// The height map written by Import, "" until then; the main window opens it.
    const std::string& writtenMap() const { return m_writtenMap; }

    /// Esc, Cancel and the window's close button: while an import runs, asks
    /// whether to cancel it (the window stays); otherwise closes the window.
    void reject() override;

private:
    /// The choices read from the fields; a message box names the first bad one.
    std::optional<ImportOptions> readOptions();
    /// Runs the import on choices read from the fields; shows the shaded relief and the report.
    bool runImport(const ImportOptions& options);
    /// The elevation files of the list, in its order.
    std::vector<std::string> demFiles() const;
    void cmdAddDem_Click();
    void cmdRemoveDem_Click();
    /// Remove is usable while files are selected and the fields are.
    void updateRemoveDem();
    void cmdBrowseMap_Click();
    void cmdPreview_Click();
    void cmdImport_Click();
    void refused(const std::string& text);
    /// Enables or disables the fields and the buttons that start work.
    void setInputsEnabled(bool enabled);

    App& m_app;
    Activity& m_activity;
    bool m_running = false;
    std::string m_writtenMap;
    std::optional<ImportResult> m_result;
    QListWidget* lstDemFiles = nullptr;
    QLineEdit* txtArea = nullptr;
    QLineEdit* txtCrs = nullptr;
    QComboBox* cboResample = nullptr;
    QComboBox* cboGrid = nullptr;
    QLineEdit* txtSpacing = nullptr;
    QLineEdit* txtBoards = nullptr;
    QLineEdit* txtHeights = nullptr;
    QLineEdit* txtGround = nullptr;
    QComboBox* cboOutside = nullptr;
    QComboBox* cboVoids = nullptr;
    QLineEdit* txtMapFile = nullptr;
    QLabel* picPreview = nullptr;
    QLabel* lblPreviewCaption = nullptr;
    QLabel* lblReport = nullptr;
    QLabel* lblWarning = nullptr;
    QPushButton* cmdAddDem = nullptr;
    QPushButton* cmdRemoveDem = nullptr;
    QPushButton* cmdBrowseMap = nullptr;
    QPushButton* cmdPreview = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;
};

}  // namespace morv
