// The whole unattended run, as a scheduler starts it: tessaly -auto opens the
// profile, scans the site, writes the maps and uploads them to the site the
// profile names; the exit status tells how it went.
#include "FileRoutines.h"
#include "FtpServerProcess.h"
#include "PasswordCipher.h"
#include "ProfileFile.h"
#include "RunTessaly.h"
#include "ServerStore.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

namespace fs = std::filesystem;

class PyftpdlibUnattendedUpload : public ::testing::Test, protected WithFtpServer {
  public:
    using WithFtpServer::SetUpTestSuite;
    using WithFtpServer::TearDownTestSuite;

  protected:
    void SetUp() override {
        ASSERT_TRUE(s_ok) << s_why;
        home = dir.path().toStdString();
        site = home + "/site/";
        fs::copy(TESSALY_TEST_DATA "/localsite", site, fs::copy_options::recursive);
        profile.setSpiderType(mstLocal);
        profile.setIndexPage(site + "index.html");
        profile.setWebsite("http://www.example.com/");
        profile.setOutputFileName(site + "sitemap.html");
        profile.setServerName("Local FTP");
        profileFile = home + "/site.qvt";
    }

    // The store the program will read: the same file its configuration
    // folder holds.
    TServerStore Store() const {
        return TServerStore(TUserStore(home + "/config/Quorvane Software/Tessaly/user-store.reg"));
    }
    void SaveSite(const std::string& name, quint16 port, const std::string& password,
                  bool savePassword = true, int timeout = 10) {
        TServerData s;
        s.ItemName = name;
        s.HostName = "127.0.0.1";
        s.Port = port;
        s.Username = FtpServerProcess::kUser;
        s.Password = password;
        s.SavePassword = savePassword;
        s.PassiveMode = true;
        s.Timeout = timeout;
        std::vector<TServerData> list = {s};
        std::string error;
        ASSERT_TRUE(Store().SaveProfiles(list, error)) << error;
    }
    RunResult Run() {
        profile.setFileName(profileFile);
        WriteFileText(ProfileToBytes(profile), profileFile);
        RunResult r = RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path());
        EXPECT_TRUE(r.ended);
        return r;
    }
    static std::string Remote(const std::string& path) {
        QFile f(s_server->Home() + "/" + QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "(missing)";
    }

    QTemporaryDir dir;
    std::string home, site, profileFile;
    TMapProfile profile;
};

TEST_F(PyftpdlibUnattendedUpload, WritesTheMapsUploadsThemAndExitsZero) {
    SaveSite("Local FTP", s_server->Port(), FtpServerProcess::kPass);
    profile.setServerDir("auto-run");
    RunResult r = Run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Remote("auto-run/sitemap.html"), ReadFileText(site + "sitemap.html"));
    EXPECT_EQ(Remote("auto-run/sitemap.xml"), ReadFileText(site + "sitemap.xml"));
    for (const char* img : {"smfolder.gif", "smfile.gif", "smimg.gif"})
        EXPECT_EQ(Remote(std::string("auto-run/") + img), ReadFileText(site + img)) << img;
    // The folder was made unasked (the question's default answer, logged).
    EXPECT_NE(r.err.find("Do you want to create it? Yes"), std::string::npos) << r.err;
}

TEST_F(PyftpdlibUnattendedUpload, FailuresExitNonZeroWithTheReason) {
    quint16 downPort;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        downPort = probe.serverPort();
    }
    // Accepts connections (the system does, into the backlog) and says nothing.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    struct Case {
        const char* what;
        std::function<void()> setUp;
        const char* reason;
    } cases[] = {
        {"server down", [&] { SaveSite("Local FTP", downPort, FtpServerProcess::kPass); },
         "Could not connect to 127.0.0.1:"},
        {"wrong password", [&] { SaveSite("Local FTP", s_server->Port(), "wrong"); }, "Error 530"},
        {"silent server",
         [&] { SaveSite("Local FTP", silent.serverPort(), FtpServerProcess::kPass, true, 2); },
         "did not answer for"},
        {"no saved password", [&] { SaveSite("Local FTP", s_server->Port(), "", false); },
         "no password is saved for the site \"Local FTP\""},
        {"site missing", [&] { SaveSite("Other", s_server->Port(), FtpServerProcess::kPass); },
         "the site \"Local FTP\" does not exist"},
    };
    for (const Case& c : cases) {
        QFile::remove(QString::fromStdString(Store().Store().File()));
        c.setUp();
        RunResult r = Run();
        EXPECT_NE(r.status, 0) << c.what;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.what << ":\n" << r.err;
        // The maps were written all the same.
        EXPECT_TRUE(FileExists(site + "sitemap.html")) << c.what;
    }
}

TEST_F(PyftpdlibUnattendedUpload, AProfileWithoutASiteStillExitsZero) {
    profile.setServerName("");
    RunResult r = Run();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(FileExists(site + "sitemap.xml"));
}

TEST_F(PyftpdlibUnattendedUpload, ALargeSiteGetsAnIndexAndEveryFileIsUploaded) {
    // 120,000 pages: more than two sitemap files' worth.
    for (int folder = 0; folder < 600; ++folder) {
        std::string path = site + "f" + std::to_string(folder) + "/";
        fs::create_directories(path);
        for (int page = 0; page < 200; ++page)
            std::ofstream(path + "p" + std::to_string(page) + ".html") << "<title>P</title>";
    }
    SaveSite("Local FTP", s_server->Port(), FtpServerProcess::kPass);
    profile.setFileTypes("*.html;");
    profile.setServerDir("large");
    RunResult r = Run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Sitemap index " + site + "sitemap.xml lists 3 sitemap files."),
              std::string::npos)
        << r.err;
    for (const char* file : {"sitemap.xml", "sitemap1.xml", "sitemap2.xml", "sitemap3.xml"}) {
        std::string local = ReadFileText(site + file);
        EXPECT_EQ(Remote(std::string("large/") + file), local) << file;
    }
    EXPECT_NE(ReadFileText(site + "sitemap.xml").find("<sitemapindex"), std::string::npos);
    EXPECT_FALSE(FileExists(site + "sitemap4.xml"));
}

} // namespace
} // namespace tessaly
