// The client against a real server: nginx started with a configuration of
// our own on 127.0.0.1, serving a fixture folder. It shows real
// Last-Modified and Content-Type headers and keep-alive connections.

#include "HttpTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

class Nginx {
  public:
    // Empty error text when nginx runs and answers.
    std::string Start() {
        const QString exe =
            QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
        if (exe.isEmpty())
            return "nginx is not installed (Debian package nginx); the keep-alive tests need it";
        if (!m_Dir.isValid())
            return "no temporary folder";
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_Port = probe.serverPort();
        probe.close();

        const QString root = m_Dir.path();
        QDir(root).mkpath("site");
        QDir(root).mkpath("tmp");
        // nginx's workers may run as another user when started as root.
        QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                        QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                        QFileDevice::ExeGroup);
        const QString conf = QString(R"(worker_processes 1;
error_log %1/error.log;
pid %1/nginx.pid;
events { worker_connections 64; }
http {
    types { text/html html; text/plain txt; image/png png; }
    default_type application/octet-stream;
    log_format conn '$connection $request_uri $status';
    access_log %1/access.log conn;
    client_body_temp_path %1/tmp/body;
    proxy_temp_path %1/tmp/proxy;
    fastcgi_temp_path %1/tmp/fastcgi;
    uwsgi_temp_path %1/tmp/uwsgi;
    scgi_temp_path %1/tmp/scgi;
    keepalive_timeout 30s;
    keepalive_requests 100000;
    server {
        listen 127.0.0.1:%2;
        root %1/site;
    }
}
)")
                                 .arg(root)
                                 .arg(m_Port);
        QFile f(root + "/nginx.conf");
        if (!f.open(QIODevice::WriteOnly) || f.write(conf.toUtf8()) < 0)
            return "cannot write the nginx configuration";
        f.close();
        m_Process.setProcessChannelMode(QProcess::MergedChannels);
        m_Process.start(exe, {"-c", root + "/nginx.conf", "-p", root, "-g", "daemon off;"});
        if (!m_Process.waitForStarted(5000))
            return "nginx did not start: " + m_Process.errorString().toStdString();
        bool up = QTest::qWaitFor(
            [&] {
                if (m_Process.state() != QProcess::Running)
                    return true;
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, m_Port);
                return s.waitForConnected(100);
            },
            5000);
        if (!up || m_Process.state() != QProcess::Running)
            return "nginx is not answering: " + m_Process.readAll().toStdString();
        return {};
    }

    ~Nginx() {
        if (m_Process.state() == QProcess::Running) {
            m_Process.terminate();
            if (!m_Process.waitForFinished(5000))
                m_Process.kill();
            m_Process.waitForFinished(2000);
        }
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_Port) + path;
    }
    QString Site(const QString& name) const { return m_Dir.path() + "/site/" + name; }
    // Connection serial numbers of the logged requests, in order.
    std::vector<std::string> Connections() const {
        QFile log(m_Dir.path() + "/access.log");
        std::vector<std::string> result;
        if (!log.open(QIODevice::ReadOnly))
            return result;
        for (const QByteArray& line : log.readAll().split('\n'))
            if (!line.isEmpty())
                result.push_back(line.split(' ').value(0).toStdString());
        return result;
    }

  private:
    QTemporaryDir m_Dir;
    QProcess m_Process;
    quint16 m_Port = 0;
};

void WriteSiteFile(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.flush();
    f.setFileTime(modified, QFileDevice::FileModificationTime);
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                     QFileDevice::ReadOther);
}

class HttpClientNginx : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_Nginx = std::make_unique<Nginx>();
        s_Error = s_Nginx->Start();
        if (!s_Error.empty())
            return;
        const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
        WriteSiteFile(s_Nginx->Site("index.html"), "<html><title>Home</title></html>", modified);
        WriteSiteFile(s_Nginx->Site("notes.txt"), "plain notes", modified);
        WriteSiteFile(s_Nginx->Site("map.png"), QByteArray("\x89PNG\r\n\x1a\n", 8), modified);
    }
    static void TearDownTestSuite() { s_Nginx.reset(); }
    void SetUp() override {
        ASSERT_TRUE(s_Error.empty()) << s_Error;
        client.SetAgent("");
        client.Timeouts().ConnectTimeout = 2000;
        client.Timeouts().ReceiveTimeout = 3000;
    }
    void Fetch(const std::string& path) {
        rec.events.clear();
        client.SetURL(s_Nginx->Url(path));
        ASSERT_TRUE(client.BeginDownload());
        ASSERT_TRUE(WaitForOutcome(rec));
    }

    static std::unique_ptr<Nginx> s_Nginx;
    static std::string s_Error;
    THttpClient client;
    HttpRecorder rec{client};
};

std::unique_ptr<Nginx> HttpClientNginx::s_Nginx;
std::string HttpClientNginx::s_Error;

} // namespace

TEST_F(HttpClientNginx, Page_CarriesTypeAndLastModifiedInLocalTime) {
    Fetch("/index.html");
    EXPECT_EQ(rec.events, (std::vector<std::string>{"HeaderInfo", "Done"}));
    EXPECT_EQ(rec.contentType, "text/html");
    EXPECT_EQ(rec.body, "<html><title>Home</title></html>");
    const std::time_t modified =
        QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc()).toSecsSinceEpoch();
    EXPECT_EQ(DateTimeToUnix(rec.lastModified),
              DateTimeToUnix(UTCToLocal(UnixToDateTime(modified))));
    EXPECT_NE(rec.date, 0.0);
    EXPECT_FALSE(rec.etag.empty());

    Fetch("/map.png");
    EXPECT_EQ(rec.contentType, "image/png");
    Fetch("/missing.html");
    EXPECT_EQ(rec.events, (std::vector<std::string>{"HeaderInfo", "AnyError", "HTTPError 404"}));
}

TEST_F(HttpClientNginx, Connections_AreKeptAcrossTransfersOfOneClient) {
    const size_t before = s_Nginx->Connections().size();
    for (const char* path : {"/index.html", "/notes.txt", "/index.html", "/map.png"})
        Fetch(path);
    auto all = s_Nginx->Connections();
    ASSERT_EQ(all.size(), before + 4);
    std::set<std::string> used(all.begin() + before, all.end());
    EXPECT_EQ(used.size(), 1u) << "each transfer opened a connection of its own";

    // Without keep-alive every transfer has a connection of its own.
    client.SetInternetOptions(0);
    for (const char* path : {"/index.html", "/notes.txt", "/index.html"})
        Fetch(path);
    all = s_Nginx->Connections();
    ASSERT_EQ(all.size(), before + 7);
    std::set<std::string> separate(all.begin() + before + 4, all.end());
    EXPECT_EQ(separate.size(), 3u);
}
