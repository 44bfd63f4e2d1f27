#include "CustomFtpClient.h"

#include "FtpException.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSslCertificate>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

std::string ExceptionClassName(const std::exception& e) {
    if (dynamic_cast<const FtpException*>(&e))
        return "FtpException";
    if (dynamic_cast<const ESocketException*>(&e))
        return "ESocketException";
    return "Exception";
}

std::string LowerFirst(std::string text) {
    if (!text.empty())
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// A FEAT line offering TLS: "AUTH TLS", or an AUTH line naming TLS among others.
bool OffersTls(const std::string& line) {
    std::string upper;
    for (char c : line)
        upper += char(std::toupper(static_cast<unsigned char>(c)));
    const size_t start = upper.find_first_not_of(" \t");
    if (start == std::string::npos || upper.compare(start, 5, "AUTH ") != 0)
        return false;
    return upper.find("TLS", start + 5) != std::string::npos;
}

} // namespace

TCustomFtpClient::TCustomFtpClient(QObject* parent)
    : QObject(parent), m_ControlSocket(new TAsyncSocket(this)),
      m_DataSocket(new TAsyncSocket(this)) {}

TCustomFtpClient::~TCustomFtpClient() {
    m_ControlSocket->ClearEvents();
    m_DataSocket->ClearEvents();
    m_ControlSocket->CancelDnsLookup();
    m_DataSocket->Close();
    m_ControlSocket->Close();
    ReleaseFile();
}

void TCustomFtpClient::SetConnectionType(TFtpConnectionType value) {
    if (m_Connected)
        throw FtpException("FTP component connected");
    m_ConnectionType = value;
    if (value != ftpDirect)
        m_Passive = true;
}

void TCustomFtpClient::SetPassive(bool value) {
    m_Passive = m_ConnectionType == ftpDirect ? value : true;
}

void TCustomFtpClient::SetTlsMode(TFtpTlsMode value) {
    if (m_Connected)
        throw FtpException("FTP component connected");
    m_TlsMode = value;
}

bool TCustomFtpClient::ControlConnectionOpen() const {
    return m_ControlSocket->State() != wsClosed;
}

// ---------------------------------------------------------------- events

void TCustomFtpClient::SetState(TFtpState state) {
    if (m_State == state)
        return;
    m_State = state;
    TriggerNotify(OnStateChange);
}

void TCustomFtpClient::TriggerNotify(const TFtpNotifyEvent& ev) {
    if (!ev)
        return;
    TFtpNotifyEvent handler = ev; // the handler may reassign the event
    handler(this);
}

void TCustomFtpClient::Display(const std::string& msg) {
    if (!OnDisplay)
        return;
    TFtpDisplay handler = OnDisplay;
    // Server text may hold terminal controls: it is shown escaped.
    std::string text = EscapeServerText(msg);
    handler(this, text);
}

void TCustomFtpClient::SetErrorOnce(const std::string& line) {
    if (m_ErrorMessage.empty())
        m_ErrorMessage = EscapeServerText(line);
}

// A refused reply ends the request with its code; a line whose code reads as
// 0 must not pass for success.
int TCustomFtpClient::FailureCode(int code) {
    return code > 0 ? code : 500;
}

void TCustomFtpClient::FailRequest(int code, const std::string& line) {
    if (m_RequestResult == 0)
        m_RequestResult = code;
    SetErrorOnce(line);
}

// A failure of the control connection, in plain words; the request ends with
// code 500.
void TCustomFtpClient::SetSocketFailure(int /*error*/, const std::string& text) {
    m_LastResponse = text;
    m_StatusCode = 500;
    m_RequestResult = 500;
    SetErrorOnce(m_LastResponse);
}

// ------------------------------------------------------ request mechanism

void TCustomFtpClient::CheckReady() const {
    if (m_State != fsReady && m_State != fsInternalReady)
        throw FtpException("FTP component not ready");
}

bool TCustomFtpClient::Accepted(int code) const {
    if (m_AcceptedCodes.empty())
        return code < 500;
    return std::find(m_AcceptedCodes.begin(), m_AcceptedCodes.end(), code) != m_AcceptedCodes.end();
}

