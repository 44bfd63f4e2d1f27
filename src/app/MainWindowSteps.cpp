// The wizard's step flow: the command dispatcher, Next, Back and Cancel, the
// checks before a search, the search and the output run.
#include "MainWindow.h"

#include "FileRoutines.h"
#include "Folders.h"
#include "Information.h"
#include "LocalScan.h"
#include "MapHtml.h"
#include "OutputRun.h"
#include "Prompts.h"
#include "QuorvaneFtp.h"
#include "ReqFilesDialog.h"
#include "Shell.h"
#include "Spider.h"
#include "StatusPageReporter.h"
#include "TextConv.h"
#include "TextRoutines.h"
#include "UploadTargetDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace tessaly {

void TfrmSiteMapMain::ButtonClick(QAbstractButton* sender) {
    if (!sender)
        return;
    switch (sender->property("tag").toInt()) {
    case 0:
        showMessage("Button Action Undefined for Control \"" + ss(sender->objectName()) +
                    "\"\n\nPlease report this error.\n\nPress CTRL-C to copy this message.");
        break;
    case 1:
        Next();
        break;
    case 2:
        Back();
        break;
    case 3:
        Cancel();
        break;
    case 4:
        OpenCommand();
        break;
    case 5:
        SaveProfile();
        break;
    case 9:
        ChooseIndexPage();
        break;
    case 10:
        ChooseOutputFile();
        break;
    case 11:
        ChooseInsertFile();
        break;
    case 12:
        SaveProfileAs();
        break;
    case 14:
        OpenDocument(Profile.OutputType() == moutInsert ? Profile.OutputInsert()
                                                        : Profile.OutputFileName());
        break;
    case 17:
        QGuiApplication::clipboard()->setText(qs(GeneratedMap));
        break;
    case 18:
        UploadGeneratedFiles();
        break;
    default:
        break;
    }
}

void TfrmSiteMapMain::SetWizardButtons(bool back, bool next, const QString& nextCaption,
                                       const QString& title) {
    btnBack->setEnabled(back);
    btnNext->setEnabled(next);
    setNextCaption(nextCaption);
    lblHeader->setText(title);
}

void TfrmSiteMapMain::setNextCaption(const QString& caption) {
    btnNext->setText(caption);
    miFTP->setEnabled(btnNext->text() == "Done");
}

void TfrmSiteMapMain::ShowStep() {
    btnCancel->setText("&Cancel");
    switch (Step) {
    case 0:
        SetWizardButtons(false, true, "&Next", "Gathering Information");
        btnCancel->setText("&Close");
        break;
    case 1:
        SetWizardButtons(false, false, "&Next", "Processing Files");
        btnCancel->setText("&Cancel");
        break;
    default:
        SetWizardButtons(true, true, "&Save", "Site Map Results");
        btnCancel->setText("&Close");
        break;
    }
    pcMain->setCurrentIndex(std::clamp(Step, 0, 2));
    if (Step == 2 && AutoRun)
        ButtonClick(btnNext);
}

void TfrmSiteMapMain::Next() {
    if (Step == 0) {
        if (!ValidateInformation()) {
            // Nobody can correct the field: the unattended run fails.
            if (AutoRun) {
                RunFailed = true;
                EndUnattendedRun();
            }
            return;
        }
        editWebsite->setText(qs(EnsureWebsiteSlash(Profile.Website())));
    }
    if (Step == 2) {
        CreateSiteMap();
        return;
    }
    ++Step;
    ShowStep();
    if (Step == 1)
        RunSearch();
}

void TfrmSiteMapMain::Back() {
    Step = 0;
    ShowStep();
    miFTP->setEnabled(btnNext->text() == "Done");
}

void TfrmSiteMapMain::Cancel() {
    AutoRun = false;
    if (LocalScanRunning) {
        // The scan returns at its next file and the search completes.
        if (LocalScan)
            LocalScan->Stop();
        return;
    }
    if (Spider && Spider->SpiderRunning()) {
        Spider->Cancel();
        aniTimer->stop();
        QCoreApplication::processEvents();
        btnBack->setEnabled(true);
        return;
    }
    if (btnCancel->text() == "&Close")
        close();
}

