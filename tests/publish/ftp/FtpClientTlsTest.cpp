// The FTP client under TLS against pyftpdlib's TLS handler: explicit TLS with
// and without protected data and implicit TLS, in both transfer modes, with
// the server refusing data connections that do not resume the control
// connection's session; TLS refused, and certificates no authority vouches
// for. The test's own authority is trusted for the run through Qt's default
// configuration, on top of the system's authorities.

#include "FtpTestSupport.h"
#include "TestAuthority.h"
#include "TlsFtpServer.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

class FtpTls : public ::testing::Test {
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

    void SetUp() override { ASSERT_TRUE(s_why.empty()) << s_why; }

    void StartServer(TlsFtpServer::Mode mode, const QString& address = "127.0.0.1",
                     bool trustedCertificate = true) {
        const QString cert = trustedCertificate ? s_authority->ServerCertificate()
                                                : s_authority->UntrustedCertificate();
        const QString key =
            trustedCertificate ? s_authority->ServerKey() : s_authority->UntrustedKey();
        std::string why;
        ASSERT_TRUE(server.Start(mode, cert, key, why, address)) << why;
        client.SetHostName(address.toStdString());
        client.SetPort(std::to_string(server.Port()));
        client.SetUserName(TlsFtpServer::kUser);
        client.SetPassWord(TlsFtpServer::kPass);
    }

    RequestDone Run(const std::function<void()>& start, int ms = 30000) {
        const size_t before = rec.done.size();
        start();
        EXPECT_TRUE(rec.WaitDone(before + 1, ms));
        return rec.done.size() > before ? rec.done[before] : RequestDone{rqNone, -1};
    }

    std::string WriteLocal(const QString& name, const QByteArray& data) {
        QFile f(local.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName().toStdString();
    }

    QByteArray ReadRemote(const QString& path) const {
        QFile f(server.Home() + "/" + path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    static std::string FingerprintOf(const QString& file) {
        return CertificateFingerprint(QSslCertificate::fromPath(file).value(0));
    }

    static inline std::unique_ptr<TestAuthority> s_authority;
    static inline std::string s_why;
    // Made once the application object exists: Qt's TLS backend needs it.
    static inline std::optional<QSslConfiguration> s_saved;

    TlsFtpServer server;
    TFtpClient client;
    FtpRecorder rec{client};
    QTemporaryDir local;
};

struct TlsCase {
    const char* name;
    TFtpTlsMode tls;
    TlsFtpServer::Mode server;
    bool passive;
};

class FtpTlsSession : public FtpTls, public ::testing::WithParamInterface<TlsCase> {};

TEST_P(FtpTlsSession, UploadsIntactAndProtectsTheDataAsAsked) {
    const TlsCase& c = GetParam();
    StartServer(c.server);
    client.SetTlsMode(c.tls);
    client.SetPassive(c.passive);
    ASSERT_EQ(Run([&] { client.Connect(); }), (RequestDone{rqConnect, 0})) << client.ErrorMessage();
    EXPECT_TRUE(client.ControlSocket().Encrypted());
    EXPECT_EQ(Run([&] { client.TypeSet(); }), (RequestDone{rqTypeSet, 0}));
    const std::vector<std::pair<QString, QByteArray>> files = {
        {"empty.bin", QByteArray()},
        {"big.bin", RandomBytes(3 * 1024 * 1024 + 17, 5)},
        {"page.html", "<html>\r\n<body>site map</body>\r\n</html>\r\n"},
    };
    for (const auto& [name, data] : files) {
        client.SetLocalFileName(WriteLocal(name, data));
        client.SetHostFileName(name.toStdString());
        EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, 0}))
            << name.toStdString() << ": " << client.ErrorMessage() << "\n"
            << server.Log() << Joined(rec.display) << server.Output();
    }
    EXPECT_EQ(Run([&] { client.Quit(); }), (RequestDone{rqQuit, 0}));
    for (const auto& [name, data] : files)
        EXPECT_TRUE(ReadRemote(name) == data) << name.toStdString();

