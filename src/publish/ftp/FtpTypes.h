#pragma once

// Enumerations and event types of the FTP client component.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

class TCustomFtpClient;

enum TFtpState {
    fsNotConnected,
    fsReady,         // idle: a request may start
    fsInternalReady, // between two steps of a sequence: the next step may start
    fsDnsLookup,
    fsWaitingBanner,
    fsConnected, // greeting received
    fsWaitingResponse,
    fsAbort,
};

// Request kinds reported by OnRequestDone. Only the requests this program
// starts are built; the others keep their place so the values stay stable.
enum TFtpRequest {
    rqNone,
    rqOpen,
    rqUser,
    rqPass,
    rqCwd,
    rqGet,
    rqDir,
    rqConnect,
    rqAbort,
    rqQuit,
    rqCDup,
    rqLs,
    rqPort,
    rqTypeSet,
    rqPut,
    rqAppend,
    rqRest,
    rqSize,
    rqRenameFrom,
    rqRenameTo,
    rqRename,
    rqDele,
    rqMkd,
    rqRmd,
    rqSyst,
    rqPwd,
    rqQuote,
    rqFeat,
    rqAuth,
    rqPbsz,
    rqProt,
};

enum TFtpShareMode {
    ftpShareCompat = 0,
    ftpShareExclusive = 16,
    ftpShareDenyWrite = 32,
    ftpShareDenyRead = 48,
    ftpShareDenyNone = 64,
};

enum TFtpOption { ftpAcceptLF = 1, ftpNoAutoResumeAt = 2 };
// A set of TFtpOption values.
using TFtpOptions = unsigned;

// How TLS protects a session: not at all; the control connection after
// AUTH TLS (data in clear, PROT C); control and data after AUTH TLS (PROT P);
// or both from the first byte (implicit, PROT P).
enum TFtpTlsMode { ftpTlsNone, ftpTlsControl, ftpTlsControlAndData, ftpTlsImplicit };

enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

using TFtpNotifyEvent = std::function<void(TCustomFtpClient* Sender)>;
using TFtpDisplay = std::function<void(TCustomFtpClient* Sender, std::string& Msg)>;
using TFtpCommand = std::function<void(TCustomFtpClient* Sender, std::string& Cmd)>;
using TFtpProgress = std::function<void(TCustomFtpClient* Sender, std::int64_t Count, bool& Abort)>;
using TFtpSessionEvent = std::function<void(TCustomFtpClient* Sender, int Error)>;
using TFtpRequestDone =
    std::function<void(TCustomFtpClient* Sender, TFtpRequest RqType, int Error)>;
using TFtpReadyToTransmit = std::function<void(TCustomFtpClient* Sender, bool& bCancel)>;
using TFtpBgException = std::function<void(TCustomFtpClient* Sender, const std::exception& E)>;
