#pragma once
// A pyftpdlib server on 127.0.0.1 and a free port, in a process of its own,
// with a temporary home and two users: one who may write ("tessaly") and one
// who may only read ("reader").
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>
#include <string>

class FtpServerProcess {
  public:
    static constexpr const char* kUser = "tessaly";
    static constexpr const char* kPass = "pw-Secret1";
    static constexpr const char* kReader = "reader";

    // Starts the server and waits until it greets; false with the reason.
    bool Start(std::string& why) {
        const char* python = "/usr/bin/python3";
        if (QProcess::execute(python, {"-c", "import pyftpdlib"}) != 0) {
            why = "pyftpdlib is missing: install the Debian package python3-pyftpdlib";
            return false;
        }
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port_ = probe.serverPort();
        }
        const char* script = R"(
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.WARNING)
home, port, user, pw, reader = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
a = DummyAuthorizer()
a.add_user(user, pw, home, perm="elradfmwMT")
a.add_user(reader, pw, home, perm="elr")
h = FTPHandler
h.authorizer = a
h.permit_foreign_addresses = False
FTPServer(("127.0.0.1", port), h).serve_forever()
)";
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(python,
                       {"-c", script, home_.path(), QString::number(port_), kUser, kPass, kReader});
        if (!process_.waitForStarted(5000)) {
            why = "pyftpdlib did not start";
            return false;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(100) && s.waitForReadyRead(2000))
                return true;
            if (process_.state() != QProcess::Running)
                break;
            process_.waitForFinished(100);
        }
        why = "pyftpdlib did not accept connections: " + process_.readAll().toStdString();
        return false;
    }

    ~FtpServerProcess() {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(1000);
    }

    quint16 Port() const { return port_; }
    QString Home() const { return home_.path(); }

  private:
    QTemporaryDir home_;
    QProcess process_;
    quint16 port_ = 0;
};

// For a test fixture: one server for the whole suite, started before its
// first test and stopped after its last.
class WithFtpServer {
  protected:
    static void SetUpTestSuite() {
        s_server = std::make_unique<FtpServerProcess>();
        s_ok = s_server->Start(s_why);
    }
    static void TearDownTestSuite() { s_server.reset(); }

    static inline std::unique_ptr<FtpServerProcess> s_server;
    static inline bool s_ok = false;
    static inline std::string s_why;
};