bool TfrmSiteMapMain::ValidateInformation() {
    InformationCheck check = tessaly::ValidateInformation(
        optLocal->isChecked(), Profile.IndexPage(), ss(editWebsite->text()));
    if (check.website != ss(editWebsite->text()))
        editWebsite->setText(qs(check.website));
    if (check.failed == InformationCheck::None)
        return true;
    showMessage(check.message);
    QLineEdit* field = check.failed == InformationCheck::IndexField ? editIndex : editWebsite;
    field->setFocus();
    return false;
}

void TfrmSiteMapMain::RunSearch() {
    FoundCount = 0;
    lblStatusTitle->setText("Searching for files, please wait....");
    btnNext->setEnabled(false);
    btnBack->setEnabled(false);
    QCoreApplication::processEvents();
    memoFiles->clear();
    Tree->clear();
    aniTimer->start();

    // The search fills the tree without the view following item by item; the
    // view reloads once when it ends.
    Tree->beginBulk();
    std::vector<std::string> notes;
    if (Profile.SpiderType() == mstLocal) {
        StatusPageReporter reporter(lblLookingIn, lblFileFound, lblFileCount, memoFiles, AutoRun);
        TLocalScan scan(Profile, *Tree, IgnoreFolderList, IgnoreFileList, reporter, FoundCount);
        LocalScan = &scan;
        LocalScanRunning = true;
        try {
            scan.Run(ExtractFilePath(Profile.IndexPage()));
        } catch (const EFindFileError& e) {
            ShowFileError(e.what());
        }
        LocalScanRunning = false;
        LocalScan = nullptr;
    } else {
        StatusPageReporter reporter(lblLookingIn, lblFileFound, lblFileCount, memoFiles, AutoRun);
        TSpider spider(Profile, *Tree, IgnoreFolderList, IgnoreFileList, reporter, FoundCount);
        Spider = &spider;
        spider.RunSpider(Profile.Website());
        Spider = nullptr;
        // What the results page says of the search besides its count.
        notes.push_back(spider.LimitLine());
        notes.push_back(spider.LeftOutLine());
        // Unattended, a start page that could not be fetched ends the run
        // before the output: the maps of the last good run stay as they are.
        if (AutoRun && !spider.StartPageError().empty()) {
            Tree->endBulk();
            aniTimer->stop();
            ShowFileError(spider.StartPageError() + ". The site maps were not written.");
            AutoRun = false;
            close();
            return;
        }
    }

    aniTimer->stop();
    memoFiles->appendPlainText(QString("Total Files: %1").arg(FoundCount));
    if (Profile.SpiderType() == mstLocal)
        RemoveEmptyFolders(*Tree);
    Tree->endBulk();
    // The crawl shows every folder it made opened.
    if (Profile.SpiderType() == mstWebsite)
        tvMap->expandAll();
    if (TSiteTree::Node* first = Tree->firstItem()) {
        QModelIndex index = Tree->indexOf(first);
        tvMap->expandRecursively(index);
        tvMap->setCurrentIndex(index);
        tvMap->scrollTo(index);
    }
    lblLookingIn->clear();
    lblFileFound->clear();
    lblStatusTitle->setText("Search Complete! Press Next to View Results.");
    lblTotalFiles->setText(QString("Total Files Found: %1").arg(FoundCount));
    QStringList shown;
    for (const std::string& note : notes)
        if (!note.empty())
            shown << qs(note);
    lblSearchNotes->setText(shown.join('\n'));
    lblSearchNotes->setVisible(!shown.isEmpty());
    ButtonClick(btnNext);
}

