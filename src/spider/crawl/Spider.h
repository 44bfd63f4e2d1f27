#pragma once
// The crawl: builds the site tree from the live site. It starts at the
// start address, fetches one page at a time through the page fetcher,
// breadth-first, queues the links each page yields on the start address's
// host, and turns every fetched page into an item under folder items that
// mirror its address's path. It runs on the user-interface thread and keeps
// the window alive by letting events run; Cancel ends it.
#include "FileFetcher.h"
#include "MapProfile.h"
#include "SiteTree.h"
#include "SpiderQueue.h"
#include "SpiderTree.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace tessaly {

class TSpiderReporter;

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

    // The page fetcher, set up as the window sets it up.
    TFileFetcher& Fetcher() { return *m_Fetcher; }
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
    // The outcome of a fetch, as a reason when it failed; empty otherwise.
    std::string FailureText() const;
    // The last-modified stamp of the fetched page.
    std::string PageStamp();
    void QueuePageLinks(const std::shared_ptr<const std::string>& foundOn);
    bool OnStartHost(const std::string& address) const;

    const TMapProfile& m_Profile;
    TSiteTree& m_Tree;
    TSpiderReporter& m_Reporter;
    int& m_FoundCount;
    std::unique_ptr<TFileFetcher> m_Fetcher;
    TSpiderQueue m_Queue;
    TSpiderTree m_Placement;

    bool m_SpiderRunning = false;
    bool m_SpiderCancel = false;
    int m_TakenCount = 0;
    std::string m_StartPageError;
    // The host of the start page's address, as the address class reads it.
    std::u16string m_StartHost;
    // Addresses pages were redirected to (fetch form); reached again, such a
    // page gets no second item.
    std::unordered_set<std::string> m_RedirectTargets;
};

} // namespace tessaly
