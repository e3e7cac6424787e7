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
    for (QMessageBox::StandardButton b : look.buttons) pushes.push_back(box.addButton(b));
    box.setDefaultButton(pushes[std::size_t(look.defaultIndex)]);
    // Esc answers Cancel, or No where there is no Cancel; Abort/Retry/Ignore must be chosen.
    for (std::size_t i = 0; i < look.buttons.size(); ++i)
        if (look.buttons[i] == QMessageBox::Cancel || (look.buttons[i] == QMessageBox::No && (style & 15) == mb::YesNo))
            box.setEscapeButton(pushes[i]);
    if ((style & 15) == mb::OKOnly) box.setEscapeButton(pushes[0]);
    box.exec();
    return answerCodeFor(box.standardButton(box.clickedButton()));
}

std::string QtPrompter::openFileName(std::string_view filter, int filterIndex, std::string_view initial) {
    m_filters = qtFilters(filter);
    QString selected = filterIndex >= 1 && filterIndex <= m_filters.size() ? m_filters[filterIndex - 1] : QString();
    const QString chosen = QFileDialog::getOpenFileName(m_parent, QString(), dialogStart(QString::fromStdString(std::string(initial))),
                                                        m_filters.join(QStringLiteral(";;")), &selected);
    rememberFolderOf(chosen);
    return chosen.toStdString();
}

std::string QtPrompter::saveFileName(std::string_view initial) {
    // Overwriting is asked by the program's own dialog, not by the file dialog.
    const QString chosen = QFileDialog::getSaveFileName(m_parent, QString(), dialogStart(QString::fromStdString(std::string(initial))),
                                                        m_filters.join(QStringLiteral(";;")), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    rememberFolderOf(chosen);
    return chosen.toStdString();
}

}  // namespace morv