void TCustomFtpClient::ExecAsync(TFtpRequest rq, const std::string& cmd,
                                 std::initializer_list<int> codes, TReplyHandler handler) {
    CheckReady();
    if (!m_Connected)
        throw FtpException("FTP component not connected");
    // A request of its own starts with no error; within a sequence the first
    // error of the sequence is kept.
    if (!m_Sequence)
        m_ErrorMessage.clear();
    StartCommand(rq, cmd, codes, handler);
}

void TCustomFtpClient::StartCommand(TFtpRequest rq, const std::string& cmd,
                                    std::initializer_list<int> codes, TReplyHandler handler) {
    if (!m_Sequence)
        m_RequestType = rq;
    m_CommandKind = rq;
    m_AcceptedCodes.assign(codes.begin(), codes.begin() + std::min<size_t>(codes.size(), 16));
    m_RequestDone = false;
    m_RequestResult = 0;
    m_Next = handler;
    SetState(fsWaitingResponse);
    SendCommand(cmd);
}

void TCustomFtpClient::SendCommand(std::string cmd) {
    if (OnCommand) {
        TFtpCommand handler = OnCommand;
        handler(this, cmd);
    }
    // The session display never shows the password.
    Display(cmd.rfind("PASS ", 0) == 0 ? std::string("> PASS ****") : "> " + cmd);
    if (m_ControlSocket->State() == wsConnected) {
        cmd += "\r\n";
        m_ControlSocket->Send(cmd.data(), std::int64_t(cmd.size()));
    }
}

void TCustomFtpClient::HighLevelAsync(TFtpRequest rq, unsigned steps) {
    if ((steps & stOpen) && m_Connected)
        throw FtpException("FTP component already connected");
    CheckReady();
    m_LastResponse.clear();
    m_ErrorMessage.clear();
    m_Sequence = true;
    m_RequestType = rq;
    m_Steps = steps;
    m_LastStep = 0;
    m_QuitRan = false;
    if (steps & stOpen) {
        m_ServerOffersTls = false;
        m_CertificateRefused = false;
        m_RefusedCertificate = {};
        m_ControlFingerprint.clear();
    }
    m_RequestDone = false;
    m_RequestResult = 0;
    if (!RunNextStep())
        Completion(m_RequestResult);
}

// The next step of the running sequence that will really run, or 0. Pass
// is left out after a USER reply of 230, Cwd when there is no folder.
unsigned TCustomFtpClient::NextStep() const {
    for (unsigned step : StepOrder) {
        if (!(m_Steps & step))
            continue;
        if (step == stPass && m_LastStep == stUser && m_StatusCode != 331)
            continue;
        if (step == stCwd && m_HostDirName.empty())
            continue;
        return step;
    }
    return 0;
}

// Starts the next step of the running sequence; false when none is left or
// the client is aborting (then RequestResult says 426).
bool TCustomFtpClient::RunNextStep() {
    if (m_State == fsAbort) {
        FailRequest(426, "426 Operation aborted.");
        return false;
    }
    const unsigned step = NextStep();
    if (step == 0) {
        m_Steps = 0;
        return false;
    }
    // Steps passed over are dropped with the one that runs.
    for (unsigned s : StepOrder) {
        m_Steps &= ~s;
        if (s == step)
            break;
    }
    m_LastStep = step;
    StartStep(step);
    return true;
}

