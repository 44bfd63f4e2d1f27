// "Profile Options" driven through the real dialog, opened from the window.
#include "ProfileOptionsDialog.h"
#include "ColorPickerButton.h"
#include "MainWindowFixture.h"
#include "MapHtml.h"
#include "ModalHelpers.h"
#include "ServerManagerDialog.h"
#include "TempConfigHome.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

using namespace tessaly;
using namespace tessaly::test;
namespace fs = std::filesystem;

class ProfileOptionsDialog : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        site = path("site/");
        fs::create_directories(site + "docs");
        fs::create_directories(site + "tmp");
        std::ofstream(site + "index.html") << "<title>Home</title>";
        std::ofstream(site + "docs/guide.html") << "<title>Guide</title>";
        std::ofstream(site + "tmp/scratch.html") << "<title>Scratch</title>";
    }
    // Opens the window on a local profile of the site.
    void openLocal() {
        open();
        QTest::mouseClick(find<QRadioButton>("optLocal"), Qt::LeftButton);
        find<QLineEdit>("editIndex")->setText(QString::fromStdString(site + "index.html"));
        find<QLineEdit>("editWebsite")->setText("http://www.example.com/");
        window->profile().setOutputFileName(site + "sitemap.html");
    }
    // Opens the dialog from the menu and lets act drive it; act closes it.
    void withOptions(std::function<void(TfrmSiteMapOptions*)> act, int page = -1) {
        OnModal<TfrmSiteMapOptions>(std::move(act));
        if (page == 2)
            window->findChild<QPushButton*>("btnFtpOptions")->click();
        else
            window->findChild<QAction*>("miOptions")->trigger();
    }
    template <class T> static T* in(QWidget* d, const char* name) {
        T* w = d->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void press(QWidget* d, const char* name) {
        QTest::mouseClick(in<QPushButton>(d, name), Qt::LeftButton);
    }
    static std::vector<std::string> items(QListWidget* l) {
        std::vector<std::string> out;
        for (int i = 0; i < l->count(); ++i)
            out.push_back(l->item(i)->text().toStdString());
        return out;
    }
    static void pickColor(QWidget* d, const char* picker, const char* action) {
        auto* p = in<ColorPickerButton>(d, picker);
        p->menu()->findChild<QAction*>(action)->trigger();
    }
    std::string site;
};

TEST_F(ProfileOptionsDialog, OpensOnTheFirstPageOrOnTheHiddenFtpPage) {
    open();
    for (int page : {-1, 2}) {
        SCOPED_TRACE(page);
        QString shown;
        bool ftpTab = true;
        withOptions(
            [&](TfrmSiteMapOptions* d) {
                auto* tabs = in<QTabWidget>(d, "pcMain");
                shown = tabs->currentWidget()->objectName();
                ftpTab = tabs->isTabVisible(2);
                EXPECT_EQ(d->windowTitle(), "Profile Options");
                EXPECT_TRUE(tabs->currentWidget()->isVisible());
                press(d, "btnCancel");
            },
            page);
        EXPECT_EQ(shown, page == 2 ? "tsFTPUpload" : "tsFiles");
        EXPECT_FALSE(ftpTab);
    }
}

