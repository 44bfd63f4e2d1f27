// Uploads to FTP-over-TLS sites against pyftpdlib's TLS handler: the
// certificate question and what its answer leaves in the site record, the
// unattended refusal, a server that refuses TLS, the plain-FTP notice, and the
// connection test. The test authority is trusted for the run through Qt's
// default configuration.
#include "TempConfigHome.h"
#include "TestAuthority.h"
#include "TlsFtpServer.h"
#include "UploadRun.h"
#include "WaitUntil.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace tessaly {
namespace {

struct TlsRecorder : TUploadObserver {
    std::vector<std::string> errors, offers, hosts;
    std::vector<TFtpCertificateInfo> asked;
    TCertificateAnswer answer = TCertificateAnswer::Cancel;
    int finished = 0;
    bool success = false;

    void ShowStatus(const std::string&) override {}
    void ShowFile(const std::string&, std::int64_t) override {}
    void ShowProgress(std::int64_t, std::int64_t) override {}
    bool AskCreateFolder() override { return true; }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void Finished(bool ok) override {
        ++finished;
        success = ok;
    }
    TCertificateAnswer AskTrustCertificate(const std::string& host,
                                           const TFtpCertificateInfo& cert) override {
        hosts.push_back(host);
        asked.push_back(cert);
        return answer;
    }
    void ServerOffersTls(const std::string& host) override { offers.push_back(host); }
};

class UploadTls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_authority = std::make_unique<TestAuthority>();
        s_why = s_authority->Make();
        if (!s_why.empty())
            return;
        s_saved = QSslConfiguration::defaultConfiguration();
        QSslConfiguration config = *s_saved;
        config.addCaCertificates(s_authority->AuthorityFile());
        QSslConfiguration::setDefaultConfiguration(config);
    }
    static void TearDownTestSuite() {
        if (s_saved)
            QSslConfiguration::setDefaultConfiguration(*s_saved);
        s_authority.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(s_why.empty()) << s_why;
        QFile f(local.filePath("sitemap.xml"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        files = {f.fileName().toStdString()};
    }

    void StartServer(TlsFtpServer::Mode mode, bool trustedCertificate = true) {
        std::string why;
        ASSERT_TRUE(server.Start(
            mode,
            trustedCertificate ? s_authority->ServerCertificate()
                               : s_authority->UntrustedCertificate(),
            trustedCertificate ? s_authority->ServerKey() : s_authority->UntrustedKey(), why))
            << why;
    }

    // The site, saved in the store so the run can write back to it.
    TServerData SavedSite(int protocol) {
        TServerData s;
        s.ItemName = "TLS site";
        s.HostName = "127.0.0.1";
        s.Port = server.Port();
        s.Username = TlsFtpServer::kUser;
        s.Password = TlsFtpServer::kPass;
        s.SavePassword = true;
        s.PassiveMode = true;
        s.Timeout = 10;
        s.Protocol = protocol;
        std::vector<TServerData> list = {s};
        std::string error;
        EXPECT_TRUE(store.SaveProfiles(list, error)) << error;
        return store.LoadServerData("TLS site");
    }

    TUploadOutcome Upload(const TServerData& site, TlsRecorder& rec, bool unattended = false,
                          std::vector<std::string>* warnings = nullptr) {
        TUploadRun run(files, site, "", rec);
        run.SetStore(&store);
        run.SetUnattended(unattended);
        if (warnings)
            run.SetWarningSink([warnings](const std::string& w) { warnings->push_back(w); });
        run.Start();
        EXPECT_TRUE(WaitUntil([&] { return rec.finished > 0; }, 30000));
        return run.Outcome();
    }

    static std::string FingerprintOf(const QString& file) {
        return CertificateFingerprint(QSslCertificate::fromPath(file).value(0));
    }

    QByteArray Remote(const QString& name) const {
        QFile f(server.Home() + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    static inline std::unique_ptr<TestAuthority> s_authority;
    static inline std::string s_why;
    // Made once the application object exists: Qt's TLS backend needs it.
    static inline std::optional<QSslConfiguration> s_saved;

    TempConfigHome home;
    TServerStore store;
    TlsFtpServer server;
    QTemporaryDir local;
    QByteArray content = QByteArray("<urlset/>\n").repeated(5000);
    std::vector<std::string> files;
};

TEST_F(UploadTls, ProtectedUploadReportsFilesAndBytes) {
    StartServer(TlsFtpServer::Mode::Explicit);
    TlsRecorder rec;
    const TUploadOutcome out = Upload(SavedSite(kProtocolFtpTlsData), rec);
    EXPECT_TRUE(out.Success) << out.Error;
    EXPECT_EQ(out.FilesSent, 1);
    EXPECT_EQ(out.BytesSent, content.size());
    EXPECT_TRUE(rec.asked.empty());
    EXPECT_TRUE(Remote("sitemap.xml") == content);
    EXPECT_TRUE(server.Logged("DATA RESUMED"));
}

TEST_F(UploadTls, TrustingAnUntrustedCertificateStoresItAndTheNextRunTakesItWithoutAsking) {
    StartServer(TlsFtpServer::Mode::Explicit, false);
    const std::string fingerprint = FingerprintOf(s_authority->UntrustedCertificate());
    TlsRecorder first;
    first.answer = TCertificateAnswer::TrustForThisSite;
    const TUploadOutcome out = Upload(SavedSite(kProtocolFtpTlsData), first);
    EXPECT_TRUE(out.Success) << out.Error;
    ASSERT_EQ(first.asked.size(), 1u);
    EXPECT_EQ(first.asked[0].Sha256, fingerprint);
    EXPECT_NE(first.asked[0].Reason.find("self-signed"), std::string::npos);
    EXPECT_EQ(first.hosts[0], "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(store.LoadServerData("TLS site").TrustedCertificate, fingerprint);

    TlsRecorder second;
    EXPECT_TRUE(Upload(store.LoadServerData("TLS site"), second).Success);
    EXPECT_TRUE(second.asked.empty());
    // Unattended too, now that it is trusted.
    TlsRecorder third;
    EXPECT_TRUE(Upload(store.LoadServerData("TLS site"), third, true).Success);
}

TEST_F(UploadTls, ACancelledOrUnattendedCertificateQuestionSendsNothing) {
    StartServer(TlsFtpServer::Mode::Explicit, false);
    const std::string fingerprint = FingerprintOf(s_authority->UntrustedCertificate());
    const TServerData site = SavedSite(kProtocolFtpTlsData);

    TlsRecorder cancelled;
    const TUploadOutcome out = Upload(site, cancelled);
    EXPECT_FALSE(out.Success);
    EXPECT_EQ(cancelled.asked.size(), 1u);
    EXPECT_NE(out.Error.find("not trusted"), std::string::npos) << out.Error;

    TlsRecorder unattended;
    const TUploadOutcome refused = Upload(site, unattended, true);
    EXPECT_FALSE(refused.Success);
    EXPECT_TRUE(unattended.asked.empty());
    ASSERT_EQ(unattended.errors.size(), 1u);
    EXPECT_NE(unattended.errors[0].find(fingerprint), std::string::npos) << unattended.errors[0];
    EXPECT_NE(unattended.errors[0].find("choose Trust"), std::string::npos);

    EXPECT_TRUE(store.LoadServerData("TLS site").TrustedCertificate.empty());
    EXPECT_FALSE(server.Logged("CMD USER"));
    EXPECT_EQ(Remote("sitemap.xml"), QByteArray("(missing)"));
}

TEST_F(UploadTls, AServerWithoutTlsEndsTheRunBeforeTheLogin) {
    StartServer(TlsFtpServer::Mode::Plain);
    for (int protocol : {kProtocolFtpTls, kProtocolFtpTlsData}) {
        TlsRecorder rec;
        const TUploadOutcome out = Upload(SavedSite(protocol), rec);
        EXPECT_FALSE(out.Success);
        EXPECT_NE(out.Error.find("refused TLS"), std::string::npos) << out.Error;
    }
    EXPECT_FALSE(server.Logged("CMD USER"));
}

TEST_F(UploadTls, APlainSiteHearsOnceThatItsServerOffersTlsAndUnattendedRunsWarn) {
    StartServer(TlsFtpServer::Mode::Offered);
    TlsRecorder first;
    EXPECT_TRUE(Upload(SavedSite(kProtocolFtp), first).Success);
    EXPECT_EQ(first.offers, std::vector<std::string>{"127.0.0.1"});
    EXPECT_TRUE(store.LoadServerData("TLS site").TlsOffered);

    TlsRecorder second;
    std::vector<std::string> warnings;
    EXPECT_TRUE(Upload(store.LoadServerData("TLS site"), second, true, &warnings).Success);
    EXPECT_TRUE(second.offers.empty());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("unencrypted"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("offers TLS"), std::string::npos) << warnings[0];
}

TEST_F(UploadTls, ConnectionTestListsTheFolderOrSaysWhyNot) {
    StartServer(TlsFtpServer::Mode::Implicit);
    QFile(server.Home() + "/a.html").open(QIODevice::WriteOnly);
    QFile(server.Home() + "/b.html").open(QIODevice::WriteOnly);
    TServerData site = SavedSite(kProtocolFtpImplicit);
    TlsRecorder rec;
    TUploadOutcome ok = TestConnection(site, rec);
    EXPECT_TRUE(ok.Success) << ok.Error;
    EXPECT_NE(ok.Summary.find("over TLS"), std::string::npos) << ok.Summary;
    EXPECT_NE(ok.Summary.find("lists 2 entries"), std::string::npos) << ok.Summary;
    EXPECT_TRUE(server.Logged("CMD LIST"));

    site.Password = "wrong";
    TlsRecorder bad;
    TUploadOutcome refused = TestConnection(site, bad);
    EXPECT_FALSE(refused.Success);
    EXPECT_EQ(refused.Error.rfind("Error 530", 0), 0u) << refused.Error;
}

TEST_F(UploadTls, AServerGoneMidTransferOrStalledInTheHandshakeEndsTheRunInTime) {
    StartServer(TlsFtpServer::Mode::Explicit);
    QFile big(local.filePath("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(64 * 1024 * 1024, 'x'));
    big.close();
    files = {big.fileName().toStdString()};
    {
        TlsRecorder rec;
        TUploadRun run(files, SavedSite(kProtocolFtpTlsData), "", rec);
        run.Start();
        // Gone as soon as data flows.
        ASSERT_TRUE(WaitUntil([&] { return run.Client().ByteCount() > 0 || rec.finished; }, 20000));
        server.Kill();
        EXPECT_TRUE(WaitUntil([&] { return rec.finished > 0; }, 20000));
        EXPECT_FALSE(run.Outcome().Success);
        EXPECT_FALSE(run.Outcome().Error.empty());
        EXPECT_EQ(run.Outcome().Error.find("socket error"), std::string::npos)
            << run.Outcome().Error;
        EXPECT_EQ(run.Outcome().FilesSent, 0);
    }
    // A server that accepts but never answers the TLS handshake.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    TServerData site = SavedSite(kProtocolFtpImplicit);
    site.Port = silent.serverPort();
    site.Timeout = 1;
    TlsRecorder rec;
    const TUploadOutcome out = Upload(site, rec);
    EXPECT_FALSE(out.Success);
    EXPECT_NE(out.Error.find("did not answer for 1 seconds"), std::string::npos) << out.Error;
}

} // namespace
} // namespace tessaly
