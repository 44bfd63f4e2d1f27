#include "HttpTransfer.h"

#include "CustomHttpClient.h"
#include "HttpDate.h"
#include "HttpRequestOptions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>
#include <unistd.h>

namespace {

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Trim(const std::string& s) {
    return std::string(TrimHeaderText(s));
}

// The realm of an authenticate header: the text after the first `="`,
// less its last character (the closing quote).
std::string RealmOf(const std::string& header) {
    size_t at = header.find("=\"");
    if (at == std::string::npos)
        return {};
    std::string rest = header.substr(at + 2);
    if (!rest.empty())
        rest.pop_back();
    return rest;
}

// A ";"-separated bypass list as libcurl's comma-separated one; "*.host"
// becomes "host", which libcurl matches with its subdomains.
std::string NoProxyList(const std::string& bypass) {
    std::string result;
    std::string item;
    auto flush = [&] {
        item = Trim(item);
        if (item.rfind("*.", 0) == 0)
            item = item.substr(2);
        if (!item.empty() && item != "<local>") {
            if (!result.empty())
                result += ',';
            result += item;
        }
        item.clear();
    };
    for (char c : bypass) {
        if (c == ';' || c == ',' || c == ' ' || c == '\t')
            flush();
        else
            item += c;
    }
    flush();
    return result;
}

} // namespace

THttpTransfer::THttpTransfer(TCustomHttpClient& client, THttpEngine& engine)
    : URL(client.m_URL), AcceptTypes(client.m_AcceptTypes), AddHeaders(client.m_AddHeaders),
      Agent(client.m_Agent), Proxy(client.m_Proxy), CacheOptions(client.m_CacheOptions),
      InternetOptions(client.m_InternetOptions), OutputFileName(client.m_OutputFileName),
      POSTData(client.m_POSTData), Range(client.m_Range), Referer(client.m_Referer),
      RequestMethod(client.m_RequestMethod), Timeouts(client.m_Timeouts),
      TransferBufferSize(client.m_TransferBufferSize), WorkOffline(client.m_WorkOffline),
      MaxBodySize(client.m_MaxBodySize), Username(client.Username()), Password(client.Password()),
      m_Client(client), m_Engine(&engine), m_HasHeaderInfo(bool(client.OnHeaderInfo)),
      m_HasProgress(bool(client.OnProgress)), m_HasPasswordRequest(bool(client.OnPasswordRequest)),
      m_HasProxyAuthentication(bool(client.OnProxyAuthenticationRequest)),
      m_HasRedirected(bool(client.OnRedirected)) {
    HeaderFilter = client.HeaderFilter;
    RedirectFilter = client.RedirectFilter;
    CookieJar = client.m_CookieJar;
}

THttpTransfer::~THttpTransfer() {
    CloseHandles();
}

void THttpTransfer::CloseHandles() {
    if (m_HeaderList) {
        curl_slist_free_all(m_HeaderList);
        m_HeaderList = nullptr;
    }
    m_Curl = nullptr;
    if (TargetIsFile && Target)
        static_cast<THttpClientFileStream*>(Target.get())->Close();
}

void THttpTransfer::DeleteOutputFile() {
    if (TargetIsFile && !OutputFileName.empty())
        ::unlink(OutputFileName.c_str());
}

bool THttpTransfer::RunInUIThread(const std::function<void()>& proc) {
    bool ran = m_Engine->CallInUIThread(*this, [&] {
        m_Client.m_LastEventMs = NowMs();
        proc();
    });
    TouchActivity();
    return ran;
}

void THttpTransfer::TouchActivity() {
    Stall.Touch();
}

long long THttpTransfer::ElapsedMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - m_StartTick).count();
}

bool THttpTransfer::Begin() {
    // 1
    HTTPStatus = -1;
    ContentTypeText.clear();
    m_StartTick = std::chrono::steady_clock::now();
    ContinueDownload = true;
    // 2, and 3: offline there is no cache to answer from, so nothing can be
    // fetched.
    return CrackURL() && !WorkOffline;
}