TEST_F(ProfileOptionsDialog, OkWritesEveryValueAndCancelNone) {
    openLocal();
    TMapProfile& p = window->profile();
    p.setIgnoreFolders(site + "tmp/\r\n");
    p.setServerDir("old/");
    p.Modified = false;
    auto changeEverything = [&](TfrmSiteMapOptions* d) {
        in<QLineEdit>(d, "editFileTypes")->setText("*.html;*.php;");
        auto* folders = in<QListWidget>(d, "lstIgnoreFolders");
        folders->item(0)->setSelected(true);
        press(d, "btnRemoveFolder");
        prompts.chooseFilesNext({site + "Docs/Guide.html"});
        press(d, "btnFileAdd");
        in<QCheckBox>(d, "chkUsePageTitles")->setChecked(false);
        in<QCheckBox>(d, "chkLoadLast")->setChecked(true);
        in<QCheckBox>(d, "chkAddImages")->setChecked(false);
        in<QCheckBox>(d, "chkNoFolderImages")->setChecked(true);
        in<QLineEdit>(d, "editRemoteUploadDir")->setText("maps/");
        in<QComboBox>(d, "cboChangeFreq")->setCurrentIndex(cfWeekly);
        in<QDoubleSpinBox>(d, "spinPriority")->setValue(0.8);
        QTest::keyClicks(in<QLineEdit>(d, "editQueryAdd"), "sort=");
        press(d, "btnQueryAdd");
        pickColor(d, "cpbLink", "colorGreen");
        pickColor(d, "cpbActive", "noColor");
    };

    withOptions([&](TfrmSiteMapOptions* d) {
        changeEverything(d);
        press(d, "btnCancel");
    });
    EXPECT_FALSE(p.Modified);
    EXPECT_EQ(p.FileTypes(), kDefaultFileTypes);
    EXPECT_EQ(p.IgnoreFolders(), site + "tmp/\r\n");
    EXPECT_FALSE(window->settings().LoadLast);

    withOptions([&](TfrmSiteMapOptions* d) {
        changeEverything(d);
        press(d, "btnOk");
    });
    EXPECT_TRUE(p.Modified);
    EXPECT_EQ(p.FileTypes(), "*.html;*.php;");
    EXPECT_EQ(p.IgnoreFolders(), "");
    // Chosen files are listed lower-cased, as the scan compares them.
    EXPECT_EQ(p.IgnoreFiles(), LowerCase(site + "docs/guide.html\r\n"));
    EXPECT_FALSE(p.UsePageTitles());
    EXPECT_TRUE(window->settings().LoadLast);
    EXPECT_FALSE(p.AddImages());
    EXPECT_TRUE(p.NoFolderImages());
    EXPECT_EQ(p.ServerDir(), "maps/");
    EXPECT_EQ(p.ServerName(), ""); // never picked, so as it was
    EXPECT_EQ(p.DefFreq(), cfWeekly);
    EXPECT_DOUBLE_EQ(p.DefPri(), 0.8);
    EXPECT_EQ(p.FollowQueryParts(), std::vector<std::string>{"sort="});
    EXPECT_EQ(p.clrLink(), 0x008000);
    EXPECT_EQ(p.clrActive(), -1);
    EXPECT_EQ(p.clrBackground(), 0xFFFFFF);
    // No colour gives an empty attribute in the page's body tag.
    EXPECT_NE(MapBodyTag(p).find("link=\"#008000\"vlink=\"#800080\"alink=\"\">"),
              std::string::npos);

    // The window's ignore lists follow: the next scan finds the folder it
    // ignored before, and leaves out the file; new items take the frequency.
    window->profile().setFileTypes("*.html;");
    click("btnNext");
    std::vector<std::string> texts;
    window->tree().forEach([&](TSiteTree::Node& n) {
        texts.push_back(n.data.LinkText);
        EXPECT_EQ(n.data.ChangeFreq, cfWeekly);
    });
    EXPECT_NE(std::find(texts.begin(), texts.end(), "index.html"), texts.end()); // titles off
    EXPECT_NE(std::find(texts.begin(), texts.end(), "scratch.html"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "guide.html"), texts.end());
}

