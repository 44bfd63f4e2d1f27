#pragma once
// The main window: three wizard steps over one map profile.
#include "MapProfile.h"
#include "OutputTargets.h"
#include "Prompts.h"
#include "QuorvaneFtp.h"
#include "SiteMapSettings.h"
#include "SiteTree.h"
#include "SitemapJob.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;
class QTreeView;

namespace tessaly {

// Registers the pictures compiled into the program.
void initResources();

class TLocalScan;
class TSpider;

class TfrmSiteMapMain : public QMainWindow {
    Q_OBJECT
  public:
    // args: the command-line arguments after the program name.
    explicit TfrmSiteMapMain(QStringList args = {}, QWidget* parent = nullptr);
    ~TfrmSiteMapMain() override;

    // Hooks other parts of the program call.
    void MarkOutputStale();
    bool AutoSaveProfile();
    int FoundCount = 0;
    bool AutoRun = false;
    int Step = 0;

    TMapProfile& profile() { return Profile; }
    TSiteMapSettings& settings() { return *Settings; }
    TSiteTree& tree() { return *Tree; }
    // True once the first activation has read the settings and the start profile.
    bool Activated() const { return Settings != nullptr; }
    // True when the last unattended step failed, for the exit status.
    bool runFailed() const { return RunFailed; }

    // Dispatches on the sender's command code (its "tag" property).
    void ButtonClick(QAbstractButton* sender);
    // False when the file could not be read; the open profile is then unchanged.
    bool OpenProfile(const std::string& path);
    void ShowProfile();
    bool SaveProfile();
    bool SaveProfileAs();
    bool WriteProfile();
    // Writes the profile to its file; throws when it cannot.
    void WriteProfileFile();
    // After an unattended run that did its work: writes back what changed,
    // with a warning on standard error when it cannot.
    void SaveProfileUnattended();
    void DeleteSelectedItems();

    // The upload of the generated files: with the target dialog (Upload
    // button, FTP Upload..., Upload Now), and unattended at the end of an
    // automatic run. Both return whether the files arrived; the unattended
    // one also succeeds when the profile names no site.
    bool UploadGeneratedFiles();
    bool AutoUploadGeneratedFiles();
    TQuorvaneFTP& Uploader();
    // The profile options dialog on page (-1: its first page). On OK the
    // settings keep its LoadLast and the working ignore lists are reloaded.
    void ShowProfileOptions(int page);

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // Layout
    void buildMenus();
    void buildToolbar();
    QWidget* buildHeader();
    QWidget* buildInformationPage();
    QWidget* buildStatusPage();
    QWidget* buildResultsPage();
    QWidget* buildButtons();
    QPushButton* commandButton(const char* name, const QString& caption, int tag, QWidget* parent);
    void loadAnimation();

    // Step flow
    void FirstActivate();
    // Ends an unattended run: the window closes whatever the close query says.
    void EndUnattendedRun();
    void ShowStep();
    void SetWizardButtons(bool back, bool next, const QString& nextCaption, const QString& title);
    void Next();
    void Back();
    void Cancel();
    bool ValidateInformation();
    void RunSearch();
    void CreateSiteMap();
    // Serves the profile's destination; false when it did not end normally.
    OutputRunOptions OutputOptions() const;
    bool ServeDestination(SitemapJob* sitemap);
    void UpdateCaption();
    void setNextCaption(const QString& caption);

    // Information page
    void SpiderTypeClick();
    void ClearIgnoreLists();
    void ChooseIndexPage();
    void editIndexChange();

    // Output settings
    void OutputTypeOptionClick();
    void ChooseOutputFile();
    void ChooseInsertFile();

  public:
    // Offers to copy the insert markers to the clipboard.
    void lblOutputInsertHowToClick();

  private:
    // Profile commands
    // The open-file chooser shared by the index page and the profile: it starts
    // in the folder of current (else the Profiles folder) with current preset.
    static FileRequest OpenChooser(const std::string& filter, const std::string& current);
    void OpenCommand();
    bool AskSaveChanges();
    void ReadSettings();
    void WriteSettings();
    void ShowFileError(const std::string& text);

