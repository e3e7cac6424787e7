#pragma once
#include <functional>

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace morv {

/// The OK and Cancel buttons of a dialog that checks its fields: OK ("cmdOK", the
/// default button, set into ok) accepts only when acceptable says so; Cancel
/// ("cmdCancel") rejects.
inline QDialogButtonBox* okCancelButtons(QDialog* dialog, QPushButton*& ok, std::function<bool()> acceptable = {}) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, acceptable = std::move(acceptable)] {
        if (!acceptable || acceptable()) dialog->accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace morv
