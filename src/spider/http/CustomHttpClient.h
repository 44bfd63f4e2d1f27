#pragma once

// The HTTP client component: one transfer at a time on the HTTP engine that
// all clients share, every step and outcome reported by events that run on
// the user-interface thread. A step whose event has an answer (the header,
// a password, progress with its stream) waits for its handler; the outcome
// is delivered after the transfer has ended. Exactly one of
// OnDone, OnConnLost, OnHostUnreachable, OnHTTPError, OnOutputFileError,
// OnDoneInterrupted or OnAborted ends every started transfer.

#include "HttpClientProxy.h"
#include "HttpClientRange.h"
#include "HttpClientTimeouts.h"
#include "HttpClientTypes.h"
#include "LoginComponent.h"
#include "WorkerThread.h"

#include <atomic>

#include <memory>
#include <string>
#include <vector>

class THttpCookieJar;
class THttpEngine;
class THttpTransfer;

class TCustomHttpClient : public TLoginComponent {
  public:
    TCustomHttpClient();
    // A running transfer is stopped without further events.
    ~TCustomHttpClient() override;
    TCustomHttpClient(const TCustomHttpClient&) = delete;
    TCustomHttpClient& operator=(const TCustomHttpClient&) = delete;

    static constexpr const char* DefaultAcceptTypes = "text/html, */*";
    static constexpr const char* DefaultAgent = "Tessaly HTTP Client/4.5";
    static constexpr TCacheOptions DefaultCacheOptions =
        SetOf(coReloadIfNoExpireInformation, coReloadUpdatedObjects, coCreateTempFilesIfCantCache);
    static constexpr TInternetOptions DefaultInternetOptions = SetOf(ioKeepConnection);
    // Redirects followed in one request before the last answer stands.
    static constexpr int MaxRedirects = 20;

    // Published properties. The settings are taken when a transfer starts;
    // changing them meanwhile affects the next transfer.
    const std::string& AcceptTypes() const { return m_AcceptTypes; }
    void SetAcceptTypes(const std::string& value) { m_AcceptTypes = value; }
    bool IsAcceptTypesStored() const { return m_AcceptTypes != DefaultAcceptTypes; }
    // Extra request header lines, one per entry.
    const std::vector<std::string>& AddHeaders() const { return m_AddHeaders; }
    void SetAddHeaders(const std::vector<std::string>& value) { m_AddHeaders = value; }
    // Empty sends no agent header.
    const std::string& Agent() const { return m_Agent; }
    void SetAgent(const std::string& value) { m_Agent = value; }
    THttpClientProxy& Proxy() { return m_Proxy; }
    const THttpClientProxy& Proxy() const { return m_Proxy; }
    void SetProxy(const THttpClientProxy* value) { m_Proxy.Assign(value); }
    const std::string& URL() const { return m_URL; }
    void SetURL(const std::string& value) { m_URL = value; }
    TCacheOptions CacheOptions() const { return m_CacheOptions; }
    void SetCacheOptions(TCacheOptions value) { m_CacheOptions = value; }
    TInternetOptions InternetOptions() const { return m_InternetOptions; }
    void SetInternetOptions(TInternetOptions value) { m_InternetOptions = value; }
    const std::string& OutputFileName() const { return m_OutputFileName; }
    void SetOutputFileName(const std::string& value) { m_OutputFileName = value; }
    // Files have no hidden or temporary attribute here; kept for the interface.
    bool HideOutputFile() const { return m_HideOutputFile; }
    void SetHideOutputFile(bool value) { m_HideOutputFile = value; }
    const std::string& POSTData() const { return m_POSTData; }
    void SetPOSTData(const std::string& value) { m_POSTData = value; }
    THttpClientRange& Range() { return m_Range; }
    const THttpClientRange& Range() const { return m_Range; }
    void SetRange(const THttpClientRange* value) { m_Range.Assign(value); }
    const std::string& Referer() const { return m_Referer; }
    void SetReferer(const std::string& value) { m_Referer = value; }
    THttpClientRequestMethod RequestMethod() const { return m_RequestMethod; }
    void SetRequestMethod(THttpClientRequestMethod value) { m_RequestMethod = value; }
    THttpClientTimeouts& Timeouts() { return m_Timeouts; }
    const THttpClientTimeouts& Timeouts() const { return m_Timeouts; }
    void SetTimeouts(const THttpClientTimeouts* value) { m_Timeouts.Assign(value); }
    // Kept for the interface: every transfer runs on the engine's thread,
    // which never preempts the user-interface thread.
    TThreadPriority ThreadPriority() const { return m_ThreadPriority; }
    void SetThreadPriority(TThreadPriority value) { m_ThreadPriority = value; }
    int TransferBufferSize() const { return m_TransferBufferSize; }
    // Kept within 255 to 2147483647.
    void SetTransferBufferSize(long long value);
    bool WaitThread() const { return m_WaitThread; }
    void SetWaitThread(bool value) { m_WaitThread = value; }
    unsigned WaitTimeout() const { return m_WaitTimeout; }
    void SetWaitTimeout(unsigned value) { m_WaitTimeout = value; }
    bool WorkOffline() const { return m_WorkOffline; }
    void SetWorkOffline(bool value) { m_WorkOffline = value; }
    // The most bytes of a body that are received; 0 takes every byte. A body
    // that goes on beyond it is cut there and the transfer ends as done, so
    // an endless answer cannot hold a transfer or its memory for ever.
    std::int64_t MaxBodySize() const { return m_MaxBodySize; }
    void SetMaxBodySize(std::int64_t value) { m_MaxBodySize = value < 0 ? 0 : value; }

