#pragma once
// A real nginx started by a test on 127.0.0.1 and a free port, with a
// configuration of its own in a temporary folder, serving that folder's
// "site" folder. Stopped when the object goes.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

class QDateTime;

class NginxServer {
  public:
    NginxServer() = default;
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // Starts nginx; empty text when it runs and answers, else why not.
    // serverConfig is added inside the server block (locations and such).
    std::string Start(const std::string& serverConfig = {});
    // The same over TLS with the given certificate and key.
    std::string StartTls(const QString& certificate, const QString& key,
                         const std::string& serverConfig = {});

    quint16 Port() const { return m_Port; }
    std::string Url(const std::string& path) const;
    // A path below the served folder.
    QString Site(const QString& name) const;
    // Connection serial numbers of the logged requests, in order.
    std::vector<std::string> Connections() const;
    // The request targets logged, in order.
    std::vector<std::string> Requests() const;
    // The User-Agent line of each logged request ("-" for none), in order.
    std::vector<std::string> Agents() const;
    // The Authorization line of each logged request ("-" for none).
    std::vector<std::string> Authorizations() const;

  private:
    std::vector<QByteArray> LogLines(const char* name = "access.log") const;
    std::string StartWith(const std::string& serverConfig, const QString& certificate,
                          const QString& key);

    QTemporaryDir m_Dir;
    QProcess m_Process;
    quint16 m_Port = 0;
    bool m_Tls = false;
};

// Writes a file of the served site with the given modification time, the
// folders above it made as needed, readable by nginx's workers.
bool WriteSiteFile(const QString& path, const QByteArray& bytes, const QDateTime& modified);