    // Tree
    void tvMapChange();
    void tvMapNodeContextMenu(const QPoint& pos);
    void AddFolderToIgnoreList();
    void AddFileToIgnoreList();
    void EditContextItem();
    // The item properties dialog for the selection (double click, Alt+Enter)
    // or for the context menu's item.
    void ShowProperties(bool fromContextMenu);
    void EditItemPropertiesFor(TSiteTree::Node* item);
    int SelectedCount() const;
    TSiteTree::Node* SelectedNode() const;

    // Help and other commands
    void OpenHelpFile();
    void ShowAbout();
    void SubmitToGoogle();
    void ShowScheduler();

    TMapProfile Profile;
    std::unique_ptr<TSiteMapSettings> Settings;
    std::vector<std::string> IgnoreFolderList;
    std::vector<std::string> IgnoreFileList;
    TSiteTree* Tree = nullptr;
    QStringList Args;
    std::string CommandLineProfile;
    bool FirstActivation = true;
    bool LocalScanRunning = false;
    TLocalScan* LocalScan = nullptr;
    // The running crawl, while RunSearch runs one.
    TSpider* Spider = nullptr;
    bool ShowingProfile = false;
    bool RunFailed = false;
    // The unattended run closes the window itself; that close always ends it.
    bool ClosingUnattended = false;
    // The last write of the profile file failed.
    bool ProfileWriteFailed = false;
    TSiteTree::Node* ContextNode = nullptr;
    // The sitemap files the last output run wrote (the chosen file last).
    std::vector<std::string> SitemapFiles;
    std::unique_ptr<TQuorvaneFTP> Ftp;
    std::string GeneratedMap;

    // Controls, named as the user interface names them.
    QStackedWidget* pcMain = nullptr;
    QLabel* imgLogo = nullptr;
    QLabel* lblHeader = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOpenProfile = nullptr;
    QPushButton* btnSaveProfile = nullptr;
    QPushButton* btnSaveProfileAs = nullptr;
    QPushButton* btnBrowseIndex = nullptr;
    QPushButton* btnOutputFileBrowse = nullptr;
    QPushButton* btnOutputInsertBrowse = nullptr;
    QPushButton* btnViewOutputFile = nullptr;
    QPushButton* btnCopyToClipboard = nullptr;
    QPushButton* btnFTPFiles = nullptr;
    QPushButton* btnProfileOptions = nullptr;
    QPushButton* btnFtpOptions = nullptr;
    QRadioButton* optLocal = nullptr;
    QRadioButton* optWebsite = nullptr;
    QLabel* lblIndexPage = nullptr;
    QLineEdit* editIndex = nullptr;
    QLineEdit* editWebsite = nullptr;
    QLabel* aniSearch = nullptr;
    QTimer* aniTimer = nullptr;
    std::vector<QPixmap> aniFrames;
    int aniFrame = 0;
    QLabel* lblStatusTitle = nullptr;
    QLabel* lblLookingIn = nullptr;
    QLabel* lblFileFound = nullptr;
    QLabel* lblFileCount = nullptr;
    QPlainTextEdit* memoFiles = nullptr;
    QTreeView* tvMap = nullptr;
    QLabel* lblLinkFileName = nullptr;
    QLabel* lblTotalFiles = nullptr;
    QLabel* lblSearchNotes = nullptr;
    QRadioButton* rbOutputFile = nullptr;
    QRadioButton* rbOutputEditor = nullptr;
    QRadioButton* rbOutputClipBoard = nullptr;
    QRadioButton* rbOutputInsert = nullptr;
    QLineEdit* editOutputInsert = nullptr;
    QLineEdit* editOutputFile = nullptr;
    QCheckBox* chkGoogle = nullptr;
    QMenu* pumResults = nullptr;
    QAction* miAddIgnoreFolder = nullptr;
    QAction* miIgnoreFile = nullptr;
    QAction* miDelete = nullptr;
    QAction* miRename = nullptr;
    QAction* miProperties = nullptr;
    QAction* miOpen = nullptr;
    QAction* miSave = nullptr;
    QAction* miSaveAs = nullptr;
    QAction* miExit = nullptr;
    QAction* miOptions = nullptr;
    QAction* miSubmitGoogle = nullptr;
    QAction* miScheduler = nullptr;
    QAction* miFTP = nullptr;
    QAction* miHelpFile = nullptr;
    QAction* miHelp = nullptr;
    QAction* miSupport = nullptr;
    QAction* miAbout = nullptr;
};

} // namespace tessaly
