#include "DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace tessaly {

DialogButtons MakeDialogButtons(QDialog* dialog, const QString& okCaption) {
    auto* btnOk = new QPushButton(okCaption, dialog);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    auto* btnCancel = new QPushButton("Cancel", dialog);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setAutoDefault(false);
    QObject::connect(btnOk, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(btnCancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(btnOk);
    row->addWidget(btnCancel);
    return {btnOk, btnCancel, row};
}

} // namespace tessaly
