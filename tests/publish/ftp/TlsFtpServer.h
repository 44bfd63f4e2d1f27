#pragma once
// pyftpdlib with TLS on a loopback address and a free port, in a process of
// its own, with a temporary home and one user who may write. Every command it
// receives is written to a log the test reads, and so is the state of each
// protected data connection: a data connection that does not resume the
// control connection's TLS session is closed at once, as strict servers do.
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <string>

class TlsFtpServer {
  public:
    static constexpr const char* kUser = "tessaly";
    static constexpr const char* kPass = "pw-Secret1";

    enum class Mode {
        Explicit, // AUTH TLS required before USER
        Implicit, // TLS from the first byte
        Plain,    // no TLS at all: AUTH is an unknown command
        Offered,  // plain logins allowed, AUTH TLS offered in FEAT
    };

    // Starts the server with the given certificate and key; false with the
    // reason.
    bool Start(Mode mode, const QString& cert, const QString& key, std::string& why,
               const QString& address = "127.0.0.1") {
        const char* python = "/usr/bin/python3";
        if (QProcess::execute(python, {"-c", "import pyftpdlib, OpenSSL"}) != 0) {
            why = "pyftpdlib or pyOpenSSL is missing: install the Debian packages "
                  "python3-pyftpdlib and python3-openssl";
            return false;
        }
        address_ = address;
        {
            QTcpServer probe;
            probe.listen(QHostAddress(address), 0);
            port_ = probe.serverPort();
        }
        const char* script = R"(
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler, TLS_DTPHandler
from pyftpdlib.servers import FTPServer
from OpenSSL._util import lib as ssl_lib
home, addr, port, mode, cert, key, log, user, pw = sys.argv[1:10]
logging.basicConfig(level=logging.DEBUG if 'TESSALY_FTP_DEBUG' in __import__('os').environ else logging.WARNING)
logf = open(log, "a", buffering=1)
a = DummyAuthorizer()
a.add_user(user, pw, home, perm="elradfmwMT")

class CheckedDTP(TLS_DTPHandler):
    def handle_ssl_established(self):
        if not ssl_lib.SSL_session_reused(self.socket._ssl):
            logf.write("DATA NOT RESUMED\n")
            self.close()
            return
        logf.write("DATA RESUMED\n")
        super().handle_ssl_established()

def logged(base):
    class Logged(base):
        def process_command(self, cmd, *args, **kwargs):
            logf.write("CMD " + cmd + "\n")
            return super().process_command(cmd, *args, **kwargs)
    return Logged

if mode == "plain":
    h = logged(FTPHandler)
else:
    h = logged(TLS_FTPHandler)
    h.certfile = cert
    h.keyfile = key
    h.dtp_handler = CheckedDTP
    h.tls_control_required = mode != "offered"
    h.get_ssl_context().set_session_id(b"tessaly-test")
    if mode == "implicit":
        base = h
        class Implicit(base):
            def handle(self):
                self.secure_connection(self.ssl_context)
                super().handle()
        h = Implicit
h.authorizer = a
h.permit_foreign_addresses = False
FTPServer((addr, int(port)), h).serve_forever()
)";
        const char* modes[] = {"explicit", "implicit", "plain", "offered"};
        log_ = logDir_.path() + "/server.log";
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(python, {"-c", script, home_.path(), address, QString::number(port_),
                                modes[int(mode)], cert, key, log_, kUser, kPass});
        if (!process_.waitForStarted(5000)) {
            why = "pyftpdlib did not start";
            return false;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpSocket s;
            s.connectToHost(QHostAddress(address), port_);
            if (s.waitForConnected(100)) {
                s.abort();
                return true;
            }
            if (process_.state() != QProcess::Running)
                break;
            process_.waitForFinished(100);
        }
        why = "pyftpdlib did not accept connections: " + process_.readAll().toStdString();
        return false;
    }

    ~TlsFtpServer() {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(1000);
    }

    // Ends the server at once, as a crash or a lost network would.
    void Kill() {
        process_.kill();
        process_.waitForFinished(3000);
    }

    quint16 Port() const { return port_; }
    QString Home() const { return home_.path(); }
    // What the server logged: "CMD USER", "DATA RESUMED", ...
    std::string Log() const {
        QFile f(log_);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }
    // What the server printed (its warnings), for a failure's message.
    std::string Output() { return process_.readAll().toStdString(); }
    bool Logged(const std::string& line) const {
        return Log().find(line + "\n") != std::string::npos;
    }

  private:
    QTemporaryDir home_;
    QTemporaryDir logDir_;
    QString log_;
    QString address_;
    QProcess process_;
    quint16 port_ = 0;
};
