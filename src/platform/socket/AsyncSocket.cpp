#include "AsyncSocket.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

namespace {

QString ToQString(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
std::string ToStdString(const QString& s) {
    return s.toUtf8().toStdString();
}

// Qt reports socket failures as an enumeration; callers expect this
// platform's error numbers, so each kind maps back to the errno behind it.
int ErrnoFor(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError:
        return 0;
    case QAbstractSocket::HostNotFoundError:
        return EHOSTUNREACH;
    case QAbstractSocket::SocketAccessError:
        return EACCES;
    case QAbstractSocket::SocketResourceError:
        return EMFILE;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QAbstractSocket::DatagramTooLargeError:
        return EMSGSIZE;
    case QAbstractSocket::NetworkError:
        return ENETUNREACH;
    case QAbstractSocket::AddressInUseError:
        return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return EOPNOTSUPP;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return EALREADY;
    case QAbstractSocket::TemporaryError:
        return EAGAIN;
    case QAbstractSocket::OperationError:
        return EINVAL;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return EPROTO;
    default:
        return EIO;
    }
}

// QHostInfo keeps only the resolver's text for most failures; the number is
// recovered by matching that text against the resolver's own texts.
int ResolverErrorFor(const QHostInfo& info) {
    if (info.error() == QHostInfo::NoError)
        return 0;
    if (info.error() == QHostInfo::HostNotFound)
        return EAI_NONAME;
    static const int codes[] = {EAI_AGAIN,  EAI_BADFLAGS, EAI_FAIL,     EAI_FAMILY, EAI_MEMORY,
                                EAI_NONAME, EAI_SERVICE,  EAI_SOCKTYPE, EAI_SYSTEM, EAI_OVERFLOW};
    const std::string text = ToStdString(info.errorString());
    for (int code : codes) {
        if (text == gai_strerror(code))
            return code;
    }
    return EAI_FAIL;
}

std::string Names(const QStringList& list) {
    return ToStdString(list.join(", "));
}

std::string Date(const QDateTime& when) {
    return ToStdString(when.toUTC().toString(Qt::ISODate));
}

std::string ReasonFor(const QSslError& error, const std::string& peerName) {
    const QSslCertificate cert = error.certificate();
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return "it is self-signed, and no trusted authority vouches for it";
    case QSslError::CertificateExpired:
        return "it expired on " + Date(cert.expiryDate());
    case QSslError::CertificateNotYetValid:
        return "it is not valid before " + Date(cert.effectiveDate());
    case QSslError::HostNameMismatch: {
        QStringList names = cert.subjectAlternativeNames().values(QSsl::DnsEntry);
        names += cert.subjectAlternativeNames().values(QSsl::IpAddressEntry);
        if (names.isEmpty())
            names = cert.subjectInfo(QSslCertificate::CommonName);
        return "it was issued for " + Names(names) + ", not for " + peerName;
    }
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return "no trusted authority vouches for it";
    case QSslError::CertificateRevoked:
        return "it has been revoked";
    default:
        return ToStdString(error.errorString());
    }
}

// Incoming connections arrive as TLS-capable sockets, so that a connection
// taken over from a listener can switch to TLS like one this side opened.
class TSslServer : public QTcpServer {
  public:
    using QTcpServer::QTcpServer;

  protected:
    void incomingConnection(qintptr descriptor) override {
        auto* sock = new QSslSocket(this);
        if (sock->setSocketDescriptor(descriptor))
            addPendingConnection(sock);
        else
            delete sock;
    }
};

} // namespace

std::string SocketErrorText(int error) {
    if (error == 0)
        return "No Error";
    char buf[256];
    // The GNU strerror_r returns the text, which may or may not be buf.
    return strerror_r(error, buf, sizeof buf);
}

std::string ResolverErrorText(int error) {
    return gai_strerror(error);
}

std::string CertificateFingerprint(const QSslCertificate& certificate) {
    return certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString();
}

