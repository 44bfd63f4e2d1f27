#include "MainWindowFixture.h"
#include "ProfileFile.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <fstream>

using namespace tessaly;
using namespace tessaly::test;

class ProfileCommands : public MainWindowTest {
  protected:
    // Writes a profile file and returns its path.
    std::string writeProfile(const std::string& name, const TMapProfile& p) {
        std::string file = path(name);
        WriteFileText(ProfileToBytes(p), file);
        return file;
    }
    TMapProfile localProfile() {
        TMapProfile p;
        p.setSpiderType(mstLocal);
        p.setIndexPage(path("index.html"));
        p.setWebsite("http://local.example/");
        p.setIgnoreFolders(path("tmp/") + "\r\n");
        p.setOutputFormat(mfmtTree);
        p.setMakeGoogleSM(false);
        return p;
    }
};

TEST_F(ProfileCommands, OpenCommandReadsAndShowsTheProfile) {
    std::string file = writeProfile("site.qvt", localProfile());
    auto& w = open();
    prompts.chooseFileNext(file);
    w.findChild<QAction*>("miOpen")->trigger();

    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].filter, "Quorvane Google Tessaly Profile (*.qvt)|*.qvt");
    EXPECT_EQ(w.windowTitle(), QString::fromStdString("Quorvane Google Tessaly 4.5 - " + file));
    EXPECT_TRUE(find<QRadioButton>("optLocal")->isChecked());
    EXPECT_EQ(find<QLineEdit>("editIndex")->text().toStdString(), path("index.html"));
    EXPECT_EQ(find<QLineEdit>("editWebsite")->text(), "http://local.example/");
    // Whatever the file held, the list layout and the XML sitemap are used.
    EXPECT_EQ(w.profile().OutputFormat(), mfmtList);
    EXPECT_TRUE(w.profile().MakeGoogleSM());
    EXPECT_FALSE(w.profile().Modified);
    EXPECT_EQ(w.settings().LastFile, file);
}

TEST_F(ProfileCommands, AMovedProfileOpensUnderItsNewPathAndSavesThere) {
    TMapProfile p = localProfile();
    p.setFileName("/somewhere/else/old.qvt");
    std::string file = writeProfile("moved.qvt", p);
    auto& w = open();
    w.OpenProfile(file);
    EXPECT_EQ(w.profile().FileName(), file);
    find<QLineEdit>("editWebsite")->setText("http://new.example/");
    w.findChild<QAction*>("miSave")->trigger();
    EXPECT_TRUE(prompts.fileRequests.empty());
    TMapProfile back;
    ProfileFromBytes(ReadFileText(file), back);
    EXPECT_EQ(back.Website(), "http://new.example/");
    EXPECT_EQ(back.FileName(), file);
}

TEST_F(ProfileCommands, SpiderProfileAfterALocalOneLeavesNoLocalValues) {
    std::string local = writeProfile("local.qvt", localProfile());
    TMapProfile spider;
    spider.setWebsite("http://spider.example/");
    std::string web = writeProfile("web.qvt", spider);
    auto& w = open();
    w.OpenProfile(local);
    w.OpenProfile(web);
    EXPECT_EQ(w.profile().IndexPage(), "");
    EXPECT_EQ(w.profile().IgnoreFolders(), "");
    EXPECT_EQ(w.profile().IgnoreFiles(), "");
    EXPECT_TRUE(find<QRadioButton>("optWebsite")->isChecked());
}

TEST_F(ProfileCommands, ABrokenProfileIsReportedAndChangesNothing) {
    std::string good = writeProfile("good.qvt", localProfile());
    std::string bad = path("bad.qvt");
    std::string bytes = ReadFileText(good);
    std::ofstream(bad, std::ios::binary) << bytes.substr(0, bytes.size() / 2);

    auto& w = open();
    w.OpenProfile(good);
    w.OpenProfile(bad);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Cannot read the profile \"" + bad +
                                                        "\". Stream read error"});
    EXPECT_EQ(prompts.messages[0].caption, "Error");
    EXPECT_EQ(w.profile().FileName(), good);
    EXPECT_EQ(w.profile().IndexPage(), path("index.html"));
    EXPECT_FALSE(w.profile().Modified);
    // The settings name the file, so a start with "load last" tries it again.
    EXPECT_EQ(w.settings().LastFile, bad);
}

TEST_F(ProfileCommands, SavingAnUntitledProfileOffersTheProfilesFolder) {
    auto& w = open();
    prompts.chooseFileNext(std::nullopt);
    EXPECT_FALSE(w.SaveProfile());
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    const FileRequest& req = prompts.fileRequests[0];
    EXPECT_EQ(req.kind, FileRequest::Save);
    EXPECT_EQ(req.initialFolder, path("Profiles/"));
    EXPECT_EQ(req.fileName, "Untitled.qvt");
    EXPECT_EQ(req.defaultExt, "qvt");
    EXPECT_TRUE(req.overwritePrompt);
}

TEST_F(ProfileCommands, AFailedWriteIntoAMissingFolderIsReported) {
    auto& w = open();
    std::string file = path("gone/site.qvt");
    prompts.chooseFileNext(file);
    EXPECT_FALSE(w.SaveProfileAs());
    EXPECT_TRUE(w.profile().Modified);
    EXPECT_EQ(w.settings().LastFile, file);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Cannot create file \"" + file + "\". No such file or directory");
}

TEST_F(ProfileCommands, UntitledProfileIsSavedBesideTheOutputAfterARun) {
    auto& w = open();
    std::ofstream(path("sitemap.html")) << "<html></html>";
    find<QLineEdit>("editOutputFile")->setText(QString::fromStdString(path("sitemap.html")));
    EXPECT_TRUE(w.AutoSaveProfile());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.fileRequests.empty());
    EXPECT_EQ(w.profile().FileName(), path("sitemap.qvt"));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("sitemap.qvt"))));
}

TEST_F(ProfileCommands, SettingsRememberTheLastProfileAcrossRuns) {
    std::string file = writeProfile("last.qvt", localProfile());
    {
        TSiteMapSettings s;
        s.LastFile = file;
        s.LoadLast = true;
        s.SettingFile = path("SiteMap.dat");
        WriteFileText(SettingsToBytes(s), s.SettingFile);
    }
    auto& w = open();
    EXPECT_EQ(w.profile().FileName(), file);
    EXPECT_TRUE(find<QLineEdit>("editIndex")->hasFocus());
    window.reset();

    TSiteMapSettings after;
    SettingsFromBytes(ReadFileText(path("SiteMap.dat")), after);
    EXPECT_EQ(after.LastFile, file);
    EXPECT_TRUE(after.LoadLast);
}
