// The FTP client against a real server: pyftpdlib started on 127.0.0.1 with
// a temporary home, uploads in both modes compared byte for byte.

#include "FtpTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const char* const kPython = "/usr/bin/python3";
const char* const kUser = "tessaly";
const char* const kPass = "pw-Secret1";

class PyftpdlibServer {
  public:
    // Starts the server and waits until it accepts; false with the reason.
    bool Start(std::string& why) {
        if (QProcess::execute(kPython, {"-c", "import pyftpdlib"}) != 0) {
            why = "pyftpdlib is missing: install the Debian package python3-pyftpdlib "
                  "(it must import with /usr/bin/python3)";
            return false;
        }
        if (!m_home.isValid()) {
            why = "no temporary folder";
            return false;
        }
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            m_port = probe.serverPort();
        }
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(kPython,
                        {"-m", "pyftpdlib", "-i", "127.0.0.1", "-p", QString::number(m_port), "-d",
                         m_home.path(), "-w", "-u", kUser, "-P", kPass});
        if (!m_process.waitForStarted(5000)) {
            why = "pyftpdlib did not start";
            return false;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (s.waitForConnected(100) && s.waitForReadyRead(2000))
                return true;
            if (m_process.state() != QProcess::Running)
                break;
            m_process.waitForFinished(100); // a bounded pause before the next attempt
        }
        why = "pyftpdlib did not accept connections: " + m_process.readAll().toStdString();
        return false;
    }

    ~PyftpdlibServer() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    quint16 Port() const { return m_port; }
    QString Home() const { return m_home.path(); }

  private:
    QTemporaryDir m_home;
    QProcess m_process;
    quint16 m_port = 0;
};

class Pyftpdlib : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_server = std::make_unique<PyftpdlibServer>();
        s_ok = s_server->Start(s_why);
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override {
        ASSERT_TRUE(s_ok) << s_why;
        client.SetHostName("127.0.0.1");
        client.SetPort(std::to_string(s_server->Port()));
        client.SetUserName(kUser);
        client.SetPassWord(kPass);
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

    static QByteArray ReadRemote(const QString& path) {
        QFile f(s_server->Home() + "/" + path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    static inline std::unique_ptr<PyftpdlibServer> s_server;
    static inline bool s_ok = false;
    static inline std::string s_why;

    TFtpClient client;
    FtpRecorder rec{client};
    QTemporaryDir local;
};

class PyftpdlibSession : public Pyftpdlib, public ::testing::WithParamInterface<bool> {};

TEST_P(PyftpdlibSession, MakesAFolderEntersItAndUploadsFilesIntact) {
    const bool passive = GetParam();
    const QString folder = passive ? "passive" : "active";
    client.SetPassive(passive);

    EXPECT_EQ(Run([&] { client.Connect(); }), (RequestDone{rqConnect, 0})) << client.ErrorMessage();
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(Run([&] { client.Pwd(); }), (RequestDone{rqPwd, 0}));
    EXPECT_EQ(client.DirResult(), "/");
    client.SetHostFileName(folder.toStdString());
    EXPECT_EQ(Run([&] { client.Mkd(); }), (RequestDone{rqMkd, 0})) << client.ErrorMessage();
    EXPECT_EQ(client.DirResult(), "/" + folder.toStdString());
    client.SetHostDirName(folder.toStdString());
    EXPECT_EQ(Run([&] { client.Cwd(); }), (RequestDone{rqCwd, 0})) << client.ErrorMessage();
    EXPECT_EQ(client.DirResult(), "/" + folder.toStdString());
    EXPECT_EQ(Run([&] { client.TypeSet(); }), (RequestDone{rqTypeSet, 0}));

    const std::vector<std::pair<QString, QByteArray>> files = {
        {"empty.bin", QByteArray()},
        {"page.html", "<html>\r\n<body>site map</body>\r\n</html>\r\n"},
        {"big.bin", RandomBytes(20 * 1024 * 1024, 11)},
    };
    for (const auto& [name, data] : files) {
        client.SetLocalFileName(WriteLocal(name, data));
        client.SetHostFileName(name.toStdString());
        EXPECT_EQ(Run([&] { client.Put(); }), (RequestDone{rqPut, 0}))
            << name.toStdString() << ": " << client.ErrorMessage();
        EXPECT_EQ(client.ByteCount(), data.size());
    }
    EXPECT_EQ(Run([&] { client.Quit(); }), (RequestDone{rqQuit, 0}));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.ControlConnectionOpen());
    for (const auto& [name, data] : files)
        EXPECT_TRUE(ReadRemote(folder + "/" + name) == data) << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, PyftpdlibSession, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_F(Pyftpdlib, WrongPasswordFailsTheLoginWithTheServersReply) {
    client.SetPassWord("wrong");
    EXPECT_EQ(Run([&] { client.Connect(); }), (RequestDone{rqConnect, 530}));
    EXPECT_EQ(client.ErrorMessage(), "530 Authentication failed.");
}

TEST_F(Pyftpdlib, MissingFolderGives550) {
    EXPECT_EQ(Run([&] { client.Connect(); }), (RequestDone{rqConnect, 0}));
    client.SetHostDirName("no/such/folder");
    EXPECT_EQ(Run([&] { client.Cwd(); }), (RequestDone{rqCwd, 550}));
    EXPECT_EQ(client.ErrorMessage().substr(0, 4), "550 ");
    EXPECT_EQ(Run([&] { client.Quit(); }), (RequestDone{rqQuit, 0}));
}

} // namespace