    const std::string log = server.Log();
    EXPECT_EQ(log.find("DATA NOT RESUMED"), std::string::npos) << log;
    const bool protectedData = c.tls != ftpTlsControl;
    // Every protected data connection resumed the control connection's
    // session; clear data connections never reach the check.
    EXPECT_EQ(log.find("DATA RESUMED") != std::string::npos, protectedData) << log;
    EXPECT_NE(log.find("CMD PROT"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FtpTlsSession,
    ::testing::Values(
        TlsCase{"ControlOnlyPassive", ftpTlsControl, TlsFtpServer::Mode::Explicit, true},
        TlsCase{"ControlOnlyActive", ftpTlsControl, TlsFtpServer::Mode::Explicit, false},
        TlsCase{"ProtectedDataPassive", ftpTlsControlAndData, TlsFtpServer::Mode::Explicit, true},
        TlsCase{"ProtectedDataActive", ftpTlsControlAndData, TlsFtpServer::Mode::Explicit, false},
        TlsCase{"ImplicitPassive", ftpTlsImplicit, TlsFtpServer::Mode::Implicit, true},
        TlsCase{"ImplicitActive", ftpTlsImplicit, TlsFtpServer::Mode::Implicit, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpTls, ServerWithoutTlsEndsTheConnectBeforeAnyLogin) {
    StartServer(TlsFtpServer::Mode::Plain);
    client.SetTlsMode(ftpTlsControlAndData);
    const RequestDone done = Run([&] { client.Connect(); }, 20000);
    EXPECT_EQ(done.kind, rqConnect);
    EXPECT_NE(done.error, 0);
    EXPECT_NE(client.ErrorMessage().find("refused TLS"), std::string::npos)
        << client.ErrorMessage();
    EXPECT_FALSE(client.ControlConnectionOpen());
    WaitUntil([] { return false; }, 300); // the server logs what it got
    EXPECT_FALSE(server.Logged("CMD USER")) << server.Log();
    EXPECT_FALSE(server.Logged("CMD PASS")) << server.Log();
}

TEST_F(FtpTls, ImplicitClientAgainstAPlainServerFailsInBoundedTime) {
    StartServer(TlsFtpServer::Mode::Plain);
    client.SetTlsMode(ftpTlsImplicit);
    const RequestDone done = Run([&] { client.Connect(); }, 20000);
    EXPECT_EQ(done.kind, rqConnect);
    EXPECT_NE(done.error, 0);
    EXPECT_NE(client.ErrorMessage().find("TLS failed"), std::string::npos) << client.ErrorMessage();
    EXPECT_FALSE(server.Logged("CMD USER"));
}

struct CertificateCase {
    const char* name;
    const char* address; // the server's certificate names 127.0.0.1 and localhost
    bool signedByAuthority;
    const char* reason;
};

class FtpTlsCertificate : public FtpTls, public ::testing::WithParamInterface<CertificateCase> {};

TEST_P(FtpTlsCertificate, IsRefusedWithItsDetailsUntilItsFingerprintIsTrusted) {
    const CertificateCase& c = GetParam();
    StartServer(TlsFtpServer::Mode::Explicit, c.address, c.signedByAuthority);
    const QString file = c.signedByAuthority ? s_authority->ServerCertificate()
                                             : s_authority->UntrustedCertificate();
    const std::string fingerprint = FingerprintOf(file);
    client.SetTlsMode(ftpTlsControlAndData);

    // Another certificate's fingerprint does not make this one trusted.
    client.SetTrustedCertificates(
        {FingerprintOf(c.signedByAuthority ? s_authority->UntrustedCertificate()
                                           : s_authority->ServerCertificate())});
    const RequestDone refused = Run([&] { client.Connect(); }, 20000);
    EXPECT_EQ(refused.kind, rqConnect);
    EXPECT_NE(refused.error, 0);
    ASSERT_TRUE(client.CertificateRefused()) << client.ErrorMessage();
    const TFtpCertificateInfo& info = client.RefusedCertificate();
    EXPECT_EQ(info.Sha256, fingerprint);
    EXPECT_EQ(info.Subject, "127.0.0.1");
    EXPECT_EQ(info.Issuer, c.signedByAuthority ? "Tessaly Test Authority" : "127.0.0.1");
    EXPECT_FALSE(info.ValidFrom.empty());
    EXPECT_FALSE(info.ValidUntil.empty());
    EXPECT_NE(info.Reason.find(c.reason), std::string::npos) << info.Reason;
    EXPECT_NE(client.ErrorMessage().find(fingerprint), std::string::npos);
    EXPECT_FALSE(server.Logged("CMD USER"));

    // Trusted by its fingerprint (lower case, no colons: any spelling), it
    // is taken for the control and the protected data connections.
    std::string plain;
    for (char ch : fingerprint)
        if (ch != ':')
            plain += char(std::tolower(static_cast<unsigned char>(ch)));
    client.SetTrustedCertificates({plain});
    ASSERT_EQ(Run([&] { client.Connect(); }), (RequestDone{rqConnect, 0})) << client.ErrorMessage();
    EXPECT_FALSE(client.CertificateRefused());
    client.SetLocalFileName(WriteLocal("a.txt", "trusted"));
    client.SetHostFileName("a.txt");
    EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, 0})) << client.ErrorMessage();
    EXPECT_EQ(Run([&] { client.Quit(); }), (RequestDone{rqQuit, 0}));
    EXPECT_EQ(ReadRemote("a.txt"), QByteArray("trusted"));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FtpTlsCertificate,
    ::testing::Values(CertificateCase{"SelfSigned", "127.0.0.1", false, "self-signed"},
                      CertificateCase{"OtherHostName", "127.0.0.2", true,
                                      "issued for localhost, 127.0.0.1, not for 127.0.0.2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpTls, FeatTellsWhetherAPlainServerOffersTls) {
    for (auto mode : {TlsFtpServer::Mode::Offered, TlsFtpServer::Mode::Plain}) {
        TlsFtpServer other;
        std::string why;
        ASSERT_TRUE(
            other.Start(mode, s_authority->ServerCertificate(), s_authority->ServerKey(), why))
            << why;
        TFtpClient plain;
        FtpRecorder r(plain);
        plain.SetHostName("127.0.0.1");
        plain.SetPort(std::to_string(other.Port()));
        plain.SetUserName(TlsFtpServer::kUser);
        plain.SetPassWord(TlsFtpServer::kPass);
        plain.SetAskFeatures(true);
        plain.Connect();
        ASSERT_TRUE(r.WaitDone(1, 20000));
        EXPECT_EQ(r.Last(), (RequestDone{rqConnect, 0})) << plain.ErrorMessage();
        EXPECT_EQ(plain.ServerOffersTls(), mode == TlsFtpServer::Mode::Offered);
        EXPECT_TRUE(other.Logged("CMD FEAT"));
    }
}

} // namespace
