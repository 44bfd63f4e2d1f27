#pragma once

// Event-driven TCP socket on the Qt event loop: asynchronous name lookup,
// connect, listen/accept, send with a data-sent event, receive, close. Every
// outcome arrives as an event called from the event loop; no call blocks.

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

// Raised when a socket operation cannot even start (bad address or port,
// listen refused, no connection to accept).
class ESocketException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum TSocketState { wsClosed, wsConnecting, wsConnected, wsListening };

// Text of a socket error number of this platform (errno); 0 gives "No Error".
std::string SocketErrorText(int error);
// Text of a name-resolver error number (getaddrinfo's EAI_* codes).
std::string ResolverErrorText(int error);

class TAsyncSocket : public QObject {
  public:
    using TSocketEvent = std::function<void(int Error)>;
    // An exception escaped one of this socket's event handlers. Leaving
    // CanClose true closes the socket, discarding unsent data.
    using TBgExceptionEvent = std::function<void(const std::exception& E, bool& CanClose)>;

    explicit TAsyncSocket(QObject* parent = nullptr);
    ~TAsyncSocket() override;
    TAsyncSocket(const TAsyncSocket&) = delete;
    TAsyncSocket& operator=(const TAsyncSocket&) = delete;

    // Where Connect goes and Listen listens: dotted IPv4/IPv6 address, and a
    // port number or service name. "tcp" is the only protocol.
    std::string Addr = "0.0.0.0";
    std::string Port = "0";
    std::string Proto = "tcp";

    // Starts a lookup of name; OnDnsLookupDone reports 0 and fills DnsResult
    // (IPv4 addresses first), or the resolver's error number. A dotted
    // address resolves without asking the resolver, still reported later.
    void DnsLookup(const std::string& name);
    void CancelDnsLookup();
    bool DnsLookupPending() const { return m_lookupId >= 0 || m_lookupPosted; }
    const std::string& DnsResult() const { return m_dnsResult; }
    const std::vector<std::string>& DnsResultList() const { return m_dnsResults; }

    // Starts a connect to Addr:Port; OnSessionConnected reports the outcome.
    void Connect();
    // Listens on Addr:Port (port "0": chosen by the system); each incoming
    // connection raises OnSessionAvailable.
    void Listen();
    // Accepts the pending incoming connection, stops listening and carries on
    // as that connection.
    void TakeOverPendingConnection();

    // Queues data for sending; OnDataSent fires once everything queued has
    // gone to the system, never from inside this call. Returns the count
    // queued, or -1 when not connected.
    std::int64_t Send(const char* data, std::int64_t len);
    // Reads at most len received bytes; 0 when none is waiting.
    std::int64_t Receive(char* buf, std::int64_t len);
    std::int64_t BytesAvailable() const;

    // Closes the connection or the listener. OnSessionClosed(0) fires from
    // inside this call when a connection was open.
    void Close();

    TSocketState State() const { return m_state; }
    std::string LocalAddr() const;
    int LocalPort() const;
    std::string PeerAddr() const;
    int PeerPort() const;

    bool SetLinger(bool on, int seconds);
    // Reads SO_SNDBUF of the open connection; false when it cannot be read.
    bool ReadSendBufferSize(int& size) const;

    // Clears every event handler.
    void ClearEvents();

    TSocketEvent OnDnsLookupDone;
    TSocketEvent OnSessionConnected;
    TSocketEvent OnSessionAvailable;
    TSocketEvent OnDataAvailable;
    TSocketEvent OnDataSent;
    TSocketEvent OnSessionClosed;
    TBgExceptionEvent OnBgException;

  private:
    void Fire(const TSocketEvent& ev, int error);
    void Attach(QTcpSocket* sock);
    void Detach();
    void HandleReadyRead();
    void HandleBytesWritten();
    void NoteDrained();
    void PostDataSent();
    void FireDataSent();
    void HandleError(int error);
    void HandleDisconnected();
    void DeliverData();
    void ScheduleDataCheck();
    quint16 ResolvePort() const;
    int DescriptorForOptions() const;

    QTcpSocket* m_sock = nullptr;
    QTcpServer* m_server = nullptr;
    TSocketState m_state = wsClosed;
    int m_lookupId = -1;
    bool m_lookupPosted = false;
    unsigned m_lookupGeneration = 0;
    std::string m_dnsResult;
    std::vector<std::string> m_dnsResults;
    int m_closeError = 0;
    bool m_readDuringEvent = false;
    bool m_dataCheckPosted = false;
    bool m_inDataEvent = false;
    bool m_inSend = false;
    bool m_inDataSent = false;
    bool m_drainedDuringEvent = false;
    bool m_dataSentPosted = false;
    unsigned m_connectionGeneration = 0;
};
