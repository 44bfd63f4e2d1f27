#include "CustomFtpClient.h"

#include "AsyncSocket.h"
#include "FtpException.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {

std::string ExceptionClassName(const std::exception& e) {
    if (dynamic_cast<const FtpException*>(&e))
        return "FtpException";
    if (dynamic_cast<const ESocketException*>(&e))
        return "ESocketException";
    return "Exception";
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
    std::string text = msg;
    handler(this, text);
}

void TCustomFtpClient::SetErrorOnce(const std::string& line) {
    if (m_ErrorMessage.empty())
        m_ErrorMessage = line;
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

// A failure of the control connection: "500 <text> (socket error #<n>)".
void TCustomFtpClient::SetSocketFailure(int error, const std::string& text) {
    m_LastResponse = "500 " + text + " (socket error #" + std::to_string(error) + ")";
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
        SetSocketFailure(error, ResolverErrorText(error));
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
        SetSocketFailure(error, SocketErrorText(error));
        m_ControlSocket->Close();
        Completion(error);
        return;
    }
    m_Connected = true;
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
            SetSocketFailure(error, SocketErrorText(error));
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
