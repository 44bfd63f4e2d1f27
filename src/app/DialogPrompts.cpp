#include "DialogPrompts.h"

#include "TextConv.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace tessaly {

namespace {

QMessageBox::StandardButton toQt(PromptButton b) {
    switch (b) {
    case Ok:
        return QMessageBox::Ok;
    case Cancel:
        return QMessageBox::Cancel;
    case Yes:
        return QMessageBox::Yes;
    case No:
        return QMessageBox::No;
    default:
        return QMessageBox::NoButton;
    }
}

// "Desc|*.a;*.b|All|*.*" to Qt's "Desc (*.a *.b);;All (*)".
QString qtFilter(const std::string& filter) {
    QStringList parts = qs(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        patterns.replace("*.*", "*");
        out << parts[i] + " (" + patterns.simplified() + ")";
    }
    return out.join(";;");
}

} // namespace

PromptButton DialogPrompts::message(const PromptMessage& msg) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(qs(msg.caption));
    box.setText(qs(msg.text));
    switch (msg.icon) {
    case PromptIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case PromptIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case PromptIcon::None:
        break;
    }
    QMessageBox::StandardButtons buttons;
    for (PromptButton b : {Yes, No, Ok, Cancel})
        if (msg.buttons & b)
            buttons |= toQt(b);
    box.setStandardButtons(buttons);
    if (msg.defaultButton != NoButton)
        box.setDefaultButton(toQt(msg.defaultButton));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Ok;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        return Cancel;
    }
}

std::optional<std::string> DialogPrompts::chooseFile(const FileRequest& req) {
    QWidget* parent = QApplication::activeWindow();
    QString start = qs(req.initialFolder);
    if (!req.fileName.empty())
        start = req.fileName.find('/') != std::string::npos ? qs(req.fileName)
                                                            : start + qs(req.fileName);
    QString chosen;
    switch (req.kind) {
    case FileRequest::Open:
        chosen = QFileDialog::getOpenFileName(parent, qs(req.caption), start, qtFilter(req.filter));
        break;
    case FileRequest::Save: {
        QFileDialog dlg(parent, qs(req.caption), start, qtFilter(req.filter));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(qs(req.defaultExt));
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !req.overwritePrompt);
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            chosen = dlg.selectedFiles().front();
        break;
    }
    case FileRequest::Folder:
        chosen = QFileDialog::getExistingDirectory(parent, qs(req.caption), start);
        break;
    }
    if (chosen.isEmpty())
        return std::nullopt;
    return ss(chosen);
}

std::optional<std::string> DialogPrompts::inputText(const InputRequest& req) {
    bool ok = false;
    QString text = QInputDialog::getText(
        QApplication::activeWindow(), qs(req.caption), qs(req.label),
        req.masked ? QLineEdit::Password : QLineEdit::Normal, qs(req.text), &ok);
    if (!ok)
        return std::nullopt;
    return ss(text);
}

} // namespace tessaly