std::string NormalizeFingerprint(const std::string& text) {
    std::string hex;
    for (char c : text) {
        if (c == ':' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        hex += char(std::toupper(static_cast<unsigned char>(c)));
    }
    if (hex.size() != 64)
        return {};
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        if (!out.empty())
            out += ':';
        out += hex.substr(i, 2);
    }
    return out;
}

TAsyncSocket::TAsyncSocket(QObject* parent) : QObject(parent) {}

TAsyncSocket::~TAsyncSocket() {
    ClearEvents();
    CancelDnsLookup();
    Close();
}

void TAsyncSocket::ClearEvents() {
    OnDnsLookupDone = nullptr;
    OnSessionConnected = nullptr;
    OnSessionAvailable = nullptr;
    OnDataAvailable = nullptr;
    OnDataSent = nullptr;
    OnSessionClosed = nullptr;
    OnTlsDone = nullptr;
    OnBgException = nullptr;
}

void TAsyncSocket::Fire(const TSocketEvent& ev, int error) {
    if (!ev)
        return;
    // A copy, since the handler may replace or clear the event it runs from.
    TSocketEvent handler = ev;
    try {
        try {
            handler(error);
        } catch (const std::exception& e) {
            bool canClose = true;
            if (OnBgException) {
                TBgExceptionEvent bg = OnBgException;
                bg(e, canClose);
            }
            if (canClose)
                Close();
        }
    } catch (...) {
        // Nothing may escape into the event loop: the socket is given up.
        Close();
    }
}

void TAsyncSocket::DnsLookup(const std::string& name) {
    CancelDnsLookup();
    m_dnsResult.clear();
    m_dnsResults.clear();
    if (name.empty())
        throw ESocketException("DNS lookup: invalid host name.");
    const unsigned generation = ++m_lookupGeneration;
    QHostAddress address;
    if (address.setAddress(ToQString(name))) {
        m_dnsResult = ToStdString(address.toString());
        m_dnsResults.push_back(m_dnsResult);
        m_lookupPosted = true;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation != m_lookupGeneration || !m_lookupPosted)
                return;
            m_lookupPosted = false;
            Fire(OnDnsLookupDone, 0);
        });
        return;
    }
    m_lookupId =
        QHostInfo::lookupHost(ToQString(name), this, [this, generation](const QHostInfo& info) {
            if (generation != m_lookupGeneration)
                return;
            m_lookupId = -1;
            int error = ResolverErrorFor(info);
            if (error == 0) {
                // PORT and PASV speak IPv4 only, so IPv4 addresses go first.
                for (const QHostAddress& a : info.addresses()) {
                    if (a.protocol() == QAbstractSocket::IPv4Protocol)
                        m_dnsResults.push_back(ToStdString(a.toString()));
                }
                for (const QHostAddress& a : info.addresses()) {
                    if (a.protocol() != QAbstractSocket::IPv4Protocol)
                        m_dnsResults.push_back(ToStdString(a.toString()));
                }
                if (m_dnsResults.empty())
                    error = EAI_NONAME;
                else
                    m_dnsResult = m_dnsResults.front();
            }
            Fire(OnDnsLookupDone, error);
        });
}

void TAsyncSocket::CancelDnsLookup() {
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_lookupPosted = false;
    ++m_lookupGeneration;
}

quint16 TAsyncSocket::ResolvePort() const {
    if (Port.empty())
        throw ESocketException("Port: no port given");
    if (Port.find_first_not_of("0123456789") == std::string::npos) {
        if (Port.size() > 5 || std::stoul(Port) > 65535)
            throw ESocketException("Port: invalid port " + Port);
        return quint16(std::stoul(Port));
    }
    servent entry{};
    servent* found = nullptr;
    char buf[1024];
    if (getservbyname_r(Port.c_str(), "tcp", &entry, buf, sizeof buf, &found) != 0 || !found)
        throw ESocketException("Port: unknown service " + Port);
    return ntohs(quint16(found->s_port));
}

