#pragma once
// A test site whose pages a function makes as they are asked for, on
// 127.0.0.1 and a free port, inside the test process: for sites without
// end. It notes when each request arrived and how many were open (received,
// not yet answered) at once; an answer may be held back for a while.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tessaly::test {

class GeneratedSite : public QObject {
  public:
    struct Answer {
        QByteArray status = "200 OK";
        QByteArray headers = "Content-Type: text/html\r\n";
        QByteArray body;
        int holdMs = 0; // the answer goes out this long after the request
    };
    // The answer to a request target, and how many times it was asked for
    // before (0 the first time).
    using TMaker = std::function<Answer(const std::string& target, int asked)>;
    struct Request {
        std::string target;
        qint64 atMs; // since the site started
    };

    explicit GeneratedSite(TMaker maker)
        : m_Maker(std::move(maker)), m_Server(new QTcpServer(this)) {
        m_Clock.start();
        m_Server->listen(QHostAddress::LocalHost, 0);
        connect(m_Server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* sock = m_Server->nextPendingConnection()) {
                connect(sock, &QTcpSocket::readyRead, this, [this, sock] { OnData(sock); });
                connect(sock, &QTcpSocket::disconnected, this, [this, sock] {
                    m_Pending.erase(sock);
                    sock->deleteLater();
                });
            }
        });
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_Server->serverPort()) + path;
    }
    // The times the target was asked for, in order.
    std::vector<qint64> TimesOf(const std::string& target) const {
        std::vector<qint64> times;
        for (const Request& r : requests)
            if (r.target == target)
                times.push_back(r.atMs);
        return times;
    }
    // The most requests that arrived within any span of that many
    // milliseconds.
    int MostWithin(qint64 spanMs) const {
        int most = 0;
        for (std::size_t first = 0, last = 0; last < requests.size(); ++last) {
            while (requests[last].atMs - requests[first].atMs >= spanMs)
                ++first;
            most = std::max(most, static_cast<int>(last - first + 1));
        }
        return most;
    }

    std::vector<Request> requests;
    int open = 0;
    int mostOpen = 0;

  private:
    void OnData(QTcpSocket* sock) {
        QByteArray& buffer = m_Pending[sock];
        buffer += sock->readAll();
        for (int end; (end = buffer.indexOf("\r\n\r\n")) >= 0;) {
            const QByteArray head = buffer.left(end);
            buffer.remove(0, end + 4);
            const std::string target =
                head.left(head.indexOf("\r\n")).split(' ').value(1).toStdString();
            requests.push_back({target, m_Clock.elapsed()});
            mostOpen = std::max(mostOpen, ++open);
            const Answer answer = m_Maker(target, m_Asked[target]++);
            const QByteArray bytes = "HTTP/1.1 " + answer.status + "\r\n" + answer.headers +
                                     "Content-Length: " + QByteArray::number(answer.body.size()) +
                                     "\r\n\r\n" + answer.body;
            QPointer<QTcpSocket> guard(sock);
            QTimer::singleShot(answer.holdMs, this, [this, guard, bytes] {
                --open;
                if (guard)
                    guard->write(bytes);
            });
        }
    }

    TMaker m_Maker;
    QTcpServer* m_Server;
    QElapsedTimer m_Clock;
    std::map<QTcpSocket*, QByteArray> m_Pending;
    std::map<std::string, int> m_Asked;
};

} // namespace tessaly::test
