// What every fetch carries and how it reads an answer on the wire: the
// agent, compression, credentials, the deadline, and TLS with its
// certificate checks.
#include "FileFetcher.h"
#include "HttpRequestOptions.h"
#include "NginxServer.h"
#include "ScriptedHttpServer.h"
#include "TestAuthority.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

#include <zlib.h>

using namespace tessaly;
using R = ScriptedHttpServer;

namespace {

QByteArray Gzip(const QByteArray& bytes) {
    z_stream z{};
    // 16 over the window bits asks for the gzip wrapper.
    if (deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(bytes.size()))), 0);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return result == Z_STREAM_END ? out : QByteArray();
}

QByteArray Encoded(const QByteArray& encoding, const QByteArray& body) {
    return HttpReply(
        "200 OK",
        "Content-Type: text/html; charset=utf-8\r\nContent-Encoding: " + encoding + "\r\n", body);
}

QByteArray Fixture(const char* name) {
    QFile f(QString(TESSALY_TEST_DATA) + "/http/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FetchManners : public ::testing::Test {
  protected:
    void SetUp() override {
        fetcher.ConnectTimeout = 2000;
        fetcher.ReceiveTimeout = 500;
    }
    void Fetch(const std::string& path) { fetcher.FetchPage(server.Url(path)); }
    ScriptedHttpServer server;
    TFileFetcher fetcher;
};

} // namespace

TEST_F(FetchManners, EveryRequestNamesTheProgramAndAsksForCompression) {
    server.Script("/", {R::Plain(HttpReply("200 OK", "Content-Type: text/html\r\n", "<p>"))});
    Fetch("/");
    ASSERT_EQ(server.requests.size(), 1u);
    const QByteArray& head = server.requests.front();
    EXPECT_TRUE(head.contains("\r\nUser-Agent: Tessaly/" + QByteArray(TESSALY_VERSION) + "\r\n"))
        << head.toStdString();
    EXPECT_EQ(TessalyAgent(), "Tessaly/" TESSALY_VERSION);
    EXPECT_TRUE(head.contains("\r\nAccept-Encoding: gzip, br\r\n")) << head.toStdString();
}

TEST_F(FetchManners, CompressedPagesAreReadDecoded) {
    const QByteArray page = "<title>Squeezed</title><a href=\"next.html\">next</a>";
    server.Script("/gzip.html", {R::Plain(Encoded("gzip", Gzip(page)))});
    server.Script("/br.html", {R::Plain(Encoded("br", Fixture("page.html.br")))});
    struct Case {
        const char* path;
        const char* title;
    };
    for (const Case& c :
         {Case{"/gzip.html", "Squeezed"}, Case{"/br.html", "Br\xC3\xBC\xC3\xA9 Page"}}) {
        Fetch(c.path);
        EXPECT_EQ(fetcher.Response, 200) << c.path;
        EXPECT_EQ(fetcher.Title, c.title) << c.path;
        ASSERT_EQ(fetcher.LinkCount(), 1) << c.path;
        EXPECT_EQ(fetcher.Link(0).second, server.Url("/next.html")) << c.path;
    }
}

TEST_F(FetchManners, ACompressionBombEndsAtThePageLimit) {
    // 40 MB of text that travels as about 40 KB: the limit counts what the
    // page is, not what crossed the wire.
    const QByteArray page = "<title>Bomb</title>" + QByteArray(40 * 1024 * 1024, ' ');
    const QByteArray bomb = Gzip(page);
    ASSERT_LT(bomb.size(), 100 * 1024);
    server.Script("/bomb.html", {R::Plain(Encoded("gzip", bomb))});
    fetcher.MaxPageSize = 1024 * 1024;
    Fetch("/bomb.html");
    EXPECT_EQ(fetcher.Response, 200);
    EXPECT_EQ(fetcher.Title, "Bomb");
    EXPECT_EQ(fetcher.PageContent.size(), 1024u * 1024u);
}

TEST_F(FetchManners, CredentialsGoAsBasicAuthentication) {
    server.Script("/", {R::Plain(HttpReply("200 OK", "Content-Type: text/html\r\n", "<p>"))});
    fetcher.UserName = "ann";
    fetcher.Password = "p@ss:word";
    Fetch("/");
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_TRUE(server.requests.front().contains("\r\nAuthorization: Basic " +
                                                 QByteArray("ann:p@ss:word").toBase64() + "\r\n"))
        << server.requests.front().toStdString();
}