bool THttpTransfer::Prepare(CURL* handle) {
    // 4 to 11: the engine connects, sends and reads; the header callback
    // takes the decisions between status and body.
    m_Curl = handle;
    SetUpRequest();
    m_Block.Clear();
    m_FinalSeen = false;
    m_Redirects = 0;
    m_Next = TNext::Nothing;
    m_TimedOut = false;
    Stall.Start(Timeouts.ReceiveTimeout);
    return true;
}

bool THttpTransfer::Ended(CURLcode result) {
    const bool again = Decide(result);
    if (!again) {
        // The outcome is the client's to report, on its own thread; a killed
        // transfer reports nothing.
        std::shared_ptr<THttpTransfer> self =
            std::static_pointer_cast<THttpTransfer>(shared_from_this());
        m_Engine->Post(self, [self] { self->m_Client.TransferEnded(self); });
    }
    return again;
}

bool THttpTransfer::Decide(CURLcode result) {
    FailureText = TransferFailureText(result, m_ErrorBuffer);
    if (Stopped() || m_Error)
        return false;
    switch (m_Next) {
    case TNext::SendAgain:
        return true;
    case TNext::AskWhole:
        m_AskWholeEntity = true;
        return true;
    case TNext::AskedWhole:
        m_AskWholeEntity = false;
        if (m_WholeLength == static_cast<std::int64_t>(ResumeFrom)) {
            // The data was complete already.
            Succeeded = true;
            return false;
        }
        HTTPStatus = -1;
        ResumeFrom = 0;
        return true;
    case TNext::Body: {
        const int status = HTTPStatus;
        // A read that failed is not a success even when no length was
        // announced to compare with; a body cut at MaxBodySize is.
        Succeeded =
            (status == 200 || status == 206) && AnswerComplete(result, m_TimedOut, Truncated);
        return false;
    }
    case TNext::NoTarget:
        Succeeded = HTTPStatus == 200 || HTTPStatus == 206;
        return false;
    case TNext::Interrupted:
    case TNext::Nothing:
        return false;
    }
    return false;
}

bool THttpTransfer::CrackURL() {
    std::string user;
    std::string password;
    if (!CrackRequestURL(URL, m_RequestURL, m_Scheme, user, password))
        return false;
    m_User = user.empty() ? Username : user;
    m_Password = password.empty() ? Password : password;
    return true;
}

std::string THttpTransfer::RangeLine() const {
    if (m_AskWholeEntity)
        return "RANGE: bytes=0-";
    unsigned long long start = ResumeFrom;
    unsigned long long end = RangeEnd;
    if (start == 0 && end == 0) {
        start = Range.StartRange;
        end = Range.EndRange;
    }
    if (start == 0 && end == 0)
        return {};
    std::string line = "RANGE: bytes=" + std::to_string(start) + "-";
    if (end != 0)
        line += std::to_string(end);
    return line;
}

