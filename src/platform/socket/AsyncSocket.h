#pragma once

// Event-driven TCP socket on the Qt event loop: asynchronous name lookup,
// connect, listen/accept, send with a data-sent event, receive, close, and a
// switch of an open connection to TLS. Every outcome arrives as an event
// called from the event loop; no call blocks. The client side of TLS is
// always this side, whichever end opened the TCP connection.

#include <QObject>
#include <QSslConfiguration>
#include <QSslError>

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class QSslCertificate;
class QSslSocket;
class QTcpServer;

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

// What is known of a peer certificate that the trusted authorities do not
// vouch for, for the person who decides whether to trust it.
struct TCertificateInfo {
    std::string Subject;
    std::string Issuer;
    std::string ValidFrom; // ISO 8601, UTC
    std::string ValidUntil;
    std::string Sha256; // upper-case hex pairs joined by ':'
    std::string Reason; // why it is not trusted, in plain words
};

// The SHA-256 fingerprint of a certificate in the form TCertificateInfo uses.
std::string CertificateFingerprint(const QSslCertificate& certificate);
// The same form from any spelling: case, ':' and spaces ignored; empty when
// the text is not 32 bytes of hex.
std::string NormalizeFingerprint(const std::string& text);

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
    // as that connection (which may then switch to TLS like any other).
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

    // Starts the TLS handshake on the open connection as the client, checking
    // the certificate for peerName with the given configuration (pass another
    // socket's TlsConfiguration to resume its session). OnTlsDone reports 0
    // once the connection is encrypted, else an error; a failed handshake has
    // closed the connection, TlsError tells why, and UntrustedCertificate
    // what was refused when that was the reason. A certificate whose
    // fingerprint is in accepted is taken even when no authority vouches for
    // it. Until OnTlsDone, Send refuses and no data is delivered.
    void StartTls(const QSslConfiguration& config, const std::string& peerName,
                  std::vector<std::string> accepted);
    bool Encrypted() const;
    const std::string& TlsError() const { return m_tlsError; }
    bool CertificateRefused() const { return m_certificateRefused; }
    const TCertificateInfo& UntrustedCertificate() const { return m_untrusted; }
    // The configuration after the handshake, with its session, for further
    // connections that must resume it.
    QSslConfiguration TlsConfiguration() const;
    // Fingerprint of the peer's certificate; empty before a handshake.
    std::string PeerFingerprint() const;

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
    TSocketEvent OnTlsDone;
    TBgExceptionEvent OnBgException;

  private:
    void Fire(const TSocketEvent& ev, int error);
    void Attach(QSslSocket* sock);
    void Detach();
    void HandleBytesWritten();
    void NoteDrained();
    void PostDataSent();
    void FireDataSent();
    bool Drained() const;
    void HandleError(int error);
    void HandleDisconnected();
    void DeliverData();
    void ScheduleDataCheck();
    void HandleSslErrors(const QList<QSslError>& errors);
    void FinishTls(int error);
    quint16 ResolvePort() const;
    int DescriptorForOptions() const;

    QSslSocket* m_sock = nullptr;
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

    bool m_tlsPending = false;
    std::string m_tlsError;
    bool m_certificateRefused = false;
    TCertificateInfo m_untrusted;
    std::vector<std::string> m_accepted;
};
