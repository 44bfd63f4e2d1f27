// The transfer path of TCustomFtpClient: PORT or PASV, the data connection
// (under TLS when the data is protected), STOR and the paced sending of the
// local file, or LIST and the receiving of the listing.

#include "CustomFtpClient.h"

#include "FtpException.h"

#include <QHostAddress>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long long MillisecondsBetween(std::chrono::steady_clock::time_point from,
                              std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

} // namespace

void TCustomFtpClient::CloseDataConnection() {
    m_DataSocket->ClearEvents();
    m_DataSocket->Close();
}

void TCustomFtpClient::BindDataEvents() {
    m_DataSocket->OnDataSent = [this](int) { SendNextBlock(); };
    m_DataSocket->OnSessionClosed = [this](int error) { DataPutSessionClosed(error); };
    m_DataSocket->OnDataAvailable = [this](int) {
        if (m_ListMode) {
            DataListAvailable();
            return;
        }
        // Nothing is expected from the server here; drop whatever comes.
        char sink[512];
        while (m_DataSocket->Receive(sink, sizeof sink) > 0) {
        }
    };
}

void TCustomFtpClient::StepPort() {
    CheckReady();
    if (!m_Connected)
        throw FtpException("FTP component not connected");
    CloseDataConnection();
    // Built as temporaries and moved in: assigning the literals directly
    // trips a false -Wrestrict warning of GCC 12 at -O3.
    m_DataSocket->Proto = std::string("tcp");
    m_DataSocket->Addr = std::string("0.0.0.0");
    m_DataSocket->Port = std::string("0");
    m_ByteCount = 0;
    // The transfer starts here: in active mode the server may connect as
    // soon as it has the PORT command, before STOR is even sent.
    m_TransferReplyReceived = false;
    m_DataReady = false;
    m_Server150 = false;
    m_DataClosed = false;
    m_EndOfFile = false;
    m_StartPosted = false;
    m_DataCloseError = 0;
    m_TransferError = 0;
    m_StartTick = {};
    m_ListMode = (m_Steps & stList) != 0;
    m_DataTlsWaiting = false;
    ++m_TransferId;
    if (m_Passive) {
        m_PasvResponse.clear(); // never the port of an earlier transfer
        ExecAsync(rqPort, "PASV", {200, 227}, &TCustomFtpClient::GenericReply);
        return;
    }
    m_DataSocket->Listen();
    m_DataSocket->SetLinger(true, 10);
    m_DataSocket->OnSessionAvailable = [this](int) { DataPutSessionAvailable(); };
    BindDataEvents();
    const int port = m_DataSocket->LocalPort();
    std::string cmd;
    if (m_ControlSocket->PeerAddr() == "127.0.0.1") {
        cmd = "PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256);
    } else {
        const quint32 a =
            QHostAddress(QString::fromStdString(m_ControlSocket->LocalAddr())).toIPv4Address();
        cmd = "PORT " + std::to_string((a >> 24) & 255) + "," + std::to_string((a >> 16) & 255) +
              "," + std::to_string((a >> 8) & 255) + "," + std::to_string(a & 255) + "," +
              std::to_string(port / 256) + "," + std::to_string(port % 256);
    }
    ExecAsync(rqPort, cmd, {200, 227}, &TCustomFtpClient::GenericReply);
}

