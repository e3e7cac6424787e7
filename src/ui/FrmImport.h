#pragma once
#include <QDialog>
#include <optional>
#include <string>

#include "core/App.h"
#include "io/ElevationImport.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace morv {

/// "Import Elevation Data": the choices of `morv-cli import` in a window, a preview
/// of the area's shaded relief, and the new map written and opened when done.
class FrmImport : public QDialog {
public:
    /// Builds the window with empty fields.
    explicit FrmImport(App& app, QWidget* parent = nullptr);

    /// The height map written by Import, "" until then; the main window opens it.
    const std::string& writtenMap() const { return m_writtenMap; }

private:
    /// The choices read from the fields; a message box names the first bad one.
    std::optional<ImportOptions> readOptions();
    /// Runs the import on the fields' choices; shows the shaded relief and the report.
    bool runImport();
    void cmdBrowseDem_Click();
    void cmdBrowseMap_Click();
    void cmdPreview_Click();
    void cmdImport_Click();
    void refused(const std::string& text);

    App& m_app;
    std::string m_writtenMap;
    std::optional<ImportResult> m_result;
    QLineEdit* txtDemFiles = nullptr;
    QLineEdit* txtArea = nullptr;
    QLineEdit* txtCrs = nullptr;
    QComboBox* cboResample = nullptr;
    QComboBox* cboGrid = nullptr;
    QLineEdit* txtSpacing = nullptr;
    QLineEdit* txtBoards = nullptr;
    QLineEdit* txtHeights = nullptr;
    QLineEdit* txtGround = nullptr;
    QLineEdit* txtMapFile = nullptr;
    QLabel* picPreview = nullptr;
    QLabel* lblReport = nullptr;
};

}  // namespace morv