void TCustomFtpClient::StartStep(unsigned step) {
    try {
        switch (step) {
        case stOpen:
            StepOpen();
            break;
        case stFeat:
            ExecAsync(rqFeat, "FEAT", {}, &TCustomFtpClient::FeatReply);
            break;
        case stAuth:
            ExecAsync(rqAuth, "AUTH TLS", {234}, &TCustomFtpClient::AuthReply);
            break;
        case stPbsz:
            ExecAsync(rqPbsz, "PBSZ 0", {200}, &TCustomFtpClient::GenericReply);
            break;
        case stProt:
            ExecAsync(rqProt, DataProtected() ? "PROT P" : "PROT C", {200},
                      &TCustomFtpClient::GenericReply);
            break;
        case stList:
            StepList();
            break;
        case stUser:
            ExecAsync(rqUser, "USER " + m_UserName, {331, 230}, &TCustomFtpClient::GenericReply);
            break;
        case stPass:
            if (m_PassWord.empty())
                throw FtpException("Password empty");
            ExecAsync(rqPass, "PASS " + m_PassWord, {230}, &TCustomFtpClient::GenericReply);
            break;
        case stCwd:
            ExecAsync(rqCwd, "CWD " + m_HostDirName, {200, 250, 257},
                      &TCustomFtpClient::GenericReply);
            break;
        case stTypeSet:
            ExecAsync(rqTypeSet, m_Binary ? "TYPE I" : "TYPE A", {200},
                      &TCustomFtpClient::GenericReply);
            break;
        case stPort:
            StepPort();
            break;
        case stPut:
            StepStor();
            break;
        case stMkd:
            ExecAsync(rqMkd, "MKD " + m_HostFileName, {257}, &TCustomFtpClient::GenericReply);
            break;
        case stPwd:
            ExecAsync(rqPwd, "PWD", {250, 257}, &TCustomFtpClient::GenericReply);
            break;
        case stQuit:
            m_QuitRan = true;
            m_LastResponseBeforeQuit = m_LastResponse;
            m_StatusCodeBeforeQuit = m_StatusCode;
            QuitAsync();
            break;
        }
    } catch (const std::exception& e) {
        // A step started from an event cannot raise to anyone: it fails the
        // sequence instead, with the exception's text.
        m_LastResponse = "500 " + ExceptionClassName(e) + ": " + e.what();
        m_StatusCode = 500;
        FailRequest(500, m_LastResponse);
        Completion(m_RequestResult);
    }
}

// Runs at most once per request: either starts the next step of a sequence
// or ends the request and posts OnRequestDone.
void TCustomFtpClient::Completion(int error) {
    if (m_RequestDone)
        return;
    if (error == 0 && m_Sequence && NextStep() != 0) {
        if (m_State != fsAbort)
            SetState(fsInternalReady);
        if (RunNextStep())
            return;
        error = m_RequestResult;
    }
    m_RequestDone = true;
    SetState(fsReady);
    CloseDataConnection();
    ReleaseFile();
    if (m_Sequence) {
        if (m_QuitRan) {
            m_LastResponse = m_LastResponseBeforeQuit;
            m_StatusCode = m_StatusCodeBeforeQuit;
        }
        m_Sequence = false;
    }
    PostRequestDone(m_RequestType, error);
}

void TCustomFtpClient::PostRequestDone(TFtpRequest rq, int error) {
    QMetaObject::invokeMethod(
        this,
        [this, rq, error] {
            if (!OnRequestDone)
                return;
            TFtpRequestDone handler = OnRequestDone;
            try {
                handler(this, rq, error);
            } catch (const std::exception& e) {
                if (OnBgException) {
                    TFtpBgException bg = OnBgException;
                    try {
                        bg(this, e);
                    } catch (...) {
                    }
                }
            } catch (...) {
            }
        },
        Qt::QueuedConnection);
}

// ------------------------------------------------------ single requests

void TCustomFtpClient::CwdAsync() {
    CheckReady();
    if (!m_Connected)
        throw FtpException("FTP component not connected");
    if (m_HostDirName.empty())
        throw FtpException("HostDirName empty");
    ExecAsync(rqCwd, "CWD " + m_HostDirName, {200, 250, 257}, &TCustomFtpClient::GenericReply);
}

void TCustomFtpClient::PwdAsync() {
    ExecAsync(rqPwd, "PWD", {250, 257}, &TCustomFtpClient::GenericReply);
}

void TCustomFtpClient::TypeSetAsync() {
    ExecAsync(rqTypeSet, m_Binary ? "TYPE I" : "TYPE A", {200}, &TCustomFtpClient::GenericReply);
}

void TCustomFtpClient::MkdAsync() {
    ExecAsync(rqMkd, "MKD " + m_HostFileName, {257}, &TCustomFtpClient::GenericReply);
}

