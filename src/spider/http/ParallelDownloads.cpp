#include "ParallelDownloads.h"

#include "CustomHttpClient.h"

#include <QAbstractEventDispatcher>

#include <algorithm>
#include <sched.h>
#include <utility>

TParallelDownloads::TParallelDownloads(std::shared_ptr<THttpCookieJar> jar)
    : m_Multi(curl_multi_init()), m_Jar(jar ? std::move(jar) : std::make_shared<THttpCookieJar>()),
      m_Dispatcher(QAbstractEventDispatcher::instance()) {}

TParallelDownloads::~TParallelDownloads() {
    {
        std::lock_guard lock(m_Lock);
        m_Quit = true;
    }
    if (m_Multi)
        curl_multi_wakeup(m_Multi);
    if (m_Thread.joinable())
        m_Thread.join();
    for (auto& download : m_Incoming)
        Drop(*download);
    for (CURL* handle : m_IdleHandles)
        curl_easy_cleanup(handle);
    if (m_Multi)
        curl_multi_cleanup(m_Multi);
}

std::shared_ptr<TDownload> TParallelDownloads::Start(const std::string& url,
                                                     const TDownloadSettings& settings) {
    if (!m_Multi)
        return nullptr;
    std::string requestURL, scheme, user, password;
    if (!CrackRequestURL(url, requestURL, scheme, user, password) || !user.empty() ||
        !password.empty())
        return nullptr;
    auto download = std::make_shared<TDownload>();
    download->m_URL = std::move(requestURL);
    download->m_Settings = settings;
    bool wake = false;
    {
        std::lock_guard lock(m_Lock);
        m_Incoming.push_back(download);
        if (!m_Thread.joinable())
            m_Thread = std::thread([this] { Run(); });
        // Only a thread that waits for the network needs waking; whoever
        // wakes it says so, and later downloads wait for it to look.
        wake = std::exchange(m_Waiting, false);
    }
    if (wake)
        curl_multi_wakeup(m_Multi);
    return download;
}

void TParallelDownloads::Await(TDownload& download) {
    download.m_Awaited = true;
}

void TParallelDownloads::Cancel(TDownload& download) {
    download.m_Cancelled = true;
    curl_multi_wakeup(m_Multi);
}

void TParallelDownloads::End(TDownload& d, CURLcode result) {
    if (d.m_HeaderList) {
        curl_slist_free_all(d.m_HeaderList);
        d.m_HeaderList = nullptr;
    }
    d.FailureText = TransferFailureText(result, d.m_ErrorBuffer);
    if (d.m_Cancelled) {
        d.HeaderComplete = false;
    } else if (d.m_ReadBody) {
        // As the HTTP client counts a page received: whole, or cut at the
        // limit.
        d.Complete = AnswerComplete(result, d.m_TimedOut, d.Truncated);
    }
    d.m_Ended = true;
    // The waiting thread looks at Ended after it has said it waits, and this
    // one looks at the wait after Ended was set: one of the two sees the other.
    if (d.m_Awaited && m_Dispatcher)
        m_Dispatcher->wakeUp();
}

void TParallelDownloads::Drop(TDownload& d) {
    d.m_Cancelled = true;
    End(d, CURLE_ABORTED_BY_CALLBACK);
}

size_t TParallelDownloads::HeaderCallback(char* data, size_t size, size_t count, void* self) {
    auto& d = *static_cast<TDownload*>(self);
    const size_t length = size * count;
    if (d.m_Cancelled)
        return 0;
    d.m_Stall.Touch();
    if (d.HeaderComplete)
        return length; // trailers of a chunked body
    try {
        if (d.Header.Add(std::string_view(data, length)))
            return length;
        const int status = d.Header.Status();
        if (status >= 100 && status < 200) {
            d.Header.Clear(); // an interim answer
            return length;
        }
        const std::string location = d.Header.Value("Location");
        if (status >= 300 && status < 400 && !location.empty()) {
            // libcurl follows it, as far as the HTTP client's limit; the last
            // one allowed ends the download.
            if (d.Redirects.size() >= static_cast<size_t>(TCustomHttpClient::MaxRedirects)) {
                d.TooManyRedirects = true;
                return 0;
            }
            d.Redirects.push_back(ResolveRedirectURL(d.m_Handle, location));
            d.Header.Clear();
            return length;
        }
        d.Status = status;
        d.HeaderComplete = true;
        if (status != 200 || !d.m_Settings.BodyWanted ||
            !d.m_Settings.BodyWanted(d.Header.Value("Content-Type")))
            return 0; // the header decides the outcome; the body is not read
        d.m_ReadBody = true;
        const long long announced = d.Header.ContentLength();
        const std::int64_t limit = d.m_Settings.MaxBodySize;
        d.Body.reserve(
            static_cast<size_t>(limit > 0 ? std::min<long long>(announced, limit) : announced));
        return length;
    } catch (...) {
        return 0;
    }
}

