#pragma once
// The crawl's first-in first-out queue of links and its list of addresses
// taken for fetching. Both are indexed: a link is checked against the
// waiting entries (exactly) and the visited addresses (without regard to
// case) in constant time, with the answers a search entry by entry would
// give. A crawl of 100,000 pages holds these for every address it meets, so
// entries are kept compact: waiting addresses and the pages they were found
// on packed in blocks freed as the queue moves on (a page's address once for
// all its links), visited addresses packed in an arena, tables of eight-byte
// slots.
#include "CaseKey.h"
#include "OpenTable.h"
#include "QueueText.h"
#include "TextArena.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

// One queued link, as the queue hands it out.
struct AURLItem {
    // As resolved against its page, with its query, without its fragment.
    std::string FullURL;
    // The same without its query.
    std::string BareURL;
    // The page it was found on (kept, not read again).
    std::string FoundOn;
};

class TSpiderQueue {
  public:
    TSpiderQueue();
    TSpiderQueue(const TSpiderQueue&) = delete;
    TSpiderQueue& operator=(const TSpiderQueue&) = delete;

    // Empties the queue and the visited list.
    void Clear();
    // Appends a link unless an entry with the same full address waits
    // (compared exactly) or the address was visited (compared without regard
    // to case); the new entry's index from the front, or -1.
    int QueueURL(std::string_view fullURL, std::string_view bareURL, std::string_view foundOn);
    bool Empty() const { return m_Queue.empty(); }
    std::size_t Size() const { return m_Queue.size(); }
    // The addresses of the entry index places behind the front.
    std::string_view FullAt(std::size_t index) const { return m_Queue[index].Full(); }
    std::string_view BareAt(std::size_t index) const { return m_Queue[index].Bare(); }
    // The entry at the front, taken off the queue.
    AURLItem TakeFront();
    // Entries taken since the queue was last cleared; with Size, the number
    // of entries ever queued.
    std::size_t TakenCount() const { return m_Taken; }
    // QueueURL would not append the link: an entry with that full address
    // waits, or the address was visited.
    bool Knows(std::string_view fullURL) const {
        return m_Waiting.Find(fullURL) || IsVisited(fullURL);
    }

    // The visited list: addresses taken for fetching in this crawl.
    void AddVisited(std::string_view address);
    bool IsVisited(std::string_view address) const;
    std::size_t VisitedCount() const { return m_Visited.Size(); }

  private:
    // The full address, then the bare one unless it begins the full one.
    struct TEntry {
        const char* text = nullptr;
        // Shared by the links of one page; none for the start address.
        const char* foundOn = nullptr;
        // The oldest block this entry's texts are in.
        std::uint32_t keepFrom = 0;
        std::uint32_t fullLength = 0;
        std::uint32_t bareLength : 31 = 0;
        std::uint32_t bareSeparate : 1 = 0;
        std::uint32_t foundOnLength = 0;
        std::string_view Full() const { return {text, fullLength}; }
        std::string_view Bare() const {
            return {text + (bareSeparate ? fullLength : 0), bareLength};
        }
        std::string_view FoundOn() const { return {foundOn, foundOnLength}; }
    };
    struct TWaitingKey {
        const TSpiderQueue* queue;
        std::string_view operator()(std::uint32_t seq) const {
            return queue->m_Queue[seq - queue->m_Taken].Full();
        }
    };
    struct TVisitedKey {
        const TTextArena* arena;
        std::string_view operator()(std::uint32_t id) const { return arena->Text(id); }
    };
    struct TExactHash {
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    struct TExactEqual {
        bool operator()(std::string_view a, std::string_view b) const { return a == b; }
    };

    std::deque<TEntry> m_Queue;
    TQueueText m_Text;
    // The page the last links were found on, kept once for all of them.
    const char* m_FoundOn = nullptr;
    std::uint32_t m_FoundOnLength = 0;
    std::uint32_t m_FoundOnBlock = 0;
    // The oldest block the last queued entry refers to.
    std::uint32_t m_LastKeepFrom = 0;
    // Entries taken so far; an entry's sequence number less this is its index.
    std::uint32_t m_Taken = 0;
    // Waiting entries by sequence number, keyed by their full address.
    TOpenTable<TWaitingKey, TExactHash, TExactEqual> m_Waiting;
    TTextArena m_VisitedText;
    TOpenTable<TVisitedKey, TCaseHash, TCaseEqual> m_Visited;
};

} // namespace tessaly