void TfrmSiteMapMain::CreateSiteMap() {
    QCoreApplication::processEvents();
    for (QPushButton* b : {btnViewOutputFile, btnCopyToClipboard, btnFTPFiles})
        b->setEnabled(false);
    bool normal;
    {
        // Window events run during the output, and the tree is read until the
        // maps are written (by the sitemap's thread too): meanwhile the tree
        // cannot be edited, and no second run can start.
        struct Hold {
            std::vector<std::pair<QWidget*, bool>> held;
            explicit Hold(std::initializer_list<QWidget*> widgets) {
                for (QWidget* w : widgets) {
                    held.emplace_back(w, w->isEnabled());
                    w->setEnabled(false);
                }
            }
            ~Hold() {
                for (auto [w, enabled] : held)
                    w->setEnabled(enabled);
            }
        } hold{tvMap, btnBack, btnNext};
        std::optional<SitemapJob> sitemap;
        if (Profile.OutputType() == moutFile)
            sitemap.emplace(Profile, *Tree);
        // The generator lets window events run now and then, not after every item.
        QElapsedTimer sinceEvents;
        sinceEvents.start();
        GeneratedMap = BuildMapHTML(Profile, *Tree, [&](int, const TDataRec&) {
            if (sinceEvents.elapsed() >= 50) {
                QCoreApplication::processEvents();
                sinceEvents.restart();
            }
        });
        normal = ServeDestination(sitemap ? &*sitemap : nullptr);
    }

    // Completion, whatever happened.
    setNextCaption("Done");
    btnNext->setEnabled(false);
    miFTP->setEnabled(true);
    btnCancel->setText("&Close");
    if (!normal) {
        if (AutoRun)
            EndUnattendedRun();
        return;
    }
    if (AutoRun) {
        // The unattended run ends with the upload; its outcome is the exit status.
        if (!AutoUploadGeneratedFiles())
            RunFailed = true;
        else if (!RunFailed)
            SaveProfileUnattended();
        EndUnattendedRun();
        return;
    }
    if (Profile.OutputType() == moutFile) {
        if (TwinReqFiles::ShowReqFiles(this, ExtractFilePath(Profile.OutputFileName()),
                                       UploadFileList(Profile, SitemapFiles),
                                       [this] { SubmitToGoogle(); }))
            UploadGeneratedFiles();
        return;
    }
    messageDlg("Process Complete. Now upload your files using the built in uploader or use your "
               "own FTP Client.",
               "Done", PromptIcon::Information, Ok);
}

// An unattended run refuses to replace a file that is not one of its maps;
// the window asks.
OutputRunOptions TfrmSiteMapMain::OutputOptions() const {
    OutputRunOptions options;
    options.unattended = AutoRun;
    return options;
}

bool TfrmSiteMapMain::ServeDestination(SitemapJob* sitemap) {
    try {
        switch (Profile.OutputType()) {
        case moutClipboard:
            QGuiApplication::clipboard()->setText(qs(GeneratedMap));
            return true;
        case moutFile:
            SaveMapToFile(Profile, *Tree, GeneratedMap, SitemapFiles, sitemap, OutputOptions());
            if (SitemapFiles.size() > 1) {
                // A site too large for one sitemap file: say what was made.
                std::string line = "Sitemap index " + SitemapFiles.back() + " lists " +
                                   std::to_string(SitemapFiles.size() - 1) + " sitemap files.";
                memoFiles->appendPlainText(qs(line));
                if (AutoRun)
                    std::fprintf(stderr, "%s\n", line.c_str());
            }
            for (QPushButton* b : {btnViewOutputFile, btnCopyToClipboard, btnFTPFiles})
                b->setEnabled(true);
            // A failed profile save is reported by itself; the maps are written.
            // An unattended run writes it back only once it has succeeded.
            if (!AutoRun)
                AutoSaveProfile();
            return true;
        case moutInsert:
            if (!InsertMapIntoFile(Profile, GeneratedMap, OutputOptions())) {
                RunFailed = true;
                return false;
            }
            return true;
        case moutEditor:
            MakeMapPage(Profile, GeneratedMap);
            return true;
        }
    } catch (const std::exception& e) {
        ShowFileError(e.what());
        return false;
    }
    return true;
}

// ---- upload ----

TQuorvaneFTP& TfrmSiteMapMain::Uploader() {
    if (!Ftp)
        Ftp = std::make_unique<TQuorvaneFTP>();
    return *Ftp;
}

