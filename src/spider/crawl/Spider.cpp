#include "Spider.h"

#include "Clock.h"
#include "DateStamp.h"
#include "FetchRoutines.h"
#include "LocalScan.h"
#include "SpiderReporter.h"
#include "TextRoutines.h"
#include "UnicodeText.h"
#include "Uri.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace tessaly {

namespace {

std::string DefaultPort(std::string_view scheme) {
    return scheme == "https" ? "443" : "80";
}

} // namespace

// The scheme and authority part of an address: only these decide its
// origin, so the path, query and fragment (a link may run to megabytes) are
// never copied. Empty for an address that is not http or https.
TSiteOrigin OriginOf(std::string_view address) {
    TSiteOrigin origin;
    const size_t colon = address.find("://");
    if (colon == std::string_view::npos || colon > 5)
        return origin;
    const std::string scheme = AsciiLower(std::string(address.substr(0, colon)));
    if (scheme != "http" && scheme != "https")
        return origin;
    const size_t start = colon + 3;
    const size_t end = std::min(address.find_first_of("/?#\\", start), address.size());
    std::string_view authority = address.substr(start, end - start);
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    // The port follows the last ":", unless that ":" is inside an IPv6
    // literal's brackets.
    std::string_view host = authority, port;
    if (const size_t portColon = authority.rfind(':');
        portColon != std::string_view::npos &&
        authority.find(']', portColon) == std::string_view::npos) {
        host = authority.substr(0, portColon);
        port = authority.substr(portColon + 1);
    }
    if (host.empty())
        return origin;
    origin.Scheme = scheme;
    origin.Host = AsciiLower(std::string(host));
    // Leading zeros and the default port written out name the same origin.
    while (port.size() > 1 && port.front() == '0')
        port.remove_prefix(1);
    origin.Port = port.empty() ? DefaultPort(scheme) : std::string(port);
    return origin;
}