TEST_F(ProfileOptionsDialog, TheCrawlPageShowsAndWritesTheCrawlSettings) {
    open();
    TMapProfile& p = window->profile();
    p.Modified = false;
    // As a new profile holds them: the page shows the defaults, and OK
    // without a change leaves the profile as it was.
    withOptions([&](TfrmSiteMapOptions* d) {
        auto* tabs = in<QTabWidget>(d, "pcMain");
        tabs->setCurrentIndex(TfrmSiteMapOptions::tsCrawl);
        EXPECT_EQ(tabs->currentWidget()->objectName(), "tsCrawl");
        EXPECT_EQ(tabs->tabText(TfrmSiteMapOptions::tsCrawl), "Cra&wl");
        for (const char* name : {"chkObeyRobotsTxt", "chkLeaveOutNoindex", "chkLeaveOutCanonical"})
            EXPECT_TRUE(in<QCheckBox>(d, name)->isChecked()) << name;
        EXPECT_FALSE(in<QCheckBox>(d, "chkFollowNofollow")->isChecked());
        EXPECT_EQ(in<QSpinBox>(d, "spinMaxPages")->text(), QLocale().toString(5000000));
        for (const char* name : {"spinMaxDepth", "spinMaxMinutes"})
            EXPECT_EQ(in<QSpinBox>(d, name)->text(), "No limit") << name;
        EXPECT_EQ(in<QDoubleSpinBox>(d, "spinMaxRate")->text(), "No limit");
        EXPECT_EQ(in<QSpinBox>(d, "spinConnections")->value(), 5);
        EXPECT_EQ(in<QSpinBox>(d, "spinConnections")->maximum(), 16);
        press(d, "btnOk");
    });
    EXPECT_FALSE(p.Modified);

    auto change = [&](TfrmSiteMapOptions* d) {
        in<QCheckBox>(d, "chkObeyRobotsTxt")->setChecked(false);
        in<QCheckBox>(d, "chkLeaveOutNoindex")->setChecked(false);
        in<QCheckBox>(d, "chkLeaveOutCanonical")->setChecked(false);
        in<QCheckBox>(d, "chkFollowNofollow")->setChecked(true);
        in<QSpinBox>(d, "spinMaxPages")->setValue(1000);
        in<QSpinBox>(d, "spinMaxDepth")->setValue(3);
        in<QSpinBox>(d, "spinMaxMinutes")->setValue(10);
        in<QDoubleSpinBox>(d, "spinMaxRate")->setValue(2.5);
        in<QSpinBox>(d, "spinConnections")->setValue(2);
    };
    withOptions([&](TfrmSiteMapOptions* d) {
        change(d);
        press(d, "btnCancel");
    });
    EXPECT_FALSE(p.Modified);
    EXPECT_TRUE(p.ObeyRobotsTxt());
    EXPECT_EQ(p.MaxPages(), TMapProfile::DefaultMaxPages);

    withOptions([&](TfrmSiteMapOptions* d) {
        change(d);
        press(d, "btnOk");
    });
    EXPECT_TRUE(p.Modified);
    EXPECT_FALSE(p.ObeyRobotsTxt());
    EXPECT_FALSE(p.LeaveOutNoindex());
    EXPECT_FALSE(p.LeaveOutCanonical());
    EXPECT_TRUE(p.FollowNofollow());
    EXPECT_EQ(p.MaxPages(), 1000);
    EXPECT_EQ(p.MaxDepth(), 3);
    EXPECT_EQ(p.MaxMinutes(), 10);
    EXPECT_DOUBLE_EQ(p.MaxRate(), 2.5);
    EXPECT_EQ(p.Connections(), 2);

    // A rate with more decimals than the box shows survives an OK untouched.
    p.setMaxRate(0.25);
    withOptions([&](TfrmSiteMapOptions* d) { press(d, "btnOk"); });
    EXPECT_DOUBLE_EQ(p.MaxRate(), 0.25);
}

TEST_F(ProfileOptionsDialog, ListsButtonsAndKeys) {
    openLocal();
    window->profile().setIgnoreFiles(site + "a.html\r\n");
    withOptions([&](TfrmSiteMapOptions* d) {
        auto* folders = in<QListWidget>(d, "lstIgnoreFolders");
        auto* files = in<QListWidget>(d, "lstIgnoreFiles");
        auto* removeFolder = in<QPushButton>(d, "btnRemoveFolder");
        EXPECT_FALSE(removeFolder->isEnabled());
        EXPECT_FALSE(in<QPushButton>(d, "btnFileRemove")->isEnabled());

        // Folders: the chooser starts in the index page's folder, then where it was left.
        prompts.chooseFileNext(site + "docs");
        press(d, "btnAddFolder");
        prompts.chooseFileNext(site + "tmp");
        press(d, "btnAddFolder");
        ASSERT_EQ(prompts.fileRequests.size(), 2u);
        EXPECT_EQ(prompts.fileRequests[0].caption, "Select a Folder to Ignore");
        EXPECT_EQ(prompts.fileRequests[0].initialFolder, site);
        EXPECT_EQ(prompts.fileRequests[1].initialFolder, site + "docs/");
        EXPECT_EQ(items(folders), (std::vector<std::string>{site + "docs/", site + "tmp/"}));
        // The same folder in other letter case: the message, the item selected.
        prompts.chooseFileNext(site + "DOCS");
        press(d, "btnAddFolder");
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"The folder you selected is already in the list."});
        EXPECT_EQ(folders->count(), 2);
        EXPECT_EQ(folders->currentRow(), 0);
        EXPECT_TRUE(removeFolder->isEnabled());
        // Delete released on the list removes the selection.
        QTest::keyClick(folders, Qt::Key_Delete);
        EXPECT_EQ(items(folders), std::vector<std::string>{site + "tmp/"});

        // Three files, one of them listed already in other letter case.
        prompts.chooseFilesNext({site + "B.html", site + "A.HTML", site + "c.html"});
        press(d, "btnFileAdd");
        EXPECT_EQ(items(files),
                  (std::vector<std::string>{site + "a.html", LowerCase(site + "b.html"),
                                            LowerCase(site + "c.html")}));
        EXPECT_EQ(prompts.fileRequests.back().filter, "All Files (*.*)|*.*");
        EXPECT_EQ(prompts.fileRequests.back().initialFolder, site);
        EXPECT_EQ(prompts.messages.size(), 1u); // no message for duplicates

        // Images for folders only while images are on; the state is kept.
        auto* addImages = in<QCheckBox>(d, "chkAddImages");
        auto* noFolderImages = in<QCheckBox>(d, "chkNoFolderImages");
        EXPECT_TRUE(noFolderImages->isEnabled());
        QTest::mouseClick(addImages, Qt::LeftButton);
        EXPECT_FALSE(noFolderImages->isEnabled());

        // Queries: Enter adds only a text that is not blank, and never closes.
        auto* edit = in<QLineEdit>(d, "editQueryAdd");
        auto* add = in<QPushButton>(d, "btnQueryAdd");
        auto* queries = in<QListWidget>(d, "lstQueries");
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "   ");
        EXPECT_FALSE(add->isEnabled());
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(queries->count(), 0);
        QTest::keyClicks(edit, "id=");
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_EQ(items(queries), std::vector<std::string>{"   id="});
        EXPECT_TRUE(d->isVisible());
        auto* remove = in<QPushButton>(d, "btnQueryRemove");
        EXPECT_FALSE(remove->isEnabled());
        queries->setCurrentRow(0);
        EXPECT_TRUE(remove->isEnabled());
        press(d, "btnQueryRemove");
        EXPECT_EQ(queries->count(), 0);
        EXPECT_FALSE(remove->isEnabled());
        press(d, "btnOk");
    });
    EXPECT_FALSE(window->profile().AddImages());
    EXPECT_EQ(window->profile().IgnoreFolders(), site + "tmp/\r\n");
}