bool TCustomFtpClient::OpenLocalFile() {
    ReleaseFile();
    // No file locks on this platform: ShareMode cannot be honoured, and the
    // file is only ever read.
    int fd;
    do {
        fd = ::open(m_LocalFileName.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        (m_RestartPos > 0 && ::lseek(fd, off_t(m_RestartPos), SEEK_SET) < 0)) {
        ::close(fd);
        return false;
    }
    m_FileFd = fd;
    return true;
}

void TCustomFtpClient::ReleaseFile() {
    if (m_FileFd >= 0)
        ::close(m_FileFd);
    m_FileFd = -1;
    m_ReadAhead.clear();
    m_ReadAheadPos = 0;
}

// The next block of at most SendBlockSize bytes into m_SendBlock: its size,
// 0 at the end of the file, -1 on a read error. The file is read ahead in
// larger pieces to spare a system call per block; it is never held whole.
std::int64_t TCustomFtpClient::ReadBlock() {
    if (m_ReadAheadPos >= m_ReadAhead.size()) {
        m_ReadAhead.resize(ReadAheadSize);
        ssize_t n;
        do {
            n = ::read(m_FileFd, m_ReadAhead.data(), m_ReadAhead.size());
        } while (n < 0 && errno == EINTR);
        m_ReadAhead.resize(n > 0 ? size_t(n) : 0);
        m_ReadAheadPos = 0;
        if (n <= 0)
            return n < 0 ? -1 : 0;
    }
    const size_t block = size_t(DataProtected() ? TlsSendBlockSize : SendBlockSize);
    const size_t take = std::min<size_t>(block, m_ReadAhead.size() - m_ReadAheadPos);
    std::memcpy(m_SendBlock.data(), m_ReadAhead.data() + m_ReadAheadPos, take);
    m_ReadAheadPos += take;
    return std::int64_t(take);
}

// A local reason ends the request before any STOR: shown, code 426.
void TCustomFtpClient::FailLocal(const std::string& msg) {
    m_StatusCode = 426;
    FailRequest(426, msg);
    Display("! " + msg);
    ReleaseFile();
    Completion(426);
}

void TCustomFtpClient::StepStor() {
    if (!m_Connected)
        throw FtpException("STOR/APPE: not connected");
    if (m_LocalFileName.empty())
        throw FtpException("LocalFileName empty");
    if (!m_Sequence)
        m_RequestType = rqPut;
    m_CommandKind = rqPut;
    m_RequestDone = false;
    m_RequestResult = 0;

    if (OnReadyToTransmit) {
        bool cancel = false;
        TFtpReadyToTransmit handler = OnReadyToTransmit;
        handler(this, cancel);
        if (cancel) {
            FailLocal("426 Transmit cancelled by application");
            return;
        }
    }
    if (!OpenLocalFile()) {
        FailLocal("426 Unable to open local file " + m_LocalFileName);
        return;
    }
    OpenDataConnection();
}

void TCustomFtpClient::StepList() {
    if (!m_Connected)
        throw FtpException("LIST: not connected");
    if (!m_Sequence)
        m_RequestType = rqDir;
    m_CommandKind = rqDir;
    m_RequestDone = false;
    m_RequestResult = 0;
    m_Listing.clear();
    m_EndOfFile = true; // nothing to send: the server's close ends the listing
    OpenDataConnection();
}

std::string TCustomFtpClient::TransferCommand() const {
    return m_ListMode ? std::string("LIST") : "STOR " + m_HostFileName;
}

void TCustomFtpClient::DataListAvailable() {
    char buf[16384];
    std::int64_t n;
    while ((n = m_DataSocket->Receive(buf, sizeof buf)) > 0) {
        m_ByteCount += n;
        const size_t room = MaxListing - std::min(MaxListing, m_Listing.size());
        m_Listing.append(buf, std::min<size_t>(room, size_t(n)));
    }
}

void TCustomFtpClient::OpenDataConnection() {
    if (!m_Passive) {
        StartCommand(m_CommandKind, TransferCommand(), {150, 125}, &TCustomFtpClient::StorReply);
        return;
    }
    // The data connection goes to the control connection's peer; the address
    // inside the 227 reply is not trusted.
    int port = 0;
    ParsePasvPort(m_PasvResponse, port);
    m_DataSocket->Addr = m_ControlSocket->PeerAddr();
    m_DataSocket->Port = std::to_string(port);
    BindDataEvents();
    m_DataSocket->OnSessionConnected = [this](int error) { DataPutSessionConnected(error); };
    try {
        m_DataSocket->Connect();
        m_DataSocket->SetLinger(false, 0);
    } catch (const ESocketException& e) {
        m_LastResponse = std::string("426 ESocketException: ") + e.what();
        m_StatusCode = 426;
        FailRequest(426, m_LastResponse);
        CloseDataConnection();
        ReleaseFile();
        Completion(426);
    }
}

// Under TLS the data connection resumes the control connection's session and
// takes the certificate the control connection took.
void TCustomFtpClient::StartDataTls() {
    std::vector<std::string> accepted = m_TrustedCertificates;
    if (!m_ControlFingerprint.empty())
        accepted.push_back(m_ControlFingerprint);
    m_DataSocket->OnTlsDone = [this](int error) { DataTlsDone(error); };
    try {
        m_DataSocket->StartTls(m_ControlSocket->TlsConfiguration(), m_HostName, accepted);
    } catch (const ESocketException& e) {
        m_LastResponse = std::string("426 TLS on the data connection: ") + e.what();
        m_StatusCode = 426;
        FailRequest(426, m_LastResponse);
        CloseDataConnection();
        ReleaseFile();
        Completion(426);
    }
}

void TCustomFtpClient::DataPutSessionConnected(int error) {
    if (error != 0) {
        m_LastResponse = "Unable to establish data connection, error #" + std::to_string(error);
        m_StatusCode = 550;
        FailRequest(550, m_LastResponse);
        CloseDataConnection();
        ReleaseFile();
        Completion(550);
        return;
    }
    m_StartTick = std::chrono::steady_clock::now();
    if (DataProtected()) {
        // Many servers begin their side of the handshake only once they have
        // the command, so the command goes out while the handshake runs.
        StartDataTls();
        if (m_RequestDone)
            return;
    } else {
        m_DataReady = true;
    }
    StartCommand(m_CommandKind, TransferCommand(), {150, 125}, &TCustomFtpClient::StorReply);
}

void TCustomFtpClient::StartDeferredDataTls() {
    m_DataTlsWaiting = false;
    StartDataTls();
}

void TCustomFtpClient::DataTlsDone(int error) {
    if (m_RequestDone)
        return;
    if (error != 0) {
        FailTls("data connection", *m_DataSocket);
        CloseDataConnection();
        ReleaseFile();
        Completion(m_RequestResult);
        return;
    }
    DataReadyForTransfer();
}

void TCustomFtpClient::DataReadyForTransfer() {
    m_DataReady = true;
    if (m_Server150)
        PostStartSending();
}

void TCustomFtpClient::DataPutSessionAvailable() {
    try {
        m_DataSocket->TakeOverPendingConnection();
        int size = 0;
        if (!m_DataSocket->ReadSendBufferSize(size))
            throw FtpException("winsock.getsockopt(SO_SNDBUF) failed");
    } catch (const std::exception& e) {
        m_LastResponse =
            std::string(dynamic_cast<const FtpException*>(&e) ? "426 FtpException: "
                                                              : "426 ESocketException: ") +
            e.what();
        m_StatusCode = 426;
        FailRequest(426, m_LastResponse);
        CloseDataConnection();
        ReleaseFile();
        Completion(426);
        return;
    }
    m_DataSocket->SetLinger(false, 10);
    if (DataProtected()) {
        // The server may begin its side of the handshake only once it has
        // answered the command: the handshake waits for that answer.
        m_DataTlsWaiting = true;
        if (m_Server150)
            StartDeferredDataTls();
        return;
    }
    DataReadyForTransfer();
}

void TCustomFtpClient::StorReply() {
    Display("< " + m_LastResponse);
    const int code = ParseReplyCode(m_LastResponse);
    m_StatusCode = code;
    if (!m_Server150) {
        if (code == 150 || code == 125) {
            m_Server150 = true;
            m_AcceptedCodes = {226, 250};
            if (m_DataTlsWaiting)
                StartDeferredDataTls();
            else if (m_Passive && m_DataReady)
                StartSending();
            else if (m_DataReady)
                PostStartSending();
            return;
        }
        m_RequestResult = FailureCode(code);
        SetErrorOnce(m_LastResponse);
        CloseDataConnection();
        ReleaseFile();
        m_RestartPos = 0;
        Completion(m_RequestResult);
        return;
    }
    if (code == 226 || code == 250) {
        m_TransferReplyReceived = true;
        CheckTransferComplete();
        return;
    }
    Display("! STOR Failed");
    CloseDataConnection();
    ReleaseFile();
    m_RequestResult = FailureCode(code);
    SetErrorOnce(m_LastResponse);
    Completion(m_RequestResult);
}

// In active mode the reply and the server's connection may come in either
// order; whichever comes last posts the start, so it runs once.
void TCustomFtpClient::PostStartSending() {
    if (m_StartPosted)
        return;
    m_StartPosted = true;
    const unsigned id = m_TransferId;
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            if (id == m_TransferId && !m_RequestDone)
                StartSending();
        },
        Qt::QueuedConnection);
}

