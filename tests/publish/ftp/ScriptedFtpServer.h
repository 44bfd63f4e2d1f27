#pragma once

// A small FTP server inside the test process, on 127.0.0.1 and a free port,
// whose replies each test scripts. It serves one control connection at a
// time and one upload at a time, passive or active.

#include <QByteArray>
#include <QObject>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

class ScriptedFtpServer : public QObject {
  public:
    // When the server sends the final reply of an upload.
    enum class FinalReply {
        AfterDataClose, // once the client has closed the data connection
        WithFirstReply, // together with the 150, before any data arrives
        Never,          // not at all
    };

    ScriptedFtpServer();
    ~ScriptedFtpServer() override;

    quint16 Port() const;

    // Sent, as it stands, to every new control connection.
    QByteArray greeting = "220 Scripted server ready\r\n";
    // Replies by command word (upper case, e.g. "MKD"); a reply is sent as it
    // stands, so it carries its own line ends. An empty reply is silence.
    // Commands without an entry get the usual answer of a willing server.
    std::map<std::string, QByteArray> replies;
    // The address fields of the 227 reply.
    std::string pasvAddress = "127,0,0,1";
    // Overrides the port named in the 227 reply (0: the real data port).
    int pasvPort = 0;
    QByteArray storFirstReply = "150 Opening data connection\r\n";
    QByteArray storFinalReply = "226 Transfer complete\r\n";
    FinalReply finalReply = FinalReply::AfterDataClose;
    // Close the control connection as soon as a command with this word arrives.
    std::string hangUpOn;

    std::vector<std::string> commands; // every command line received
    QByteArray uploaded;               // bytes of the last upload
    bool dataConnectionClosed = false; // the last upload's connection ended
    int controlConnections = 0;

  private:
    void OnNewControl();
    void OnControlData();
    void HandleCommand(const std::string& line);
    void Send(const QByteArray& text);
    void OpenPassiveListener();
    void AttachData(QTcpSocket* sock);
    void OnDataClosed();

    QTcpServer* m_server;
    QTcpServer* m_pasvServer = nullptr;
    QTcpSocket* m_control = nullptr;
    QTcpSocket* m_data = nullptr;
    QByteArray m_pending;
    std::string m_portHost;
    quint16 m_portPort = 0;
    bool m_storRunning = false;
    bool m_finalSent = false;
};