TEST_F(ProfileOptionsDialog, QuestionsAndMessagesOfTheFilesPage) {
    openLocal();
    window->profile().setFileTypes("*.html;");
    window->profile().setIndexPage(path("gone/index.html"));
    withOptions([&](TfrmSiteMapOptions* d) {
        auto* types = in<QLineEdit>(d, "editFileTypes");
        prompts.answer(No);
        press(d, "btnResetFileTypes");
        EXPECT_EQ(types->text(), "*.html;");
        prompts.answer(Yes);
        press(d, "btnResetFileTypes");
        EXPECT_EQ(types->text().toStdString(), kDefaultFileTypes);
        EXPECT_EQ(prompts.messages[0].caption, "Reset File Types");
        EXPECT_EQ(prompts.messages[0].icon, PromptIcon::Question);
        EXPECT_EQ(prompts.messages[0].buttons, Yes | No);
        EXPECT_EQ(prompts.messages[0].text,
                  std::string("Do you wish to reset the File Types to include to the following "
                              "default?\n\n") +
                      kDefaultFileTypes);
        // No index page folder: no folder can be chosen.
        press(d, "btnAddFolder");
        EXPECT_EQ(prompts.messages[2].caption, "Select Index File First");
        EXPECT_EQ(prompts.messages[2].icon, PromptIcon::Warning);
        EXPECT_TRUE(prompts.fileRequests.empty());
        press(d, "btnCancel");
    });
}

TEST_F(ProfileOptionsDialog, WebsiteModeAsksForAddresses) {
    open();
    find<QLineEdit>("editWebsite")->setText("http://www.example.com/");
    withOptions([&](TfrmSiteMapOptions* d) {
        auto* folders = in<QListWidget>(d, "lstIgnoreFolders");
        auto* files = in<QListWidget>(d, "lstIgnoreFiles");
        for (std::optional<std::string> answer :
             {std::optional<std::string>(), std::optional<std::string>(""),
              std::optional<std::string>("   ")}) {
            prompts.inputNext(answer);
            press(d, "btnAddFolder");
            prompts.inputNext(answer);
            press(d, "btnFileAdd");
        }
        EXPECT_EQ(folders->count(), 0);
        EXPECT_EQ(files->count(), 0);
        prompts.inputNext("http://www.example.com/Downloads/");
        press(d, "btnAddFolder");
        prompts.inputNext("http://www.example.com/downloads/");
        press(d, "btnAddFolder");
        prompts.inputNext("http://www.example.com/Downloads/a.zip");
        press(d, "btnFileAdd");
        prompts.inputNext("http://www.example.com/downloads/A.ZIP");
        press(d, "btnFileAdd");
        EXPECT_EQ(items(folders), std::vector<std::string>{"http://www.example.com/Downloads/"});
        EXPECT_EQ(items(files), std::vector<std::string>{"http://www.example.com/Downloads/a.zip"});
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"The folder you selected is already in the list."});
        EXPECT_EQ(prompts.inputRequests[0].caption, "Enter Folder to Ignore");
        EXPECT_EQ(prompts.inputRequests[0].label,
                  "Enter the full path of the folder to ignore (IE: "
                  "http://www.example.com/downloads/)");
        EXPECT_EQ(prompts.inputRequests[1].caption, "Enter File to Ignore");
        press(d, "btnOk");
    });
    EXPECT_EQ(window->profile().IgnoreFolders(), "http://www.example.com/Downloads/\r\n");
}