    // The cookie jar the transfers share with others (every fetch of a
    // crawl uses one); without one, the client makes a jar of its own.
    const std::shared_ptr<THttpCookieJar>& CookieJar() const { return m_CookieJar; }
    void SetCookieJar(std::shared_ptr<THttpCookieJar> value) { m_CookieJar = std::move(value); }

    // Starts a transfer of URL; false, changing nothing, while one runs.
    // resumeFrom and rangeEnd (0: to the end) ask for a byte range. With
    // forceWait or WaitThread it returns when the transfer has ended, events
    // running meanwhile; false then means the wait ran out and the transfer
    // was killed.
    bool BeginDownload(unsigned long long resumeFrom = 0, unsigned long long rangeEnd = 0,
                       bool forceWait = false);
    // Stops the running transfer: at once on this thread when immediately is
    // set, otherwise at the engine's next turn. OnAborted is the only
    // outcome event that follows. Does nothing when no transfer runs.
    void CancelTransfer(bool deleteOutputFile, bool immediately);

    // A transfer was started and its outcome is not yet being reported.
    bool TransferActive() const { return m_TransferActive; }
    // The header of the last transfer's final answer, as far as it was read;
    // kept when HeaderFilter is set (see there), valid during the outcome
    // events and until the next transfer starts.
    const THttpHeaderInfo& HeaderInfo() const;
    // The last transfer succeeded (valid from its end on).
    bool Succeeded() const;
    // Why the last transfer failed, where that matters to the user (a
    // certificate refused); empty otherwise. Valid as HeaderInfo is.
    const std::string& FailureText() const;
    // Status of the last answer; -1 until one was read.
    int HTTPStatus() const;

    TNotifyEvent OnAborted;
    TNotifyEvent OnAnyError;
    THttpClientConnLostEvent OnConnLost;
    THttpClientDoneEvent OnDone;
    TNotifyEvent OnDoneInterrupted;
    THttpClientHeaderInfoEvent OnHeaderInfo;
    TNotifyEvent OnHostUnreachable;
    THttpClientErrorEvent OnHTTPError;
    TNotifyEvent OnOutputFileError;
    THttpClientPasswordRequestEvent OnPasswordRequest;
    THttpClientProgressEvent OnProgress;
    THttpClientProxyAuthenticationEvent OnProxyAuthenticationRequest;
    THttpClientRedirected OnRedirected;
    THttpClientUploadProgressEvent OnUploadProgress;
    THttpClientUploadFieldRequest OnUploadFieldRequest;
    TWorkerThreadWaitTimeoutExpired OnWaitTimeoutExpired;
    // Set instead of OnHeaderInfo, it takes the decision on the engine
    // without a trip to the user-interface thread: the header's values are
    // kept in HeaderInfo, which the outcome events can read.
    THttpClientHeaderFilter HeaderFilter;
    // Decides on the engine's thread whether a redirect to an address is
    // followed; without one, every redirect is (up to MaxRedirects). A
    // refused one ends the transfer with OnDoneInterrupted, HTTPStatus the
    // redirect's status and HeldRedirect its target. It must touch nothing
    // but what it holds itself, or guard it.
    std::function<bool(const std::string& url)> RedirectFilter;
    // The redirect target the last transfer's RedirectFilter refused; empty
    // when none was.
    const std::string& HeldRedirect() const;

  private:
    friend class THttpTransfer;

    // On the user-interface thread when the transfer has ended: a stop
    // carried out reports OnAborted; otherwise the outcome events.
    void TransferEnded(const std::shared_ptr<THttpTransfer>& transfer);
    void FinishTransfer(THttpTransfer& t);
    void ReportAnyError();
    // Waits while events run until the transfer has ended; false when the
    // wait ran out and the transfer was given up.
    bool Wait(const std::shared_ptr<THttpTransfer>& transfer);
    // True when the transfer was given up.
    bool WaitTimeoutExpired();
    // Back to idle after a stop, then OnAborted.
    void Aborted();
    // Calls a handler, dropping what it throws: a handler's error must not
    // keep the client from reaching its next state.
    template <typename F> void Raise(F&& call);

    std::string m_AcceptTypes = DefaultAcceptTypes;
    std::vector<std::string> m_AddHeaders;
    std::string m_Agent = DefaultAgent;
    THttpClientProxy m_Proxy;
    std::string m_URL;
    TCacheOptions m_CacheOptions = DefaultCacheOptions;
    TInternetOptions m_InternetOptions = DefaultInternetOptions;
    std::string m_OutputFileName;
    bool m_HideOutputFile = false;
    std::string m_POSTData;
    THttpClientRange m_Range;
    std::string m_Referer;
    THttpClientRequestMethod m_RequestMethod = rmAutoDetect;
    THttpClientTimeouts m_Timeouts;
    int m_TransferBufferSize = 4096;
    bool m_WaitThread = false;
    unsigned m_WaitTimeout = 0;
    bool m_WorkOffline = false;
    std::int64_t m_MaxBodySize = 0;
    std::shared_ptr<THttpCookieJar> m_CookieJar;

    bool m_TransferActive = false;
    // Refuses a new start until the outcome has been reported.
    bool m_Busy = false;
    std::shared_ptr<THttpTransfer> m_Transfer;

    TThreadPriority m_ThreadPriority = tpNormal;
    // When a handler of the running transfer last ran, for WaitTimeout.
    std::atomic<long long> m_LastEventMs{0};
    std::shared_ptr<THttpEngine> m_Engine;
};
