#include "Shell.h"

#include "Prompts.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tessaly {

namespace {

int desktopOpen(const std::string& target) {
    QString t = QString::fromStdString(target);
    QUrl url = QUrl::fromUserInput(t, QString(), QUrl::AssumeLocalFile);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return 2;
    return QDesktopServices::openUrl(url) ? 42 : 31;
}

ShellLauncher launcher = desktopOpen;

} // namespace

void setShellLauncher(ShellLauncher l) {
    launcher = l ? std::move(l) : desktopOpen;
}

int ShellOpen(const std::string& target, const std::string&, const std::string&, int) {
    // Counted in characters, as the desktop's own limit was.
    if (QString::fromStdString(target).size() >= 256) {
        messageDlg("The path to the file is too long, please ensure the path is less than 255 "
                   "characters.",
                   "Information", PromptIcon::Information, Ok);
        return 2;
    }
    return launcher(target);
}

void OpenDocument(const std::string& target) {
    ShowShellError(ShellOpen(target, {}, {}, SW_SHOWNOACTIVATE));
}

std::string ShellErrorText(int code) {
    switch (code) {
    case 0:
        return "The operating system is out of memory or resources.";
    case 2:
        return "The specified file was not found.";
    case 3:
        return "The specified path was not found.";
    case 5:
        return "The operating system denied access to the specified file.";
    case 8:
        return "There was not enough memory to complete the operation.";
    case 11:
        return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26:
        return "A sharing violation occurred.";
    case 27:
        return "The filename association is incomplete or invalid.";
    case 28:
        return "The DDE transaction could not be completed because the request timed out.";
    case 29:
        return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not be completed because other DDE transactions were "
               "being processed.";
    case 31:
        return "There is no application associated with the given filename extension.";
    case 32:
        return "The specified dynamic-link library was not found.";
    default:
        return "An unknown error occurred when trying to load file in associated application.";
    }
}

void ShowShellError(int code) {
    if (code > 32)
        return;
    messageDlg("Unable to execute file:\n\n" + ShellErrorText(code), "Error", PromptIcon::Warning,
               Ok);
}

} // namespace tessaly