void TCustomFtpClient::QuitAsync() {
    CheckReady();
    if (!m_Connected)
        throw FtpException("FTP component not connected");
    ReleaseFile();
    StartCommand(rqQuit, "QUIT", {221}, &TCustomFtpClient::QuitReply);
}

// ---------------------------------------------------------------- replies

void TCustomFtpClient::ControlDataAvailable() {
    if (m_Reader.Space() > 0) {
        const std::int64_t n = m_ControlSocket->Receive(m_Reader.WritePos(), m_Reader.Space());
        m_Reader.Commit(int(n));
    }
    const bool acceptLF = (m_Options & ftpAcceptLF) != 0;
    std::string line;
    while (m_ControlSocket->State() == wsConnected && m_Reader.NextLine(acceptLF, line)) {
        if (m_Reader.ReplyTooLong()) {
            ReplyTooLong();
            return;
        }
        m_LastResponse = line;
        TriggerNotify(OnResponse);
        HandleReplyLine(line);
    }
    if (m_ControlSocket->State() == wsConnected && m_Reader.Full()) {
        // A line that fills the whole buffer can never end: give up the
        // connection, and the running request with it.
        m_LastResponse = "500 Reply line too long";
        m_StatusCode = 500;
        if (!m_RequestDone)
            FailRequest(500, m_LastResponse);
        m_ControlSocket->Close();
    }
}

void TCustomFtpClient::HandleReplyLine(const std::string& line) {
    switch (m_State) {
    case fsWaitingBanner: {
        Display("< " + line);
        if (!IsFinalReply(line))
            return;
        m_StatusCode = ParseReplyCode(line);
        if (m_StatusCode != 220) {
            FailRequest(FailureCode(m_StatusCode), line);
            m_ControlSocket->Close(); // completes the request
            Completion(m_RequestResult);
            return;
        }
        SetState(fsConnected);
        if (OnSessionConnected) {
            TFtpSessionEvent handler = OnSessionConnected;
            handler(this, 0);
        }
        Completion(0);
        return;
    }
    case fsWaitingResponse:
        if (m_CommandKind == rqFeat && OffersTls(line))
            m_ServerOffersTls = true;
        if (!IsFinalReply(line) || !m_Next) {
            Display("< " + line);
            return;
        }
        (this->*m_Next)();
        return;
    default:
        Display("< " + line);
        return;
    }
}

// Shows the reply and judges it against the accepted codes.
void TCustomFtpClient::EvaluateReply() {
    Display("< " + m_LastResponse);
    m_StatusCode = ParseReplyCode(m_LastResponse);
    if (!Accepted(m_StatusCode)) {
        m_RequestResult = FailureCode(m_StatusCode);
        SetErrorOnce(m_LastResponse);
    }
    if (m_Passive && m_StatusCode == 227)
        m_PasvResponse = m_LastResponse;
    if (m_RequestResult == 0 &&
        (m_CommandKind == rqCwd || m_CommandKind == rqMkd || m_CommandKind == rqPwd))
        m_DirResult = ExtractDirResult(m_LastResponse);
}

void TCustomFtpClient::GenericReply() {
    EvaluateReply();
    Completion(m_RequestResult);
}

// Whatever the answer, FEAT only informs: a server without it is fine.
void TCustomFtpClient::FeatReply() {
    Display("< " + m_LastResponse);
    m_StatusCode = ParseReplyCode(m_LastResponse);
    Completion(0);
}

// A refusal ends the connect with the connection closed: nothing else, and
// above all no password, goes out in clear.
void TCustomFtpClient::AuthReply() {
    EvaluateReply();
    if (m_RequestResult != 0) {
        m_ErrorMessage.clear();
        SetErrorOnce("The server refused TLS (it answered \"" + m_LastResponse +
                     "\"); the upload stopped before logging in, and nothing was sent "
                     "unencrypted.");
        m_ControlSocket->Close(); // completes the request
        Completion(m_RequestResult);
        return;
    }
    StartControlTls();
}

void TCustomFtpClient::ReplyTooLong() {
    const std::string text = "The server sent a reply longer than " +
                             std::to_string(TFtpReplyReader::MaxReplySize / 1024) +
                             " KB; the connection was closed.";
    m_LastResponse = text;
    m_StatusCode = 500;
    if (!m_RequestDone)
        FailRequest(500, text);
    m_Reader.Clear();
    CloseDataConnection();
    m_ControlSocket->Close();
    if (!m_RequestDone)
        Completion(m_RequestResult);
}