void THttpTransfer::SetUpRequest() {
    CURL* h = m_Curl;
    // The engine hands the handle over reset: options start afresh for every
    // request, while connections and the name cache stay with the engine.
    THttpRequestOptions options;
    options.Agent = Agent;
    options.FollowRedirects = !InSet(InternetOptions, ioNoAutoRedirect);
    options.ConnectTimeout = Timeouts.ConnectTimeout;
    options.Deadline = Timeouts.Deadline;
    options.VerifyHostName = !InSet(InternetOptions, ioIgnoreCertificateInvalid);
    options.Cookies = !InSet(InternetOptions, ioNoCookies);
    options.CookieJar = CookieJar;
    ApplyRequestOptions(h, options);
    curl_easy_setopt(h, CURLOPT_URL, m_RequestURL.c_str());
    m_ErrorBuffer[0] = '\0';
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_ErrorBuffer);

    switch (Proxy.AccessType) {
    case atPreconfig: // libcurl reads the *_proxy environment variables itself
        break;
    case atDirect:
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        break;
    case atUseProxy: {
        std::string proxy = Proxy.ProxyServer + ":" + std::to_string(Proxy.ProxyPort);
        curl_easy_setopt(h, CURLOPT_PROXY, proxy.c_str());
        std::string bypass = NoProxyList(Proxy.ProxyBypass);
        curl_easy_setopt(h, CURLOPT_NOPROXY, bypass.c_str());
        break;
    }
    }
    if (m_ProxyCredentials) {
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, m_ProxyUser.c_str());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, m_ProxyPassword.c_str());
    }
    if (!InSet(InternetOptions, ioNoAuthentication) && (!m_User.empty() || !m_Password.empty())) {
        curl_easy_setopt(h, CURLOPT_USERNAME, m_User.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, m_Password.c_str());
    }
    if (!InSet(InternetOptions, ioKeepConnection))
        curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);

    // Request headers: the accept type, the extra lines, the range line.
    if (m_HeaderList) {
        curl_slist_free_all(m_HeaderList);
        m_HeaderList = nullptr;
    }
    auto add = [this](const std::string& line) {
        curl_slist* list = curl_slist_append(m_HeaderList, line.c_str());
        if (!list)
            throw std::bad_alloc();
        m_HeaderList = list;
    };
    for (const std::string& line : RequestHeaderLines(AcceptTypes, CacheOptions, AddHeaders))
        add(line);
    std::string range = RangeLine();
    if (!range.empty())
        add(range);

    const bool post =
        RequestMethod == rmPOST || (RequestMethod == rmAutoDetect && !POSTData.empty());
    if (post) {
        add("Content-Type: application/x-www-form-urlencoded");
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(POSTData.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, POSTData.data());
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, m_HeaderList);
    if (!Referer.empty())
        curl_easy_setopt(h, CURLOPT_REFERER, Referer.c_str());

    long buffer = std::clamp(TransferBufferSize, 1024, 512 * 1024);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, buffer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &THttpTransfer::HeaderCallback);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &THttpTransfer::WriteCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &THttpTransfer::ProgressCallback);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
}

size_t THttpTransfer::HeaderCallback(char* data, size_t size, size_t count, void* self) {
    auto& t = *static_cast<THttpTransfer*>(self);
    const size_t length = size * count;
    if (t.m_FinalSeen)
        return length; // trailers of a chunked body
    if (t.StopRequested())
        return 0;
    t.TouchActivity();
    try {
        if (!t.m_Block.Add(std::string_view(data, length)))
            return t.EndOfHeaderBlock() ? length : 0;
        return length;
    } catch (...) {
        t.m_Error = std::current_exception();
        return 0;
    }
}

std::string THttpTransfer::Header(std::string_view name) const {
    return m_Block.Value(name);
}

bool THttpTransfer::HasHeader(std::string_view name) const {
    return !Header(name).empty();
}

std::string THttpTransfer::ResolveRedirect(const std::string& location) const {
    return ResolveRedirectURL(m_Curl, location);
}

bool THttpTransfer::EndOfHeaderBlock() {
    const int status = m_Block.Status();
    if (status >= 100 && status < 200) {
        m_Block.Clear(); // an interim answer
        return true;
    }
    const std::string location = Header("Location");
    if (status >= 300 && status < 400 && !location.empty() &&
        !InSet(InternetOptions, ioNoAutoRedirect) &&
        m_Redirects < TCustomHttpClient::MaxRedirects) {
        if (RedirectFilter) {
            std::string target = ResolveRedirect(location);
            if (!RedirectFilter(target)) {
                // Not followed: the transfer ends here, holding the target,
                // as one whose header handler cleared ContinueDownload.
                m_FinalSeen = true;
                HTTPStatus = status;
                HeldRedirect = std::move(target);
                ContinueDownload = false;
                m_Next = TNext::Interrupted;
                return false;
            }
        }
        // libcurl follows this one; its body is not ours.
        ++m_Redirects;
        if (m_HasRedirected) {
            // The event has no answer for the transfer: it is posted, so
            // the other transfers do not wait for the user-interface thread.
            // It still comes before the later events of this transfer.
            auto self = std::static_pointer_cast<THttpTransfer>(shared_from_this());
            m_Engine->Post(self, [self, newURL = ResolveRedirect(location)] {
                TCustomHttpClient& client = self->m_Client;
                client.m_LastEventMs = NowMs();
                if (client.OnRedirected)
                    client.OnRedirected(&client, newURL);
            });
        }
        m_Block.Clear();
        return !StopRequested();
    }

    m_FinalSeen = true;
    HTTPStatus = status;
    if (m_AskWholeEntity) {
        // Only the length of the whole entity was wanted.
        std::string length = Header("Content-Length");
        m_WholeLength = length.empty() ? 0 : std::strtoll(length.c_str(), nullptr, 10);
        m_Next = TNext::AskedWhole;
        return false;
    }
    if (HandleSpecialStatus(status))
        return !StopRequested();
    if (!HandleHeaders(status))
        return false;
    MakeTarget(status);
    return m_Next == TNext::Body && !StopRequested();
}

