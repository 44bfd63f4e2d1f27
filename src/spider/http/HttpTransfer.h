#pragma once

// One transfer of the HTTP client: the settings taken at its start, its
// state, and its requests as a job of the HTTP engine: the handle set up for
// each request, the header and body read as they arrive, and the decision
// after each request (send it again with credentials, ask for the whole
// entity, or end).

#include "HttpClientProxy.h"
#include "HttpClientRange.h"
#include "HttpClientTimeouts.h"
#include "HttpClientTypes.h"
#include "HttpEngine.h"
#include "HttpHeaderBlock.h"
#include "HttpRequestOptions.h"
#include "HttpStreams.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <curl/curl.h>

class TCustomHttpClient;

class THttpTransfer : public THttpEngineJob {
  public:
    // Takes the client's settings; runs on the user-interface thread.
    // The engine outlives the transfer's time on it: the client that owns
    // the engine gives the transfer up before it lets the engine go.
    THttpTransfer(TCustomHttpClient& client, THttpEngine& engine);
    ~THttpTransfer() override;
    THttpTransfer(const THttpTransfer&) = delete;
    THttpTransfer& operator=(const THttpTransfer&) = delete;

    // On the user-interface thread, before the engine takes the transfer:
    // false when there is nothing to request (an address that does not
    // parse, or offline), the outcome following at once.
    bool Begin();
    bool Prepare(CURL* handle) override;
    bool Ended(CURLcode result) override;
    // A handler or the library threw while the transfer ran.
    bool Failed() const { return bool(m_Error); }
    // Closes the output file handle.
    void CloseHandles();
    // Deletes the output file when this transfer wrote one.
    void DeleteOutputFile();

    // Settings.
    std::string URL;
    std::string AcceptTypes;
    std::vector<std::string> AddHeaders;
    std::string Agent;
    THttpClientProxy Proxy;
    TCacheOptions CacheOptions = 0;
    TInternetOptions InternetOptions = 0;
    std::string OutputFileName;
    std::string POSTData;
    THttpClientRange Range;
    std::string Referer;
    THttpClientRequestMethod RequestMethod = rmAutoDetect;
    THttpClientTimeouts Timeouts;
    int TransferBufferSize = 4096;
    bool WorkOffline = false;
    std::int64_t MaxBodySize = 0;
    std::string Username;
    std::string Password;
    std::shared_ptr<THttpCookieJar> CookieJar;

    // State.
    unsigned long long ResumeFrom = 0;
    unsigned long long RangeEnd = 0;
    std::atomic<int> HTTPStatus{-1};
    std::atomic<bool> Succeeded{false};
    std::atomic<bool> ContinueDownload{true};
    std::atomic<bool> DeleteOnStop{false};
    std::int64_t Announced = 0;
    std::int64_t Received = 0;
    std::string ContentTypeText;
    std::unique_ptr<TStream> Target;
    std::atomic<bool> TargetIsFile{false};
    // The output file could not be made and the body was not received.
    bool OutputFileFailed = false;
    // The body reached MaxBodySize; the rest was not read.
    bool Truncated = false;
    // The final answer's header, when a header filter asked for it.
    THttpHeaderInfo HeaderInfo;
    // Why the last request failed, where that matters to the user (see
    // TransferFailureText); empty otherwise.
    std::string FailureText;
    THttpClientHeaderFilter HeaderFilter;
    std::function<bool(const std::string& url)> RedirectFilter;
    // The redirect target the filter refused; the transfer ended there.
    std::string HeldRedirect;

  private:
    enum class TNext { Nothing, SendAgain, AskWhole, AskedWhole, Body, NoTarget, Interrupted };

    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    static int ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    bool CrackURL();
    void SetUpRequest();
    bool EndOfHeaderBlock();
    bool HandleSpecialStatus(int status);
    bool HandleHeaders(int status);
    void MakeTarget(int status);
    bool ReceiveBlock(const char* data, size_t count);
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    std::string ResolveRedirect(const std::string& location) const;
    std::string RangeLine() const;
    bool RunInUIThread(const std::function<void()>& proc);
    void TouchActivity();
    long long ElapsedMs() const;

    bool StopRequested() const { return Stopped(); }
    // After a request: whether another is to be sent.
    bool Decide(CURLcode result);

    TCustomHttpClient& m_Client;
    THttpEngine* m_Engine;
    bool m_HasHeaderInfo = false;
    bool m_HasProgress = false;
    bool m_HasPasswordRequest = false;
    bool m_HasProxyAuthentication = false;
    bool m_HasRedirected = false;

    CURL* m_Curl = nullptr;
    char m_ErrorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist* m_HeaderList = nullptr;
    std::string m_RequestURL;
    std::string m_Scheme;
    std::string m_User;
    std::string m_Password;
    std::string m_ProxyUser;
    std::string m_ProxyPassword;
    bool m_ProxyCredentials = false;
    bool m_ProxyAuthTried = false;
    bool m_AskWholeEntity = false;

    // The response being read.
    THttpHeaderBlock m_Block;
    bool m_FinalSeen = false;
    int m_Redirects = 0;
    TNext m_Next = TNext::Nothing;
    std::int64_t m_WholeLength = 0;
    bool m_TimedOut = false;
    std::exception_ptr m_Error;

    std::chrono::steady_clock::time_point m_StartTick;
};
