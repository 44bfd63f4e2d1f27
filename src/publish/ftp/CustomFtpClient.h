#pragma once

// Event-driven FTP client: each request starts and returns at once, the
// client then follows socket events and server replies through the event
// loop, and the end of the request is reported by OnRequestDone, posted so
// that a handler may start the next request straight away.

#include "AsyncSocket.h"
#include "FtpReplyReader.h"
#include "FtpTypes.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// A server certificate the client refused, as the upload shows it.
using TFtpCertificateInfo = TCertificateInfo;

class TCustomFtpClient : public QObject {
  public:
    explicit TCustomFtpClient(QObject* parent = nullptr);
    ~TCustomFtpClient() override;
    TCustomFtpClient(const TCustomFtpClient&) = delete;
    TCustomFtpClient& operator=(const TCustomFtpClient&) = delete;

    // Published properties.
    int Timeout() const { return m_Timeout; }
    void SetTimeout(int seconds) { m_Timeout = seconds; }
    bool MultiThreaded() const { return m_MultiThreaded; }
    void SetMultiThreaded(bool value) { m_MultiThreaded = value; }
    const std::string& HostName() const { return m_HostName; }
    void SetHostName(const std::string& value) { m_HostName = value; }
    const std::string& Port() const { return m_Port; }
    void SetPort(const std::string& value) { m_Port = value; }
    const std::string& UserName() const { return m_UserName; }
    void SetUserName(const std::string& value) { m_UserName = value; }
    const std::string& PassWord() const { return m_PassWord; }
    void SetPassWord(const std::string& value) { m_PassWord = value; }
    const std::string& HostDirName() const { return m_HostDirName; }
    void SetHostDirName(const std::string& value) { m_HostDirName = value; }
    const std::string& HostFileName() const { return m_HostFileName; }
    void SetHostFileName(const std::string& value) { m_HostFileName = value; }
    const std::string& LocalFileName() const { return m_LocalFileName; }
    void SetLocalFileName(const std::string& value) { m_LocalFileName = value; }
    bool DisplayFileFlag() const { return m_DisplayFileFlag; }
    void SetDisplayFileFlag(bool value) { m_DisplayFileFlag = value; }
    bool Binary() const { return m_Binary; }
    void SetBinary(bool value) { m_Binary = value; }
    // Text of the first error since the last sequence (Connect, Put) began.
    const std::string& ErrorMessage() const { return m_ErrorMessage; }
    TFtpShareMode ShareMode() const { return m_ShareMode; }
    void SetShareMode(TFtpShareMode value) { m_ShareMode = value; }
    TFtpOptions Options() const { return m_Options; }
    void SetOptions(TFtpOptions value) { m_Options = value; }
    TFtpConnectionType ConnectionType() const { return m_ConnectionType; }
    void SetConnectionType(TFtpConnectionType value);
    const std::string& ProxyServer() const { return m_ProxyServer; }
    void SetProxyServer(const std::string& value) { m_ProxyServer = value; }
    const std::string& SocksServer() const { return m_SocksServer; }
    void SetSocksServer(const std::string& value) { m_SocksServer = value; }
    const std::string& SocksPort() const { return m_SocksPort; }
    void SetSocksPort(const std::string& value) { m_SocksPort = value; }
    const std::string& SocksUserCode() const { return m_SocksUserCode; }
    void SetSocksUserCode(const std::string& value) { m_SocksUserCode = value; }
    const std::string& SocksPassword() const { return m_SocksPassword; }
    void SetSocksPassword(const std::string& value) { m_SocksPassword = value; }
    bool Passive() const { return m_Passive; }
    void SetPassive(bool value);
    // TLS for the session; a server that refuses it ends the connect, and
    // nothing is ever sent in clear instead.
    TFtpTlsMode TlsMode() const { return m_TlsMode; }
    void SetTlsMode(TFtpTlsMode value);
    // SHA-256 fingerprints of certificates taken although no trusted
    // authority vouches for them (the person chose to trust them).
    const std::vector<std::string>& TrustedCertificates() const { return m_TrustedCertificates; }
    void SetTrustedCertificates(std::vector<std::string> value) {
        m_TrustedCertificates = std::move(value);
    }
    // Ask FEAT before logging in to a plain-FTP server (see ServerOffersTls).
    bool AskFeatures() const { return m_AskFeatures; }
    void SetAskFeatures(bool value) { m_AskFeatures = value; }