void TAsyncSocket::Attach(QSslSocket* sock) {
    m_sock = sock;
    ++m_connectionGeneration;
    m_closeError = 0;
    m_tlsPending = false;
    connect(sock, &QSslSocket::connected, this, [this] {
        if (m_state != wsConnecting)
            return;
        m_state = wsConnected;
        Fire(OnSessionConnected, 0);
    });
    connect(sock, &QSslSocket::readyRead, this, [this] { DeliverData(); });
    connect(sock, &QSslSocket::bytesWritten, this, [this] { HandleBytesWritten(); });
    connect(sock, &QSslSocket::encryptedBytesWritten, this, [this] { HandleBytesWritten(); });
    connect(sock, &QSslSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { HandleError(ErrnoFor(e)); });
    connect(sock, &QSslSocket::disconnected, this, [this] { HandleDisconnected(); });
    connect(sock, &QSslSocket::sslErrors, this,
            [this](const QList<QSslError>& errors) { HandleSslErrors(errors); });
    connect(sock, &QSslSocket::encrypted, this, [this] {
        if (m_tlsPending)
            FinishTls(0);
    });
}

void TAsyncSocket::Detach() {
    if (!m_sock)
        return;
    QSslSocket* sock = m_sock;
    m_sock = nullptr;
    m_tlsPending = false;
    ++m_connectionGeneration;
    QObject::disconnect(sock, nullptr, this, nullptr);
    // Queued data reaches the peer before the close, and an encrypted
    // connection ends with the TLS close message; a peer that never reads is
    // cut off after a while.
    if (sock->state() == QAbstractSocket::ConnectedState &&
        (sock->isEncrypted() || sock->bytesToWrite() > 0)) {
        connect(sock, &QSslSocket::disconnected, sock, &QObject::deleteLater);
        QTimer::singleShot(30000, sock, [sock] { sock->abort(); });
        sock->disconnectFromHost();
        if (sock->state() == QAbstractSocket::UnconnectedState)
            sock->deleteLater();
    } else {
        sock->abort();
        sock->deleteLater();
    }
}

void TAsyncSocket::Connect() {
    if (m_state != wsClosed)
        throw ESocketException("Connect: socket already in use");
    if (Proto != "tcp")
        throw ESocketException("Connect: unsupported protocol " + Proto);
    QHostAddress address;
    if (!address.setAddress(ToQString(Addr)))
        throw ESocketException("Connect: invalid address " + Addr);
    const quint16 port = ResolvePort();
    auto* sock = new QSslSocket(this);
    m_state = wsConnecting;
    Attach(sock);
    sock->connectToHost(address, port);
}

void TAsyncSocket::Listen() {
    if (m_state != wsClosed)
        throw ESocketException("Listen: socket already in use");
    if (Proto != "tcp")
        throw ESocketException("Listen: unsupported protocol " + Proto);
    QHostAddress address;
    if (Addr == "0.0.0.0" || Addr.empty())
        address = QHostAddress(QHostAddress::AnyIPv4);
    else if (!address.setAddress(ToQString(Addr)))
        throw ESocketException("Listen: invalid address " + Addr);
    const quint16 port = ResolvePort();
    auto* server = new TSslServer(this);
    if (!server->listen(address, port)) {
        const std::string why = ToStdString(server->errorString());
        delete server;
        throw ESocketException("Listen: " + why);
    }
    m_server = server;
    m_state = wsListening;
    connect(server, &QTcpServer::newConnection, this, [this] { Fire(OnSessionAvailable, 0); });
}

