#pragma once
// "Profile Options": the settings of the map profile the wizard pages do not
// show, edited on copies that reach the profile only on OK.
#include "ProfileOptions.h"

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace tessaly {

class ColorPickerButton;
class TCrawlOptionsPage;

// The FTP sites the dialog offers: their names, and the site manager, which
// gives the chosen site's name or nothing.
struct ServerSites {
    std::function<std::vector<std::string>()> names;
    std::function<std::optional<std::string>(QWidget* parent)> manage;
};

class TfrmSiteMapOptions : public QDialog {
    Q_OBJECT
  public:
    // Page indexes; the FTP page has no tab and is reached only by opening on it.
    enum Page {
        tsFiles = 0,
        TabSheet2 = 1,
        tsFTPUpload = 2,
        TabSheet1 = 3,
        tsFollowQueries = 4,
        tsCrawl = 5
    };

    TfrmSiteMapOptions(const TMapProfile& profile, bool loadLast, ServerSites servers,
                       QWidget* parent = nullptr);

    // Shows the dialog on page (-1: the first) and, on OK, writes every value
    // back to the profile; the new LoadLast on OK, nothing on Cancel.
    static std::optional<bool> ShowProfileOptions(QWidget* parent, TMapProfile& profile,
                                                  bool loadLast, int page, ServerSites servers);

    // The values as the controls hold them now.
    ProfileOptions values() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QWidget* buildFilesPage();
    QWidget* buildColorsPage();
    QWidget* buildFtpPage();
    QWidget* buildOutputPage();
    QWidget* buildQueriesPage();

    void btnResetFileTypesClick();
    void btnAddFolderClick();
    void btnFileAddClick();
    void ColorPicked(int index, TColor color);
    void btnResetColorsClick();
    void PreviewColors();
    void BitBtn1Click();
    void btnQueryAddClick();
    void btnQueryRemoveClick();
    void fillServers(const std::string& select);
    // Adds an entry typed by the user unless it is there (then says so).
    void addIgnoreFolder(const std::string& entry);

    const TMapProfile& profile_;
    ServerSites servers_;
    const bool localMode_;
    std::array<TColor, 5> colors_;
    std::optional<std::string> pickedServer_;
    // The folder chooser's folder, settled on the first Add of this opening.
    std::string folderRoot_;
    // The priority as first shown: when it is still shown, the profile's own
    // value (which may have more decimals) is kept.
    double shownPriority_ = 0;

    QTabWidget* pcMain;
    QLineEdit* editFileTypes;
    QListWidget* lstIgnoreFolders;
    QListWidget* lstIgnoreFiles;
    QPushButton* btnRemoveFolder;
    QPushButton* btnFileRemove;
    QCheckBox* chkUsePageTitles;
    QCheckBox* chkLoadLast;
    std::array<ColorPickerButton*, 5> pickers_;
    QTextBrowser* htmlPreview;
    QComboBox* cboServer;
    QLineEdit* editRemoteUploadDir;
    QCheckBox* chkAddImages;
    QCheckBox* chkNoFolderImages;
    QComboBox* cboChangeFreq;
    QDoubleSpinBox* spinPriority;
    QComboBox* cboSitemapProtocol;
    QCheckBox* chkLastModWhenKnown;
    QLineEdit* editSitemapAddress;
    QListWidget* lstQueries;
    QLineEdit* editQueryAdd;
    QPushButton* btnQueryAdd;
    QPushButton* btnQueryRemove;
    TCrawlOptionsPage* crawlPage_;
};

} // namespace tessaly
