#include "MainWindowFixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTreeView>

using namespace tessaly;
using namespace tessaly::test;

class OutputSettings : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        openOnResultsPage();
        TDataRec home;
        home.LinkText = "Home";
        home.LinkURL = "http://example.com/";
        window->tree().addItem(nullptr, home, iconFolder);
    }
};

TEST_F(OutputSettings, SaveWritesTheMapsAndCompletesTheRun) {
    std::string page = path("Desktop/sitemap.html");
    EXPECT_EQ(find<QLineEdit>("editOutputFile")->text().toStdString(), page);
    EXPECT_TRUE(find<QRadioButton>("rbOutputFile")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("rbOutputEditor")->isEnabled());
    click("btnNext");
    EXPECT_TRUE(FileExists(page));
    EXPECT_TRUE(FileExists(path("Desktop/sitemap.xml")));
    // The untitled profile was saved beside the page.
    EXPECT_EQ(window->profile().FileName(), path("Desktop/sitemap.qvt"));
    EXPECT_TRUE(FileExists(path("Desktop/sitemap.qvt")));
    EXPECT_EQ(button("btnNext")->text(), "Done");
    EXPECT_FALSE(button("btnNext")->isEnabled());
    EXPECT_EQ(button("btnCancel")->text(), "&Close");
    EXPECT_TRUE(find<QAction>("miFTP")->isEnabled());
    // A file output offers its files for upload instead of a message.
    EXPECT_EQ(reqFilesShown, 1);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(OutputSettings, OtherDestinationsEndWithTheMessage) {
    window->profile().setOutputType(moutClipboard);
    click("btnNext");
    EXPECT_EQ(reqFilesShown, 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Process Complete. Now upload your files using the built "
                                        "in uploader or use your own FTP Client.");
}

TEST_F(OutputSettings, AFailedWriteIsShownAndTheRunStillCompletes) {
    std::string page = path("gone/sitemap.html");
    find<QLineEdit>("editOutputFile")->setText(QString::fromStdString(page));
    // While the run is under way (its error message is up) the tree cannot be
    // edited and the wizard cannot move; afterwards both are as before.
    std::vector<bool> duringRun;
    prompts.onMessage = [&](const PromptMessage&) {
        duringRun = {find<QTreeView>("tvMap")->isEnabled(), button("btnBack")->isEnabled(),
                     button("btnNext")->isEnabled()};
    };
    click("btnNext");
    EXPECT_EQ(duringRun, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(find<QTreeView>("tvMap")->isEnabled());
    EXPECT_TRUE(button("btnBack")->isEnabled());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Error");
    EXPECT_EQ(prompts.messages[0].text,
              "Cannot create file \"" + page + "\". No such file or directory");
    EXPECT_EQ(button("btnNext")->text(), "Done");
    EXPECT_TRUE(find<QAction>("miFTP")->isEnabled());
}

TEST_F(OutputSettings, BrowseChoosesTheOutputFileAndMakesTheOutputStale) {
    click("btnNext");
    ASSERT_EQ(button("btnNext")->text(), "Done");
    prompts.chooseFileNext(path("map.html"));
    click("btnOutputFileBrowse");
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    const FileRequest& req = prompts.fileRequests[0];
    EXPECT_EQ(req.kind, FileRequest::Save);
    EXPECT_EQ(req.filter, "HTML Files (*.htm, *.html)|*.htm;*.html");
    EXPECT_EQ(req.fileName, "sitemap.html");
    EXPECT_EQ(req.initialFolder, path("Desktop/"));
    EXPECT_EQ(window->profile().OutputFileName(), path("map.html"));
    EXPECT_EQ(button("btnNext")->text(), "&Save");
    EXPECT_TRUE(button("btnNext")->isEnabled());
}

TEST_F(OutputSettings, InsertInstructionsCopyTheMarkers) {
    prompts.answer(Yes);
    window->lblOutputInsertHowToClick();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "File Insert Instructions");
    EXPECT_EQ(prompts.messages[0].text,
              "To insert the site map HTML into an existing file, simply place the following "
              "HTML comments in the document:\n\n<!-- sitemap -->\n<!-- sitemap end -->\n\nWhen "
              "the file is saved, all existing text between these markers will be replaced with "
              "the currently generated site map.\n\nWould you like to copy these HTML comments to "
              "the clipboard at this time?");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "<!-- sitemap -->\r\n<!-- sitemap end -->");
}
