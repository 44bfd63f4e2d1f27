#pragma once

// The FTP client's socket: the event-driven TCP socket of the platform layer
// (same events, same rules), able to switch a connection to TLS. The client
// side of TLS is always this side, whichever end opened the TCP connection.

#include "AsyncSocket.h" // ESocketException, TSocketState, error texts

#include <QObject>
#include <QSslConfiguration>
#include <QSslError>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QSslSocket;
class QTcpServer;

// What is known of a server certificate that the trusted authorities do not
// vouch for, for the person who decides whether to trust it.
struct TFtpCertificateInfo {
    std::string Subject;
    std::string Issuer;
    std::string ValidFrom; // ISO 8601, UTC
    std::string ValidUntil;
    std::string Sha256; // upper-case hex pairs joined by ':'
    std::string Reason; // why it is not trusted, in plain words
};

// The SHA-256 fingerprint of a certificate in the form TFtpCertificateInfo uses.
std::string CertificateFingerprint(const QSslCertificate& certificate);
// The same form from any spelling: case and ':' ignored; empty when the text
// is not 32 bytes of hex.
std::string NormalizeFingerprint(const std::string& text);

class TFtpSocket : public QObject {
  public:
    using TSocketEvent = std::function<void(int Error)>;

    explicit TFtpSocket(QObject* parent = nullptr);
    ~TFtpSocket() override;
    TFtpSocket(const TFtpSocket&) = delete;
    TFtpSocket& operator=(const TFtpSocket&) = delete;

    std::string Addr = "0.0.0.0";
    std::string Port = "0";
    std::string Proto = "tcp";

    void DnsLookup(const std::string& name);
    void CancelDnsLookup();
    const std::string& DnsResult() const { return m_dnsResult; }

    void Connect();
    void Listen();
    void TakeOverPendingConnection();

    std::int64_t Send(const char* data, std::int64_t len);
    std::int64_t Receive(char* buf, std::int64_t len);
    std::int64_t BytesAvailable() const;
    void Close();

    // Starts the TLS handshake on the open connection as the client, checking
    // the certificate for peerName with the given configuration. OnTlsDone
    // reports 0 once the connection is encrypted, else an error (TlsError
    // tells why, and UntrustedCertificate what was refused when that was the
    // reason). A certificate whose fingerprint is in accepted is taken even
    // when no authority vouches for it.
    void StartTls(const QSslConfiguration& config, const std::string& peerName,
                  std::vector<std::string> accepted);
    bool Encrypted() const;
    const std::string& TlsError() const { return m_tlsError; }
    bool CertificateRefused() const { return m_certificateRefused; }
    const TFtpCertificateInfo& UntrustedCertificate() const { return m_untrusted; }
    // The configuration after the handshake, with its session, for the data
    // connections that must resume it.
    QSslConfiguration TlsConfiguration() const;
    std::string PeerFingerprint() const;

    TSocketState State() const { return m_state; }
    std::string LocalAddr() const;
    int LocalPort() const;
    std::string PeerAddr() const;
    int PeerPort() const;
    bool SetLinger(bool on, int seconds);
    bool ReadSendBufferSize(int& size) const;

    void ClearEvents();

    TSocketEvent OnDnsLookupDone;
    TSocketEvent OnSessionConnected;
    TSocketEvent OnSessionAvailable;
    TSocketEvent OnDataAvailable;
    TSocketEvent OnDataSent;
    TSocketEvent OnSessionClosed;
    TSocketEvent OnTlsDone;

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
    int Descriptor() const;

    QSslSocket* m_sock = nullptr;
    QTcpServer* m_server = nullptr;
    TSocketState m_state = wsClosed;
    int m_lookupId = -1;
    bool m_lookupPosted = false;
    unsigned m_lookupGeneration = 0;
    std::string m_dnsResult;
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
    TFtpCertificateInfo m_untrusted;
    std::vector<std::string> m_accepted;
};
