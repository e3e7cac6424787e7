#include "ui/QtPrompter.h"

#include <QFileDialog>
#include <QPushButton>

#include "core/Session.h"
#include "ui/DesktopSettings.h"

namespace morv {

BoxLook boxLookFor(int style) {
    using SB = QMessageBox::StandardButton;
    BoxLook look;
    switch (style & 15) {
    case mb::OKCancel: look.buttons = {SB::Ok, SB::Cancel}; break;
    case mb::AbortRetryIgnore: look.buttons = {SB::Abort, SB::Retry, SB::Ignore}; break;
    case mb::YesNoCancel: look.buttons = {SB::Yes, SB::No, SB::Cancel}; break;
    case mb::YesNo: look.buttons = {SB::Yes, SB::No}; break;
    case mb::RetryCancel: look.buttons = {SB::Retry, SB::Cancel}; break;
    default: look.buttons = {SB::Ok}; break;
    }
    switch (style & 0x70) {
    case mb::Critical: look.icon = QMessageBox::Critical; break;
    case mb::Question: look.icon = QMessageBox::Question; break;
    case mb::Exclamation: look.icon = QMessageBox::Warning; break;
    case mb::Information: look.icon = QMessageBox::Information; break;
    default: look.icon = QMessageBox::NoIcon; break;
    }
    const int wanted = (style & 0x300) >> 8;
    look.defaultIndex = wanted < int(look.buttons.size()) ? wanted : 0;
    return look;
}

int answerCodeFor(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok: return mb::OK;
    case QMessageBox::Abort: return mb::Abort;
    case QMessageBox::Retry: return mb::Retry;
    case QMessageBox::Ignore: return mb::Ignore;
    case QMessageBox::Yes: return mb::Yes;
    case QMessageBox::No: return mb::No;
    default: return mb::Cancel;
    }
}

QString displayText(std::string_view text) {
    QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QStringList qtFilters(std::string_view filter) {
    const QStringList parts = QString::fromUtf8(filter.data(), qsizetype(filter.size())).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

int QtPrompter::msgBox(std::string_view text, int style, std::string_view title) {
    const BoxLook look = boxLookFor(style);
    QMessageBox box(m_parent);
    box.setWindowTitle(QString::fromUtf8(title.data(), qsizetype(title.size())));
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(look.icon);
    std::vector<QPushButton*> pushes;
    if ((style & 15) == mb::AbortRetryIgnore) {
        // Abort, Retry and Ignore must be chosen: the box has no Cancel, so Esc and
        // its close control do nothing (Qt would take Abort for them). Each button
        // has its letter.
        // One role for all three keeps them in this order on every platform.
        for (const char* caption : {"&Abort", "&Retry", "&Ignore"})
            pushes.push_back(box.addButton(QString::fromUtf8(caption), QMessageBox::ActionRole));
    } else {
        for (QMessageBox::StandardButton b : look.buttons) pushes.push_back(box.addButton(b));
    }
    box.setDefaultButton(pushes[std::size_t(look.defaultIndex)]);
    // Esc answers Cancel, or No where there is no Cancel.
    for (std::size_t i = 0; i < look.buttons.size(); ++i)
        if (look.buttons[i] == QMessageBox::Cancel || (look.buttons[i] == QMessageBox::No && (style & 15) == mb::YesNo))
            box.setEscapeButton(pushes[i]);
    if ((style & 15) == mb::OKOnly) box.setEscapeButton(pushes[0]);
    box.exec();
    for (std::size_t i = 0; i < pushes.size(); ++i)
        if (box.clickedButton() == pushes[i]) return answerCodeFor(look.buttons[i]);
    return answerCodeFor(QMessageBox::NoButton);
}

std::string QtPrompter::openFileName(std::string_view filter, int filterIndex, std::string_view initial) {
    m_filters = qtFilters(filter);
    m_filterIndex = filterIndex;
    QFileDialog dialog(m_parent, QString(), dialogStart(QString::fromStdString(std::string(initial))));
    dialog.setObjectName(QStringLiteral("cdbMain"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any typed name is accepted: Open itself tells the user when it is not there.
    dialog.setFileMode(QFileDialog::AnyFile);
    return runFileDialog(dialog);
}

std::vector<std::string> QtPrompter::openFileNames(std::string_view filter, int filterIndex, std::string_view initial) {
    QFileDialog dialog(m_parent, QString(), dialogStart(QString::fromStdString(std::string(initial))));
    dialog.setObjectName(QStringLiteral("cdbFiles"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    const QStringList filters = qtFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size()) dialog.selectNameFilter(filters[filterIndex - 1]);
    std::vector<std::string> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& f : dialog.selectedFiles()) chosen.push_back(f.toStdString());
    if (!chosen.empty()) rememberFolderOf(dialog.selectedFiles().constFirst());
    return chosen;
}

std::string QtPrompter::saveFileName(std::string_view initial) {
    QFileDialog dialog(m_parent, QString(), dialogStart(QString::fromStdString(std::string(initial))));
    dialog.setObjectName(QStringLiteral("cdbMain"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Overwriting is asked by the program's own dialog, not by the file dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return runFileDialog(dialog);
}

std::string QtPrompter::saveFileNameOfType(std::string_view initial, const std::vector<std::string>& types,
                                           int& typeIndex) {
    QStringList filters;
    for (const auto& t : types) filters << QString::fromStdString(t);
    QFileDialog dialog(m_parent, QString(), dialogStart(QString::fromStdString(std::string(initial))));
    dialog.setObjectName(QStringLiteral("cdbMain"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    if (typeIndex >= 0 && typeIndex < filters.size()) dialog.selectNameFilter(filters[typeIndex]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    if (const auto at = filters.indexOf(dialog.selectedNameFilter()); at >= 0) typeIndex = int(at);
    const QString chosen = dialog.selectedFiles().constFirst();
    rememberFolderOf(chosen);
    return chosen.toStdString();
}

std::string QtPrompter::folderName(std::string_view initial) {
    QFileDialog dialog(m_parent, QStringLiteral("Export Asset"), dialogStart(QString::fromStdString(std::string(initial))));
    dialog.setObjectName(QStringLiteral("cdbFolder"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    // The remembered folder stays the one of the last Open or Save As.
    return dialog.selectedFiles().constFirst().toStdString();
}

std::string QtPrompter::runFileDialog(QFileDialog& dialog) {
    // The filter list Open set, with the entry Open preselects chosen in both dialogs.
    dialog.setNameFilters(m_filters);
    if (m_filterIndex >= 1 && m_filterIndex <= m_filters.size()) dialog.selectNameFilter(m_filters[m_filterIndex - 1]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    rememberFolderOf(chosen);
    return chosen.toStdString();
}

}  // namespace morv
