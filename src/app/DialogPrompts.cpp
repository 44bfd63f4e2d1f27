#include "DialogPrompts.h"

#include "TextConv.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
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
    for (const auto& [button, text] : msg.buttonTexts)
        if (QAbstractButton* shown = box.button(toQt(button)))
            shown->setText(qs(text));
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

std::vector<std::string> DialogPrompts::chooseFiles(const FileRequest& req) {
    std::vector<std::string> out;
    for (const QString& f :
         QFileDialog::getOpenFileNames(QApplication::activeWindow(), qs(req.caption),
                                       qs(req.initialFolder), qtFilter(req.filter)))
        out.push_back(ss(f));
    return out;
}

std::optional<std::int32_t> DialogPrompts::chooseColor(const ColorRequest& req) {
    const std::int32_t bgr = req.initial;
    QColor chosen =
        QColorDialog::getColor(QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF),
                               QApplication::activeWindow(), qs(req.caption));
    if (!chosen.isValid())
        return std::nullopt;
    return std::int32_t(chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16));
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
