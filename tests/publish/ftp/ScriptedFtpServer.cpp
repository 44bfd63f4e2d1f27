#include "ScriptedFtpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cctype>
#include <cstdio>

ScriptedFtpServer::ScriptedFtpServer() : m_server(new QTcpServer(this)) {
    m_server->listen(QHostAddress::LocalHost, 0);
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedFtpServer::OnNewControl);
}

ScriptedFtpServer::~ScriptedFtpServer() = default;

quint16 ScriptedFtpServer::Port() const {
    return m_server->serverPort();
}

void ScriptedFtpServer::OnNewControl() {
    while (QTcpSocket* sock = m_server->nextPendingConnection()) {
        if (m_control)
            m_control->abort();
        m_control = sock;
        m_pending.clear();
        ++controlConnections;
        connect(sock, &QTcpSocket::readyRead, this, &ScriptedFtpServer::OnControlData);
        Send(greeting);
    }
}

void ScriptedFtpServer::Send(const QByteArray& text) {
    if (m_control && !text.isEmpty())
        m_control->write(text);
}

void ScriptedFtpServer::OnControlData() {
    auto* sock = qobject_cast<QTcpSocket*>(sender());
    if (sock != m_control)
        return;
    m_pending += sock->readAll();
    qsizetype end;
    while (m_control == sock && (end = m_pending.indexOf("\r\n")) >= 0) {
        const std::string line = m_pending.left(end).toStdString();
        m_pending.remove(0, end + 2);
        HandleCommand(line);
    }
}

void ScriptedFtpServer::HandleCommand(const std::string& line) {
    commands.push_back(line);
    std::string word = line.substr(0, line.find(' '));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    if (word == hangUpOn) {
        m_control->disconnectFromHost();
        m_control = nullptr;
        return;
    }
    auto scripted = replies.find(word);
    if (scripted != replies.end()) {
        Send(scripted->second);
        if (word == "QUIT" && m_control)
            m_control->disconnectFromHost();
        return;
    }
    if (word == "USER") {
        Send("331 Password required\r\n");
    } else if (word == "PASS") {
        Send("230 Logged in\r\n");
    } else if (word == "CWD") {
        Send("250 \"" + QByteArray::fromStdString(line.substr(4)) + "\" is current\r\n");
    } else if (word == "PWD") {
        Send("257 \"/\" is current\r\n");
    } else if (word == "MKD") {
        Send("257 \"" + QByteArray::fromStdString(line.substr(4)) + "\" created\r\n");
    } else if (word == "TYPE") {
        Send("200 Type set\r\n");
    } else if (word == "PASV") {
        OpenPassiveListener();
        const int port = pasvPort ? pasvPort : m_pasvServer->serverPort();
        Send(QByteArray::fromStdString("227 Entering Passive Mode (" + pasvAddress + "," +
                                       std::to_string(port / 256) + "," +
                                       std::to_string(port % 256) + ")\r\n"));
    } else if (word == "PORT") {
        int f[6] = {};
        if (std::sscanf(line.c_str() + 5, "%d,%d,%d,%d,%d,%d", &f[0], &f[1], &f[2], &f[3], &f[4],
                        &f[5]) == 6) {
            m_portHost = std::to_string(f[0]) + "." + std::to_string(f[1]) + "." +
                         std::to_string(f[2]) + "." + std::to_string(f[3]);
            m_portPort = quint16(f[4] * 256 + f[5]);
            Send("200 PORT command successful\r\n");
        } else {
            Send("501 Bad PORT\r\n");
        }
    } else if (word == "STOR") {
        uploaded.clear();
        dataConnectionClosed = false;
        // Only a preliminary reply opens a transfer.
        m_storRunning = storFirstReply.startsWith('1');
        m_finalSent = false;
        if (!m_portHost.empty()) {
            auto* sock = new QTcpSocket(this);
            AttachData(sock);
            sock->connectToHost(QHostAddress(QString::fromStdString(m_portHost)), m_portPort);
            m_portHost.clear();
        }
        Send(storFirstReply);
        if (m_storRunning && finalReply == FinalReply::WithFirstReply) {
            m_finalSent = true;
            Send(storFinalReply);
        }
    } else if (word == "QUIT") {
        Send("221 Goodbye\r\n");
        m_control->disconnectFromHost();
    } else {
        Send("502 Command not implemented\r\n");
    }
}

void ScriptedFtpServer::OpenPassiveListener() {
    delete m_pasvServer;
    m_pasvServer = new QTcpServer(this);
    m_pasvServer->listen(QHostAddress::LocalHost, 0);
    connect(m_pasvServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* sock = m_pasvServer->nextPendingConnection())
            AttachData(sock);
    });
}

void ScriptedFtpServer::AttachData(QTcpSocket* sock) {
    m_data = sock;
    connect(sock, &QTcpSocket::readyRead, this, [this, sock] { uploaded += sock->readAll(); });
    connect(sock, &QTcpSocket::disconnected, this, [this, sock] {
        uploaded += sock->readAll();
        if (sock == m_data)
            OnDataClosed();
        sock->deleteLater();
    });
}

void ScriptedFtpServer::OnDataClosed() {
    dataConnectionClosed = true;
    m_data = nullptr;
    if (m_storRunning && finalReply == FinalReply::AfterDataClose && !m_finalSent) {
        m_finalSent = true;
        Send(storFinalReply);
    }
    m_storRunning = false;
}
