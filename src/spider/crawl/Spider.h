#pragma once
// The crawl: builds the site tree from the live site. It starts at the
// start address, fetches one page at a time through the page fetcher,
// breadth-first, queues the links each page yields on the start address's
// host, and turns every fetched page into an item under folder items that
// mirror its address's path. It runs on the user-interface thread and keeps
// the window alive by letting events run; Cancel ends it.
#include "ClaimedAddresses.h"
#include "FetchAhead.h"
#include "FileFetcher.h"
#include "MapProfile.h"
#include "RequestPacer.h"
#include "SiteRobots.h"
#include "SiteTree.h"
#include "SpiderQueue.h"
#include "SpiderTree.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class QEventLoop;
class QTimer;

namespace tessaly {

class TSpiderReporter;

// The scheme, host (in lower case) and port (given even when it is the
// scheme's default) of an http or https address; all empty for another.
struct TSiteOrigin {
    std::string Scheme;
    std::string Host;
    std::string Port;
    bool operator==(const TSiteOrigin&) const = default;
};
TSiteOrigin OriginOf(std::string_view address);

// The limit that ended a crawl, or that left links out.
enum class TCrawlLimit {
    None,
    // The page limit: the crawl stopped before a page beyond it.
    Pages,
    // The time limit: the crawl stopped when it ran out.
    Time,
    // The depth limit: the crawl ran to its end, but links of pages at the
    // deepest level were not followed.
    Depth,
};

// What a crawl left out of the maps, by reason.
struct TLeftOutCounts {
    // Addresses robots.txt kept the crawl from requesting (never fetched).
    int RobotsBlocked = 0;
    // Pages fetched that asked not to be indexed (noindex), or that name
    // another address as their canonical one; each has an item in the tree
    // marked with the reason (TDataRec::LeftOut).
    int NoIndex = 0;
    int Canonical = 0;
    bool operator==(const TLeftOutCounts&) const = default;
};

class TSpider {
  public:
    TSpider(const TMapProfile& profile, TSiteTree& tree,
            const std::vector<std::string>& ignoreFolders,
            const std::vector<std::string>& ignoreFiles, TSpiderReporter& reporter,
            int& foundCount);
    ~TSpider();

    // Crawls from the start address; returns when the queue has run dry or
    // after Cancel. The results are the tree and the found count.
    void RunSpider(const std::string& startAddress);
    // Ends a running crawl: a fetch under way is stopped at once, and its
    // page gets no item.
    void Cancel();
    bool SpiderRunning() const { return m_SpiderRunning; }
    bool SpiderCancel() const { return m_SpiderCancel; }
    // Entries taken from the queue whose bare address holds neither a double
    // quote nor "+"; the one that made it 1 was the start page.
    int TakenCount() const { return m_TakenCount; }
    // Why the start page could not be fetched (no answer, or an HTTP error
    // status); empty when it was.
    const std::string& StartPageError() const { return m_StartPageError; }
    // Addresses robots.txt kept the last crawl from requesting.
    int RobotsBlocked() const { return m_LeftOutCounts.RobotsBlocked; }
    // What the last crawl left out, by reason.
    const TLeftOutCounts& LeftOutCounts() const { return m_LeftOutCounts; }
    // Those counts as a line: "Left out: 12 blocked by robots.txt, 3
    // noindex, 5 canonical elsewhere", only the reasons that left something
    // out; empty when nothing was. A crawl that was neither cancelled nor
    // failed at its start page tells it to the reporter (crawlLeftOut) at
    // its end.
    std::string LeftOutLine() const;
    // The limit that stopped the last crawl (Pages, Time), or that left
    // links out of it (Depth); None when the crawl ran to its end. A crawl a
    // limit stopped is a finished search, not a cancelled one: SpiderCancel
    // is false, and its results stand as any search's.
    TCrawlLimit LimitReached() const { return m_LimitReached; }
    // The line the crawl logged for it ("Stopped at the page limit
    // (5,000,000)", "Stopped at the time limit (10 minutes)", "Links below
    // the depth limit (3) were not followed"); empty for None.
    const std::string& LimitLine() const { return m_LimitLine; }
    // The longest the crawl may run, instead of the profile's MaxMinutes
    // (for a run that needs a finer measure); none: the profile's.
    void SetTimeLimit(std::optional<std::chrono::milliseconds> limit) { m_TimeLimitSet = limit; }
    // The longest the crawl waits for a page whose server answered 429 or
    // 503 with Retry-After before it asks once more; a longer wait is not
    // waited for, and the page fails.
    static constexpr int MaxRetryAfterSeconds = 120;

