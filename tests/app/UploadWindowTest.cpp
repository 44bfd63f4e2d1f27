// The upload window and the main window's upload commands, against pyftpdlib.
#include "UploadWindow.h"
#include "FtpServerProcess.h"
#include "MainWindowFixture.h"
#include "ModalHelpers.h"
#include "ProfileFile.h"
#include "QuorvaneFtp.h"
#include "TempConfigHome.h"
#include "TestAuthority.h"
#include "TlsFtpServer.h"
#include "WaitUntil.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSslCertificate>

using namespace tessaly;
using namespace tessaly::test;

namespace {

class UploadWindowTest : public ::testing::Test, protected WithFtpServer {
  public:
    using WithFtpServer::SetUpTestSuite;
    using WithFtpServer::TearDownTestSuite;

  protected:
    void SetUp() override {
        ASSERT_TRUE(s_ok) << s_why;
        for (const char* name : {"a.html", "b.xml"}) {
            QFile f(local.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4000, name[0]));
            files.push_back(f.fileName().toStdString());
        }
    }
    TServerData Site(const std::string& password = FtpServerProcess::kPass) const {
        TServerData s;
        s.HostName = "127.0.0.1";
        s.Port = s_server->Port();
        s.Username = FtpServerProcess::kUser;
        s.Password = password;
        s.Timeout = 10;
        return s;
    }
    static QByteArray Remote(const QString& path) {
        QFile f(s_server->Home() + "/" + path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    TempConfigHome home;
    ScriptedPrompts prompts;
    QTemporaryDir local;
    std::vector<std::string> files;
};

TEST_F(UploadWindowTest, ShowsTheRunAndClosesWithSuccess) {
    QDir(s_server->Home()).mkdir("win");
    std::vector<std::pair<QString, int>> seen; // lblProgress and the overall bar
    OnModal<TfrmUploadFile>([&](TfrmUploadFile* w) {
        EXPECT_EQ(w->windowTitle(), "Upload File To Server");
        EXPECT_EQ(w->statServer->text(), "My Site");
        QObject::connect(w->pbFullStatus, &QProgressBar::valueChanged, w,
                         [&, w](int v) { seen.emplace_back(w->lblProgress->text(), v); });
    });
    EXPECT_TRUE(TfrmUploadFile::RunUploadWindow(nullptr, files, "My Site", Site(), "win", false));
    EXPECT_EQ(Remote("win/a.html"), QByteArray(4000, 'a'));
    EXPECT_EQ(Remote("win/b.xml"), QByteArray(4000, 'b'));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().second, 8000);
    bool sawBytes = false;
    for (const auto& [label, v] : seen)
        sawBytes |= label.startsWith("Transferring... ") && label.endsWith(" bytes");
    EXPECT_TRUE(sawBytes);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(UploadWindowTest, AnErrorIsShownOnceAndTheWindowWaitsForCancel) {
    OnModal<TfrmUploadFile>([&](TfrmUploadFile* w) {
        EXPECT_TRUE(WaitUntil([&] { return !prompts.messages.empty(); }, 10000));
        EXPECT_EQ(w->lblTotal->text(), "Total Transfer Progress: (8000 bytes to transfer)");
        EXPECT_TRUE(w->isVisible()); // still open
        QTest::mouseClick(w->btnCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(TfrmUploadFile::RunUploadWindow(nullptr, files, "S", Site("wrong"), "", false));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Warning");
    EXPECT_EQ(prompts.messages[0].text.rfind("Error 530", 0), 0u) << prompts.messages[0].text;
}

TEST_F(UploadWindowTest, AMissingFileClosesAtOnceWithItsError) {
    files[1] = local.filePath("gone.xml").toStdString();
    EXPECT_FALSE(TfrmUploadFile::RunUploadWindow(nullptr, files, "S", Site(), "", false));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Error");
    EXPECT_EQ(prompts.messages[0].text,
              "Cannot open file \"" + files[1] + "\". No such file or directory");
}

TEST_F(UploadWindowTest, CancelDuringAPutClosesWithoutAMessage) {
    files.push_back(local.filePath("big.bin").toStdString());
    {
        QFile f(QString::fromStdString(files.back()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8 << 20, 'x'));
    }
    OnModal<TfrmUploadFile>([&](TfrmUploadFile* w) {
        ASSERT_TRUE(WaitUntil([&] { return w->pbStatus->value() > 0; }, 10000));
        QTest::mouseClick(w->btnCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(TfrmUploadFile::RunUploadWindow(nullptr, files, "S", Site(), "", false));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(UploadWindowTest, ASiteWithoutAPasswordAsksOnceAKeepsItForTheSession) {
    TQuorvaneFTP ftp;
    TServerData s = Site("");
    s.ItemName = "NoPass";
    std::vector<TServerData> list = {s};
    std::string error;
    ASSERT_TRUE(ftp.Store().SaveProfiles(list, error)) << error;
    ftp.SelectedServerName = "NoPass";
    prompts.inputNext(std::nullopt); // the user cancels the question
    EXPECT_FALSE(ftp.UploadFiles(nullptr, files, "", false));
    ASSERT_EQ(prompts.inputRequests.size(), 1u);
    EXPECT_TRUE(prompts.inputRequests[0].masked);
    prompts.inputNext(std::string(FtpServerProcess::kPass));
    EXPECT_TRUE(ftp.UploadFiles(nullptr, files, "", false));
    EXPECT_TRUE(ftp.UploadFiles(nullptr, files, "", false)); // not asked again
    EXPECT_EQ(prompts.inputRequests.size(), 2u);
    // A site that is gone: nothing happens, nothing is shown.
    ftp.SelectedServerName = "Gone";
    EXPECT_FALSE(ftp.UploadFiles(nullptr, files, "", false));
    EXPECT_TRUE(prompts.messages.empty());
}

class MainWindowUpload : public MainWindowTest, protected WithFtpServer {
  public:
    using WithFtpServer::SetUpTestSuite;
    using WithFtpServer::TearDownTestSuite;
};

TEST_F(MainWindowUpload, UploadNowAfterSaveSendsTheFiveFilesToTheChosenSite) {
    ASSERT_TRUE(s_ok) << s_why;
    // The shipped map images, in the test's program folder.
    QDir().mkpath(QString::fromStdString(path("smimages")));
    for (const char* img : {"smfolder.gif", "smfile.gif", "smimg.gif"})
        WriteFileText(std::string("GIF89a-") + img, path("smimages/") + img);
    TServerData s;
    s.ItemName = "Local";
    s.HostName = "127.0.0.1";
    s.Port = s_server->Port();
    s.Username = FtpServerProcess::kUser;
    s.Password = FtpServerProcess::kPass;
    s.SavePassword = true;
    s.Timeout = 10;
    std::vector<TServerData> list = {s};
    std::string error;
    ASSERT_TRUE(TServerStore().SaveProfiles(list, error)) << error;

    openOnResultsPage();
    TDataRec rec;
    rec.LinkText = "Home";
    rec.LinkURL = "http://example.com/";
    window->tree().addItem(nullptr, rec, iconFolder);
    reqFilesCloser.stop();
    OnModal<TwinReqFiles>([](TwinReqFiles* w) {
        EXPECT_EQ(w->lstFiles->count(), 5);
        QTest::mouseClick(w->btnFTPFiles, Qt::LeftButton);
    });
    OnModal<TfrmSiteMapFTP>([](TfrmSiteMapFTP* d) {
        EXPECT_FALSE(d->btnOk->isEnabled()); // the profile names no site yet
        d->cboServer->setCurrentIndex(d->cboServer->findText("Local"));
        d->editRemoteUploadDir->setText("from-window");
        QTest::mouseClick(d->btnOk, Qt::LeftButton);
    });
    click("btnNext"); // Save
    EXPECT_EQ(window->profile().ServerName(), "Local");
    QString page = QString::fromStdString(path("Desktop/sitemap.html"));
    QFile local(page);
    ASSERT_TRUE(local.open(QIODevice::ReadOnly));
    QFile remote(s_server->Home() + "/from-window/sitemap.html");
    ASSERT_TRUE(remote.open(QIODevice::ReadOnly));
    EXPECT_EQ(remote.readAll(), local.readAll());
    EXPECT_TRUE(QFile::exists(s_server->Home() + "/from-window/sitemap.xml"));
    EXPECT_TRUE(QFile::exists(s_server->Home() + "/from-window/smimg.gif"));
    // Yes at the folder question made the folder.
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Host Directory Does not exist. Do you want to create it?");

    // FTP Upload... runs it again through the target dialog.
    OnModal<TfrmSiteMapFTP>([](TfrmSiteMapFTP* d) {
        EXPECT_EQ(d->cboServer->currentText(), "Local");
        QTest::mouseClick(d->btnCancel, Qt::LeftButton);
    });
    find<QAction>("miFTP")->trigger();
    EXPECT_EQ(prompts.messages.size(), 1u);

    // Another profile opened afterwards does not upload the sitemap written
    // for the first one: its list has no sitemap until its own run writes one.
    TMapProfile other;
    other.setWebsite("http://other.example/");
    other.setOutputFileName(path("Desktop/other.html"));
    other.setServerName("Local");
    WriteFileText(ProfileToBytes(other), path("other.qvt"));
    WriteFileText("<html></html>", path("Desktop/other.html"));
    window->OpenProfile(path("other.qvt"));
    OnModal<TfrmSiteMapFTP>([](TfrmSiteMapFTP* d) { QTest::mouseClick(d->btnOk, Qt::LeftButton); });
    EXPECT_FALSE(window->UploadGeneratedFiles());
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, "Cannot open file \"\". No file name");
}

} // namespace

// A TLS site whose certificate no trusted authority vouches for: the window
// shows the certificate and asks; Cancel sends nothing and stores nothing,
// "Trust this certificate for this site" stores its fingerprint and the
// upload goes on, and the next upload takes it without a question.
TEST_F(UploadWindowTest, AnUntrustedCertificateIsShownAndTrustedOnlyWhenAsked) {
    TestAuthority authority;
    const std::string made = authority.Make();
    ASSERT_TRUE(made.empty()) << made;
    TlsFtpServer server;
    std::string why;
    if (!server.Start(TlsFtpServer::Mode::Explicit, authority.UntrustedCertificate(),
                      authority.UntrustedKey(), why))
        GTEST_SKIP() << why;
    TServerStore store;
    TServerData s;
    s.ItemName = "TLS site";
    s.HostName = "127.0.0.1";
    s.Port = server.Port();
    s.Username = TlsFtpServer::kUser;
    s.Password = TlsFtpServer::kPass;
    s.SavePassword = true;
    s.PassiveMode = true;
    s.Timeout = 10;
    s.Protocol = kProtocolFtpTlsData;
    std::vector<TServerData> list = {s};
    std::string error;
    ASSERT_TRUE(store.SaveProfiles(list, error)) << error;
    const std::string fingerprint = CertificateFingerprint(
        QSslCertificate::fromPath(authority.UntrustedCertificate()).value(0));

    for (PromptButton answer : {Cancel, Yes}) {
        SCOPED_TRACE(answer == Yes ? "trust" : "cancel");
        prompts.messages.clear();
        prompts.answer(answer);
        const bool sent = TfrmUploadFile::RunUploadWindow(
            nullptr, files, "TLS site", store.LoadServerData("TLS site"), "", false, &store);
        ASSERT_FALSE(prompts.messages.empty());
        const PromptMessage& asked = prompts.messages.front();
        EXPECT_EQ(asked.caption, "Certificate Not Trusted");
        EXPECT_NE(asked.text.find("SHA-256 fingerprint: " + fingerprint), std::string::npos)
            << asked.text;
        EXPECT_EQ(asked.buttonTexts.size(), 1u);
        EXPECT_EQ(asked.defaultButton, Cancel);
        EXPECT_EQ(sent, answer == Yes);
        EXPECT_EQ(store.LoadServerData("TLS site").TrustedCertificate,
                  answer == Yes ? fingerprint : "");
    }
    prompts.messages.clear();
    EXPECT_TRUE(TfrmUploadFile::RunUploadWindow(
        nullptr, files, "TLS site", store.LoadServerData("TLS site"), "", false, &store));
    EXPECT_TRUE(prompts.messages.empty()) << prompts.texts().front();
}
