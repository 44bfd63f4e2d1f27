#pragma once
// Plain GET downloads that run side by side on one thread of their own,
// through one libcurl multi handle: the pages a crawl fetches ahead of their
// turn. One thread drives all of them, so starting a download and taking its
// outcome cost no thread hand-over of their own, and answers that arrive
// together are read in one wake-up. A download follows redirects as the HTTP
// client does and reads the body of a wanted 200 answer (up to a limit, as
// the client does); of any other answer it reads only the header. It never
// answers a request for credentials: whoever started it decides from its
// outcome whether it stands.
#include "HttpHeaderBlock.h"
#include "HttpRequestOptions.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>

class QAbstractEventDispatcher;

struct TDownloadSettings {
    std::string Agent; // empty: no User-Agent line
    // Request header lines.
    std::vector<std::string> Headers;
    // Milliseconds; 0 leaves the library's value. A server that sends
    // nothing for the receive time-out ends the download.
    unsigned ConnectTimeout = 0;
    unsigned ReceiveTimeout = 0;
    // The longest the whole download may take; 0: no limit.
    unsigned Deadline = 0;
    // Sent as basic authentication to the address's own host.
    std::string UserName;
    std::string Password;
    // The body is read up to this many bytes, the rest dropped; 0: no limit.
    std::int64_t MaxBodySize = 0;
    // Whether the body of an answer of that content type is read; called on
    // the downloads' thread.
    std::function<bool(const std::string& contentType)> BodyWanted;
};

class TDownload {
  public:
    // The download has ended; what follows may be read from then on.
    bool Ended() const { return m_Ended.load(); }
    // It was stopped, or left out before it started: it shows nothing.
    bool Cancelled() const { return m_Cancelled.load(); }
    // The final answer's header arrived (after the redirects, if any).
    bool HeaderComplete = false;
    // Its status.
    int Status = 0;
    // A 200 answer whose body is wanted was read whole without a transfer
    // error, or as far as the limit.
    bool Complete = false;
    bool Truncated = false;
    // The addresses of the redirects followed, in order.
    std::vector<std::string> Redirects;
    // Why it failed, where that matters to the user (see
    // TransferFailureText); empty otherwise.
    std::string FailureText;
    // It ended at a redirect beyond the most the HTTP client follows.
    bool TooManyRedirects = false;
    // The final answer's header and body.
    THttpHeaderBlock Header;
    std::string Body;

  private:
    friend class TParallelDownloads;
    std::string m_URL;
    TDownloadSettings m_Settings;
    curl_slist* m_HeaderList = nullptr;
    CURL* m_Handle = nullptr;
    char m_ErrorBuffer[CURL_ERROR_SIZE] = {};
    bool m_ReadBody = false;
    THttpStallWatch m_Stall;
    bool m_TimedOut = false;
    std::atomic<bool> m_Ended{false};
    std::atomic<bool> m_Awaited{false};
    std::atomic<bool> m_Cancelled{false};
};

class TParallelDownloads {
  public:
    // Made on the thread whose event loop waits for the downloads. The
    // downloads share the cookie jar given, or one of their own.
    explicit TParallelDownloads(std::shared_ptr<THttpCookieJar> jar = nullptr);
    // Ends every download still running (not complete) and the thread.
    ~TParallelDownloads();
    TParallelDownloads(const TParallelDownloads&) = delete;
    TParallelDownloads& operator=(const TParallelDownloads&) = delete;

    // Starts a download of an http or https address without credentials in
    // it; nullptr for any other.
    std::shared_ptr<TDownload> Start(const std::string& url, const TDownloadSettings& settings);
    // The end of the download wakes the event loop of the thread that made
    // this object (which then looks at Ended).
    void Await(TDownload& download);
    // Ends the download at once as not complete.
    void Cancel(TDownload& download);

  private:
    void Run();
    void SetUp(TDownload& download);
    void End(TDownload& download, CURLcode result);
    // Leaves the download out with nothing to show (not complete).
    void Drop(TDownload& download);
    static size_t HeaderCallback(char* data, size_t size, size_t count, void* self);
    static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
    static int ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CURLM* m_Multi = nullptr;
    std::shared_ptr<THttpCookieJar> m_Jar;
    QAbstractEventDispatcher* m_Dispatcher = nullptr;
    std::thread m_Thread;
    // Guarded by m_Lock: downloads handed over and not yet taken, and the
    // order to leave.
    std::mutex m_Lock;
    std::vector<std::shared_ptr<TDownload>> m_Incoming;
    bool m_Quit = false;
    // The thread is about to wait, or waits, for the network.
    bool m_Waiting = false;
    // On the downloads' thread only.
    std::vector<std::shared_ptr<TDownload>> m_Running;
    std::vector<CURL*> m_IdleHandles;
};