bool TfrmSiteMapMain::UploadGeneratedFiles() {
    std::vector<std::string> files = UploadFileList(Profile, SitemapFiles);
    if (!TfrmSiteMapFTP::SelectUploadTarget(this, Profile, Uploader()))
        return false;
    Uploader().SelectedServerName = Profile.ServerName();
    return Uploader().UploadFiles(this, files, Profile.ServerDir(), false);
}

bool TfrmSiteMapMain::AutoUploadGeneratedFiles() {
    std::vector<std::string> files = UploadFileList(Profile, SitemapFiles);
    if (Profile.ServerName().empty())
        TfrmSiteMapFTP::SelectUploadTarget(this, Profile, Uploader());
    // A profile that names no site has nothing to upload: its maps are written.
    if (Profile.ServerName().empty())
        return true;
    Uploader().SelectedServerName = Profile.ServerName();
    bool uploaded = Uploader().UploadFiles(this, files, Profile.ServerDir(), true);
    // Cancel clears AutoRun: a cancelled upload is no success either.
    return uploaded && AutoRun;
}

// ---- output settings ----

void TfrmSiteMapMain::OutputTypeOptionClick() {
    TMapOutputType type = rbOutputClipBoard->isChecked() ? moutClipboard
                          : rbOutputInsert->isChecked()  ? moutInsert
                          : rbOutputEditor->isChecked()  ? moutEditor
                                                         : moutFile;
    Profile.setOutputType(type);
    bool file = rbOutputFile->isChecked(), insert = rbOutputInsert->isChecked();
    btnOutputFileBrowse->setEnabled(file);
    editOutputFile->setEnabled(file);
    chkGoogle->setEnabled(file);
    btnOutputInsertBrowse->setEnabled(insert);
    editOutputInsert->setEnabled(insert);
    MarkOutputStale();
}

void TfrmSiteMapMain::ChooseOutputFile() {
    FileRequest req;
    req.kind = FileRequest::Save;
    req.filter = "HTML Files (*.htm, *.html)|*.htm;*.html";
    std::string indexFolder = ExtractFilePath(Profile.IndexPage());
    std::string proposal =
        Profile.OutputFileName().empty() ? indexFolder + "sitemap.html" : Profile.OutputFileName();
    std::string outFolder = ExtractFilePath(Profile.OutputFileName());
    req.initialFolder = DirectoryExists(outFolder) ? outFolder : indexFolder;
    req.fileName = ExtractFileName(proposal);
    if (HasInvalidFileNameChars(req.fileName))
        req.fileName = "sitemap.html";
    if (std::optional<std::string> chosen = prompts().chooseFile(req))
        editOutputFile->setText(qs(*chosen));
}

void TfrmSiteMapMain::ChooseInsertFile() {
    FileRequest req;
    req.kind = FileRequest::Open;
    req.filter = "HTML Files (*.htm, *.html)|*.htm;*.html";
    if (!Profile.OutputInsert().empty()) {
        std::string folder = ExtractFilePath(Profile.OutputInsert());
        if (DirectoryExists(folder))
            req.initialFolder = folder;
        req.fileName = Profile.OutputInsert();
    } else {
        req.fileName = ExtractFilePath(Profile.IndexPage()) + "sitemap.html";
    }
    if (std::optional<std::string> chosen = prompts().chooseFile(req))
        editOutputInsert->setText(qs(*chosen));
}

void TfrmSiteMapMain::lblOutputInsertHowToClick() {
    if (messageDlg(std::string("To insert the site map HTML into an existing file, simply place "
                               "the following HTML comments in the document:\n\n") +
                       kStartMarker + "\n" + kEndMarker +
                       "\n\nWhen the file is saved, all existing text between these markers "
                       "will be replaced with the currently generated site map.\n\nWould you "
                       "like to copy these HTML comments to the clipboard at this time?",
                   "File Insert Instructions", PromptIcon::Question, Yes | No) == Yes)
        QGuiApplication::clipboard()->setText(QString(kStartMarker) + "\r\n" + kEndMarker);
}

