#pragma once
// Fetches pages ahead of their turn on further connections. The front of
// the crawl's queue never changes once queued (links are added at the back),
// so the entries the crawl will fetch next are known; their pages are fetched
// concurrently while the crawl works on the page before them. The crawl then
// takes each page's results in its own order, as if it had fetched it then,
// so the tree, the counts and the log come out as one fetch at a time gives
// them. Their transfers run concurrently on the HTTP engine's one thread.
#include "FileFetcher.h"
#include "SpiderQueue.h"

#include <deque>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace tessaly {

class TFetchAhead {
  public:
    // Whether the crawl will fetch an entry when it reaches it.
    using TWillFetch = std::function<bool(std::string_view fullURL, std::string_view bareURL)>;

    TFetchAhead() = default;
    ~TFetchAhead();
    TFetchAhead(const TFetchAhead&) = delete;
    TFetchAhead& operator=(const TFetchAhead&) = delete;

    // Asked before each fetch ahead would start: false ends the filling for
    // now, and the entry is looked at again by the next Fill. None: always.
    std::function<bool()> MayStart;
    // Told of each fetch ahead as it starts.
    std::function<void()> OnStarted;
    // Fetches ahead started and not yet taken.
    int Outstanding() const { return m_Ahead; }

    // How many pages may be fetched ahead; 0 fetches none.
    void SetDepth(int depth);
    int Depth() const { return m_Depth; }
    // Looks at the entries behind those looked at before and starts fetches,
    // with the settings of the given fetcher, for those the crawl will
    // fetch, while fewer than Depth are under way or waiting to be taken.
    void Fill(const TSpiderQueue& queue, const TFileFetcher& settings, const TWillFetch& willFetch);
    // The queue's front entry was taken: the fetcher started for it (its
    // fetch may still run), or nullptr. The crawl hands it back with Release.
    TFileFetcher* Take();
    void Release(TFileFetcher* fetcher);
    // Stops every fetch ahead and forgets the entries looked at.
    void Reset();

  private:
    int m_Depth = 0;
    std::vector<std::unique_ptr<TFileFetcher>> m_Fetchers;
    std::vector<TFileFetcher*> m_Free;
    // One per entry looked at, from the queue's front: its fetcher or nullptr.
    std::deque<TFileFetcher*> m_Slots;
    int m_Ahead = 0; // fetchers in m_Slots
};

} // namespace tessaly