    // Run-time state.
    TFtpState State() const { return m_State; }
    bool Connected() const { return m_Connected; }
    TFtpRequest RequestType() const { return m_RequestType; }
    const std::string& LastResponse() const { return m_LastResponse; }
    int StatusCode() const { return m_StatusCode; }
    int RequestResult() const { return m_RequestResult; }
    const std::string& DirResult() const { return m_DirResult; }
    const std::string& PasvResponse() const { return m_PasvResponse; }
    std::int64_t ByteCount() const { return m_ByteCount; }
    TAsyncSocket& ControlSocket() { return *m_ControlSocket; }
    TAsyncSocket& DataSocket() { return *m_DataSocket; }
    // The FEAT reply of the last connect named AUTH TLS.
    bool ServerOffersTls() const { return m_ServerOffersTls; }
    // Set when the last connect failed because the server's certificate is
    // not trusted: what it was, for the question whether to trust it.
    bool CertificateRefused() const { return m_CertificateRefused; }
    const TFtpCertificateInfo& RefusedCertificate() const { return m_RefusedCertificate; }
    // The folder listing of the last List request (at most MaxListing bytes).
    const std::string& Listing() const { return m_Listing; }
    static constexpr size_t MaxListing = 1024 * 1024;

    // Stops everything and closes both connections, waiting at most Timeout
    // seconds for the client to settle. True when it ends idle without error.
    bool AbortSession();
    // The control connection is not closed.
    bool ControlConnectionOpen() const;

    TFtpDisplay OnDisplay;
    TFtpDisplay OnDisplayFile;
    TFtpCommand OnCommand;
    TFtpNotifyEvent OnResponse;
    TFtpProgress OnProgress;
    TFtpSessionEvent OnSessionConnected;
    TFtpSessionEvent OnSessionClosed;
    TFtpRequestDone OnRequestDone;
    TFtpNotifyEvent OnStateChange;
    TFtpReadyToTransmit OnReadyToTransmit;
    TFtpBgException OnBgException;

    static constexpr int SendBlockSize = 1514;
    // Under TLS a block fills whole records, so each is sealed once.
    static constexpr int TlsSendBlockSize = 64 * 1024;

  protected:
    // Steps of a sequence, in the order they run.
    enum TFtpStep : unsigned {
        stOpen = 1u << 0,
        stUser = 1u << 1,
        stPass = 1u << 2,
        stCwd = 1u << 3,
        stTypeSet = 1u << 4,
        stPort = 1u << 5,
        stPut = 1u << 6,
        stMkd = 1u << 7,
        stPwd = 1u << 8,
        stQuit = 1u << 9,
        stFeat = 1u << 10,
        stAuth = 1u << 11,
        stPbsz = 1u << 12,
        stProt = 1u << 13,
        stList = 1u << 14,
    };
    static constexpr TFtpStep StepOrder[] = {stOpen, stFeat, stAuth, stPbsz,    stProt,
                                             stUser, stPass, stCwd,  stTypeSet, stPort,
                                             stPut,  stList, stMkd,  stPwd,     stQuit};

    // Starts a sequence of steps reported once, as rq, at its end.
    void HighLevelAsync(TFtpRequest rq, unsigned steps);
    // Single-step requests, reported under their own kind.
    void CwdAsync();
    void PwdAsync();
    void TypeSetAsync();
    void MkdAsync();
    void QuitAsync();
    void CheckReady() const;

  private:
    using TReplyHandler = void (TCustomFtpClient::*)();

    void SetState(TFtpState state);
    void Display(const std::string& msg);
    void TriggerNotify(const TFtpNotifyEvent& ev);
    void SetErrorOnce(const std::string& line);
    static int FailureCode(int code);
    void FailRequest(int code, const std::string& line);
    void SetSocketFailure(int error, const std::string& text);

    // Request mechanism.
    void ExecAsync(TFtpRequest rq, const std::string& cmd, std::initializer_list<int> codes,
                   TReplyHandler handler);
    void StartCommand(TFtpRequest rq, const std::string& cmd, std::initializer_list<int> codes,
                      TReplyHandler handler);
    void SendCommand(std::string cmd);
    unsigned NextStep() const;
    bool RunNextStep();
    void StartStep(unsigned step);
    void Completion(int error);
    void PostRequestDone(TFtpRequest rq, int error);
    bool Accepted(int code) const;

    // Replies.
    void ControlDataAvailable();
    void HandleReplyLine(const std::string& line);
    void EvaluateReply();
    void GenericReply();
    void QuitReply();
    void StorReply();
    void FeatReply();
    void AuthReply();
    void ListReply();

