// Start-up, profiles and settings: first activation, open, show, save, the
// close query.
#include "MainWindow.h"

#include "CommandLine.h"
#include "FileRoutines.h"
#include "Folders.h"
#include "ProfileFile.h"
#include "Prompts.h"
#include "TextConv.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace tessaly {

namespace {
const char* kProfileFilter = "Quorvane Google Tessaly Profile (*.qvt)|*.qvt";
}

void TfrmSiteMapMain::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!FirstActivation)
        return;
    FirstActivation = false;
    for (const QString& a : Args) {
        if (IsAutoSwitch(ss(a)))
            AutoRun = true;
    }
    for (const QString& a : Args) {
        if (FileExists(ss(a))) {
            CommandLineProfile = ss(a);
            break;
        }
    }
    // Activation work runs once the window is up, as the first event after it.
    QTimer::singleShot(0, this, &TfrmSiteMapMain::FirstActivate);
}

void TfrmSiteMapMain::FirstActivate() {
    ReadSettings();
    // The switch is not a file name: the first other argument names the profile.
    QStringList names = Args;
    names.removeIf([](const QString& a) { return IsAutoSwitch(ss(a)); });
    if (!Args.isEmpty()) {
        if (!names.isEmpty())
            Profile.setFileName(ss(names.front()));
        if (!CommandLineProfile.empty()) {
            OpenProfile(CommandLineProfile);
        } else {
            ShowProfile();
            UpdateCaption();
            if (AutoRun) {
                // Nobody is there to pick a profile: the unattended run fails.
                std::string name = names.isEmpty() ? std::string() : ss(names.front());
                ShowFileError("Cannot open file \"" + name + "\". No such file or directory");
                AutoRun = false;
                close();
                return;
            }
        }
    } else if (Settings->LoadLast && FileExists(Settings->LastFile)) {
        OpenProfile(Settings->LastFile);
    } else {
        ShowProfile();
    }
    if (optLocal->isChecked())
        editIndex->setFocus();
    else
        editWebsite->setFocus();
    loadAnimation();
}

void TfrmSiteMapMain::ReadSettings() {
    Settings = std::make_unique<TSiteMapSettings>();
    if (!FileExists(Settings->SettingFile))
        return;
    try {
        SettingsFromBytes(ReadFileText(Settings->SettingFile), *Settings);
    } catch (const std::exception& e) {
        ShowFileError(e.what());
    }
}

void TfrmSiteMapMain::WriteSettings() {
    WriteFileText(SettingsToBytes(*Settings), Settings->SettingFile);
}

void TfrmSiteMapMain::ShowFileError(const std::string& text) {
    RunFailed = true;
    messageDlg(text, "Error", PromptIcon::Error, Ok);
}

void TfrmSiteMapMain::OpenProfile(const std::string& path) {
    if (Settings)
        Settings->LastFile = path;
    // Read into a copy, so a file that fails half way leaves the open profile
    // (and its file name) as it was.
    TMapProfile read = Profile;
    read.setMakeGoogleSM(false);
    read.setWebsite("http://");
    read.setServerName({});
    read.setServerDir({});
    read.setDefPri(0.5);
    read.setDefFreq(cfMonthly);
    read.setFileTypes({});
    read.setIgnoreFolders({});
    read.setIgnoreFiles({});
    read.setIndexPage({});
    read.setOutputFileName({});
    read.setOutputInsert({});
    read.setFollowQueryParts({});
    try {
        ProfileFromBytes(ReadFileText(path), read);
    } catch (const std::exception& e) {
        ShowFileError(e.what());
        if (AutoRun) {
            AutoRun = false;
            close();
        }
        return;
    }
    read.setOutputFormat(mfmtList);
    read.setClassAttribs(true);
    read.setNoFolderLinks(true);
    read.setMakeGoogleSM(true);
    read.setFileName(path);
    Profile = read;
    // A sitemap written for the profile open before is not this one's to upload.
    GoogleSiteMapFile.clear();
    ShowProfile();
    UpdateCaption();
    if (AutoRun)
        ButtonClick(btnNext);
}