void TCustomFtpClient::StartSending() {
    if (!m_Passive)
        m_StartTick = std::chrono::steady_clock::now();
    SendNextBlock();
}

void TCustomFtpClient::EndTransferEarly(const std::string& msg) {
    Display("! " + msg);
    if (m_TransferError == 0)
        m_TransferError = 426;
    SetErrorOnce("426 " + msg);
    m_DataSocket->Close();
}

// One block in flight at a time: the next is read when the last has gone.
void TCustomFtpClient::SendNextBlock() {
    if (m_FileFd < 0 || m_EndOfFile || m_DataSocket->State() != wsConnected)
        return;
    if (OnProgress) {
        bool abort = false;
        TFtpProgress handler = OnProgress;
        handler(this, m_ByteCount + m_RestartPos, abort);
        if (m_InAbortWait)
            m_AbortDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(m_Timeout);
        if (abort) {
            EndTransferEarly("Abort requested");
            return;
        }
        if (m_FileFd < 0 || m_DataSocket->State() != wsConnected)
            return; // the handler aborted the session
    }
    const std::int64_t n = ReadBlock();
    if (n < 0) {
        EndTransferEarly("Error reading file");
        return;
    }
    if (n == 0) {
        m_EndOfFile = true;
        m_DataSocket->Close();
        return;
    }
    m_ByteCount += n;
    if (m_DataSocket->Send(m_SendBlock.data(), n) < 0)
        EndTransferEarly("Error #" + std::to_string(ENOTCONN) + " sending data");
}

