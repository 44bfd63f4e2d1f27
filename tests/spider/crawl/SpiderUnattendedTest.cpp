// The program itself run unattended on a website profile, offscreen, against
// nginx: the maps are written and the run succeeds; with the start page out
// of reach the run fails, says why, and the maps of the last good run stay.
#include "CrawlTestSupport.h"
#include "FileRoutines.h"
#include "ProfileFile.h"
#include "TestAuthority.h"

#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

struct RunResult {
    int status;
    std::string err;
};

class SpiderUnattended : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = dir.path().toStdString() + "/out/";
        QDir().mkpath(QString::fromStdString(out));
        profile.setSpiderType(mstWebsite);
        profile.setFileTypes("*.htm;*.html;");
        profile.setOutputFileName(out + "sitemap.html");
        profile.setMakeGoogleSM(true);
        profileFile = dir.path().toStdString() + "/site.qvt";
    }
    RunResult Run(const std::string& website) {
        profile.setWebsite(website);
        profile.setFileName(profileFile);
        WriteFileText(ProfileToBytes(profile), profileFile);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        p.setProcessEnvironment(env);
        p.start(TESSALY_EXE, {"-auto", QString::fromStdString(profileFile)});
        const bool ended = p.waitForFinished(60000);
        if (!ended)
            p.kill();
        return {ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardError().toStdString()};
    }

    QTemporaryDir dir;
    std::string out, profileFile;
    TMapProfile profile;
};

} // namespace

TEST_F(SpiderUnattended, WritesThePageAndTheSitemap) {
    FixtureSite site;
    const std::string error = site.Serve({
        {"index.html", "<title>Home</title><a href=\"a.html\">A</a><a href=\"docs/\">Docs</a>"},
        {"a.html", "<title>A</title>"},
        {"docs/index.html", "<title>Docs</title><a href=\"b.html\">B</a>"},
        {"docs/b.html", "<title>B</title>"},
    });
    ASSERT_TRUE(error.empty()) << error;
    const RunResult r = Run(site.Url("/"));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string xml = ReadFileText(out + "sitemap.xml");
    for (const char* path : {"/", "/a.html", "/docs/", "/docs/b.html"})
        EXPECT_NE(xml.find("<loc>" + site.Url(path) + "</loc>"), std::string::npos) << path;
    const std::string page = ReadFileText(out + "sitemap.html");
    EXPECT_NE(page.find(">B</a>"), std::string::npos);
    EXPECT_EQ(
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.9.xsd",
                                      QString::fromStdString(out + "sitemap.xml")}),
        0);
    // nginx sends each file's date: every page has its own lastmod.
    std::size_t dates = 0;
    for (std::size_t at = xml.find("<lastmod>"); at != std::string::npos;
         at = xml.find("<lastmod>", at + 1))
        ++dates;
    EXPECT_EQ(dates, 4u) << xml;
}

TEST_F(SpiderUnattended, StartPageOutOfReachFailsAndKeepsTheEarlierMaps) {
    FixtureSite site;
    ASSERT_TRUE(site.Serve({{"index.html", "<title>Home</title>"}}).empty());
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const std::string down = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/";
    probe.close();
    struct Case {
        std::string website, reason;
    };
    const Case cases[] = {
        {down, "Cannot fetch " + down + ": robots.txt could not be read (no answer from the host)"},
        {site.Url("/gone/"), "Cannot fetch " + site.Url("/gone/") + ": HTTP 404 Not Found"},
    };
    for (const auto& c : cases) {
        WriteFileText("earlier page", out + "sitemap.html");
        WriteFileText("earlier sitemap", out + "sitemap.xml");
        const RunResult r = Run(c.website);
        EXPECT_NE(r.status, 0) << c.website;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(ReadFileText(out + "sitemap.html"), "earlier page");
        EXPECT_EQ(ReadFileText(out + "sitemap.xml"), "earlier sitemap");
        EXPECT_EQ(QDir(QString::fromStdString(out)).entryList(QDir::Files).size(), 2);
    }
}

TEST_F(SpiderUnattended, CredentialsOfTheStartAddressAreSentAndNeverWritten) {
    FixtureSite site;
    ASSERT_TRUE(site.Serve({
                               {"index.html", "<title>Home</title><a href=\"a.html\">A</a>"},
                               {"a.html", "<title>A</title><a href=\"%P%b.html\">B</a>"},
                               {"b.html", "<title>B</title>"},
                           })
                    .empty());
    const std::string url = site.Url("/");
    const std::string withCredentials = "http://ann:s3cr%40t@" + url.substr(7);
    const RunResult r = Run(withCredentials);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string xml = ReadFileText(out + "sitemap.xml");
    const std::string page = ReadFileText(out + "sitemap.html");
    EXPECT_NE(xml.find("<loc>" + site.Url("/b.html") + "</loc>"), std::string::npos) << xml;
    for (const std::string& text : {xml, page, r.err}) {
        EXPECT_EQ(text.find("ann"), std::string::npos) << text;
        EXPECT_EQ(text.find("s3cr"), std::string::npos) << text;
    }
    // Every request (robots.txt and the three pages) carried them as basic
    // authentication.
    const std::vector<std::string> sent = site.Server().Authorizations();
    ASSERT_EQ(sent.size(), 4u);
    for (const std::string& line : sent)
        EXPECT_EQ(line, "Basic " + QByteArray("ann:s3cr@t").toBase64().toStdString());
}

// A site on https whose certificate a test authority signed, trusted for the
// run; the same files on a server whose certificate nobody vouches for; and a
// plain server that sends every request to the https one.
TEST_F(SpiderUnattended, HttpsSitesCrawlWithTheirCertificatesChecked) {
    TestAuthority authority;
    ASSERT_EQ(authority.Make(), "");
    TrustOnly trust(authority.AuthorityFile());
    NginxServer secure, untrusted, plain;
    ASSERT_EQ(secure.StartTls(authority.ServerCertificate(), authority.ServerKey()), "");
    ASSERT_EQ(untrusted.StartTls(authority.UntrustedCertificate(), authority.UntrustedKey()), "");
    ASSERT_EQ(plain.Start("return 301 " + secure.Url("") + "$request_uri;"), "");
    const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
    for (NginxServer* server : {&secure, &untrusted}) {
        ASSERT_TRUE(WriteSiteFile(server->Site("index.html"),
                                  "<title>Home</title><a href=\"a.html\">A</a>", modified));
        ASSERT_TRUE(WriteSiteFile(server->Site("a.html"), "<title>A</title>", modified));
    }

    RunResult r = Run(plain.Url("/"));
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string xml = ReadFileText(out + "sitemap.xml");
    for (const char* path : {"/", "/a.html"})
        EXPECT_NE(xml.find("<loc>" + secure.Url(path) + "</loc>"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("http://"), xml.find("http://www.sitemaps.org")) << xml;

    WriteFileText("earlier sitemap", out + "sitemap.xml");
    r = Run(untrusted.Url("/"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Cannot fetch " + untrusted.Url("/") +
                         ": robots.txt could not be read (the server's certificate was refused ("),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFileText(out + "sitemap.xml"), "earlier sitemap");
    EXPECT_TRUE(untrusted.Requests().empty());
}