namespace {

// The folder address of an index page (a folder's index page under a name
// the local scan knows too); empty for any other address.
std::string IndexPageFolder(const std::string& address) {
    const size_t slash = address.rfind('/');
    if (slash == std::string::npos)
        return {};
    const std::string name = AsciiLower(address.substr(slash + 1));
    for (const char* index : {"index.html", "index.htm", "welcome.html", "index.php", "index.asp"})
        if (name == index)
            return address.substr(0, slash + 1);
    return {};
}

// A digest of a page's bytes: two pages with the same digest are the same
// bytes.
std::string BodyDigest(const std::string& body) {
    return QCryptographicHash::hash(
               QByteArrayView(body.data(), static_cast<qsizetype>(body.size())),
               QCryptographicHash::Sha256)
        .toStdString();
}

std::string PercentDecoded(std::string_view text) {
    auto hex = [](char c) {
        return c >= '0' && c <= '9'                     ? c - '0'
               : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                        : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Takes "user:password@" out of an address's authority, percent-decoded;
// the address keeps everything else as it stands.
std::string WithoutCredentials(const std::string& address, std::string& user,
                               std::string& password) {
    user.clear();
    password.clear();
    const size_t scheme = address.find("://");
    if (scheme == std::string::npos)
        return address;
    const size_t start = scheme + 3;
    const size_t end = std::min(address.find_first_of("/?#", start), address.size());
    const size_t at = address.rfind('@', end == 0 ? 0 : end - 1);
    if (at == std::string::npos || at < start)
        return address;
    const std::string info = address.substr(start, at - start);
    const size_t colon = info.find(':');
    user = PercentDecoded(std::string_view(info).substr(0, colon));
    if (colon != std::string::npos)
        password = PercentDecoded(std::string_view(info).substr(colon + 1));
    return address.substr(0, start) + address.substr(at + 1);
}

// A chain of redirects held for robots.txt is followed this many hops.
constexpr int kMostHeldRedirects = 5;

// The one address a page names as its canonical one, and its fetch form;
// nullptr when it names none, or several that disagree (as search engines
// do, such a page is taken to name none). Addresses are compared as the
// crawl compares them: in fetch form, without regard to case.
const TCanonicalTarget* SoleCanonical(const std::vector<TCanonicalTarget>& targets,
                                      std::string& form) {
    const TCanonicalTarget* sole = nullptr;
    for (const TCanonicalTarget& target : targets) {
        std::string targetForm = EncodeURLForFetch(target.Full);
        if (!sole) {
            sole = &target;
            form = std::move(targetForm);
        } else if (!TCaseEqual()(targetForm, form)) {
            return nullptr;
        }
    }
    return sole;
}

bool IsErrorStatus(int response) {
    return response >= 300 || (response > 0 && response < 200);
}

// An answer that asks the client to come back later.
bool IsBusyStatus(int response) {
    return response == 429 || response == 503;
}

// A count with thousands separators: "5,000,000".
std::string WithThousands(long long count) {
    std::string digits = std::to_string(count);
    const std::size_t first = digits.front() == '-' ? 1 : 0;
    for (std::size_t at = digits.size(); at > first + 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string Counted(long long count, const char* unit) {
    return WithThousands(count) + " " + unit + (count == 1 ? "" : "s");
}

// A time limit as the user set it: whole minutes, else seconds, else
// milliseconds.
std::string LimitText(std::chrono::milliseconds limit) {
    const long long ms = limit.count();
    if (ms % 60000 == 0)
        return Counted(ms / 60000, "minute");
    if (ms % 1000 == 0)
        return Counted(ms / 1000, "second");
    return Counted(ms, "millisecond");
}

} // namespace

TSpider::TSpider(const TMapProfile& profile, TSiteTree& tree,
                 const std::vector<std::string>& ignoreFolders,
                 const std::vector<std::string>& ignoreFiles, TSpiderReporter& reporter,
                 int& foundCount)
    : m_Profile(profile), m_Reporter(reporter), m_FoundCount(foundCount),
      m_Fetcher(std::make_unique<TFileFetcher>()),
      m_Placement(tree, profile, ignoreFolders, ignoreFiles, reporter) {
    m_Fetcher->LinkTypes = SpiderLinkTypes;
    // A redirect is followed only to an address the crawl has not asked for
    // yet, and claims it: no address is requested twice. robots.txt of its
    // origin decides first: a redirect to an address it disallows is not
    // followed, and one to an origin whose robots.txt was not asked yet is
    // held (the crawl asks it, then follows the redirect if it may).
    m_Fetcher->RedirectFilter = [claimed = m_Claimed,
                                 robots = m_Robots.Table()](const std::string& url) {
        if (robots->KnownAllows(url) != true)
            return false;
        return claimed->Claim(url);
    };
    m_Robots.OnLog = [this](const std::string& line) { m_Reporter.logLine(line); };
    // A page fetched ahead is a request like any other: it waits for the
    // request rate, and none is started for a page beyond the page limit.
    m_Ahead.MayStart = [this] {
        return m_Pacer.Ready() &&
               (m_MaxPages <= 0 || m_FoundCount + m_Ahead.Outstanding() < m_MaxPages);
    };
    m_Ahead.OnStarted = [this] { m_Pacer.Started(); };
}

TSpider::~TSpider() = default;

void TSpider::Cancel() {
    m_SpiderCancel = true;
    m_SpiderRunning = false;
    // A fetch that waits (for a server that stalls, it may wait until the
    // time-out) ends now; the crawl then returns without an item for it.
    if (m_Current && m_Current->Busy())
        m_Current->CancelFetch();
    m_Robots.Cancel();
    m_Ahead.Reset();
    if (m_Pause)
        m_Pause->quit();
}

void TSpider::StopAt(TCrawlLimit limit) {
    if (!m_SpiderRunning)
        return;
    m_LimitReached = limit;
    m_LimitLine = limit == TCrawlLimit::Pages
                      ? "Stopped at the page limit (" + WithThousands(m_MaxPages) + ")"
                      : "Stopped at the time limit (" + LimitText(m_TimeLimit) + ")";
    m_SpiderRunning = false;
    // The page under way when time runs out gets no item, as after Cancel.
    if (m_Current && m_Current->Busy())
        m_Current->CancelFetch();
    m_Robots.Cancel();
    m_Ahead.Reset();
    if (m_Pause)
        m_Pause->quit();
    m_Reporter.crawlStopped(m_LimitLine);
}

void TSpider::TakeLimits() {
    m_MaxPages = std::max(0, m_Profile.MaxPages());
    m_MaxDepth = std::max(0, m_Profile.MaxDepth());
    m_TimeLimit = m_TimeLimitSet ? std::max(std::chrono::milliseconds(0), *m_TimeLimitSet)
                                 : std::chrono::minutes(std::max(0, m_Profile.MaxMinutes()));
    m_Pacer.SetRate(std::min(m_Profile.MaxRate(), TMapProfile::MaxRateLimit));
    const int connections = std::clamp(m_Profile.Connections(), TMapProfile::MinConnections,
                                       TMapProfile::MaxConnections);
    // The page the crawl fetches itself (or robots.txt) and those fetched
    // ahead are the requests in flight at once.
    m_Ahead.SetDepth(m_AheadSet ? *m_AheadSet : connections - 1);
    m_LimitReached = TCrawlLimit::None;
    m_LimitLine.clear();
    m_Level = -1;
    m_LevelEnd = 0;
}

bool TSpider::Pause(std::chrono::milliseconds span) {
    if (!m_SpiderRunning)
        return false;
    if (span.count() <= 0)
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(span);
    m_Pause = &loop;
    loop.exec();
    m_Pause = nullptr;
    return m_SpiderRunning;
}

bool TSpider::PaceRequest() {
    while (m_SpiderRunning && !m_Pacer.Ready())
        Pause(std::chrono::ceil<std::chrono::milliseconds>(m_Pacer.Wait()));
    if (!m_SpiderRunning)
        return false;
    m_Pacer.Started();
    return true;
}

bool TSpider::FetchWithRetry(TFileFetcher& fetcher, const std::string& address, bool fetched) {
    if (fetched) {
        fetcher.WaitForOutcome();
        fetcher.EndFetch();
    } else {
        if (!PaceRequest())
            return false;
        fetcher.FetchPage(address);
    }
    if (!m_SpiderRunning)
        return false;
    // A server that is busy and names a short wait is asked once more after
    // it; a longer wait, or none named, and the page fails now.
    const int wait = fetcher.RetryAfter;
    if (!IsBusyStatus(fetcher.Response) || wait < 0 || wait > MaxRetryAfterSeconds)
        return true;
    m_Reporter.logLine("Waiting " + Counted(wait, "second") + " as the server asked (HTTP " +
                       std::to_string(fetcher.Response) + "): " + address);
    m_Current = &fetcher;
    if (!Pause(std::chrono::seconds(wait)) || !PaceRequest())
        return false;
    fetcher.FetchPage(address);
    return m_SpiderRunning;
}

int TSpider::QueueURL(const std::string& fullURL, const std::string& bareURL,
                      const std::string& foundOn) {
    return m_Queue.QueueURL(fullURL, bareURL, foundOn);
}

bool TSpider::TakeQueuedURL(std::string& bareURL, std::string& fullURL, std::string& foundOn) {
    if (m_Queue.Empty()) {
        m_SpiderRunning = false;
        bareURL.clear();
        fullURL.clear();
        foundOn.clear();
        return false;
    }
    // The entries of each link level follow those of the level before.
    const std::size_t sequence = m_Queue.TakenCount();
    if (sequence >= m_LevelEnd) {
        ++m_Level;
        m_LevelEnd = sequence + m_Queue.Size();
    }
    AURLItem item = m_Queue.TakeFront();
    m_Prefetched = m_Ahead.Take();
    bareURL = std::move(item.BareURL);
    fullURL = std::move(item.FullURL);
    foundOn = std::move(item.FoundOn);
    return bareURL.find_first_of("\"+") == std::string::npos;
}

bool TSpider::OnSite(std::string_view address) const {
    return !m_Site.Scheme.empty() && OriginOf(address) == m_Site;
}

bool TSpider::MayFollow(std::string_view address) const {
    if (m_Site.Scheme.empty())
        return false;
    const TSiteOrigin origin = OriginOf(address);
    if (origin.Scheme.empty() || origin.Host != m_Site.Host)
        return false;
    if (origin.Scheme == m_Site.Scheme)
        return origin.Port == m_Site.Port;
    // The site's host under the other scheme, on that scheme's own port: a
    // site often links its http and https forms alike, and one redirects to
    // the other.
    return origin.Port == DefaultPort(origin.Scheme);
}

bool TSpider::WillFetch(std::string_view fullURL, std::string_view bareURL) const {
    return bareURL.find_first_of("\"+") == std::string_view::npos && MayFollow(fullURL);
}

std::string TSpider::FailureText() const {
    const int response = m_Current->Response;
    if (response == 0)
        return m_Current->FailureReason.empty() ? "no answer from the host"
                                                : m_Current->FailureReason;
    if (response == -3)
        return "the connection was lost";
    if (IsBusyStatus(response) && m_Current->RetryAfter > MaxRetryAfterSeconds)
        return "HTTP " + std::to_string(response) + " " + HTTPStatusText(response) +
               " (the server asked for a wait of " + Counted(m_Current->RetryAfter, "second") + ")";
    if (IsErrorStatus(response))
        return "HTTP " + std::to_string(response) + " " + HTTPStatusText(response);
    return {};
}

std::string TSpider::PageStamp() {
    try {
        // Pages of a site often share their date: the last stamp is reused.
        const TDateTime modified = m_Current->LastModified();
        if (modified != m_StampOf || m_Stamp.empty()) {
            m_Stamp = W3CDateTime(DateTimeToTime(modified));
            m_StampOf = modified;
        }
        return m_Stamp;
    } catch (...) {
        return W3CDateTime(Clock::now());
    }
}

void TSpider::MarkDateKnown(TSiteTree::Node* item) {
    // Only a Last-Modified date the server sent is the page's own date.
    if (item && m_Current->LastModifiedReceived())
        item->data.LastModKnown = true;
}

void TSpider::QueuePageLinks(const std::string& foundOn) {
    const int count = m_Current->LinkCount();
    for (int i = 0; i < count; ++i) {
        const auto& [full, bare] = m_Current->Link(i);
        QueueLink(full, bare, foundOn);
    }
}

void TSpider::QueueLink(std::string_view full, std::string_view bare, const std::string& foundOn) {
    if (bare.size() <= 1)
        return;
    // A page whose address no sitemap can hold is not fetched: it could
    // get no item. The address its item would carry is the link's fetch
    // form; escaping makes at most six characters of a byte, so short
    // links are settled without making it. Only a link the crawl would
    // have followed is logged.
    if (full.size() * 6 > kMaxSitemapLocLength) {
        const std::string fetchForm = EncodeURLForFetch(full);
        if (!FitsSitemapLoc(fetchForm)) {
            if (MayFollow(full))
                LogLeftOut(fetchForm);
            return;
        }
    }
    m_Queue.QueueURL(full, bare, foundOn);
}

TSpider::TJudgment TSpider::Judge(const TFileFetcher& fetcher, const std::string& asked,
                                  const std::string& page) const {
    TJudgment judged;
    const TRobotsDirectives& robots = fetcher.Robots;
    judged.FollowLinks = !robots.NoFollow || m_Profile.FollowNofollow();
    // A canonical address that is the page's own (as served, or as asked
    // for before a redirect) changes nothing.
    std::string form;
    const TCanonicalTarget* canonical = SoleCanonical(fetcher.Canonicals, form);
    if (canonical && !TCaseEqual()(form, page) && !TCaseEqual()(form, asked)) {
        judged.Canonical = canonical;
        judged.CanonicalForm = std::move(form);
    }
    if (robots.NoIndex && m_Profile.LeaveOutNoindex())
        judged.LeftOut = TLeftOut::NoIndex;
    else if (judged.Canonical && m_Profile.LeaveOutCanonical())
        judged.LeftOut = TLeftOut::Canonical;
    return judged;
}

void TSpider::FollowJudged(const TJudgment& judged, const std::string& foundOn) {
    if (judged.FollowLinks)
        FollowPageLinks(foundOn);
    // The canonical address is queued as a link of the page, whether the
    // page is listed or not, and whether its links are followed or not:
    // what the page holds is to be found there. It is one level further,
    // as any link of the page.
    const TCanonicalTarget* canonical = judged.Canonical;
    if (canonical && canonical->Followed && (m_MaxDepth <= 0 || m_Level < m_MaxDepth))
        QueueLink(canonical->Full, canonical->Bare, foundOn);
}

void TSpider::LeaveOut(TSiteTree::Node* item, const TJudgment& judged, const std::string& page) {
    if (judged.LeftOut == TLeftOut::None)
        return;
    if (item)
        item->data.LeftOut = judged.LeftOut;
    if (judged.LeftOut == TLeftOut::NoIndex) {
        ++m_LeftOutCounts.NoIndex;
        m_Reporter.logLine("Left out (noindex): " + page);
    } else {
        ++m_LeftOutCounts.Canonical;
        m_Reporter.logLine("Left out (canonical elsewhere: " + judged.CanonicalForm + "): " + page);
    }
}

bool TSpider::ListedAsItsFolder(const std::string& page, const std::string& body) {
    if (page.ends_with('/')) {
        const std::string digest = BodyDigest(body);
        m_FolderBodies.try_emplace(page, digest);
        // The folder's index page was listed already: that item is the
        // folder's address from now on.
        const auto index = m_IndexItems.find(page);
        if (index == m_IndexItems.end() || index->second.first != digest)
            return false;
        TSiteTree::Node* item = index->second.second;
        m_Reporter.logLine("Listed as " + page + ": " + item->data.LinkURL);
        item->data.LinkURL = page;
        item->data.IsFolder = true;
        m_IndexItems.erase(index);
        return true;
    }
    const std::string folder = IndexPageFolder(page);
    if (folder.empty())
        return false;
    const auto known = m_FolderBodies.find(folder);
    if (known == m_FolderBodies.end() || known->second != BodyDigest(body))
        return false;
    m_Reporter.logLine("Listed as " + folder + ": " + page);
    return true;
}

std::string TSpider::LeftOutLine() const {
    std::string line;
    auto add = [&line](int count, const char* reason) {
        if (count <= 0)
            return;
        line += line.empty() ? "Left out: " : ", ";
        line += WithThousands(count) + " " + reason;
    };
    add(m_LeftOutCounts.RobotsBlocked, "blocked by robots.txt");
    add(m_LeftOutCounts.NoIndex, "noindex");
    add(m_LeftOutCounts.Canonical, "canonical elsewhere");
    return line;
}

bool TSpider::FollowHeldRedirects(TFileFetcher& fetcher, bool startPage) {
    for (int hop = 0; hop < kMostHeldRedirects; ++hop) {
        const std::string held = fetcher.HeldRedirect;
        if (held.empty() || m_Robots.KnownAllows(held).has_value())
            return true;
        // Only the start page takes the site along to another origin; a
        // page off the site would get no item, and its links would not be
        // followed, so it is not asked for.
        if (!startPage && !OnSite(held))
            return true;
        if (!PaceRequest())
            return false;
        const bool allowed = m_Robots.Allows(held);
        if (!m_SpiderRunning)
            return false;
        if (!allowed || !m_Claimed->Claim(held))
            return true;
        if (!PaceRequest())
            return false;
        fetcher.ContinueRedirect();
        if (!m_SpiderRunning)
            return false;
    }
    return true;
}

void TSpider::FollowPageLinks(const std::string& foundOn) {
    if (m_MaxDepth <= 0 || m_Level < m_MaxDepth) {
        QueuePageLinks(foundOn);
        return;
    }
    // A page at the deepest level is listed; its links are not followed.
    // The log says so once, for the first link the crawl would have taken.
    if (m_LimitReached != TCrawlLimit::None)
        return;
    const int count = m_Current->LinkCount();
    for (int i = 0; i < count; ++i) {
        const auto& [full, bare] = m_Current->Link(i);
        if (bare.size() <= 1 || m_Queue.Knows(full) || !MayFollow(full))
            continue;
        m_LimitReached = TCrawlLimit::Depth;
        m_LimitLine =
            "Links below the depth limit (" + WithThousands(m_MaxDepth) + ") were not followed";
        m_Reporter.logLine(m_LimitLine);
        return;
    }
}

void TSpider::LogLeftOut(std::string_view address) {
    // A hash of each address logged stands for it: a page may repeat a
    // megabyte-long link, and many pages may carry it.
    if (m_LeftOut.insert(std::hash<std::string_view>()(address)).second)
        m_Reporter.logLine(LeftOutLongAddressLine(address));
}

void TSpider::LeftOutByRobots(const std::string& address, bool startPage) {
    ++m_LeftOutCounts.RobotsBlocked;
    if (!startPage) {
        m_Reporter.logLine("Left out (blocked by robots.txt): " + address);
        return;
    }
    // A start page robots.txt keeps out leaves the crawl nothing to do.
    const std::string failure = m_Robots.FailureOf(address);
    m_StartPageError = "Cannot fetch " + address + ": " +
                       (failure.empty() ? "blocked by robots.txt"
                                        : "robots.txt could not be read (" + failure + ")");
    m_Reporter.logLine(m_StartPageError);
    m_SpiderRunning = false;
}

void TSpider::AfterEntry(TFileFetcher* prefetched) {
    m_Ahead.Release(prefetched);
    m_Current = nullptr;
    FillAhead();
}

void TSpider::FillAhead() {
    if (m_SpiderRunning && m_TakenCount > 0)
        m_Ahead.Fill(m_Queue, *m_Fetcher, [this](std::string_view full, std::string_view bare) {
            if (!WillFetch(full, bare))
                return false;
            // Only where robots.txt of the page's origin is known to allow it.
            const std::string form = EncodeURLForFetch(full);
            return m_Robots.KnownAllows(form) == true && m_Claimed->Claim(form);
        });
}

void TSpider::RunSpider(const std::string& startAddress) {
    Crawl(startAddress);
    // A search that ended (at its end, or at a limit) says what it left
    // out; a cancelled one says nothing more, nor does one whose start page
    // could not be fetched (its reason says it all).
    if (const std::string line = LeftOutLine();
        !m_SpiderCancel && m_StartPageError.empty() && !line.empty())
        m_Reporter.crawlLeftOut(line);
}

void TSpider::Crawl(const std::string& startAddress) {
    // 1, 2
    m_SpiderCancel = false;
    ClearSpiderLists();
    m_Ahead.Reset();
    m_RedirectTargets.clear();
    m_FolderBodies.clear();
    m_IndexItems.clear();
    m_Claimed->Clear();
    m_LeftOutCounts = {};
    m_LeftOut.clear();
    m_StartPageError.clear();
    m_Placement.IndexTree();
    TakeLimits();
    // Credentials in the start address are sent to the site and never
    // become part of an address the crawl records, logs or writes.
    const std::string start =
        WithoutCredentials(startAddress, m_Fetcher->UserName, m_Fetcher->Password);
    // Every fetch of this crawl, the pages fetched ahead included, shares
    // one cookie jar.
    m_Fetcher->CookieJar = std::make_shared<THttpCookieJar>();
    // Every request names the crawler: the profile's agent text, or ours.
    m_Fetcher->Agent = m_Profile.UserAgent().empty() ? TessalyAgent() : m_Profile.UserAgent();
    m_Fetcher->FollowNofollow = m_Profile.FollowNofollow();
    m_Robots.Reset(m_Profile.ObeyRobotsTxt(), *m_Fetcher);
    m_Site = OriginOf(start);
    QueueURL(start, start, {});
    // 3
    m_SpiderRunning = true;
    // The time limit: checked before each page, and a timer ends a fetch or
    // a wait under way when it runs out.
    m_Started = std::chrono::steady_clock::now();
    auto timeIsUp = [this] {
        return m_TimeLimit.count() > 0 &&
               std::chrono::steady_clock::now() - m_Started >= m_TimeLimit;
    };
    struct TTimerEnd {
        std::unique_ptr<QTimer>& timer;
        ~TTimerEnd() { timer.reset(); }
    } timerEnd{m_TimeUp};
    if (m_TimeLimit.count() > 0) {
        m_TimeUp = std::make_unique<QTimer>();
        m_TimeUp->setSingleShot(true);
        // A limit of weeks is waited for an hour at a time.
        auto arm = [this] {
            const auto left = m_TimeLimit - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - m_Started);
            m_TimeUp->start(std::clamp(left, std::chrono::milliseconds(1),
                                       std::chrono::milliseconds(std::chrono::hours(1))));
        };
        QObject::connect(m_TimeUp.get(), &QTimer::timeout, [this, timeIsUp, arm] {
            if (timeIsUp())
                StopAt(TCrawlLimit::Time);
            else
                arm();
        });
        arm();
    }
    m_Reporter.lookingIn(start);
    m_FoundCount = 0;
    m_TakenCount = 0;
    m_Reporter.letEventsRun();
    // 4
    m_Fetcher->FollowQueryParts = m_Profile.FollowQueryParts();
    const std::string& fileTypes = m_Profile.FileTypes();
    std::string foundOn;

    // 5
    while (m_SpiderRunning) {
        if (timeIsUp()) {
            StopAt(TCrawlLimit::Time);
            break;
        }
        std::string bare, taken, takenFoundOn;
        const bool fetchable = TakeQueuedURL(bare, taken, takenFoundOn);
        // Whatever becomes of this entry, the fetcher started ahead for it
        // is free again afterwards, and the next pages are started.
        struct TNext {
            TSpider& s;
            TFileFetcher* prefetched;
            ~TNext() { s.AfterEntry(prefetched); }
        } next{*this, m_Prefetched};
        if (!fetchable)
            continue;
        ++m_TakenCount;
        const bool startPage = m_TakenCount == 1;
        if (!startPage && !MayFollow(taken))
            continue;
        // A page beyond the page limit ends the crawl before it is counted.
        if (m_MaxPages > 0 && m_FoundCount >= m_MaxPages) {
            StopAt(TCrawlLimit::Pages);
            continue;
        }
        m_Reporter.fileFound(taken);
        ++m_FoundCount;
        m_Reporter.fileCount(m_FoundCount);
        // The page taken was fetched ahead: another fetch ahead takes its
        // place, so that as many are in flight while the crawl waits for it.
        if (m_Prefetched)
            FillAhead();
        m_Reporter.letEventsRun();
        m_Queue.AddVisited(taken);
        const std::string fetchForm = EncodeURLForFetch(taken);
        // Links too long for a sitemap are never queued; a start address
        // that long ends the crawl before its fetch.
        if (!FitsSitemapLoc(fetchForm)) {
            LogLeftOut(fetchForm);
            if (startPage) {
                m_StartPageError = LeftOutLongAddressLine(fetchForm);
                m_SpiderRunning = false;
            }
            continue;
        }
        // robots.txt of the page's origin decides before anything of it is
        // requested; it is asked for once, the first time (a request that
        // waits for the request rate like any other).
        if (!m_Prefetched && !m_Robots.KnownAllows(fetchForm).has_value() && !PaceRequest())
            return;
        if (!m_Prefetched && !m_Robots.Allows(fetchForm)) {
            if (!m_SpiderRunning)
                return;
            LeftOutByRobots(fetchForm, startPage);
            continue;
        }
        if (!m_SpiderRunning)
            return;
        // An address the crawl asked for already (a redirect of another page
        // led there) is not asked for again; that page has its item.
        if (!m_Prefetched && !m_Claimed->Claim(fetchForm))
            continue;
        // The page's fetcher: the one that fetched it ahead, or the crawl's own.
        TFileFetcher& fetcher = m_Prefetched ? *m_Prefetched : *m_Fetcher;
        m_Current = &fetcher;
        try {
            const bool fetched = FetchWithRetry(fetcher, fetchForm, m_Prefetched != nullptr);
            if (m_SpiderCancel)
                fetcher.CancelFetch();
            if (!fetched || !m_SpiderRunning)
                return;
            foundOn = fetcher.URL;
        } catch (...) {
        }
        if (!FollowHeldRedirects(fetcher, startPage))
            return;

        // The page is what was served: its final address after redirects.
        const std::string& page = fetcher.FinalURL.empty() ? fetchForm : fetcher.FinalURL;
        // A redirect to an address the crawl asked for already was not
        // followed: that address has, or will have, its own item. One back
        // to the page itself is a loop, and fails as one.
        if (!fetcher.HeldRedirect.empty() && m_Robots.KnownAllows(fetcher.HeldRedirect) == false) {
            LeftOutByRobots(fetcher.HeldRedirect, startPage);
            continue;
        }
        if (!fetcher.HeldRedirect.empty() && fetcher.HeldRedirect != fetchForm && !startPage)
            continue;
        const std::string failure = FailureText();
        if (startPage) {
            if (!failure.empty()) {
                m_StartPageError = "Cannot fetch " + fetchForm + ": " + failure;
                m_Reporter.logLine(m_StartPageError);
            }
            // A start page that moved to an address no sitemap can hold
            // leaves the site without its first item: the crawl ends.
            if (!FitsSitemapLoc(page)) {
                LogLeftOut(page);
                m_StartPageError = LeftOutLongAddressLine(page);
                m_SpiderRunning = false;
                continue;
            }
            // A start page that moved takes the site with it: the site is
            // the scheme, host and port of where it landed.
            if (fetcher.Redirected) {
                m_Site = OriginOf(page);
                m_Queue.AddVisited(page);
                m_RedirectTargets.insert(page);
            }
            const TJudgment judged =
                failure.empty() ? Judge(fetcher, fetchForm, page) : TJudgment();
            FollowJudged(judged, foundOn);
            if (page.ends_with('/'))
                m_FolderBodies.emplace(page, BodyDigest(fetcher.PageContent));
            TSiteTree::Node* item = m_Placement.AddStartItem(page, fetcher.Title, PageStamp());
            MarkDateKnown(item);
            LeaveOut(item, judged, page);
            continue;
        }
        if (fetcher.Redirected) {
            // Both addresses count as visited; a page met before under its
            // final address, or one off the site, gets no item here.
            const bool seen = !TCaseEqual()(page, taken) && m_Queue.IsVisited(page);
            m_Queue.AddVisited(page);
            if (seen || !OnSite(page) || !m_RedirectTargets.insert(page).second)
                continue;
        } else if (m_RedirectTargets.count(fetchForm) || !OnSite(page)) {
            // A page of the site's other scheme is listed, and its links
            // followed, only when it moved onto the site.
            continue;
        }
        // A page cut short (a lost connection, a stall, the deadline) is a
        // failed page: what arrived of it is not the page.
        if (!failure.empty()) {
            m_Reporter.logLine("Cannot fetch " + fetchForm + ": " + failure);
            continue;
        }
        // 6: what the page says to crawlers decides whether its links are
        // followed and whether it is listed.
        const TJudgment judged = Judge(fetcher, fetchForm, page);
        FollowJudged(judged, foundOn);
        // 7
        const std::string segment = LastURLSegment(page);
        if (segment.find('.') != std::string::npos && !MatchesFileTypes(segment, fileTypes))
            continue;
        // A page redirected to an address no sitemap can hold gets no item;
        // its links are queued as any page's.
        if (!FitsSitemapLoc(page)) {
            LogLeftOut(page);
            continue;
        }
        if (ListedAsItsFolder(page, fetcher.PageContent))
            continue;
        if (judged.LeftOut == TLeftOut::None)
            m_Reporter.logLine(page);
        // The title as people read it: its character references decoded.
        const std::string& title = fetcher.Title.empty() ? page : fetcher.Title;
        TSiteTree::Node* item =
            m_Placement.AddSpiderItem(page, title, fetcher.HasTitle, PageStamp());
        MarkDateKnown(item);
        LeaveOut(item, judged, page);
        if (const std::string folder = IndexPageFolder(page); item && !folder.empty())
            m_IndexItems.try_emplace(folder, BodyDigest(fetcher.PageContent), item);
    }
}

} // namespace tessaly