void TCustomFtpClient::QuitReply() {
    EvaluateReply();
    if (m_RequestResult == 0) {
        m_ClosingAfterQuit = true;
        m_ControlSocket->Close(); // completes the request
        m_ClosingAfterQuit = false;
    }
    Completion(m_RequestResult);
}

// ------------------------------------------------------ control connection

void TCustomFtpClient::StepOpen() {
    CheckReady();
    if (!m_Sequence)
        m_RequestType = rqOpen;
    m_CommandKind = rqOpen;
    m_RequestDone = false;
    m_RequestResult = 0;
    m_Next = nullptr;
    m_Reader.Clear();
    m_ControlSocket->ClearEvents();
    m_ControlSocket->OnDnsLookupDone = [this](int error) { ControlDnsLookupDone(error); };
    m_ControlSocket->OnSessionConnected = [this](int error) { ControlSessionConnected(error); };
    m_ControlSocket->OnDataAvailable = [this](int) { ControlDataAvailable(); };
    m_ControlSocket->OnSessionClosed = [this](int error) { ControlSessionClosed(error); };
    SetState(fsDnsLookup);
    m_ControlSocket->DnsLookup(m_HostName);
}

void TCustomFtpClient::ControlDnsLookupDone(int error) {
    if (m_State != fsDnsLookup)
        return;
    if (error != 0) {
        SetSocketFailure(error, "Could not find the host " + m_HostName + ": " +
                                    LowerFirst(ResolverErrorText(error)));
        Completion(error);
        return;
    }
    m_ControlSocket->Addr = m_ControlSocket->DnsResult();
    m_ControlSocket->Port = m_Port;
    m_ControlSocket->Proto = "tcp";
    SetState(fsWaitingBanner);
    try {
        m_ControlSocket->Connect();
    } catch (const std::exception& e) {
        m_LastResponse = "500 " + ExceptionClassName(e) + ": " + e.what();
        m_StatusCode = 500;
        FailRequest(500, m_LastResponse);
        Completion(500);
    }
}

void TCustomFtpClient::ControlSessionConnected(int error) {
    if (error != 0) {
        SetSocketFailure(error, ConnectFailureText(error));
        m_ControlSocket->Close();
        Completion(error);
        return;
    }
    if (m_TlsMode == ftpTlsImplicit) {
        // TLS from the first byte: the greeting comes encrypted.
        m_ImplicitHandshake = true;
        StartControlTls();
        return;
    }
    m_Connected = true;
}

std::string TCustomFtpClient::Where() const {
    return m_HostName + ":" + m_Port;
}

std::string TCustomFtpClient::ConnectFailureText(int error) const {
    std::string why;
    switch (error) {
    case ECONNREFUSED:
        why = "connection refused";
        break;
    case ETIMEDOUT:
        why = "the connection timed out";
        break;
    case ENETUNREACH:
    case EHOSTUNREACH:
        why = "the host cannot be reached";
        break;
    default:
        why = LowerFirst(SocketErrorText(error));
        break;
    }
    return "Could not connect to " + Where() + ": " + why;
}

// ------------------------------------------------------------------- TLS

QSslConfiguration TCustomFtpClient::TlsConfiguration() const {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    // The authorities of SSL_CERT_FILE are trusted besides the system's, as
    // the TLS library does for other programs.
    static const QList<QSslCertificate> extra = [] {
        const QByteArray file = qgetenv("SSL_CERT_FILE");
        return file.isEmpty() ? QList<QSslCertificate>()
                              : QSslCertificate::fromPath(QString::fromLocal8Bit(file));
    }();
    if (!extra.isEmpty())
        config.addCaCertificates(extra);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    config.setProtocol(QSsl::TlsV1_2OrLater);
    // Data connections resume the control connection's session; servers
    // refuse data connections that do not.
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    return config;
}

