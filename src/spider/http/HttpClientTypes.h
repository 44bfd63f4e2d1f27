#pragma once

// Enumerations, option sets and event types of the HTTP client component.

#include "HttpDate.h"

#include <cstdint>
#include <functional>
#include <string>

class TCustomHttpClient;
class TStream;

enum THttpClientRequestMethod { rmAutoDetect, rmGET, rmPOST };

enum THttpClientAccessType { atPreconfig, atDirect, atUseProxy };

enum TInternetOption {
    ioIgnoreCertificateInvalid,
    ioIgnoreCertificateDateInvalid,
    ioIgnoreRedirectToHTTP,
    ioIgnoreRedirectToHTTPS,
    ioKeepConnection,
    ioNoAuthentication,
    ioNoAutoRedirect,
    ioNoCookies,
};
// A set of TInternetOption: bit n stands for the value n.
using TInternetOptions = unsigned;

enum TCacheOption {
    coAlwaysReload,
    coReloadIfNoExpireInformation,
    coReloadUpdatedObjects,
    coPragmaNoCache,
    coNoCacheWrite,
    coCreateTempFilesIfCantCache,
    coUseCacheIfNetFail,
};
// A set of TCacheOption: bit n stands for the value n.
using TCacheOptions = unsigned;

template <typename E> constexpr unsigned SetOf(E value) {
    return 1u << static_cast<unsigned>(value);
}
template <typename E, typename... More> constexpr unsigned SetOf(E value, More... more) {
    return SetOf(value) | SetOf(more...);
}
template <typename E> constexpr bool InSet(unsigned set, E value) {
    return (set & SetOf(value)) != 0;
}

using TNotifyEvent = std::function<void(TCustomHttpClient* Sender)>;

using THttpClientHeaderInfoEvent =
    std::function<void(TCustomHttpClient* Sender, int ErrorCode, const std::string& RawHeadersCRLF,
                       const std::string& ContentType, const std::string& ContentLanguage,
                       const std::string& ContentEncoding, std::int64_t ContentLength,
                       const std::string& Location, TDateTime Date, TDateTime LastModified,
                       TDateTime Expires, const std::string& ETag, bool& ContinueDownload)>;

// What the last answer's header said, kept with the transfer.
struct THttpHeaderInfo {
    bool Valid = false; // a final answer's header was read
    int ErrorCode = 0;
    std::string RawHeadersCRLF, ContentType, ContentLanguage, ContentEncoding;
    std::int64_t ContentLength = 0;
    std::string Location;
    TDateTime Date = 0, LastModified = 0, Expires = 0;
    std::string ETag;
};

// Decides on the engine's thread, from an answer's status and content type,
// whether its body is read. It runs while the user-interface thread does
// other work, so it must not touch anything but what it holds itself.
using THttpClientHeaderFilter = std::function<bool(int ErrorCode, const std::string& ContentType)>;

using THttpClientDoneEvent =
    std::function<void(TCustomHttpClient* Sender, const std::string& ContentType,
                       std::int64_t FileSize, TStream* Stream)>;

using THttpClientProgressEvent = std::function<void(
    TCustomHttpClient* Sender, const std::string& ContentType, std::int64_t DataSize,
    std::int64_t BytesRead, std::int64_t ElapsedTime, std::int64_t EstimatedTimeLeft,
    std::uint8_t PercentsDone, float TransferRate, TStream* Stream)>;

using THttpClientRedirected =
    std::function<void(TCustomHttpClient* Sender, const std::string& NewURL)>;

// Declared for the upload mode, which this program never starts.
using THttpClientUploadProgressEvent = std::function<void(
    TCustomHttpClient* Sender, std::int64_t DataSize, std::int64_t BytesTransferred,
    std::int64_t ElapsedTime, std::int64_t EstimatedTimeLeft, std::uint8_t PercentsDone,
    float TransferRate)>;
using THttpClientUploadFieldRequest =
    std::function<void(TCustomHttpClient* Sender, int FileIndex, TStream* UploadStream,
                       std::string& FieldName, std::string& FileName)>;

using THttpClientConnLostEvent =
    std::function<void(TCustomHttpClient* Sender, const std::string& ContentType,
                       std::int64_t FileSize, std::int64_t BytesRead, TStream* Stream)>;

using THttpClientErrorEvent =
    std::function<void(TCustomHttpClient* Sender, int ErrorCode, TStream* Stream)>;

using THttpClientPasswordRequestEvent =
    std::function<void(TCustomHttpClient* Sender, const std::string& Realm, bool& TryAgain)>;

using THttpClientProxyAuthenticationEvent =
    std::function<void(TCustomHttpClient* Sender, std::string& ProxyUsername,
                       std::string& ProxyPassword, bool& TryAgain)>;

using TWorkerThreadWaitTimeoutExpired =
    std::function<void(TCustomHttpClient* Sender, bool& TerminateThread)>;