void TfrmSiteMapMain::ShowProfile() {
    ShowingProfile = true;
    bool local = Profile.SpiderType() == mstLocal;
    optLocal->setChecked(local);
    optWebsite->setChecked(!local);
    lblIndexPage->setEnabled(local);
    editIndex->setEnabled(local);
    btnBrowseIndex->setEnabled(local);
    editIndex->setText(qs(Profile.IndexPage()));
    IgnoreFolderList = SplitLines(Profile.IgnoreFolders());
    IgnoreFileList = SplitLines(Profile.IgnoreFiles());
    editOutputFile->setText(qs(Profile.OutputFileName()));
    if (Profile.OutputType() == moutInsert || Profile.OutputType() == moutClipboard)
        Profile.setOutputType(moutFile);
    chkGoogle->setChecked(Profile.MakeGoogleSM());
    editWebsite->setText(qs(Profile.Website()));
    rbOutputFile->setChecked(Profile.OutputType() == moutFile);
    Profile.Modified = false;
    ShowingProfile = false;
}

bool TfrmSiteMapMain::SaveProfile() {
    return Profile.Untitled ? SaveProfileAs() : WriteProfile();
}

bool TfrmSiteMapMain::SaveProfileAs() {
    FileRequest req;
    req.kind = FileRequest::Save;
    req.filter = kProfileFilter;
    req.defaultExt = "qvt";
    req.overwritePrompt = true;
    if (Profile.Untitled) {
        req.initialFolder = ProgramFolder() + "Profiles/";
        req.fileName = "Untitled.qvt";
    } else {
        std::string folder = ExtractFilePath(Profile.FileName());
        if (DirectoryExists(folder))
            req.initialFolder = folder;
        req.fileName = Profile.FileName();
    }
    std::optional<std::string> chosen = prompts().chooseFile(req);
    if (!chosen)
        return false;
    Profile.setFileName(*chosen);
    return WriteProfile();
}

bool TfrmSiteMapMain::WriteProfile() {
    if (Settings)
        Settings->LastFile = Profile.FileName();
    Profile.setOutputFormat(mfmtList);
    Profile.setClassAttribs(true);
    Profile.setNoFolderLinks(true);
    try {
        WriteFileText(ProfileToBytes(Profile), Profile.FileName());
    } catch (const std::exception& e) {
        // The old file is untouched and the profile stays modified.
        Profile.Modified = true;
        ShowFileError(e.what());
        return false;
    }
    Profile.Modified = false;
    UpdateCaption();
    return true;
}

bool TfrmSiteMapMain::AutoSaveProfile() {
    if (!Profile.Untitled)
        return SaveProfile();
    if (!FileExists(Profile.OutputFileName()))
        return false;
    Profile.setFileName(ChangeFileExt(Profile.OutputFileName(), ".qvt"));
    return WriteProfile();
}

bool TfrmSiteMapMain::AskSaveChanges() {
    PromptButton answer =
        messageDlg("The settings for the current profile have changed.\n\n"
                   "Do you wish to save this profile?",
                   "Save Profile", PromptIcon::Question, Yes | No | PromptButton::Cancel);
    if (answer == Yes)
        return SaveProfile();
    return answer == No;
}

FileRequest TfrmSiteMapMain::OpenChooser(const std::string& filter, const std::string& current) {
    FileRequest req;
    req.kind = FileRequest::Open;
    req.filter = filter;
    std::string folder = ExtractFilePath(current);
    std::string profiles = ProgramFolder() + "Profiles/";
    if (DirectoryExists(folder))
        req.initialFolder = folder;
    else if (DirectoryExists(profiles))
        req.initialFolder = profiles;
    if (FileExists(current))
        req.fileName = current;
    return req;
}

void TfrmSiteMapMain::OpenCommand() {
    if (Profile.Modified && !AskSaveChanges())
        return;
    std::optional<std::string> chosen =
        prompts().chooseFile(OpenChooser(kProfileFilter, Profile.FileName()));
    if (!chosen)
        return;
    if (Step != 0) {
        Step = 0;
        ShowStep();
        QCoreApplication::processEvents();
    }
    OpenProfile(*chosen);
}

void TfrmSiteMapMain::closeEvent(QCloseEvent* e) {
    if (Profile.Modified && !AskSaveChanges()) {
        e->ignore();
        return;
    }
    e->accept();
}

} // namespace tessaly