    // The page fetcher, set up as the window sets it up; pages fetched ahead
    // are fetched with its settings.
    TFileFetcher& Fetcher() { return *m_Fetcher; }
    // How many pages are fetched ahead of their turn on further connections;
    // 0 fetches one page at a time. The results are the same either way.
    // Unset, the profile's Connections decide: one fewer than that is
    // fetched ahead, so that many requests at most are in flight at once.
    void SetFetchAhead(int depth) { m_AheadSet = depth; }
    TSpiderQueue& Queue() { return m_Queue; }
    TSpiderTree& Placement() { return m_Placement; }

    // Frees every queued entry and empties the queue and the visited list.
    void ClearSpiderLists() { m_Queue.Clear(); }
    int QueueURL(const std::string& fullURL, const std::string& bareURL,
                 const std::string& foundOn);
    // Takes the entry at the front; false when the queue is empty (the crawl
    // then ends) or when the entry may not be fetched (a double quote or "+"
    // in its bare address).
    bool TakeQueuedURL(std::string& bareURL, std::string& fullURL, std::string& foundOn);

    // The link types the window gives its fetcher: A, AREA, FRAME and IFRAME.
    static constexpr TLinkTypes SpiderLinkTypes =
        (1u << ltA_href) | (1u << ltAREA_href) | (1u << ltFRAME_src) | (1u << ltIFRAME_src);

  private:
    // How the crawl treats a fetched page, from what the page says to
    // crawlers and the profile's switches.
    struct TJudgment {
        // Why the page is left out of the maps; None: it is listed.
        TLeftOut LeftOut = TLeftOut::None;
        // Its links are followed.
        bool FollowLinks = true;
        // The one other address the page names as its canonical one (in the
        // fetcher's list), and its fetch form; nullptr when none.
        const TCanonicalTarget* Canonical = nullptr;
        std::string CanonicalForm;
    };
    // The crawl itself; RunSpider adds the report of what was left out.
    void Crawl(const std::string& startAddress);
    TJudgment Judge(const TFileFetcher& fetcher, const std::string& asked,
                    const std::string& page) const;
    // Follows the page's links as the judgment says, and queues its
    // canonical address as a link of it.
    void FollowJudged(const TJudgment& judged, const std::string& foundOn);
    // A folder's address and its index page that were both fetched, with
    // the same bytes, are one page: listed once, under the folder's
    // address. True when the page fetched now is such a second copy (an
    // index page listed already then takes the folder's address).
    bool ListedAsItsFolder(const std::string& page, const std::string& body);
    // Marks the item of a page left out, counts it and logs why.
    void LeaveOut(TSiteTree::Node* item, const TJudgment& judged, const std::string& page);
    // A redirect held because robots.txt of its target's origin was not
    // asked yet: robots.txt is asked now, and the redirect followed (as
    // part of the same fetch) when it allows the target and the crawl has
    // not asked for the target yet; else the redirect stays held. False
    // when the crawl ended meanwhile.
    bool FollowHeldRedirects(TFileFetcher& fetcher, bool startPage);
    // Queues one link of the page, unless no sitemap could hold its
    // address (then it is logged).
    void QueueLink(std::string_view full, std::string_view bare, const std::string& foundOn);
    // The outcome of a fetch, as a reason when it failed; empty otherwise.
    std::string FailureText() const;
    // The last-modified stamp of the fetched page.
    std::string PageStamp();
    // Marks the item's stamp as the page's own date when the server sent one.
    void MarkDateKnown(TSiteTree::Node* item);
    // Queues the fetched page's links; a link whose address no sitemap
    // can hold (FitsSitemapLoc) is left out, and logged.
    void QueuePageLinks(const std::string& foundOn);
    // Logs an address left out for its length, once per crawl.
    void LogLeftOut(std::string_view address);
    // The address lies on the site: the scheme, host and port of the start
    // page's final address. Only such pages are listed.
    bool OnSite(std::string_view address) const;
    // The crawl follows a link to the address: one on the site, or on the
    // site's host under the other of http and https on that scheme's
    // default port (its page is listed only when it moves onto the site).
    bool MayFollow(std::string_view address) const;
    // The crawl will fetch the entry when it reaches it (the start page
    // having been fetched).
    bool WillFetch(std::string_view fullURL, std::string_view bareURL) const;
    // After each entry taken: its fetcher ahead is free, and more pages are
    // started ahead.
    void AfterEntry(TFileFetcher* prefetched);
    // Starts pages ahead, as many as may be in flight.
    void FillAhead();
    // Counts and logs an address robots.txt keeps out; for the start page,
    // the crawl ends with that reason.
    void LeftOutByRobots(const std::string& address, bool startPage);
    // Takes the profile's limits (brought into range) for a crawl.
    void TakeLimits();
    // Ends the crawl at a limit: as Cancel does, but as a finished search,
    // with the limit's line logged and told to the reporter.
    void StopAt(TCrawlLimit limit);
    // Queues the page's links unless it is at the deepest level allowed.
    void FollowPageLinks(const std::string& foundOn);
    // Waits, letting events run, while the crawl runs; false when it ended
    // meanwhile (Cancel, a limit).
    bool Pause(std::chrono::milliseconds span);
    // Waits until the request rate allows the next request, and counts it
    // as started; false when the crawl ended meanwhile.
    bool PaceRequest();
    // Fetches the page with the fetcher (which may have fetched it already),
    // once more after the wait a 429 or 503 answer asked for (once, when it
    // is short enough). False when the crawl ended meanwhile.
    bool FetchWithRetry(TFileFetcher& fetcher, const std::string& address, bool fetched);