    // TLS.
    QSslConfiguration TlsConfiguration() const;
    void StartControlTls();
    void ControlTlsDone(int error);
    void FailTls(const std::string& what, TAsyncSocket& socket);
    bool DataProtected() const;
    void StartDataTls();
    void StartDeferredDataTls();
    void DataTlsDone(int error);
    void DataReadyForTransfer();
    std::string Where() const;
    std::string ConnectFailureText(int error) const;
    void ReplyTooLong();

    // Control connection.
    void StepOpen();
    void ControlDnsLookupDone(int error);
    void ControlSessionConnected(int error);
    void ControlSessionClosed(int error);
    void AbortEverything();

    // Upload.
    void StepPort();
    void StepStor();
    bool OpenLocalFile();
    std::int64_t ReadBlock();
    void ReleaseFile();
    void FailLocal(const std::string& msg);
    void EndTransferEarly(const std::string& msg);
    void CloseDataConnection();
    void BindDataEvents();
    void DataPutSessionConnected(int error);
    void DataPutSessionAvailable();
    void DataPutSessionClosed(int error);
    void DataListAvailable();
    void StepList();
    void OpenDataConnection();
    std::string TransferCommand() const;
    void PostStartSending();
    void StartSending();
    void SendNextBlock();
    void CheckTransferComplete();

    TAsyncSocket* m_ControlSocket;
    TAsyncSocket* m_DataSocket;

    int m_Timeout = 15;
    bool m_MultiThreaded = false;
    std::string m_HostName;
    std::string m_Port = "ftp";
    std::string m_UserName;
    std::string m_PassWord;
    std::string m_HostDirName;
    std::string m_HostFileName;
    std::string m_LocalFileName;
    bool m_DisplayFileFlag = false;
    bool m_Binary = true;
    std::string m_ErrorMessage;
    TFtpShareMode m_ShareMode = ftpShareExclusive;
    TFtpOptions m_Options = ftpAcceptLF;
    TFtpConnectionType m_ConnectionType = ftpDirect;
    std::string m_ProxyServer;
    std::string m_SocksServer;
    std::string m_SocksPort;
    std::string m_SocksUserCode;
    std::string m_SocksPassword;
    bool m_Passive = false;
    TFtpTlsMode m_TlsMode = ftpTlsNone;
    std::vector<std::string> m_TrustedCertificates;
    bool m_AskFeatures = false;
    bool m_ServerOffersTls = false;
    bool m_CertificateRefused = false;
    TFtpCertificateInfo m_RefusedCertificate;
    bool m_ImplicitHandshake = false;
    bool m_DataTlsWaiting = false;    // accepted, the handshake waits for 150
    std::string m_ControlFingerprint; // the certificate the control connection took
    bool m_ListMode = false;          // the data connection receives a listing
    std::string m_Listing;

    TFtpState m_State = fsReady;
    bool m_Connected = false;
    TFtpRequest m_RequestType = rqNone;
    TFtpRequest m_CommandKind = rqNone; // the command or step now running
    bool m_Sequence = false;
    unsigned m_Steps = 0;
    unsigned m_LastStep = 0;
    bool m_RequestDone = true;
    bool m_QuitRan = false;
    bool m_ClosingAfterQuit = false;
    std::string m_LastResponseBeforeQuit;
    int m_StatusCodeBeforeQuit = 0;
    std::string m_LastResponse;
    int m_StatusCode = 0;
    int m_RequestResult = 0;
    std::vector<int> m_AcceptedCodes;
    TReplyHandler m_Next = nullptr;
    std::string m_PasvResponse;
    std::string m_DirResult;
    TFtpReplyReader m_Reader;

    // Upload state.
    int m_FileFd = -1;
    std::int64_t m_ByteCount = 0;
    std::int64_t m_RestartPos = 0;
    bool m_TransferReplyReceived = false;
    bool m_DataReady = false;
    bool m_Server150 = false;
    bool m_DataClosed = false;
    bool m_EndOfFile = false;
    bool m_StartPosted = false;
    int m_DataCloseError = 0;
    int m_TransferError = 0; // set when this side cut the transfer short
    unsigned m_TransferId = 0;
    std::chrono::steady_clock::time_point m_StartTick;
    std::chrono::steady_clock::time_point m_EndTick;
    std::vector<char> m_SendBlock = std::vector<char>(TlsSendBlockSize);
    static constexpr size_t ReadAheadSize = 64 * 1024;
    std::vector<char> m_ReadAhead;
    size_t m_ReadAheadPos = 0;

    bool m_InAbortWait = false;
    std::chrono::steady_clock::time_point m_AbortDeadline;
};
