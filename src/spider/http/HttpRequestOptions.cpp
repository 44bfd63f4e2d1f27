#include "HttpRequestOptions.h"

#include "CustomHttpClient.h"

#include <chrono>
#include <cstdlib>

namespace {

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The authorities a user names for TLS programs on this system, as curl and
// OpenSSL read them; empty leaves the library's bundle. Read for each request,
// so a change reaches the next one.
std::string CertificateBundle() {
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"})
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return {};
}

} // namespace

const std::string& TessalyAgent() {
    static const std::string agent = std::string("Tessaly/") + TESSALY_VERSION;
    return agent;
}

THttpCookieJar::THttpCookieJar() : m_Share(curl_share_init()) {
    if (!m_Share)
        return;
    curl_share_setopt(m_Share, CURLSHOPT_LOCKFUNC, &THttpCookieJar::Lock);
    curl_share_setopt(m_Share, CURLSHOPT_UNLOCKFUNC, &THttpCookieJar::Unlock);
    curl_share_setopt(m_Share, CURLSHOPT_USERDATA, this);
    curl_share_setopt(m_Share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

THttpCookieJar::~THttpCookieJar() {
    if (m_Share)
        curl_share_cleanup(m_Share);
}

void THttpCookieJar::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    if (data >= 0 && data < CURL_LOCK_DATA_LAST)
        static_cast<THttpCookieJar*>(self)->m_Locks[data].lock();
}

void THttpCookieJar::Unlock(CURL*, curl_lock_data data, void* self) {
    if (data >= 0 && data < CURL_LOCK_DATA_LAST)
        static_cast<THttpCookieJar*>(self)->m_Locks[data].unlock();
}

void ApplyRequestOptions(CURL* h, const THttpRequestOptions& o) {
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, o.FollowRedirects ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(TCustomHttpClient::MaxRedirects));
    // A proxy's answer to CONNECT is not the page's header.
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!o.Agent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, o.Agent.c_str());
    if (o.ConnectTimeout != 0)
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(o.ConnectTimeout));
    if (o.Deadline != 0)
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(o.Deadline));
    if (o.Decompress)
        curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip, br");
    if (!o.VerifyHostName)
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    if (const std::string bundle = CertificateBundle(); !bundle.empty())
        curl_easy_setopt(h, CURLOPT_CAINFO, bundle.c_str());
    // Cookies live in a jar, never on a handle, since handles go from one
    // transfer to the next. The list line turns the handle's cookie engine
    // on; the jar's list then takes the place of the handle's own.
    if (o.Cookies && o.CookieJar && o.CookieJar->Handle()) {
        curl_easy_setopt(h, CURLOPT_COOKIELIST, "Set-Cookie:");
        curl_easy_setopt(h, CURLOPT_SHARE, o.CookieJar->Handle());
    } else {
        curl_easy_setopt(h, CURLOPT_SHARE, nullptr);
    }
}

void THttpStallWatch::Start(unsigned limitMs) {
    m_Limit = limitMs;
    Touch();
}

void THttpStallWatch::Touch() {
    m_LastMs.store(NowMs(), std::memory_order_relaxed);
}

bool THttpStallWatch::Stalled() const {
    return m_Limit != 0 &&
           NowMs() - m_LastMs.load(std::memory_order_relaxed) > static_cast<long long>(m_Limit);
}

std::string TransferFailureText(CURLcode result, const char* detail) {
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return std::string("the server's certificate was refused (") +
               (detail && *detail ? detail : curl_easy_strerror(result)) + ")";
    case CURLE_SSL_CONNECT_ERROR:
        return std::string("the secure connection failed (") +
               (detail && *detail ? detail : curl_easy_strerror(result)) + ")";
    default:
        return {};
    }
}

bool AnswerComplete(CURLcode result, bool stalled, bool truncated) {
    return truncated || (result == CURLE_OK && !stalled);
}