TEST_F(ProfileOptionsDialog, ColoursNoneResetAndThePreview) {
    open();
    TMapProfile& p = window->profile();
    p.setclrBackground(-1);
    p.setclrText(0x00FF00);
    withOptions([&](TfrmSiteMapOptions* d) {
        auto* background = in<ColorPickerButton>(d, "cpbBackground");
        EXPECT_EQ(background->text(), "None");
        EXPECT_EQ(in<ColorPickerButton>(d, "cpbText")->text(), "");
        // A custom colour from "More Colors...", then "None" again.
        prompts.chooseColorNext(0x123456);
        pickColor(d, "cpbVisited", "moreColors");
        EXPECT_EQ(in<ColorPickerButton>(d, "cpbVisited")->color(), 0x123456);

        press(d, "btnResetColors");
        EXPECT_EQ(background->text(), "");
        // The preview shows the five colours: background, text and the
        // three link colours, read back from the document it shows.
        auto* preview = in<QTextBrowser>(d, "htmlPreview");
        preview->resize(300, 200);
        QImage shot = preview->viewport()->grab().toImage();
        EXPECT_EQ(shot.pixelColor(shot.width() - 5, shot.height() - 5), QColor("#FFFFFF"));
        QString html = preview->toHtml();
        for (const char* colour : {"#0000ff", "#800080", "#ff0000"})
            EXPECT_TRUE(html.contains(colour, Qt::CaseInsensitive)) << colour;
        EXPECT_TRUE(preview->document()->defaultStyleSheet().contains("color: #000000"));

        pickColor(d, "cpbText", "noColor");
        EXPECT_EQ(in<ColorPickerButton>(d, "cpbText")->text(), "None");
        pickColor(d, "cpbBackground", "colorNavy");
        shot = preview->viewport()->grab().toImage();
        EXPECT_EQ(shot.pixelColor(shot.width() - 5, shot.height() - 5), QColor("#000080"));
        press(d, "btnOk");
    });
    EXPECT_EQ(p.clrBackground(), 0x800000);
    EXPECT_EQ(p.clrText(), -1);
    EXPECT_EQ(p.clrLink(), 0xFF0000);
    EXPECT_EQ(p.clrVisited(), 0x800080);
    EXPECT_EQ(p.clrActive(), 0x0000FF);
    EXPECT_NE(MapBodyTag(p).find("text=\"\""), std::string::npos);
}

TEST_F(ProfileOptionsDialog, TheSiteManagerPicksTheUploadSite) {
    TempConfigHome home;
    TServerStore store;
    std::vector<TServerData> sites(2);
    sites[0].ItemName = "Alpha";
    sites[0].HostName = "a.example";
    sites[1].ItemName = "Beta";
    sites[1].HostName = "b.example";
    std::string error;
    ASSERT_TRUE(store.SaveProfiles(sites, error)) << error;
    open();
    window->profile().setServerName("Missing From This Machine");
    window->profile().Modified = false;

    // Opened and closed with OK: a site this machine does not know stays.
    withOptions(
        [&](TfrmSiteMapOptions* d) {
            auto* servers = in<QComboBox>(d, "cboServer");
            EXPECT_EQ(servers->count(), 2);
            EXPECT_EQ(servers->currentIndex(), -1);
            press(d, "btnOk");
        },
        2);
    EXPECT_EQ(window->profile().ServerName(), "Missing From This Machine");
    EXPECT_FALSE(window->profile().Modified);

    withOptions(
        [&](TfrmSiteMapOptions* d) {
            OnModal<TwinServers>([](TwinServers* m) {
                auto* tree = m->findChild<QTreeWidget*>("tvServers");
                tree->setCurrentItem(tree->topLevelItem(1));
                QTest::mouseClick(m->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
            });
            press(d, "BitBtn1");
            EXPECT_EQ(in<QComboBox>(d, "cboServer")->currentText(), "Beta");
            press(d, "btnOk");
        },
        2);
    EXPECT_EQ(window->profile().ServerName(), "Beta");
}