TEST_F(FetchManners, ADrippingBodyEndsAtTheDeadline) {
    // A byte every 100 ms never stalls for the receive time-out of 500 ms.
    R::Reply drip = R::Plain(HttpReply("200 OK", "Content-Type: text/html\r\n",
                                       "<title>Drip</title>" + QByteArray(2000, 'x')));
    drip.trickleFrom = 60;
    drip.trickleEveryMs = 100;
    server.Script("/drip.html", {drip});
    fetcher.Deadline = 1500;
    QElapsedTimer t;
    t.start();
    Fetch("/drip.html");
    EXPECT_LT(t.elapsed(), 6000);
    EXPECT_GE(t.elapsed(), 1400);
    EXPECT_EQ(fetcher.Response, -3);
    EXPECT_TRUE(fetcher.PageContent.empty());
    // One request: a page cut short is not asked for again.
    EXPECT_EQ(server.requests.size(), 1u);
}

namespace {

const QDateTime kModified(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);

// Two nginx servers over TLS: one whose certificate a test authority signed,
// trusted for the run, and one with a certificate nobody vouches for.
class FetchTlsNginx : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_Authority = std::make_unique<TestAuthority>();
        s_Error = s_Authority->Make();
        if (!s_Error.empty())
            return;
        s_Trusted = std::make_unique<NginxServer>();
        s_Untrusted = std::make_unique<NginxServer>();
        s_Error = s_Trusted->StartTls(s_Authority->ServerCertificate(), s_Authority->ServerKey());
        if (s_Error.empty())
            s_Error = s_Untrusted->StartTls(s_Authority->UntrustedCertificate(),
                                            s_Authority->UntrustedKey());
        for (NginxServer* server : {s_Trusted.get(), s_Untrusted.get()})
            if (s_Error.empty() &&
                !WriteSiteFile(server->Site("page.html"),
                               "<title>Secure</title><a href=\"next.html\">next</a>", kModified))
                s_Error = "cannot write the site";
    }
    static void TearDownTestSuite() {
        s_Trusted.reset();
        s_Untrusted.reset();
        s_Authority.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(s_Error.empty()) << s_Error;
        fetcher.ConnectTimeout = 2000;
        fetcher.ReceiveTimeout = 3000;
    }
    void Fetch(const std::string& url) { fetcher.FetchPage(url); }

    static inline std::unique_ptr<TestAuthority> s_Authority;
    static inline std::unique_ptr<NginxServer> s_Trusted;
    static inline std::unique_ptr<NginxServer> s_Untrusted;
    static inline std::string s_Error;
    TFileFetcher fetcher;
};

} // namespace

TEST_F(FetchTlsNginx, ACertificateTheAuthorityVouchesForIsAccepted) {
    TrustOnly trust(s_Authority->AuthorityFile());
    Fetch(s_Trusted->Url("/page.html"));
    EXPECT_EQ(fetcher.Response, 200);
    EXPECT_EQ(fetcher.Title, "Secure");
    EXPECT_TRUE(fetcher.FailureReason.empty()) << fetcher.FailureReason;
    ASSERT_EQ(fetcher.LinkCount(), 1);
    EXPECT_EQ(fetcher.Link(0).second, s_Trusted->Url("/next.html"));
    // The access log shows the agent on every request.
    const std::vector<std::string> agents = s_Trusted->Agents();
    ASSERT_FALSE(agents.empty());
    for (const std::string& agent : agents)
        EXPECT_EQ(agent, TessalyAgent());
}

TEST_F(FetchTlsNginx, AnUntrustedCertificateEndsThePageWithItsReason) {
    TrustOnly trust(s_Authority->AuthorityFile());
    const auto before = s_Untrusted->Requests().size();
    Fetch(s_Untrusted->Url("/page.html"));
    EXPECT_EQ(fetcher.Response, 0);
    EXPECT_TRUE(fetcher.PageContent.empty());
    EXPECT_NE(fetcher.FailureReason.find("certificate was refused"), std::string::npos)
        << fetcher.FailureReason;
    // Nothing was asked of a server whose certificate was refused.
    EXPECT_EQ(s_Untrusted->Requests().size(), before);
}
