// The upload's steps against real servers: pyftpdlib for what a willing or
// refusing server does, the scripted server for what pyftpdlib will not do
// on request.
#include "UploadRun.h"
#include "FtpServerProcess.h"
#include "ScriptedFtpServer.h"
#include "WaitUntil.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <random>

namespace tessaly {
namespace {

// Records what the run shows and answers the folder question from a script.
struct Recorder : TUploadObserver {
    std::vector<std::string> statuses, files, errors;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    std::deque<bool> folderAnswers;
    int asked = 0, finishedCount = 0;
    bool success = false;
    std::function<void()> onFile;     // runs when a file starts
    std::function<void()> onProgress; // runs on each progress report

    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowFile(const std::string& path, std::int64_t) override {
        files.push_back(path);
        if (onFile)
            onFile();
    }
    void ShowProgress(std::int64_t f, std::int64_t all) override {
        progress.emplace_back(f, all);
        if (onProgress)
            onProgress();
    }
    bool AskCreateFolder() override {
        ++asked;
        bool yes = !folderAnswers.empty() && folderAnswers.front();
        if (!folderAnswers.empty())
            folderAnswers.pop_front();
        return yes;
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void Finished(bool ok) override {
        ++finishedCount;
        success = ok;
    }
};

QByteArray Bytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    QByteArray data(qsizetype(size), '\0');
    for (auto& c : data)
        c = char(gen() & 0xff);
    return data;
}

class UploadFiles {
  public:
    UploadFiles() {
        // The order of the list: page, sitemap, the three images.
        const std::pair<const char*, size_t> wanted[] = {{"sitemap.html", 70000},
                                                         {"sitemap.xml", 5000},
                                                         {"smfolder.gif", 1514},
                                                         {"smfile.gif", 0},
                                                         {"smimg.gif", 333}};
        unsigned seed = 1;
        for (auto [name, size] : wanted) {
            QByteArray data = Bytes(size, seed++);
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(data);
            paths.push_back(f.fileName().toStdString());
            content.push_back(data);
            total += std::int64_t(size);
        }
    }
    QTemporaryDir dir;
    std::vector<std::string> paths;
    std::vector<QByteArray> content;
    std::int64_t total = 0;
};

TServerData Site(const std::string& host, quint16 port, const std::string& user,
                 const std::string& pass, bool passive = true) {
    TServerData s;
    s.ItemName = "Test site";
    s.HostName = host;
    s.Port = port;
    s.Username = user;
    s.Password = pass;
    s.PassiveMode = passive;
    s.Timeout = 10;
    return s;
}

class UploadAgainstPyftpdlib : public ::testing::TestWithParam<bool>, protected WithFtpServer {
  public:
    using WithFtpServer::SetUpTestSuite;
    using WithFtpServer::TearDownTestSuite;

  protected:
    void SetUp() override { ASSERT_TRUE(s_ok) << s_why; }