void TAsyncSocket::TakeOverPendingConnection() {
    if (!m_server || !m_server->hasPendingConnections())
        throw ESocketException("Accept: no pending connection");
    auto* sock = static_cast<QSslSocket*>(m_server->nextPendingConnection());
    sock->setParent(this);
    QTcpServer* server = m_server;
    m_server = nullptr;
    QObject::disconnect(server, nullptr, this, nullptr);
    server->close();
    server->deleteLater();
    m_state = wsConnected;
    Attach(sock);
    if (sock->bytesAvailable() > 0)
        ScheduleDataCheck();
    if (sock->state() != QAbstractSocket::ConnectedState) {
        const unsigned generation = m_connectionGeneration;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_connectionGeneration)
                HandleDisconnected();
        });
    }
}

void TAsyncSocket::StartTls(const QSslConfiguration& config, const std::string& peerName,
                            std::vector<std::string> accepted) {
    if (!m_sock || m_state != wsConnected)
        throw ESocketException("TLS: not connected");
    m_accepted.clear();
    for (const std::string& fp : accepted) {
        if (std::string n = NormalizeFingerprint(fp); !n.empty())
            m_accepted.push_back(n);
    }
    m_tlsError.clear();
    m_certificateRefused = false;
    m_untrusted = {};
    m_tlsPending = true;
    m_sock->setSslConfiguration(config);
    m_sock->setPeerVerifyName(ToQString(peerName));
    m_sock->startClientEncryption();
}

// A certificate the peer verification refuses is taken only when its
// fingerprint was accepted beforehand; otherwise what is known of it is kept
// for the person who decides, and the handshake fails.
void TAsyncSocket::HandleSslErrors(const QList<QSslError>& errors) {
    if (!m_sock)
        return;
    const QSslCertificate cert = m_sock->peerCertificate();
    const std::string fingerprint = cert.isNull() ? std::string() : CertificateFingerprint(cert);
    if (!fingerprint.empty() &&
        std::find(m_accepted.begin(), m_accepted.end(), fingerprint) != m_accepted.end()) {
        m_sock->ignoreSslErrors();
        return;
    }
    m_certificateRefused = true;
    m_untrusted.Subject = Names(cert.subjectInfo(QSslCertificate::CommonName));
    m_untrusted.Issuer = Names(cert.issuerInfo(QSslCertificate::CommonName));
    if (m_untrusted.Subject.empty())
        m_untrusted.Subject = ToStdString(cert.subjectDisplayName());
    if (m_untrusted.Issuer.empty())
        m_untrusted.Issuer = ToStdString(cert.issuerDisplayName());
    m_untrusted.ValidFrom = Date(cert.effectiveDate());
    m_untrusted.ValidUntil = Date(cert.expiryDate());
    m_untrusted.Sha256 = fingerprint;
    std::string reason;
    const std::string peer = ToStdString(m_sock->peerVerifyName());
    for (const QSslError& e : errors) {
        const std::string r = ReasonFor(e, peer);
        if (reason.find(r) != std::string::npos)
            continue;
        if (!reason.empty())
            reason += "; ";
        reason += r;
    }
    m_untrusted.Reason = reason;
    m_tlsError = "the server's certificate is not trusted: " + reason;
}

// The handshake ended: a failed one closes the connection before OnTlsDone.
void TAsyncSocket::FinishTls(int error) {
    if (!m_tlsPending)
        return;
    m_tlsPending = false;
    if (error != 0) {
        if (m_tlsError.empty())
            m_tlsError = m_sock ? ToStdString(m_sock->errorString()) : "the connection was closed";
        Detach();
        m_state = wsClosed;
        m_inDataEvent = false;
    }
    Fire(OnTlsDone, error);
    // Bytes that came with the end of the handshake are offered now.
    if (error == 0 && m_sock && m_sock->bytesAvailable() > 0)
        ScheduleDataCheck();
}

bool TAsyncSocket::Encrypted() const {
    return m_sock && m_sock->isEncrypted();
}

QSslConfiguration TAsyncSocket::TlsConfiguration() const {
    return m_sock ? m_sock->sslConfiguration() : QSslConfiguration();
}

