#pragma once

// A small HTTP server inside the test process, on 127.0.0.1 (or ::1) and a
// free port, answering each request target with bytes the test scripts. It
// keeps connections open between requests unless a reply says otherwise.

#include <QByteArray>
#include <QObject>

#include <deque>
#include <map>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

class ScriptedHttpServer : public QObject {
  public:
    struct Reply {
        QByteArray bytes;        // sent as they stand
        bool close = false;      // close the connection after sending
        int trickleFrom = -1;    // bytes from here on go out one by one
        int trickleEveryMs = 20; // pause between trickled bytes
        bool silent = false;     // read the request, answer nothing
        bool endless = false;    // after the bytes, send filler until the client goes
    };

    // The loopback address the server listens on.
    enum class Loopback { IPv4, IPv6 };

    explicit ScriptedHttpServer(Loopback loopback = Loopback::IPv4);
    ~ScriptedHttpServer() override;

    // False when the address could not be listened on (no IPv6 here).
    bool Listening() const;
    quint16 Port() const;
    // "http://127.0.0.1:port/path", or "http://[::1]:port/path".
    std::string Url(const std::string& path) const;

    // Replies by request target ("/page" or, through a proxy, the whole
    // address). Several replies are used in turn, the last one repeating.
    void Script(const std::string& target, std::vector<Reply> replies);
    static Reply Plain(const QByteArray& bytes, bool close = false);

    std::vector<QByteArray> requests; // every request head received
    int connections = 0;

  private:
    void OnNewConnection();
    void OnData(QTcpSocket* sock);
    void Answer(QTcpSocket* sock, const Reply& reply);

    QTcpServer* m_server;
    Loopback m_loopback;
    std::map<std::string, std::deque<Reply>> m_script;
    std::map<QTcpSocket*, QByteArray> m_pending;
};

// Whole reply texts used by several tests.
QByteArray HttpReply(const QByteArray& statusLine, const QByteArray& headers,
                     const QByteArray& body, bool withLength = true);