    TServerData Writer() const {
        return Site("127.0.0.1", s_server->Port(), FtpServerProcess::kUser, FtpServerProcess::kPass,
                    GetParam());
    }
    // Runs the upload to its end (or until give-up ms).
    void RunToEnd(TUploadRun& run, int ms = 30000) {
        run.Start();
        EXPECT_TRUE(WaitUntil([&] { return rec.finishedCount > 0; }, ms));
    }
    static QByteArray Remote(const QString& path) {
        QFile f(s_server->Home() + "/" + path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    // A folder name of its own for each test and mode.
    std::string Folder(const char* base) const {
        return std::string(base) + (GetParam() ? "-pasv" : "-port");
    }

    Recorder rec;
    UploadFiles files;
};

TEST_P(UploadAgainstPyftpdlib, AllFilesArriveInOrderByteExact) {
    std::string folder = Folder("site");
    QDir(s_server->Home()).mkdir(QString::fromStdString(folder));
    TUploadRun run(files.paths, Writer(), folder, rec);
    std::vector<std::string> display;
    run.Client().OnDisplay = [&](TCustomFtpClient*, std::string& line) { display.push_back(line); };
    RunToEnd(run);
    EXPECT_TRUE(rec.success) << (rec.errors.empty() ? "" : rec.errors[0]);
    EXPECT_TRUE(rec.errors.empty());
    EXPECT_EQ(rec.asked, 0);
    // The session display never shows the password.
    EXPECT_NE(std::find(display.begin(), display.end(), "> PASS ****"), display.end());
    for (const std::string& line : display)
        EXPECT_EQ(line.find(FtpServerProcess::kPass), std::string::npos) << line;
    EXPECT_EQ(rec.finishedCount, 1);
    // From the last entry to the first: images, then sitemap, then the page.
    std::vector<std::string> order(files.paths.rbegin(), files.paths.rend());
    EXPECT_EQ(rec.files, order);
    for (size_t i = 0; i < files.paths.size(); ++i) {
        QString name = QFileInfo(QString::fromStdString(files.paths[i])).fileName();
        EXPECT_EQ(Remote(QString::fromStdString(folder) + "/" + name), files.content[i])
            << name.toStdString();
    }
    EXPECT_EQ(run.TotalBytes(), files.total);
    ASSERT_FALSE(rec.progress.empty());
    EXPECT_EQ(rec.progress.back().second, files.total); // the overall bar ends at the total
    for (const auto& p : rec.progress)
        EXPECT_LE(p.second, files.total);
    EXPECT_EQ(rec.statuses.front(), "Connecting to 127.0.0.1...");
    EXPECT_EQ(rec.statuses,
              (std::vector<std::string>{"Connecting to 127.0.0.1...", "Connected to 127.0.0.1...",
                                        "Finding Initial Directory...", "Transferring..."}));
}

TEST_P(UploadAgainstPyftpdlib, NoFolderAnywhereUploadsIntoTheStartFolder) {
    std::vector<std::string> one = {files.paths[1]}; // the sitemap alone
    TServerData site = Writer();
    site.HostDirName.clear();
    // A name of its own so both modes can be told apart.
    QString name = GetParam() ? "pasv.xml" : "port.xml";
    QFile::copy(QString::fromStdString(files.paths[1]), files.dir.filePath(name));
    one = {files.dir.filePath(name).toStdString()};
    TUploadRun run(one, site, "", rec);
    RunToEnd(run);
    EXPECT_TRUE(rec.success);
    EXPECT_EQ(Remote(name), files.content[1]);
}

TEST_P(UploadAgainstPyftpdlib, FolderQuestionYesMakesTheFolderAndSendsEveryFile) {
    std::string folder = Folder("made");
    rec.folderAnswers = {true};
    TUploadRun run(files.paths, Writer(), folder, rec);
    RunToEnd(run);
    EXPECT_TRUE(rec.success) << (rec.errors.empty() ? "" : rec.errors[0]);
    EXPECT_EQ(rec.asked, 1);
    EXPECT_EQ(rec.files.size(), 5u); // no file skipped after the folder was made
    for (size_t i = 0; i < files.paths.size(); ++i) {
        QString name = QFileInfo(QString::fromStdString(files.paths[i])).fileName();
        EXPECT_EQ(Remote(QString::fromStdString(folder) + "/" + name), files.content[i]);
    }
}

TEST_P(UploadAgainstPyftpdlib, FolderQuestionNoQuitsWithoutAnError) {
    std::string folder = Folder("declined");
    rec.folderAnswers = {false};
    TUploadRun run(files.paths, Writer(), folder, rec);
    RunToEnd(run);
    EXPECT_FALSE(rec.success);
    EXPECT_EQ(rec.asked, 1);
    EXPECT_TRUE(rec.errors.empty());
    EXPECT_TRUE(rec.files.empty());
    EXPECT_FALSE(QDir(s_server->Home() + "/" + QString::fromStdString(folder)).exists());
}

TEST_P(UploadAgainstPyftpdlib, RefusalsAreReportedOnceAndEndTheRun) {
    struct Case {
        const char* what;
        TServerData site;
        std::string folder;
        const char* start; // the shown error starts so
    } cases[] = {
        {"read-only user",
         Site("127.0.0.1", s_server->Port(), FtpServerProcess::kReader, FtpServerProcess::kPass,
              GetParam()),
         "", "Error 550 "},
        {"wrong password",
         Site("127.0.0.1", s_server->Port(), FtpServerProcess::kUser, "wrong", GetParam()), "",
         "Error 530 "},
    };
    for (Case& c : cases) {
        Recorder r;
        TUploadRun run(files.paths, c.site, c.folder, r);
        run.Start();
        ASSERT_TRUE(WaitUntil([&] { return r.finishedCount > 0; }, 30000)) << c.what;
        EXPECT_FALSE(r.success) << c.what;
        ASSERT_EQ(r.errors.size(), 1u) << c.what;
        EXPECT_EQ(r.errors[0].rfind(c.start, 0), 0u) << c.what << ": " << r.errors[0];
        EXPECT_EQ(r.asked, 0) << c.what; // a refused STOR is no missing folder
        // Nothing more happens afterwards.
        WaitUntil([] { return false; }, 200);
        EXPECT_EQ(r.errors.size(), 1u);
        EXPECT_EQ(r.finishedCount, 1);
    }
}

TEST_P(UploadAgainstPyftpdlib, CancelAtEachStageEndsQuietly) {
    enum Stage { Lookup, Login, Put };
    for (Stage stage : {Lookup, Login, Put}) {
        Recorder r;
        TUploadRun run(files.paths, Writer(), "", r);
        if (stage == Put)
            r.onProgress = [&] { run.Cancel(); };
        run.Start();
        if (stage == Lookup)
            run.Cancel(); // before any event: the name lookup is under way
        if (stage == Login) {
            ASSERT_TRUE(WaitUntil([&] { return run.Client().Connected(); }, 10000));
            run.Cancel();
        }
        ASSERT_TRUE(WaitUntil([&] { return r.finishedCount > 0; }, 10000)) << stage;
        EXPECT_FALSE(r.success);
        EXPECT_TRUE(r.errors.empty()) << stage << ": " << r.errors.front();
        EXPECT_EQ(r.finishedCount, 1);
        WaitUntil([] { return false; }, 100);
        EXPECT_EQ(r.finishedCount, 1);
        EXPECT_TRUE(r.errors.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, UploadAgainstPyftpdlib, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

class UploadAgainstScripted : public ::testing::Test {
  protected:
    TServerData Site_() { return Site("127.0.0.1", server.Port(), "user", "pw"); }
    void Run(TUploadRun& run, int ms = 15000) {
        run.Start();
        ASSERT_TRUE(WaitUntil([&] { return rec.finishedCount > 0; }, ms));
        WaitUntil([] { return false; }, 100); // nothing more may follow
        EXPECT_EQ(rec.finishedCount, 1);
    }
    ScriptedFtpServer server;
    Recorder rec;
    UploadFiles files;
};

TEST_F(UploadAgainstScripted, ScriptedFailuresGiveTheirMessageOnceAndEnd) {
    struct Case {
        const char* what;
        std::function<void(ScriptedFtpServer&)> script;
        std::string folder;
        bool answerYes;
        const char* error;
    } cases[] = {
        {"STOR refused", [](ScriptedFtpServer& s) { s.storFirstReply = "550 No room\r\n"; }, "",
         false, "Error 550 No room"},
        {"MKD refused",
         [](ScriptedFtpServer& s) {
             s.replies["CWD"] = "550 No such folder\r\n";
             s.replies["MKD"] = "553 Not allowed\r\n";
         },
         // MKD's own refusal, not the 550 of the CWD before it
         "maps", true, "The server refused to create the folder \"maps\": 553 Not allowed"},
        {"421 greeting", [](ScriptedFtpServer& s) { s.greeting = "421 Too many users\r\n"; }, "",
         false, "Error 421 Too many users"},
        {"dropped during put", [](ScriptedFtpServer& s) { s.hangUpOn = "STOR"; }, "", false,
         "Error "},
        {"a second 550 after MKD",
         [](ScriptedFtpServer& s) {
             s.replies["CWD"] = "550 No such folder\r\n";
             s.replies["MKD"] = "257 \"maps\" created\r\n";
         },
         "maps", true, "Error 550 No such folder"},
    };
    for (Case& c : cases) {
        ScriptedFtpServer s;
        c.script(s);
        Recorder r;
        r.folderAnswers = {c.answerYes};
        TUploadRun run(files.paths, Site("127.0.0.1", s.Port(), "user", "pw"), c.folder, r);
        run.Start();
        ASSERT_TRUE(WaitUntil([&] { return r.finishedCount > 0; }, 15000)) << c.what;
        WaitUntil([] { return false; }, 100);
        EXPECT_FALSE(r.success) << c.what;
        ASSERT_EQ(r.errors.size(), 1u) << c.what;
        EXPECT_EQ(r.errors[0].rfind(c.error, 0), 0u) << c.what << ": " << r.errors[0];
        EXPECT_LE(r.asked, 1) << c.what;
        EXPECT_EQ(r.finishedCount, 1) << c.what;
    }
}

TEST_F(UploadAgainstScripted, ASilentServerEndsAfterTheSiteTimeout) {
    server.greeting = "";
    TServerData site = Site_();
    site.Timeout = 1;
    TUploadRun run(files.paths, site, "", rec);
    Run(run, 10000);
    EXPECT_FALSE(rec.success);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0], "The server at 127.0.0.1:" + std::to_string(site.Port) +
                                 " did not answer for 1 seconds; the upload stopped.");
}

TEST_F(UploadAgainstScripted, UnsafeArgumentsAndSecureSitesSendNothing) {
    struct Case {
        const char* what;
        std::function<void(TServerData&, std::string&, std::vector<std::string>&)> change;
        const char* error;
    } cases[] = {
        {"folder with CR LF",
         [](TServerData&, std::string& dir, std::vector<std::string>&) {
             dir = "maps\r\nDELE index.html";
         },
         "Error The remote folder holds a line break or NUL character; nothing was sent."},
        {"password with LF",
         [](TServerData& s, std::string&, std::vector<std::string>&) { s.Password = "pw\nSITE x"; },
         "Error The password holds a line break or NUL character; nothing was sent."},
        {"user with NUL",
         [](TServerData& s, std::string&, std::vector<std::string>&) {
             s.Username = std::string("a\0b", 3);
         },
         "Error The user name holds a line break or NUL character; nothing was sent."},
        {"SFTP site",
         [](TServerData& s, std::string&, std::vector<std::string>&) { s.Protocol = 1; },
         "Error The site uses the connection type SFTP, which this uploader does not offer; "
         "FTP and FTP over TLS uploads are possible. Nothing was sent."},
        {"secure flag",
         [](TServerData& s, std::string&, std::vector<std::string>&) { s.Secure = true; },
         "Error The site uses the connection type SFTP, which this uploader does not offer; "
         "FTP and FTP over TLS uploads are possible. Nothing was sent."},
        {"missing file",
         [](TServerData&, std::string&, std::vector<std::string>& f) { f[1] = "/nowhere/x.xml"; },
         "Cannot open file \"/nowhere/x.xml\". No such file or directory"},
        {"no sitemap written",
         [](TServerData&, std::string&, std::vector<std::string>& f) { f[1].clear(); },
         "Cannot open file \"\". No file name"},
    };
    for (Case& c : cases) {
        TServerData site = Site_();
        std::string dir;
        std::vector<std::string> list = files.paths;
        c.change(site, dir, list);
        Recorder r;
        TUploadRun run(list, site, dir, r);
        run.Start();
        EXPECT_EQ(r.finishedCount, 1) << c.what; // at once, before any connection
        EXPECT_FALSE(r.success);
        EXPECT_EQ(r.errors, std::vector<std::string>{c.error}) << c.what;
    }
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(server.controlConnections, 0);
}

TEST_F(UploadAgainstScripted, AServerThatIsDownIsReported) {
    quint16 port = server.Port();
    TServerData site = Site("127.0.0.1", port, "u", "p");
    {
        // A port nobody listens on.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        site.Port = probe.serverPort();
    }
    TUploadRun run(files.paths, site, "", rec);
    Run(run);
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0], "Could not connect to 127.0.0.1:" + std::to_string(site.Port) +
                                 ": connection refused");
}

} // namespace
} // namespace tessaly