// 401, 407 and 416 with resuming: true when the request is to be sent
// again, the body of this answer being dropped.
bool THttpTransfer::HandleSpecialStatus(int status) {
    if (status == 416 && ResumeFrom != 0) {
        m_Next = TNext::AskWhole;
        return true;
    }
    bool tryAgain = false;
    if (status == 401 && m_HasPasswordRequest) {
        const std::string realm = RealmOf(Header("WWW-Authenticate"));
        std::string user = m_User;
        std::string password = m_Password;
        RunInUIThread([&] {
            if (m_Client.OnPasswordRequest)
                m_Client.OnPasswordRequest(&m_Client, realm, tryAgain);
            user = m_Client.Username();
            password = m_Client.Password();
        });
        m_User = user;
        m_Password = password;
    } else if (status == 407) {
        if (!m_ProxyAuthTried) {
            m_ProxyAuthTried = true;
            m_ProxyUser = Proxy.ProxyUsername;
            m_ProxyPassword = Proxy.ProxyPassword;
            m_ProxyCredentials = true;
            tryAgain = true;
        } else if (m_HasProxyAuthentication) {
            std::string user = m_ProxyUser;
            std::string password = m_ProxyPassword;
            RunInUIThread([&] {
                if (m_Client.OnProxyAuthenticationRequest) {
                    m_Client.OnProxyAuthenticationRequest(&m_Client, user, password, tryAgain);
                    m_Client.Proxy().ProxyUsername = user;
                    m_Client.Proxy().ProxyPassword = password;
                }
            });
            m_ProxyUser = user;
            m_ProxyPassword = password;
            m_ProxyCredentials = true;
        }
    }
    if (tryAgain)
        m_Next = TNext::SendAgain;
    return tryAgain;
}

// Step 10: false when the header handler cleared ContinueDownload.
bool THttpTransfer::HandleHeaders(int status) {
    ContentTypeText = Header("Content-Type");
    Announced = m_Block.ContentLength();
    if (!HasHeader("Content-Range"))
        ResumeFrom = 0;
    if (!m_HasHeaderInfo && !HeaderFilter)
        return true;

    std::string raw;
    for (const auto& line : m_Block.Lines()) {
        raw += line;
        raw += "\r\n";
    }
    raw += "\r\n";
    if (raw.size() > THttpHeaderBlock::ValueLimit)
        raw.clear();
    const std::string language = Header("Content-Language");
    const std::string encoding = Header("Content-Encoding");
    const std::string location = Header("Location");
    const std::string etag = Header("ETag");
    const TDateTime date = ParseHTTPDate(Header("Date"));
    const TDateTime lastModified = ParseHTTPDate(Header("Last-Modified"));
    const TDateTime expires = ParseHTTPDate(Header("Expires"));
    const std::int64_t contentLength = Announced + static_cast<std::int64_t>(ResumeFrom);
    if (HeaderFilter) {
        HeaderInfo = {true,          status,   raw,  ContentTypeText, language, encoding,
                      contentLength, location, date, lastModified,    expires,  etag};
        if (!HeaderFilter(status, ContentTypeText)) {
            ContinueDownload = false;
            m_Next = TNext::Interrupted;
            return false;
        }
        if (!m_HasHeaderInfo)
            return true;
    }
    bool continueDownload = ContinueDownload;
    RunInUIThread([&] {
        if (m_Client.OnHeaderInfo)
            m_Client.OnHeaderInfo(&m_Client, status, raw, ContentTypeText, language, encoding,
                                  contentLength, location, date, lastModified, expires, etag,
                                  continueDownload);
    });
    ContinueDownload = continueDownload;
    if (!continueDownload) {
        m_Next = TNext::Interrupted;
        return false;
    }
    return true;
}