bool TCustomFtpClient::DataProtected() const {
    return m_TlsMode == ftpTlsControlAndData || m_TlsMode == ftpTlsImplicit;
}

void TCustomFtpClient::StartControlTls() {
    // Anything the server sent after its answer to AUTH, before the
    // handshake, is not trusted: dropped.
    m_Reader.Clear();
    m_ControlSocket->OnTlsDone = [this](int error) { ControlTlsDone(error); };
    Display("! Starting TLS");
    try {
        m_ControlSocket->StartTls(TlsConfiguration(), m_HostName, m_TrustedCertificates);
    } catch (const std::exception& e) {
        FailRequest(500, std::string("TLS could not start: ") + e.what());
        m_ControlSocket->Close();
        Completion(m_RequestResult);
    }
}

void TCustomFtpClient::FailTls(const std::string& what, TAsyncSocket& socket) {
    if (socket.CertificateRefused()) {
        m_CertificateRefused = true;
        m_RefusedCertificate = socket.UntrustedCertificate();
    }
    std::string text = "TLS failed on the " + what + " with " + Where() + ": " + socket.TlsError();
    if (socket.CertificateRefused())
        text += " (SHA-256 fingerprint " + socket.UntrustedCertificate().Sha256 + ")";
    m_LastResponse = text;
    m_StatusCode = 522;
    FailRequest(522, text);
    Display("! " + text);
}

void TCustomFtpClient::ControlTlsDone(int error) {
    const bool implicit = m_ImplicitHandshake;
    m_ImplicitHandshake = false;
    if (error != 0) {
        m_Connected = false;
        FailTls("control connection", *m_ControlSocket);
        Completion(m_RequestResult);
        return;
    }
    m_ControlFingerprint = m_ControlSocket->PeerFingerprint();
    Display("! TLS established");
    if (implicit) {
        m_Connected = true; // the greeting follows
        return;
    }
    Completion(0);
}

void TCustomFtpClient::ControlSessionClosed(int error) {
    m_Connected = false;
    m_Reader.Clear();
    const bool aborting = m_State == fsAbort;
    if (!aborting)
        SetState(fsNotConnected);
    if (OnSessionClosed) {
        TFtpSessionEvent handler = OnSessionClosed;
        handler(this, error);
    }
    if (!aborting)
        SetState(fsInternalReady);
    if (m_RequestDone) {
        if (!aborting)
            SetState(fsReady);
        return;
    }
    // A request still waiting for its reply has failed, unless this close is
    // the one that follows an accepted QUIT.
    if (m_RequestResult == 0 && !m_ClosingAfterQuit) {
        if (aborting) {
            FailRequest(426, "426 Operation aborted.");
        } else if (error != 0) {
            SetSocketFailure(error, "The connection to " + Where() +
                                        " was lost: " + LowerFirst(SocketErrorText(error)));
        } else {
            m_LastResponse = "500 Connection closed by the server";
            m_StatusCode = 500;
            FailRequest(500, m_LastResponse);
        }
    }
    Completion(m_RequestResult);
}

// ------------------------------------------------------------------ abort

void TCustomFtpClient::AbortEverything() {
    SetState(fsAbort);
    ReleaseFile();
    m_ControlSocket->CancelDnsLookup();
    CloseDataConnection();
    m_ControlSocket->Close(); // a running request completes with 426
    m_Connected = false;
    if (!m_RequestDone) {
        // Lookup or connect still under way: no close event to finish it.
        FailRequest(426, "426 Operation aborted.");
        Completion(m_RequestResult);
    }
    SetState(fsReady);
}

bool TCustomFtpClient::AbortSession() {
    AbortEverything();
    m_InAbortWait = true;
    m_AbortDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_Timeout);
    while (m_State != fsReady && !QCoreApplication::closingDown() &&
           std::chrono::steady_clock::now() < m_AbortDeadline) {
        // Let pending events run, then give the processor up for a moment.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_InAbortWait = false;
    if (m_State != fsReady && !QCoreApplication::closingDown()) {
        AbortEverything();
        m_ErrorMessage = "426 Timeout";
        m_StatusCode = 426;
        m_RequestResult = 426;
        return false;
    }
    return m_RequestResult == 0;
}
