// The site manager, the new-site wizard, the upload-target dialog, the proxy
// window and "Files to Upload", driven through their real widgets.
#include "ModalHelpers.h"
#include "ProxyDialog.h"
#include "QuorvaneFtp.h"
#include "ReqFilesDialog.h"
#include "ScriptedPrompts.h"
#include "ServerManagerDialog.h"
#include "ServerWizardDialog.h"
#include "TempConfigHome.h"
#include "TextConv.h"
#include "UploadTargetDialog.h"
#include "WaitUntil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

std::string SiteKey(const std::string& name) {
    return std::string(kProfilesKey) + "\\" + name;
}

class SiteDialogsTest : public ::testing::Test {
  protected:
    TempConfigHome home;
    ScriptedPrompts prompts;
    TServerStore sites;

    void AddSite(const std::string& name, const std::string& host) {
        std::vector<TServerData> list;
        ASSERT_TRUE(sites.LoadProfiles(list));
        TServerData s;
        s.ItemName = name;
        s.HostName = host;
        s.Port = 21;
        s.Timeout = 60;
        list.push_back(s);
        std::string error;
        ASSERT_TRUE(sites.SaveProfiles(list, error)) << error;
    }
    std::string StoreText() const {
        StoreData d;
        EXPECT_TRUE(sites.Store().Read(d));
        return d.ToText();
    }
    static void Type(QLineEdit* e, const QString& text) {
        e->clear();
        QTest::keyClicks(e, text);
    }
    // Walks the wizard through its five steps.
    static void FillWizard(TwinServerWizard* w, const QString& name, const QString& host) {
        auto* next = w->findChild<QPushButton*>("btnNext");
        Type(w->findChild<QLineEdit*>("eNickname"), name);
        QTest::mouseClick(next, Qt::LeftButton);
        Type(w->findChild<QLineEdit*>("eUser"), "anna");
        Type(w->findChild<QLineEdit*>("ePass"), "pw-1");
        QTest::mouseClick(next, Qt::LeftButton);
        Type(w->findChild<QLineEdit*>("eHost"), host);
        Type(w->findChild<QLineEdit*>("eRemotePath"), "public_html");
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton*>("btnNoProxy"), Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton); // Finish
    }
    static QTreeWidgetItem* Node(TwinServers& m, int i) { return m.tvServers->topLevelItem(i); }
    // Edits a tree label as the user does: F2, new text, Enter.
    static void EditLabel(TwinServers& m, int i, const QString& text) {
        m.tvServers->setCurrentItem(Node(m, i));
        m.tvServers->setFocus();
        QTest::keyClick(m.tvServers, Qt::Key_F2);
        auto* editor = m.tvServers->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The view commits an edit from its event queue.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

TEST_F(SiteDialogsTest, EmptyManagerRunsTheWizardAndCloseSavesTheNewSite) {
    TwinServers m(sites);
    EXPECT_FALSE(m.btnOk->isEnabled());
    EXPECT_FALSE(m.txtHostName->isEnabled());
    OnModal<TwinServerWizard>([&](TwinServerWizard* w) {
        EXPECT_EQ(w->findChild<QLabel*>("lblHeading")->text(),
                  "Server Profile Wizard (Step 1 of 5)");
        EXPECT_FALSE(w->findChild<QPushButton*>("btnNext")->isEnabled());
        FillWizard(w, "Home", "ftp.example.com");
    });
    m.show();
    ASSERT_TRUE(WaitUntil([&] { return m.tvServers->topLevelItemCount() == 1; }));
    EXPECT_EQ(Node(m, 0)->text(0), "Home");
    EXPECT_EQ(m.tvServers->currentItem(), Node(m, 0));
    EXPECT_TRUE(m.txtHostName->isEnabled());
    EXPECT_EQ(m.txtHostName->text(), "ftp.example.com");
    EXPECT_EQ(m.txtPort->text(), "21");
    EXPECT_EQ(m.txtTimeout->text(), "120");
    EXPECT_TRUE(m.chkPassiveMode->isChecked());
    EXPECT_TRUE(sites.ServerNames().empty()); // nothing stored before Close
    QTest::mouseClick(m.btnClose, Qt::LeftButton);
    TServerData s = sites.LoadServerData("Home");
    EXPECT_EQ(s.HostName, "ftp.example.com");
    EXPECT_EQ(s.Username, "anna");
    EXPECT_EQ(s.Password, "pw-1");
    EXPECT_EQ(s.HostDirName, "public_html");
    EXPECT_EQ(s.Timeout, 120);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().front();
}

TEST_F(SiteDialogsTest, TheWizardOfAnEmptyManagerLeadsBackToItsChoice) {
    // As the upload target and the options open it: modally. The site the
    // wizard makes is there to be chosen with OK.
    TQuorvaneFTP ftp(sites);
    OnModal<TwinServerWizard>([&](TwinServerWizard* w) {
        FillWizard(w, "Home", "ftp.example.com");
        OnModal<TwinServers>([](TwinServers* m) {
            ASSERT_TRUE(WaitUntil([&] { return m->tvServers->topLevelItemCount() == 1; }));
            QTest::mouseClick(m->btnOk, Qt::LeftButton);
        });
    });
    EXPECT_EQ(ftp.ShowServerDialog(nullptr), std::optional<std::string>("Home"));
    EXPECT_EQ(sites.LoadServerData("Home").HostName, "ftp.example.com");
}

TEST_F(SiteDialogsTest, CloseRightAfterFinishStillKeepsTheSite) {
    TwinServers m(sites);
    OnModal<TwinServerWizard>(
        [&](TwinServerWizard* w) { FillWizard(w, "Quick", "h.example.com"); });
    m.show();
    // Close as soon as the manager is back, most often before the delayed add
    // has run (on a busy machine it may have run already; either way the site
    // must be kept).
    ASSERT_TRUE(WaitUntil([&] { return m.Wizard() && !m.Wizard()->isVisible() && m.isVisible(); }));
    QTest::mouseClick(m.btnClose, Qt::LeftButton);
    EXPECT_EQ(sites.ServerNames(), std::vector<std::string>{"Quick"});
}

TEST_F(SiteDialogsTest, WizardRefusesTakenBlankAndNestedNames) {
    AddSite("Home", "h");
    TwinServers m(sites);
    m.show();
    struct Case {
        QString name;
        std::string message;
    } cases[] = {{"home", kDuplicateSiteName},
                 {"   ", "Please enter a name for the site."},
                 {"a\\b", "A site name cannot contain \"\\\"."}};
    for (const Case& c : cases) {
        prompts.messages.clear();
        OnModal<TwinServerWizard>([&](TwinServerWizard* w) {
            Type(w->findChild<QLineEdit*>("eNickname"), c.name);
            QTest::keyClick(w->findChild<QLineEdit*>("eNickname"), Qt::Key_Return);
            EXPECT_EQ(w->CurrentStep(), 1);
            QTest::mouseClick(w->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
        });
        QTest::mouseClick(m.btnAdd, Qt::LeftButton);
        ASSERT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(m.tvServers->topLevelItemCount(), 1); // cancelled: nothing added
    }
    // The wizard is reused and keeps what was typed last.
    OnModal<TwinServerWizard>([&](TwinServerWizard* w) {
        EXPECT_EQ(w->CurrentStep(), 1);
        EXPECT_EQ(w->findChild<QLineEdit*>("eNickname")->text(), "a\\b");
        w->reject();
    });
    QTest::mouseClick(m.btnAdd, Qt::LeftButton);
}

TEST_F(SiteDialogsTest, WizardAnonymousAndStepButtons) {
    TwinServerWizard w(nullptr, sites.Store());
    OnModal<TwinServerWizard>([&](TwinServerWizard* d) {
        Type(d->findChild<QLineEdit*>("eNickname"), "x");
        QTest::keyClick(d->findChild<QLineEdit*>("eNickname"), Qt::Key_Return);
        EXPECT_EQ(d->CurrentStep(), 2);
        d->findChild<QCheckBox*>("cAnon")->click();
        EXPECT_EQ(d->findChild<QLineEdit*>("eUser")->text(), "anonymous");
        QString pass = d->findChild<QLineEdit*>("ePass")->text();
        EXPECT_EQ(pass.size(), 13);
        EXPECT_TRUE(pass.endsWith("@"));
        d->findChild<QCheckBox*>("cAnon")->click();
        EXPECT_EQ(d->findChild<QLineEdit*>("eUser")->text(), "");
        QTest::mouseClick(d->findChild<QPushButton*>("btnNext"), Qt::LeftButton);
        EXPECT_FALSE(d->findChild<QPushButton*>("btnNext")->isEnabled()); // no host yet
        QTest::mouseClick(d->findChild<QPushButton*>("btnBack"), Qt::LeftButton);
        EXPECT_EQ(d->CurrentStep(), 2);
        d->reject();
    });
    EXPECT_FALSE(w.Start());
}

TEST_F(SiteDialogsTest, RenameMovesTheKeyAndRefusesATakenNameInOtherCase) {
    AddSite("Alpha", "a");
    AddSite("Beta", "b");
    TwinServers m(sites);
    m.show();
    EditLabel(m, 0, "Gamma");
    EXPECT_EQ(Node(m, 0)->text(0), "Gamma");
    EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"Beta", "Gamma"}));
    EXPECT_EQ(sites.LoadServerData("Gamma").HostName, "a");

    EditLabel(m, 0, "BETA");
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kDuplicateSiteName});
    EXPECT_EQ(Node(m, 0)->text(0), "Gamma");
    EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"Beta", "Gamma"}));
    // The label is offered for editing again.
    EXPECT_TRUE(WaitUntil([&] { return m.tvServers->viewport()->findChild<QLineEdit*>(); }));
}