size_t TParallelDownloads::WriteCallback(char* data, size_t size, size_t count, void* self) {
    auto& d = *static_cast<TDownload*>(self);
    size_t length = size * count;
    if (d.m_Cancelled)
        return 0;
    d.m_Stall.Touch();
    if (!d.m_ReadBody)
        return d.HeaderComplete ? 0 : length; // the body of a redirect
    const std::int64_t limit = d.m_Settings.MaxBodySize;
    bool last = false;
    if (limit > 0 && static_cast<std::int64_t>(d.Body.size() + length) > limit) {
        // The rest of the body is dropped: the library is told to stop.
        length = static_cast<size_t>(limit - static_cast<std::int64_t>(d.Body.size()));
        last = true;
    }
    try {
        d.Body.append(data, length);
    } catch (...) {
        return 0;
    }
    if (last) {
        d.Truncated = true;
        return 0;
    }
    return length;
}

int TParallelDownloads::ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t,
                                         curl_off_t) {
    auto& d = *static_cast<TDownload*>(self);
    if (d.m_Cancelled)
        return 1;
    if (d.m_Stall.Stalled()) {
        d.m_TimedOut = true;
        return 1;
    }
    return 0;
}

void TParallelDownloads::SetUp(TDownload& d) {
    CURL* h = d.m_Handle;
    const TDownloadSettings& s = d.m_Settings;
    curl_easy_reset(h);
    THttpRequestOptions options;
    options.Agent = s.Agent;
    options.ConnectTimeout = s.ConnectTimeout;
    options.Deadline = s.Deadline;
    // Cookies a site sets are sent back, as the HTTP client does; the jar is
    // the one all downloads share.
    options.CookieJar = m_Jar;
    ApplyRequestOptions(h, options);
    curl_easy_setopt(h, CURLOPT_PRIVATE, &d);
    curl_easy_setopt(h, CURLOPT_URL, d.m_URL.c_str());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, d.m_ErrorBuffer);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    if (!s.UserName.empty() || !s.Password.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, s.UserName.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, s.Password.c_str());
    }
    d.m_Stall.Start(s.ReceiveTimeout);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &TParallelDownloads::ProgressCallback);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &d);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    for (const std::string& line : s.Headers) {
        curl_slist* list = curl_slist_append(d.m_HeaderList, line.c_str());
        if (list)
            d.m_HeaderList = list;
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, d.m_HeaderList);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &TParallelDownloads::HeaderCallback);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &d);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &TParallelDownloads::WriteCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &d);
}

void TParallelDownloads::Run() {
    // Like the HTTP client's workers, this thread does not preempt the
    // thread it wakes up beside.
    sched_param param{};
    (void)::sched_setscheduler(0, SCHED_BATCH, &param);
    auto remove = [this](TDownload& d) {
        curl_multi_remove_handle(m_Multi, d.m_Handle);
        m_IdleHandles.push_back(d.m_Handle);
        d.m_Handle = nullptr;
    };
    for (;;) {
        std::vector<std::shared_ptr<TDownload>> incoming;
        {
            std::lock_guard lock(m_Lock);
            if (m_Quit)
                break;
            incoming.swap(m_Incoming);
            m_Waiting = false;
        }
        for (auto& d : incoming) {
            if (d->m_Cancelled) {
                Drop(*d);
                continue;
            }
            if (m_IdleHandles.empty()) {
                CURL* handle = curl_easy_init();
                if (!handle) {
                    Drop(*d);
                    continue;
                }
                m_IdleHandles.push_back(handle);
            }
            d->m_Handle = m_IdleHandles.back();
            m_IdleHandles.pop_back();
            SetUp(*d);
            if (curl_multi_add_handle(m_Multi, d->m_Handle) != CURLM_OK) {
                m_IdleHandles.push_back(d->m_Handle);
                d->m_Handle = nullptr;
                Drop(*d);
                continue;
            }
            m_Running.push_back(std::move(d));
        }
        for (auto it = m_Running.begin(); it != m_Running.end();) {
            if (!(*it)->m_Cancelled) {
                ++it;
                continue;
            }
            remove(**it);
            Drop(**it);
            it = m_Running.erase(it);
        }
        int running = 0;
        curl_multi_perform(m_Multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m_Multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result;
            auto it = std::find_if(m_Running.begin(), m_Running.end(),
                                   [handle](const auto& d) { return d->m_Handle == handle; });
            if (it == m_Running.end())
                continue;
            std::shared_ptr<TDownload> d = std::move(*it);
            m_Running.erase(it);
            remove(*d);
            End(*d, result);
        }
        {
            std::lock_guard lock(m_Lock);
            if (!m_Incoming.empty() || m_Quit)
                continue;
            m_Waiting = true;
        }
        curl_multi_poll(m_Multi, nullptr, 0, 1000, nullptr);
    }
    for (auto& d : m_Running) {
        remove(*d);
        Drop(*d);
    }
    m_Running.clear();
}
