#pragma once
// The crawl's first-in first-out queue of links and its list of addresses
// taken for fetching. Both are indexed: a link is checked against the
// waiting entries (exactly) and the visited addresses (without regard to
// case) in constant time, with the answers a search entry by entry would give.
#include "CaseKey.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tessaly {

// One queued link.
struct AURLItem {
    // As resolved against its page, with its query, without its fragment.
    std::string FullURL;
    // The same without its query.
    std::string BareURL;
    // The page it was found on; shared by all links of that page.
    std::shared_ptr<const std::string> FoundOn;
};

class TSpiderQueue {
  public:
    // Empties the queue and the visited list.
    void Clear();
    // Appends a link unless an entry with the same full address waits
    // (compared exactly) or the address was visited (compared without regard
    // to case); the new entry's index from the front, or -1.
    int QueueURL(std::string fullURL, std::string bareURL,
                 std::shared_ptr<const std::string> foundOn);
    bool Empty() const { return m_Queue.empty(); }
    std::size_t Size() const { return m_Queue.size(); }
    const AURLItem& Front() const { return m_Queue.front(); }
    // The entry at the front, taken off the queue.
    AURLItem TakeFront();

    // The visited list: addresses taken for fetching in this crawl.
    void AddVisited(std::string_view address);
    bool IsVisited(std::string_view address) const;
    std::size_t VisitedCount() const { return m_Visited.size(); }

  private:
    // Entries keep their place in memory while they wait: elements are only
    // added at the back and taken from the front.
    std::deque<AURLItem> m_Queue;
    std::unordered_set<std::string_view> m_Waiting; // views of FullURL
    std::unordered_set<std::string, TCaseHash, TCaseEqual> m_Visited;
};

} // namespace tessaly