TEST_F(SiteDialogsTest, DeleteAsksAndActsOnTheSiteItCameFrom) {
    AddSite("Keep", "k");
    // A site whose stored name is empty: its key is what goes, nothing else.
    ASSERT_TRUE(sites.Store().Write([](StoreData& d) {
        d.SetValue(SiteKey("Nameless"), "HostName", "n");
        return d.SetValue(SiteKey("Nameless"), "ItemName", "");
    }));
    TwinServers m(sites);
    m.show();
    ASSERT_EQ(m.tvServers->topLevelItemCount(), 2);
    ASSERT_EQ(Node(m, 1)->text(0), "");
    m.tvServers->setCurrentItem(Node(m, 1));
    prompts.answer(No);
    QTest::mouseClick(m.btnDelete, Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Confirm Deletion");
    EXPECT_EQ(prompts.messages[0].text, "Are you sure you want to delete the site profile ?");
    EXPECT_EQ(prompts.messages[0].defaultButton, No);
    EXPECT_EQ(sites.ServerNames().size(), 2u);
    prompts.answer(Yes);
    QTest::mouseClick(m.btnDelete, Qt::LeftButton);
    EXPECT_EQ(sites.ServerNames(), std::vector<std::string>{"Keep"}); // at once
    EXPECT_EQ(m.tvServers->topLevelItemCount(), 1);
    // The Delete key on the tree does the same.
    m.tvServers->setCurrentItem(Node(m, 0));
    prompts.answer(Yes);
    QTest::keyClick(m.tvServers, Qt::Key_Delete);
    EXPECT_TRUE(sites.ServerNames().empty());
    EXPECT_FALSE(m.txtHostName->isEnabled());
    EXPECT_FALSE(m.btnOk->isEnabled());
}

TEST_F(SiteDialogsTest, EditsReachTheStoreOnlyThroughTheButtons) {
    AddSite("Site", "old.example.com");
    ASSERT_TRUE(sites.Store().Write([](StoreData& d) {
        d.SetValue(SiteKey("Site"), "Bookmark 0", "/docs");
        return d.SetValue(SiteKey("Site"), "Bookmark 1", "/img");
    }));
    std::string before = StoreText();
    {
        TwinServers m(sites);
        m.show();
        m.tvServers->setCurrentItem(Node(m, 0));
        Type(m.txtHostName, "new.example.com");
        Type(m.txtPort, "abc"); // not a number: the port stays
        m.close();              // the title bar: nothing saved
        EXPECT_EQ(StoreText(), before);
    }
    TQuorvaneFTP ftp(sites);
    OnModal<TwinServers>([&](TwinServers* m) {
        EXPECT_EQ(m->btnOk->text(), "OK");
        m->tvServers->setCurrentItem(Node(*m, 0));
        Type(m->txtHostName, "new.example.com");
        // Each kind brings its own port; a port the person typed stays.
        for (auto [kind, port] : {std::pair{kProtocolFtpImplicit, "990"},
                                  {kProtocolSftp, "22"},
                                  {kProtocolFtpTlsData, "21"},
                                  {kProtocolSftp, "22"}}) {
            m->protocolDrop->setCurrentIndex(kind);
            emit m->protocolDrop->activated(kind);
            EXPECT_EQ(m->txtPort->text(), port) << kind;
        }
        Type(m->txtPort, "2222");
        emit m->protocolDrop->activated(kProtocolFtpImplicit);
        EXPECT_EQ(m->txtPort->text(), "2222");
        Type(m->txtPort, "22");
        m->protocolDrop->setCurrentIndex(kProtocolSftp);
        emit m->protocolDrop->activated(kProtocolSftp);
        QTest::keyClick(m->txtComment, Qt::Key_Return); // Enter acts as OK
    });
    EXPECT_EQ(ftp.ShowServerDialog(nullptr), "Site");
    EXPECT_EQ(ftp.SelectedServer.HostName, "new.example.com");
    std::vector<TServerData> list;
    ASSERT_TRUE(sites.LoadProfiles(list));
    EXPECT_EQ(list[0].Port, 22);
    EXPECT_EQ(list[0].Protocol, 1);
    EXPECT_EQ(list[0].Bookmarks, (std::vector<std::string>{"/docs", "/img"}));
}

TEST_F(SiteDialogsTest, SecureSiteShowsSftpAndTimeoutArrowsStepFromItsValue) {
    AddSite("S", "h");
    ASSERT_TRUE(sites.Store().Write([](StoreData& d) {
        d.SetValue(SiteKey("S"), "Secure", "1");
        return d.SetValue(SiteKey("S"), "Timeout", "120");
    }));
    TwinServers m(sites);
    m.show();
    m.tvServers->setCurrentItem(Node(m, 0));
    EXPECT_EQ(m.protocolDrop->currentText(), "SFTP");
    m.UpDown3->stepDown();
    EXPECT_EQ(m.txtTimeout->text(), "119");
    QTest::mouseClick(m.btnOk, Qt::LeftButton);
    EXPECT_EQ(sites.LoadServerData("S").Timeout, 119);
}

TEST_F(SiteDialogsTest, UploadTargetSelectsIgnoringCaseAndWritesTheProfile) {
    AddSite("Alpha", "a");
    AddSite("Beta", "b");
    TQuorvaneFTP ftp(sites);
    TMapProfile profile;
    profile.setServerName("beta");
    profile.setServerDir("maps/");
    profile.Modified = false;
    {
        TfrmSiteMapFTP d(ftp, profile);
        EXPECT_EQ(d.cboServer->count(), 2);
        EXPECT_EQ(d.cboServer->currentText(), "Beta");
        EXPECT_TRUE(d.btnOk->isEnabled());
        EXPECT_EQ(d.editRemoteUploadDir->text(), "maps/");
    }
    profile.setServerName("Gone");
    {
        TfrmSiteMapFTP d(ftp, profile);
        EXPECT_EQ(d.cboServer->currentIndex(), -1);
        EXPECT_FALSE(d.btnOk->isEnabled());
    }
    profile.Modified = false;
    OnModal<TfrmSiteMapFTP>([](TfrmSiteMapFTP* d) { d->reject(); });
    EXPECT_FALSE(TfrmSiteMapFTP::SelectUploadTarget(nullptr, profile, ftp));
    EXPECT_EQ(profile.ServerName(), "Gone");
    EXPECT_FALSE(profile.Modified);
    OnModal<TfrmSiteMapFTP>([](TfrmSiteMapFTP* d) {
        d->cboServer->setCurrentIndex(0);
        Type(d->editRemoteUploadDir, "public_html/sitemap/");
        QTest::mouseClick(d->btnOk, Qt::LeftButton);
    });
    EXPECT_TRUE(TfrmSiteMapFTP::SelectUploadTarget(nullptr, profile, ftp));
    EXPECT_EQ(profile.ServerName(), "Alpha");
    EXPECT_EQ(profile.ServerDir(), "public_html/sitemap/");
    EXPECT_TRUE(profile.Modified);
}

TEST_F(SiteDialogsTest, ProxyWindowShowsSavesAndCancels) {
    TProxySettings stored{"proxy.example.com", "me", "pw", "8080", "socks5"};
    std::string error;
    ASSERT_TRUE(SaveProxySettings(stored, sites.Store(), &error)) << error;
    std::string before = StoreText();
    OnModal<TwindowProxy>([](TwindowProxy* w) {
        EXPECT_EQ(w->findChild<QLineEdit*>("Edit1")->text(), "proxy.example.com");
        EXPECT_EQ(w->findChild<QLineEdit*>("Edit3")->text(), "pw");
        EXPECT_EQ(w->findChild<QSpinBox*>("SpinEdit1")->value(), 8080);
        EXPECT_EQ(w->findChild<QComboBox*>("ComboBox1")->currentText(), "Socks5");
        Type(w->findChild<QLineEdit*>("Edit1"), "changed");
        QTest::mouseClick(w->findChild<QPushButton*>("Button2"), Qt::LeftButton);
    });
    EXPECT_FALSE(TwindowProxy::RunProxyWindow(nullptr, sites.Store()));
    EXPECT_EQ(StoreText(), before);
    OnModal<TwindowProxy>([](TwindowProxy* w) {
        Type(w->findChild<QLineEdit*>("Edit2"), "you");
        QTest::mouseClick(w->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    });
    EXPECT_TRUE(TwindowProxy::RunProxyWindow(nullptr, sites.Store()));
    TProxySettings back;
    ASSERT_TRUE(LoadProxySettings(back, sites.Store(), &error));
    EXPECT_EQ(back.ProxyLogin, "you");
    EXPECT_EQ(back.ProxyType, "Socks5");
    EXPECT_EQ(back.ProxyPassword, "pw");
}

TEST_F(SiteDialogsTest, FilesToUploadListsTheFilesThatExistByName) {
    QDir().mkpath(QString::fromStdString(home.path("out")));
    std::vector<std::string> files;
    for (const char* name : {"site;map.html", "site[1]*.xml", "smfile.gif"}) {
        QFile f(QString::fromStdString(home.path("out/") + name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        files.push_back("/elsewhere/" + std::string(name));
    }
    files.push_back("/elsewhere/missing.gif");
    files.push_back("");
    TwinReqFiles w(home.path("out"), files);
    ASSERT_EQ(w.lstFiles->count(), 3);
    EXPECT_EQ(w.lstFiles->item(0)->text(), "site;map.html");
    EXPECT_EQ(w.lstFiles->item(1)->text(), "site[1]*.xml");
    OnModal<TwinReqFiles>(
        [](TwinReqFiles* d) { QTest::mouseClick(d->btnFTPFiles, Qt::LeftButton); });
    EXPECT_TRUE(TwinReqFiles::ShowReqFiles(nullptr, home.path("out"), files));
}

} // namespace
} // namespace tessaly::test