    const TMapProfile& m_Profile;
    TSpiderReporter& m_Reporter;
    int& m_FoundCount;
    std::unique_ptr<TFileFetcher> m_Fetcher;
    TFetchAhead m_Ahead;
    // The fetcher started ahead for the entry last taken, or nullptr.
    TFileFetcher* m_Prefetched = nullptr;
    // The fetcher of the page the crawl is on.
    TFileFetcher* m_Current = nullptr;
    TSpiderQueue m_Queue;
    TSpiderTree m_Placement;

    bool m_SpiderRunning = false;
    bool m_SpiderCancel = false;
    // The limits of the running crawl; 0: none.
    int m_MaxPages = 0;
    int m_MaxDepth = 0;
    std::chrono::milliseconds m_TimeLimit{0};
    std::optional<std::chrono::milliseconds> m_TimeLimitSet;
    std::optional<int> m_AheadSet;
    TRequestPacer m_Pacer;
    TCrawlLimit m_LimitReached = TCrawlLimit::None;
    std::string m_LimitLine;
    std::chrono::steady_clock::time_point m_Started;
    std::unique_ptr<QTimer> m_TimeUp;
    // The wait Pause runs, for Cancel and the limits to end it.
    QEventLoop* m_Pause = nullptr;
    // The link level of the entry last taken (the start page's is 0): the
    // queue is first in, first out, so the entries of one level follow
    // those of the level before; m_LevelEnd is the count of entries ever
    // queued at which the next level begins.
    int m_Level = -1;
    std::size_t m_LevelEnd = 0;
    int m_TakenCount = 0;
    TLeftOutCounts m_LeftOutCounts;
    std::string m_StartPageError;
    // The site's origin: the start page's final address's.
    TSiteOrigin m_Site;
    // Addresses pages were redirected to (fetch form); reached again, such a
    // page gets no second item.
    std::unordered_set<std::string> m_RedirectTargets;
    // Digests of the bodies of the folder addresses listed, by address.
    std::unordered_map<std::string, std::string> m_FolderBodies;
    // The index pages listed, by their folder's address: the digest of the
    // body and the item.
    std::unordered_map<std::string, std::pair<std::string, TSiteTree::Node*>> m_IndexItems;
    // What the crawl has asked for, shared with the engine's thread.
    std::shared_ptr<TClaimedAddresses> m_Claimed = std::make_shared<TClaimedAddresses>();
    // robots.txt of each origin the crawl reaches.
    TSiteRobots m_Robots;
    // Hashes of the addresses logged as left out for their length.
    std::unordered_set<std::size_t> m_LeftOut;
    // The last page stamp made, and the date it was made of.
    std::string m_Stamp;
    TDateTime m_StampOf = 0;
};

} // namespace tessaly
