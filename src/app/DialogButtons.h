#pragma once
// The row of closing buttons most dialogs end with.
class QDialog;
class QHBoxLayout;
class QPushButton;
class QString;

namespace tessaly {

struct DialogButtons {
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QHBoxLayout* row; // the two buttons at its right end
};

// btnOk (the default button, with the caption given) accepts the dialog and
// btnCancel ("Cancel") rejects it.
DialogButtons MakeDialogButtons(QDialog* dialog, const QString& okCaption);

} // namespace tessaly
