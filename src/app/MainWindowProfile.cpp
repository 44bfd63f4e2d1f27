// Start-up, profiles and settings: first activation, open, show, save, the
// close query.
#include "MainWindow.h"

#include <cstdio>

#include "CommandLine.h"
#include "FileRoutines.h"
#include "Folders.h"
#include "ProfileFile.h"
#include "Prompts.h"
#include "Spider.h"
#include "TextConv.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace tessaly {

namespace {
const char* kProfileFilter = "Quorvane Google Tessaly Profile (*.qvt)|*.qvt";
// Profiles and settings are small; anything larger is not one.
constexpr std::int64_t kMaxProfileBytes = 16 << 20;
} // namespace

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
        if (!CommandLineProfile.empty()) {
            // The name is taken only from a profile that opens: a file that
            // fails to open must never be written over by a later save.
            if (!OpenProfile(CommandLineProfile))
                ShowProfile();
        } else {
            // A name that does not exist yet is where the new profile goes.
            if (!names.isEmpty())
                Profile.setFileName(ss(names.front()));
            ShowProfile();
            UpdateCaption();
            if (AutoRun) {
                // Nobody is there to pick a profile: the unattended run fails.
                std::string name = names.isEmpty() ? std::string() : ss(names.front());
                ShowFileError("Cannot open file \"" + name + "\". No such file or directory");
                EndUnattendedRun();
                return;
            }
        }
    } else if (Settings->LoadLast && FileExists(Settings->LastFile)) {
        if (!OpenProfile(Settings->LastFile))
            ShowProfile();
    } else {
        ShowProfile();
    }
    if (optLocal->isChecked())
        editIndex->setFocus();
    else
        editWebsite->setFocus();
    loadAnimation();
}

void TfrmSiteMapMain::EndUnattendedRun() {
    AutoRun = false;
    ClosingUnattended = true;
    close();
}

void TfrmSiteMapMain::ReadSettings() {
    Settings = std::make_unique<TSiteMapSettings>();
    const std::string own = Settings->SettingFile;
    // A portable copy keeps its settings beside the program; they are read
    // until the user has settings of their own, which are the ones written.
    std::string file = own;
    if (!FileExists(file))
        file = ExecutableFolder() + "SiteMap.dat";
    if (!FileExists(file))
        return;
    try {
        SettingsFromBytes(ReadFileText(file, kMaxProfileBytes), *Settings);
    } catch (const std::exception& e) {
        // Damaged settings cost the user nothing but the remembered profile:
        // warn, and go on with the defaults (the next close writes them).
        Settings = std::make_unique<TSiteMapSettings>();
        messageDlg(std::string(e.what()) + "\n\nThe settings file \"" + file +
                       "\" could not be read; the default settings are used.",
                   "Settings", PromptIcon::Warning, Ok);
    }
    // The file names itself; it is always written to the user's own place.
    Settings->SettingFile = own;
}

void TfrmSiteMapMain::WriteSettings() {
    QDir().mkpath(qs(ExtractFilePath(Settings->SettingFile)));
    WriteFileText(SettingsToBytes(*Settings), Settings->SettingFile);
}

void TfrmSiteMapMain::ShowFileError(const std::string& text) {
    RunFailed = true;
    messageDlg(text, "Error", PromptIcon::Error, Ok);
}

bool TfrmSiteMapMain::OpenProfile(const std::string& path) {
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
    read.setSitemapProtocol(spSitemaps09);
    read.setLastModWhenKnown(true);
    read.setSitemapAddress({});
    read.setUserAgent({});
    read.setObeyRobotsTxt(true);
    try {
        std::string bytes = ReadFileText(path, kMaxProfileBytes);
        try {
            ProfileFromBytes(bytes, read);
        } catch (const EStreamError& e) {
            throw EStreamError("Cannot read the profile \"" + path + "\". " + e.what());
        }
    } catch (const std::exception& e) {
        ShowFileError(e.what());
        if (AutoRun)
            EndUnattendedRun();
        return false;
    }
    read.setOutputFormat(mfmtList);
    read.setClassAttribs(true);
    read.setNoFolderLinks(true);
    read.setMakeGoogleSM(true);
    read.setFileName(path);
    Profile = read;
    // A sitemap written for the profile open before is not this one's to upload.
    SitemapFiles.clear();
    ShowProfile();
    UpdateCaption();
    if (AutoRun && Profile.OutputType() == moutEditor) {
        // The editor is a window for a person; nothing would be written.
        ShowFileError("The profile \"" + path +
                      "\" shows its site map in the editor, which an unattended run cannot "
                      "do. Choose file output for it in the profile's output settings.");
        EndUnattendedRun();
        return true;
    }
    if (AutoRun)
        ButtonClick(btnNext);
    return true;
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
        req.initialFolder = DataFolder() + "Profiles/";
        QDir().mkpath(qs(req.initialFolder));
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

void TfrmSiteMapMain::WriteProfileFile() {
    if (Settings)
        Settings->LastFile = Profile.FileName();
    Profile.setOutputFormat(mfmtList);
    Profile.setClassAttribs(true);
    Profile.setNoFolderLinks(true);
    WriteFileText(ProfileToBytes(Profile), Profile.FileName());
}

void TfrmSiteMapMain::SaveProfileUnattended() {
    // Only what the run changed is written back, and only after a run that
    // did its work: a failed run leaves the profile as it found it. A
    // profile that cannot be written (read-only, a full disk) costs the run
    // nothing once its maps are written and sent.
    if (!Profile.Modified || Profile.Untitled)
        return;
    try {
        WriteProfileFile();
        Profile.Modified = false;
    } catch (const std::exception& e) {
        ProfileWriteFailed = true;
        std::fprintf(stderr, "Warning: the profile was not written back. %s\n", e.what());
    }
}

bool TfrmSiteMapMain::WriteProfile() {
    try {
        WriteProfileFile();
    } catch (const std::exception& e) {
        // The old file is untouched and the profile stays modified.
        Profile.Modified = true;
        ProfileWriteFailed = true;
        ShowFileError(e.what());
        return false;
    }
    ProfileWriteFailed = false;
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
    std::string profiles = DataFolder() + "Profiles/";
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
    if (ClosingUnattended) {
        // An unattended run always ends; what it had to write back it wrote
        // when it succeeded.
        e->accept();
        return;
    }
    if (Profile.Modified && !AskSaveChanges()) {
        e->ignore();
        return;
    }
    // A search would otherwise go on unseen after the window closed.
    if (LocalScanRunning || (Spider && Spider->SpiderRunning()))
        Cancel();
    e->accept();
}

} // namespace tessaly
