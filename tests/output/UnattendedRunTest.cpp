// Runs the program itself, unattended and offscreen, over the fixture site.
#include "FileRoutines.h"
#include "ProfileFile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

using namespace tessaly;
namespace fs = std::filesystem;

namespace {
struct RunResult {
    int status;
    std::string err;
};

RunResult runTessaly(const QStringList& args, const QString& home) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    p.setProcessEnvironment(env);
    p.start(TESSALY_EXE, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardError().toStdString()};
}

class Unattended : public ::testing::Test {
  protected:
    void SetUp() override {
        site = dir.path().toStdString() + "/site/";
        fs::copy(TESSALY_TEST_DATA "/localsite", site, fs::copy_options::recursive);
        profile.setSpiderType(mstLocal);
        profile.setIndexPage(site + "index.html");
        profile.setWebsite("http://www.example.com/");
        profile.setFileTypes("*.htm;*.html;*.png;*.jpg;");
        profile.setIgnoreFiles(site + "secret.html\r\n");
        profile.setIgnoreFolders(site + "docs/Drafts/\r\n");
        profileFile = dir.path().toStdString() + "/site.qvt";
    }
    RunResult runProfile() {
        profile.setFileName(profileFile);
        WriteFileText(ProfileToBytes(profile), profileFile);
        return runTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path());
    }
    QTemporaryDir dir;
    std::string site, profileFile;
    TMapProfile profile;
};
} // namespace

TEST_F(Unattended, WritesThePageTheSitemapAndTheImages) {
    profile.setOutputFileName(site + "sitemap.html");
    RunResult r = runProfile();
    EXPECT_EQ(r.status, 0) << r.err;
    std::string page = ReadFileText(site + "sitemap.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE HTML PUBLIC", 0), 0u);
    EXPECT_NE(page.find(">  My Page </a></dt>"), std::string::npos);
    EXPECT_EQ(page.find("Secret"), std::string::npos);
    std::string xml = ReadFileText(site + "sitemap.xml");
    EXPECT_NE(xml.find("<loc>http://www.example.com/docs/guide.html</loc>"), std::string::npos);
    EXPECT_EQ(xml.find("sitemap.html</loc>"), std::string::npos); // never its own output
    for (const char* img : {"smfolder.gif", "smfile.gif", "smimg.gif"})
        EXPECT_TRUE(FileExists(site + img)) << img;

    // The sitemap is valid against the sitemap schema (0.9 and 0.84 define
    // the same elements) once the items with empty elements are left out.
    int rc =
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.84.xsd",
                                      QString::fromStdString(site + "sitemap.xml")});
    EXPECT_EQ(rc, 0);
}

TEST_F(Unattended, AMissingOutputFolderFailsWithTheFileError) {
    std::string out = site + "no/such/folder/sitemap.html";
    profile.setOutputFileName(out);
    RunResult r = runProfile();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Cannot create file \"" + out + "\""), std::string::npos) << r.err;
}

TEST_F(Unattended, AProfileThatWillNotOpenFails) {
    WriteFileText("not a profile", profileFile);
    RunResult r = runTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path());
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Invalid stream format"), std::string::npos) << r.err;
}