// Step 11: the body goes to the output file or to memory.
void THttpTransfer::MakeTarget(int status) {
    m_Next = TNext::Body;
    if ((status == 200 || status == 206) && !OutputFileName.empty()) {
        auto file = std::make_unique<THttpClientFileStream>(OutputFileName, ResumeFrom != 0,
                                                            static_cast<std::int64_t>(ResumeFrom));
        if (file->IsOpen()) {
            Target = std::move(file);
            TargetIsFile = true;
            return;
        }
        if (Announced > 0) {
            OutputFileFailed = true;
            m_Next = TNext::NoTarget;
            return;
        }
    }
    auto memory = std::make_unique<TMemoryStream>();
    // Never room for more than can be received.
    memory->Reserve(MaxBodySize > 0 ? std::min(Announced, MaxBodySize) : Announced);
    Target = std::move(memory);
}

size_t THttpTransfer::WriteCallback(char* data, size_t size, size_t count, void* self) {
    auto& t = *static_cast<THttpTransfer*>(self);
    const size_t length = size * count;
    t.TouchActivity();
    if (t.StopRequested())
        return 0;
    if (!t.m_FinalSeen || t.m_Next != TNext::Body || !t.Target)
        return length; // the body of an answer that is not read
    try {
        const size_t block = static_cast<size_t>(std::max(1, t.TransferBufferSize));
        for (size_t at = 0; at < length; at += block) {
            if (t.StopRequested())
                return 0;
            if (!t.ReceiveBlock(data + at, std::min(block, length - at)))
                return 0;
        }
        return length;
    } catch (...) {
        t.m_Error = std::current_exception();
        return 0;
    }
}

bool THttpTransfer::ReceiveBlock(const char* data, size_t count) {
    bool last = false;
    if (MaxBodySize > 0 && Received + static_cast<std::int64_t>(count) > MaxBodySize) {
        // The rest of the body is dropped: the library is told to stop.
        count = static_cast<size_t>(MaxBodySize - Received);
        last = true;
    }
    if (count > 0 && !Target->Write(data, static_cast<std::int64_t>(count)))
        return false;
    if (last)
        Truncated = true;
    Received += static_cast<std::int64_t>(count);
    if (!m_HasProgress)
        return !last;

    const std::int64_t resume = static_cast<std::int64_t>(ResumeFrom);
    const std::int64_t dataSize = Announced + resume;
    const std::int64_t bytesRead = Received + resume;
    const std::int64_t elapsed = ElapsedMs() / 1000;
    double percents =
        dataSize == 0 ? 0.0 : std::round(double(bytesRead) * 100.0 / double(dataSize));
    // Never beyond 100, even when more arrives than was announced.
    const auto percentsDone = static_cast<std::uint8_t>(std::clamp(percents, 0.0, 100.0));
    std::int64_t timeLeft = 0;
    if (Announced > 0)
        timeLeft = std::max<std::int64_t>(
            0, std::llround(double(Announced) / double(Received) * double(elapsed)) - elapsed);
    float rate = static_cast<float>(double(Received) / 1024.0);
    if (elapsed != 0)
        rate /= static_cast<float>(elapsed);
    TStream* stream = Target.get();
    RunInUIThread([&] {
        if (m_Client.OnProgress)
            m_Client.OnProgress(&m_Client, ContentTypeText, dataSize, bytesRead, elapsed, timeLeft,
                                percentsDone, rate, stream);
    });
    return !last;
}

int THttpTransfer::ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<THttpTransfer*>(self);
    if (t.StopRequested())
        return 1;
    if (t.Stall.Stalled()) {
        t.m_TimedOut = true;
        return 1;
    }
    return 0;
}
