#include "NginxServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr QFileDevice::Permissions kReadable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ReadOther;
constexpr QFileDevice::Permissions kFolder =
    kReadable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

NginxServer::~NginxServer() {
    if (m_Process.state() == QProcess::Running) {
        m_Process.terminate();
        if (!m_Process.waitForFinished(5000))
            m_Process.kill();
        m_Process.waitForFinished(2000);
    }
}

std::string NginxServer::Start(const std::string& serverConfig) {
    return StartWith(serverConfig, {}, {});
}

std::string NginxServer::StartTls(const QString& certificate, const QString& key,
                                  const std::string& serverConfig) {
    return StartWith(serverConfig, certificate, key);
}

std::string NginxServer::StartWith(const std::string& serverConfig, const QString& certificate,
                                   const QString& key) {
    m_Tls = !certificate.isEmpty();
    const QString tls = m_Tls ? QString(" ssl;\n        ssl_certificate %1;\n        "
                                        "ssl_certificate_key %2")
                                    .arg(certificate, key)
                              : QString();
    const QString exe =
        QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
    if (exe.isEmpty())
        return "nginx is not installed (Debian package nginx); the tests against a real server "
               "need it";
    if (!m_Dir.isValid())
        return "no temporary folder";
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_Port = probe.serverPort();
    }
    const QString root = m_Dir.path();
    QDir(root).mkpath("site");
    QDir(root).mkpath("tmp");
    // nginx's workers may run as another user when started as root.
    QFile::setPermissions(root, kFolder);
    QFile::setPermissions(root + "/site", kFolder);
    const QString conf = QString(R"(worker_processes 1;
error_log %1/error.log;
pid %1/nginx.pid;
events { worker_connections 64; }
http {
    types { text/html html htm; text/plain txt; image/png png; image/gif gif; }
    default_type application/octet-stream;
    log_format conn '$connection $request_uri $status';
    access_log %1/access.log conn;
    log_format agent '"$http_user_agent" "$http_authorization"';
    access_log %1/agents.log agent;
    client_body_temp_path %1/tmp/body;
    proxy_temp_path %1/tmp/proxy;
    fastcgi_temp_path %1/tmp/fastcgi;
    uwsgi_temp_path %1/tmp/uwsgi;
    scgi_temp_path %1/tmp/scgi;
    keepalive_timeout 30s;
    keepalive_requests 100000;
    server {
        listen 127.0.0.1:%2%4;
        root %1/site;
        %3
    }
}
)")
                             .arg(root)
                             .arg(m_Port)
                             .arg(QString::fromStdString(serverConfig))
                             .arg(tls);
    QFile f(root + "/nginx.conf");
    if (!f.open(QIODevice::WriteOnly) || f.write(conf.toUtf8()) < 0)
        return "cannot write the nginx configuration";
    f.close();
    m_Process.setProcessChannelMode(QProcess::MergedChannels);
    m_Process.start(exe, {"-c", root + "/nginx.conf", "-p", root, "-g", "daemon off;"});
    if (!m_Process.waitForStarted(5000))
        return "nginx did not start: " + m_Process.errorString().toStdString();
    QElapsedTimer waited;
    waited.start();
    bool up = false;
    while (!up && waited.elapsed() < 5000 && m_Process.state() == QProcess::Running) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_Port);
        up = s.waitForConnected(100);
        if (!up)
            QThread::msleep(20);
    }
    if (!up || m_Process.state() != QProcess::Running)
        return "nginx is not answering: " + m_Process.readAll().toStdString();
    return {};
}

std::string NginxServer::Url(const std::string& path) const {
    return (m_Tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_Port) + path;
}

QString NginxServer::Site(const QString& name) const {
    return m_Dir.path() + "/site/" + name;
}

std::vector<QByteArray> NginxServer::LogLines(const char* name) const {
    QFile log(m_Dir.path() + "/" + name);
    std::vector<QByteArray> lines;
    if (!log.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (!line.isEmpty())
            lines.push_back(line);
    return lines;
}

std::vector<std::string> NginxServer::Connections() const {
    std::vector<std::string> result;
    for (const QByteArray& line : LogLines())
        result.push_back(line.split(' ').value(0).toStdString());
    return result;
}

std::vector<std::string> NginxServer::Requests() const {
    std::vector<std::string> result;
    for (const QByteArray& line : LogLines())
        result.push_back(line.split(' ').value(1).toStdString());
    return result;
}

std::vector<std::string> NginxServer::Agents() const {
    std::vector<std::string> result;
    for (const QByteArray& line : LogLines("agents.log"))
        result.push_back(line.split('"').value(1).toStdString());
    return result;
}

std::vector<std::string> NginxServer::Authorizations() const {
    std::vector<std::string> result;
    for (const QByteArray& line : LogLines("agents.log"))
        result.push_back(line.split('"').value(3).toStdString());
    return result;
}

bool WriteSiteFile(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    // Every folder on the way must be readable and searchable by the workers.
    QFileInfo info(path);
    QDir().mkpath(info.path());
    for (QDir d(info.path()); d.exists() && !d.isRoot(); d.cdUp()) {
        if (d.dirName() == "site") {
            QFile::setPermissions(d.path(), kFolder);
            break;
        }
        QFile::setPermissions(d.path(), kFolder);
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.flush();
    f.setFileTime(modified, QFileDevice::FileModificationTime);
    f.close();
    return f.setPermissions(kReadable);
}
