#pragma once
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "core/Prompter.h"

class QFileDialog;
class QWidget;

namespace morv {

/// How a message-box style code looks: its buttons in order, its icon and the
/// button that Enter presses.
struct BoxLook {
    std::vector<QMessageBox::StandardButton> buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int defaultIndex = 0;
};

/// The look of a style code: buttons 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore,
/// 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel; icon 16 critical, 32 question,
/// 48 exclamation, 64 information; +256 second button default, +512 third.
BoxLook boxLookFor(int style);

/// The answer code (1..7) of a standard button; 2 (Cancel) for anything else.
int answerCodeFor(QMessageBox::StandardButton button);

/// A message text as shown: each carriage return (alone or before a line feed)
/// becomes one line break.
QString displayText(std::string_view text);

/// Qt's filter list from "label|pattern|label|pattern" ("*.bmp;*.jpg" patterns
/// become "label (*.bmp *.jpg)").
QStringList qtFilters(std::string_view filter);

/// The real message boxes and file dialogs, shown over the given parent window.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    /// Sets the window the boxes and dialogs are shown over.
    void setParent(QWidget* parent) { m_parent = parent; }

    /// Shows a modal QMessageBox with the style's buttons, icon and default button.
    int msgBox(std::string_view text, int style, std::string_view title) override;
    /// Shows the open dialog at initial with the filterIndex-th (1-based) filter
    /// chosen; any typed name is accepted, existing or not.
    std::string openFileName(std::string_view filter, int filterIndex, std::string_view initial) override;
    /// Shows the open dialog taking one or more existing files, filters as above.
    std::vector<std::string> openFileNames(std::string_view filter, int filterIndex, std::string_view initial) override;
    /// Shows the save dialog starting from initial, with the filter list Open set and
    /// the entry Open preselected.
    std::string saveFileName(std::string_view initial) override;
    std::string saveFileNameOfType(std::string_view initial, const std::vector<std::string>& types,
                                   int& typeIndex) override;
    /// Shows a folder dialog (one that can make a new folder) starting in initial.
    std::string folderName(std::string_view initial) override;

private:
    /// Shows a file dialog with Open's filter list; the chosen path, "" when cancelled.
    std::string runFileDialog(QFileDialog& dialog);

    QWidget* m_parent;
    QStringList m_filters;  // the list Open set; the save dialog keeps it
    int m_filterIndex = 0;  // the entry Open preselected (1-based)
};

}  // namespace morv