std::string TAsyncSocket::PeerFingerprint() const {
    if (!m_sock || m_sock->peerCertificate().isNull())
        return {};
    return CertificateFingerprint(m_sock->peerCertificate());
}

bool TAsyncSocket::Drained() const {
    return m_sock && m_sock->bytesToWrite() == 0 && m_sock->encryptedBytesToWrite() == 0;
}

std::int64_t TAsyncSocket::Send(const char* data, std::int64_t len) {
    if (!m_sock || m_state != wsConnected || len < 0 || m_tlsPending)
        return -1;
    QSslSocket* sock = m_sock;
    std::int64_t direct = 0;
    if (!sock->isEncrypted() && sock->bytesToWrite() == 0 && sock->socketDescriptor() >= 0) {
        // Plain data with nothing waiting in Qt's buffer may go straight to
        // the system: the socket is non-blocking, and what it cannot take
        // now is left to Qt below. This saves a turn of the event loop for
        // every block of an upload.
        const ssize_t n =
            ::send(int(sock->socketDescriptor()), data, size_t(len), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            direct = n;
    }
    if (direct == len) {
        NoteDrained();
        return len;
    }
    // Qt sends the rest when the socket is writable, reporting any error.
    m_inSend = true;
    const std::int64_t queued = sock->write(data + direct, len - direct);
    m_inSend = false;
    if (queued < 0)
        return direct > 0 ? direct : -1;
    return direct + queued;
}

// Everything queued has gone to the system: OnDataSent is due. Inside an
// OnDataSent handler the event is repeated when the handler returns, so a
// sender paced by it is never called back from inside its own Send.
void TAsyncSocket::NoteDrained() {
    if (m_inDataSent) {
        m_drainedDuringEvent = true;
        return;
    }
    PostDataSent();
}

void TAsyncSocket::PostDataSent() {
    if (m_dataSentPosted)
        return;
    m_dataSentPosted = true;
    const unsigned generation = m_connectionGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        m_dataSentPosted = false;
        if (generation == m_connectionGeneration && m_sock && m_state == wsConnected && Drained())
            FireDataSent();
    });
}

// Sends that drain at once are followed by the next OnDataSent straight away,
// up to a burst of about 64 KB of blocks; then the event loop gets its turn.
void TAsyncSocket::FireDataSent() {
    const unsigned generation = m_connectionGeneration;
    for (int burst = 0; burst < 48; ++burst) {
        m_drainedDuringEvent = false;
        m_inDataSent = true;
        Fire(OnDataSent, 0);
        m_inDataSent = false;
        if (!m_drainedDuringEvent || generation != m_connectionGeneration || !m_sock ||
            m_state != wsConnected)
            return;
    }
    PostDataSent();
}

std::int64_t TAsyncSocket::Receive(char* buf, std::int64_t len) {
    if (!m_sock || len <= 0)
        return 0;
    const std::int64_t n = m_sock->read(buf, len);
    if (n > 0)
        m_readDuringEvent = true;
    return n < 0 ? 0 : n;
}

std::int64_t TAsyncSocket::BytesAvailable() const {
    return m_sock ? m_sock->bytesAvailable() : 0;
}

void TAsyncSocket::HandleBytesWritten() {
    if (m_inSend || m_inDataSent || m_tlsPending)
        return; // Send itself looks at what is left; a handshake is no data
    if (m_sock && m_state == wsConnected && Drained())
        FireDataSent();
}

void TAsyncSocket::DeliverData() {
    if (!m_sock || m_inDataEvent || m_tlsPending)
        return;
    const unsigned generation = m_connectionGeneration;
    m_inDataEvent = true;
    m_readDuringEvent = false;
    Fire(OnDataAvailable, 0);
    if (generation != m_connectionGeneration)
        return; // closed (and possibly reopened) by the handler
    m_inDataEvent = false;
    // Data left behind by a handler that read only part of it is offered
    // again, as long as the handler keeps taking some.
    if (m_readDuringEvent && m_sock && m_sock->bytesAvailable() > 0)
        ScheduleDataCheck();
}