void TfrmSiteMapMain::MarkOutputStale() {
    if (btnNext->text() == "Done") {
        setNextCaption("&Save");
        btnNext->setEnabled(true);
        Step = 2;
    }
    miFTP->setEnabled(btnNext->text() == "Done");
}

void TfrmSiteMapMain::UpdateCaption() {
    setWindowTitle(qs("Quorvane Google Tessaly 4.5 - " + Profile.FileName()));
}

// ---- information page ----

void TfrmSiteMapMain::SpiderTypeClick() {
    Profile.setSpiderType(optLocal->isChecked() ? mstLocal : mstWebsite);
    bool local = optLocal->isChecked();
    lblIndexPage->setEnabled(local);
    editIndex->setEnabled(local);
    btnBrowseIndex->setEnabled(local);
    if (!ShowingProfile)
        ClearIgnoreLists();
}

void TfrmSiteMapMain::ClearIgnoreLists() {
    Profile.setIgnoreFolders({});
    Profile.setIgnoreFiles({});
    IgnoreFolderList.clear();
    IgnoreFileList.clear();
}

void TfrmSiteMapMain::editIndexChange() {
    Profile.setIndexPage(ss(editIndex->text()));
    if (Profile.OutputFileName().empty())
        editOutputFile->setText(qs(ExtractFilePath(Profile.IndexPage()) + "sitemap.html"));
}

void TfrmSiteMapMain::ChooseIndexPage() {
    std::string current = ss(editIndex->text());
    FileRequest req;
    if (!current.empty())
        req = OpenChooser({}, current);
    req.kind = FileRequest::Open;
    req.filter = "HTML Files (*.htm, *.html, *.shtm, *.shtml, *.php, *.php4, *.php5, *.asp, "
                 "*.pdf, *.swf)|*.htm;*.html;*.shtm;*.shtml;*.php;*.php4;*.php5;*.asp;*.pdf;*.swf;"
                 "|All Files (*.*)|*.*";
    std::optional<std::string> chosen = prompts().chooseFile(req);
    if (!chosen)
        return;
    editIndex->setText(qs(*chosen));

    std::string folder = LowerCase(ExtractFilePath(*chosen));
    auto invalid = [&](const std::string& entry) { return LowerCase(entry).rfind(folder, 0) != 0; };
    if (std::none_of(IgnoreFolderList.begin(), IgnoreFolderList.end(), invalid))
        return;
    if (messageDlg("One or more the subfolders in the folder ignore list is no longer valid for "
                   "the index file path.\n\nKeeping these in the list won't affect the output."
                   "\n\nWould you like to remove the invalid entries?",
                   "Subfolders Invalid", PromptIcon::Question, Yes | No) == Yes) {
        std::erase_if(IgnoreFolderList, invalid);
        Profile.setIgnoreFolders(JoinLines(IgnoreFolderList));
    }
}

// ---- help and other commands ----

void TfrmSiteMapMain::OpenHelpFile() {
    std::string path = ProgramFolder() + "Tessaly.html";
    if (FileExists(path))
        ShellOpen(path, {}, {}, SW_SHOWNORMAL);
    else
        messageDlg("The help file could not be found:\n\n" + path, "File Not Found",
                   PromptIcon::Error, Ok);
}

void TfrmSiteMapMain::SubmitToGoogle() {
    messageDlg("Google no longer takes sitemap submissions from programs. Add the address of "
               "your XML sitemap in Google Search Console, or name it in your site's robots.txt "
               "with a line such as:\n\nSitemap: " +
                   EnsureWebsiteSlash(Profile.Website()) + "sitemap.xml",
               "Submit to Google", PromptIcon::Information, Ok);
}

void TfrmSiteMapMain::ShowScheduler() {
    messageDlg("To rebuild and upload this site map on a schedule, save the profile and run it "
               "unattended from your scheduler (for example cron):\n\ntessaly -auto \"" +
                   Profile.FileName() + "\"\n\nThe run exits with status 0 when it succeeds.",
               "Scheduler", PromptIcon::Information, Ok);
}

} // namespace tessaly
