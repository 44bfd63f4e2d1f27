#pragma once
// What every request of the HTTP engine carries, set on a library handle in
// one place: the protocols, the redirects, the agent, the time-outs,
// compression, certificate checks and the cookie jar. The receive time-out
// and the rule that says whether an answer arrived whole live here too.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include <curl/curl.h>

// The agent text every request sends unless told otherwise: the product
// token and this program's version.
const std::string& TessalyAgent();

// One cookie jar that any number of library handles share, on any threads:
// every fetch of a crawl, whether it runs on the client or as a download,
// sends back the cookies any of them was given.
class THttpCookieJar {
  public:
    THttpCookieJar();
    ~THttpCookieJar();
    THttpCookieJar(const THttpCookieJar&) = delete;
    THttpCookieJar& operator=(const THttpCookieJar&) = delete;

    // nullptr when the library could not make one (cookies then stay with
    // each handle).
    CURLSH* Handle() const { return m_Share; }

  private:
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void Unlock(CURL*, curl_lock_data data, void* self);

    CURLSH* m_Share = nullptr;
    std::mutex m_Locks[CURL_LOCK_DATA_LAST];
};

struct THttpRequestOptions {
    // Empty sends no User-Agent line.
    std::string Agent;
    bool FollowRedirects = true;
    // Milliseconds; 0 leaves the library's own.
    unsigned ConnectTimeout = 0;
    // The longest a whole transfer may take, in milliseconds; 0: no limit.
    // A server that drips its body a byte at a time never stalls long
    // enough for the receive time-out, and ends here.
    unsigned Deadline = 0;
    // Ask for gzip and br and hand the body on decoded; a body limit then
    // counts decoded bytes, so a compression bomb ends at the limit.
    bool Decompress = true;
    // A certificate for another host name is refused (the chain is always
    // checked).
    bool VerifyHostName = true;
    // Cookies the server sets are kept in the jar and sent back.
    bool Cookies = true;
    std::shared_ptr<THttpCookieJar> CookieJar;
};

// Sets the options on a handle freshly reset.
void ApplyRequestOptions(CURL* handle, const THttpRequestOptions& options);

// The receive time-out: a transfer that received nothing (no header line,
// no body bytes) for that long has stalled, whatever the library is doing
// meanwhile. Touched by the header and body callbacks, asked by the progress
// callback, possibly from another thread than the one that started it.
class THttpStallWatch {
  public:
    // limitMs 0 never stalls.
    void Start(unsigned limitMs);
    void Touch();
    bool Stalled() const;

  private:
    unsigned m_Limit = 0;
    std::atomic<long long> m_LastMs{0};
};

// Whether a body the library received arrived whole: the transfer ended
// without an error (the library itself checks the announced length against
// the bytes on the wire, which differ from the decoded bytes of a compressed
// answer) and did not stall, or it was cut on purpose at the body limit.
bool AnswerComplete(CURLcode result, bool stalled, bool truncated);

// Why a transfer failed, in words for the log, where the reason matters to
// the user (a certificate refused, a secure connection that failed); empty
// for the failures the caller words itself. detail is the library's error
// buffer, which may be empty.
std::string TransferFailureText(CURLcode result, const char* detail);
