#include "SiteRobots.h"

#include "HttpStreams.h"
#include "TextRoutines.h"

namespace tessaly {

namespace {

// A redirect chain for robots.txt is followed five hops deep.
constexpr int kMostRobotsRedirects = 5;

} // namespace

bool TSiteRobots::SplitAddress(const std::string& url, std::string& origin, std::string& target) {
    const size_t colon = url.find("://");
    if (colon == std::string::npos)
        return false;
    const std::string scheme = AsciiLower(url.substr(0, colon));
    if (scheme != "http" && scheme != "https")
        return false;
    const size_t start = colon + 3;
    const size_t end = std::min(url.find_first_of("/?#", start), url.size());
    std::string authority = url.substr(start, end - start);
    if (const size_t at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    authority = AsciiLower(authority);
    const std::string defaultPort = scheme == "http" ? ":80" : ":443";
    if (authority.size() > defaultPort.size() &&
        authority.compare(authority.size() - defaultPort.size(), defaultPort.size(), defaultPort) ==
            0)
        authority.resize(authority.size() - defaultPort.size());
    origin = scheme + "://" + authority;
    target = url.substr(end, url.find('#', end) == std::string::npos ? std::string::npos
                                                                     : url.find('#', end) - end);
    if (target.empty() || target[0] != '/')
        target.insert(0, "/");
    return true;
}

void TSiteRobots::Reset(bool obey, const TFileFetcher& settings) {
    m_Settings = &settings;
    m_Token = TRobotsRules::ProductToken(settings.Agent);
    m_Failures.clear();
    std::lock_guard lock(m_Table->m_Lock);
    m_Table->m_Obey = obey;
    m_Table->m_Rules.clear();
}

std::string TSiteRobots::FailureOf(const std::string& url) const {
    std::string origin, target;
    if (!SplitAddress(url, origin, target))
        return {};
    const auto it = m_Failures.find(origin);
    return it == m_Failures.end() ? std::string() : it->second;
}

std::optional<bool> TRobotsTable::KnownAllows(const std::string& url) const {
    std::lock_guard lock(m_Lock);
    if (!m_Obey)
        return true;
    std::string origin, target;
    if (!TSiteRobots::SplitAddress(url, origin, target))
        return true;
    const auto it = m_Rules.find(origin);
    if (it == m_Rules.end())
        return std::nullopt;
    return it->second->IsAllowed(target);
}

bool TSiteRobots::Allows(const std::string& url) {
    if (std::optional<bool> known = KnownAllows(url))
        return *known;
    std::string origin, target;
    SplitAddress(url, origin, target);
    std::string failure;
    std::shared_ptr<const TRobotsRules> rules = Fetch(origin, failure);
    if (!failure.empty())
        m_Failures[origin] = failure;
    {
        std::lock_guard lock(m_Table->m_Lock);
        m_Table->m_Rules.emplace(origin, rules);
    }
    return rules->IsAllowed(target);
}

void TSiteRobots::Cancel() {
    if (m_Client)
        m_Client->CancelTransfer(false, true);
}

std::shared_ptr<const TRobotsRules> TSiteRobots::Fetch(const std::string& origin,
                                                       std::string& failure) {
    if (!m_Client)
        m_Client = std::make_unique<THttpClient>();
    THttpClient& c = *m_Client;
    const TFileFetcher& s = *m_Settings;
    c.SetURL(origin + "/robots.txt");
    c.SetAgent(s.Agent);
    c.SetCookieJar(s.CookieJar);
    c.SetUsername(s.UserName);
    c.SetPassword(s.Password);
    c.Timeouts().ConnectTimeout = s.ConnectTimeout;
    c.Timeouts().ReceiveTimeout = s.ReceiveTimeout;
    c.Timeouts().Deadline = s.Deadline;
    c.SetMaxBodySize(static_cast<std::int64_t>(TRobotsRules::MaxParsedBytes));
    int hops = 0;
    c.RedirectFilter = [hops](const std::string&) mutable {
        return ++hops <= kMostRobotsRedirects;
    };
    int status = 0;
    std::string body, reason;
    c.OnDone = [&](TCustomHttpClient* client, const std::string&, std::int64_t, TStream* stream) {
        status = client->HTTPStatus();
        if (stream) {
            stream->Seek(0);
            body = stream->ReadRest();
        }
    };
    c.OnHTTPError = [&](TCustomHttpClient*, int code, TStream*) { status = code; };
    c.OnDoneInterrupted = [&](TCustomHttpClient* client) {
        // More redirects than are followed: as good as no file.
        status = client->HTTPStatus();
    };
    c.OnHostUnreachable = [&](TCustomHttpClient* client) {
        status = 0;
        reason = client->FailureText().empty() ? "no answer from the host" : client->FailureText();
    };
    c.OnConnLost = [&](TCustomHttpClient*, const std::string&, std::int64_t, std::int64_t,
                       TStream*) {
        status = 0;
        reason = "the connection was lost";
    };
    c.OnAborted = [&](TCustomHttpClient*) {
        status = 0;
        reason = "cancelled";
    };
    c.BeginDownload(0, 0, true);
    c.OnDone = nullptr;
    c.OnHTTPError = nullptr;
    c.OnDoneInterrupted = nullptr;
    c.OnHostUnreachable = nullptr;
    c.OnConnLost = nullptr;
    c.OnAborted = nullptr;

    auto rules = std::make_shared<TRobotsRules>(TRobotsRules::FromAnswer(status, body, m_Token));
    if (rules->DisallowsAll() && (status == 0 || status >= 500))
        failure = status == 0 ? reason : "HTTP " + std::to_string(status);
    if (OnLog) {
        if (!failure.empty())
            OnLog("robots.txt of " + origin + " could not be read (" + failure +
                  "): nothing of that site is fetched");
        for (const std::string& sitemap : rules->Sitemaps())
            OnLog("robots.txt of " + origin + " lists the sitemap " + sitemap);
    }
    return rules;
}

} // namespace tessaly
