// The program itself run unattended on a website profile, offscreen, against
// nginx: the maps are written and the run succeeds; with the start page out
// of reach the run fails, says why, and the maps of the last good run stay.
#include "CrawlTestSupport.h"
#include "FileRoutines.h"
#include "ProfileFile.h"

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
        {down, "Cannot fetch " + down + ": no answer from the host"},
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