void TAsyncSocket::ScheduleDataCheck() {
    if (m_dataCheckPosted)
        return;
    m_dataCheckPosted = true;
    const unsigned generation = m_connectionGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        m_dataCheckPosted = false;
        if (generation == m_connectionGeneration && m_sock && m_sock->bytesAvailable() > 0)
            DeliverData();
    });
}

void TAsyncSocket::HandleError(int error) {
    if (m_state == wsConnecting) {
        Detach();
        m_state = wsClosed;
        Fire(OnSessionConnected, error != 0 ? error : ECONNABORTED);
        return;
    }
    if (m_state != wsConnected)
        return;
    if (m_tlsPending) {
        FinishTls(error != 0 ? error : EPROTO);
        return;
    }
    if (m_closeError == 0)
        m_closeError = error;
    if (m_sock && m_sock->state() == QAbstractSocket::UnconnectedState)
        HandleDisconnected();
}

void TAsyncSocket::HandleDisconnected() {
    if (m_state != wsConnected || !m_sock)
        return;
    if (m_tlsPending) {
        FinishTls(ECONNRESET);
        return;
    }
    const unsigned generation = m_connectionGeneration;
    // What the peer sent before closing is delivered before the close.
    while (m_sock && generation == m_connectionGeneration && m_sock->bytesAvailable() > 0) {
        m_inDataEvent = true;
        m_readDuringEvent = false;
        Fire(OnDataAvailable, 0);
        if (generation != m_connectionGeneration)
            return;
        m_inDataEvent = false;
        if (!m_readDuringEvent)
            break;
    }
    if (generation != m_connectionGeneration)
        return;
    const int error = m_closeError;
    Detach();
    m_state = wsClosed;
    m_inDataEvent = false;
    Fire(OnSessionClosed, error);
}

void TAsyncSocket::Close() {
    if (m_server) {
        QTcpServer* server = m_server;
        m_server = nullptr;
        QObject::disconnect(server, nullptr, this, nullptr);
        server->close();
        server->deleteLater();
        if (m_state == wsListening)
            m_state = wsClosed;
    }
    if (!m_sock) {
        m_state = wsClosed;
        return;
    }
    const bool wasConnected = m_state == wsConnected;
    Detach();
    m_state = wsClosed;
    m_inDataEvent = false;
    if (wasConnected)
        Fire(OnSessionClosed, 0);
}

std::string TAsyncSocket::LocalAddr() const {
    if (m_sock)
        return ToStdString(m_sock->localAddress().toString());
    if (m_server)
        return ToStdString(m_server->serverAddress().toString());
    return {};
}

int TAsyncSocket::LocalPort() const {
    if (m_sock)
        return m_sock->localPort();
    if (m_server)
        return m_server->serverPort();
    return 0;
}

std::string TAsyncSocket::PeerAddr() const {
    return m_sock ? ToStdString(m_sock->peerAddress().toString()) : std::string();
}

int TAsyncSocket::PeerPort() const {
    return m_sock ? m_sock->peerPort() : 0;
}

int TAsyncSocket::DescriptorForOptions() const {
    if (m_sock)
        return int(m_sock->socketDescriptor());
    if (m_server)
        return int(m_server->socketDescriptor());
    return -1;
}

bool TAsyncSocket::SetLinger(bool on, int seconds) {
    const int fd = DescriptorForOptions();
    if (fd < 0)
        return false;
    linger value{};
    value.l_onoff = on ? 1 : 0;
    value.l_linger = seconds;
    return setsockopt(fd, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0;
}

bool TAsyncSocket::ReadSendBufferSize(int& size) const {
    const int fd = DescriptorForOptions();
    if (fd < 0)
        return false;
    socklen_t len = sizeof size;
    return getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, &len) == 0;
}