void TCustomFtpClient::DataPutSessionClosed(int error) {
    if (m_DataClosed)
        return;
    m_DataClosed = true;
    m_DataCloseError = error;
    m_EndTick = std::chrono::steady_clock::now();
    if (!m_EndOfFile && m_TransferError == 0) {
        // The server hung up before the whole file was sent.
        m_TransferError = 426;
        SetErrorOnce("426 Data connection closed before the end of the file");
    }
    ReleaseFile();
    CheckTransferComplete();
}

// Complete once both the final reply and the close of the data connection
// have happened, in either order.
void TCustomFtpClient::CheckTransferComplete() {
    if (!m_TransferReplyReceived || !m_DataClosed)
        return;
    ReleaseFile();
    const long long ms = m_StartTick.time_since_epoch().count() == 0
                             ? 0
                             : std::max<long long>(0, MillisecondsBetween(m_StartTick, m_EndTick));
    Display(FormatTransferStatistics(m_ByteCount, ms));
    m_RestartPos = 0;
    int result = m_TransferError;
    if (result == 0 && m_DataCloseError != 0) {
        result = m_DataCloseError;
        SetErrorOnce("500 " + SocketErrorText(m_DataCloseError) + " (socket error #" +
                     std::to_string(m_DataCloseError) + ")");
    }
    if (result != 0 && m_RequestResult == 0)
        m_RequestResult = result;
    Completion(result);
}
