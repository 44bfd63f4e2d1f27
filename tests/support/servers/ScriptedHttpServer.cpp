#include "ScriptedHttpServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

ScriptedHttpServer::ScriptedHttpServer(Loopback loopback)
    : m_server(new QTcpServer(this)), m_loopback(loopback) {
    m_server->listen(
        loopback == Loopback::IPv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedHttpServer::OnNewConnection);
}

ScriptedHttpServer::~ScriptedHttpServer() = default;

bool ScriptedHttpServer::Listening() const {
    return m_server->isListening();
}

quint16 ScriptedHttpServer::Port() const {
    return m_server->serverPort();
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
    const char* host = m_loopback == Loopback::IPv6 ? "[::1]" : "127.0.0.1";
    return "http://" + std::string(host) + ":" + std::to_string(Port()) + path;
}

void ScriptedHttpServer::Script(const std::string& target, std::vector<Reply> replies) {
    m_script[target] = std::deque<Reply>(replies.begin(), replies.end());
}

ScriptedHttpServer::Reply ScriptedHttpServer::Plain(const QByteArray& bytes, bool close) {
    Reply r;
    r.bytes = bytes;
    r.close = close;
    return r;
}

void ScriptedHttpServer::OnNewConnection() {
    while (QTcpSocket* sock = m_server->nextPendingConnection()) {
        ++connections;
        connect(sock, &QTcpSocket::readyRead, this, [this, sock] { OnData(sock); });
        connect(sock, &QTcpSocket::disconnected, this, [this, sock] {
            m_pending.erase(sock);
            sock->deleteLater();
        });
    }
}

void ScriptedHttpServer::OnData(QTcpSocket* sock) {
    QByteArray& buffer = m_pending[sock];
    buffer += sock->readAll();
    for (;;) {
        int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        QByteArray head = buffer.left(end + 4);
        int bodyLength = 0;
        for (const QByteArray& line : head.split('\n'))
            if (line.toLower().startsWith("content-length:"))
                bodyLength = line.mid(15).trimmed().toInt();
        if (buffer.size() < end + 4 + bodyLength)
            return;
        requests.push_back(buffer.left(end + 4 + bodyLength));
        buffer.remove(0, end + 4 + bodyLength);

        QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
        std::string target = words.size() > 1 ? words[1].toStdString() : std::string();
        Reply reply = Plain("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        auto it = m_script.find(target);
        if (it != m_script.end() && !it->second.empty()) {
            reply = it->second.front();
            if (it->second.size() > 1)
                it->second.pop_front();
        }
        Answer(sock, reply);
    }
}

void ScriptedHttpServer::Answer(QTcpSocket* sock, const Reply& reply) {
    if (reply.silent)
        return;
    if (reply.endless) {
        sock->write(reply.bytes);
        // More whenever the last piece has gone out, for as long as the
        // client reads.
        static const QByteArray filler = QByteArray("<p>filler</p>\n").repeated(4096);
        sock->write(filler);
        connect(sock, &QTcpSocket::bytesWritten, sock, [sock] {
            if (sock->bytesToWrite() < filler.size())
                sock->write(filler);
        });
        return;
    }
    if (reply.trickleFrom < 0) {
        sock->write(reply.bytes);
        if (reply.close)
            sock->disconnectFromHost();
        return;
    }
    sock->write(reply.bytes.left(reply.trickleFrom));
    auto* timer = new QTimer(sock);
    auto rest = std::make_shared<QByteArray>(reply.bytes.mid(reply.trickleFrom));
    QPointer<QTcpSocket> guard(sock);
    connect(timer, &QTimer::timeout, sock, [timer, rest, guard, close = reply.close] {
        if (!guard)
            return;
        if (rest->isEmpty()) {
            timer->stop();
            if (close)
                guard->disconnectFromHost();
            return;
        }
        guard->write(rest->left(1));
        rest->remove(0, 1);
    });
    timer->start(reply.trickleEveryMs);
}

QByteArray HttpReply(const QByteArray& statusLine, const QByteArray& headers,
                     const QByteArray& body, bool withLength) {
    QByteArray out = "HTTP/1.1 " + statusLine + "\r\n" + headers;
    if (withLength)
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return out + "\r\n" + body;
}
