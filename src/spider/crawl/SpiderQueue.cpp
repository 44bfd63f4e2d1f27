#include "SpiderQueue.h"

#include <cstdint>
#include <stdexcept>
#include <utility>

namespace tessaly {

TSpiderQueue::TSpiderQueue()
    : m_Waiting(TWaitingKey{this}), m_Visited(TVisitedKey{&m_VisitedText}) {}

void TSpiderQueue::Clear() {
    m_Waiting.Clear();
    m_Queue.clear();
    m_Text.Clear();
    m_FoundOn = nullptr;
    m_FoundOnLength = 0;
    m_LastKeepFrom = 0;
    m_Taken = 0;
    m_Visited.Clear();
    m_VisitedText.Clear();
}

int TSpiderQueue::QueueURL(std::string_view fullURL, std::string_view bareURL,
                           std::string_view foundOn) {
    if (m_Waiting.Find(fullURL) || IsVisited(fullURL))
        return -1;
    if (fullURL.size() > UINT32_MAX || bareURL.size() > INT32_MAX || foundOn.size() > UINT32_MAX)
        throw std::length_error("address too long for the queue");
    TEntry e;
    if (!foundOn.empty()) {
        // The links of one page come one after another: its address is kept
        // once while it stays in a block that is not freed. Entries never
        // refer to blocks older than those of the entries before them, so
        // the blocks behind the front can always go.
        if (!m_FoundOn || !m_Text.Holds(m_FoundOnBlock) || m_FoundOnBlock < m_LastKeepFrom ||
            std::string_view(m_FoundOn, m_FoundOnLength) != foundOn) {
            m_FoundOn = m_Text.Add(foundOn);
            m_FoundOnLength = static_cast<std::uint32_t>(foundOn.size());
            m_FoundOnBlock = m_Text.LastBlock();
        }
        e.foundOn = m_FoundOn;
        e.foundOnLength = m_FoundOnLength;
    }
    const bool bareSeparate = fullURL.substr(0, bareURL.size()) != bareURL;
    e.text = m_Text.Add(fullURL, bareSeparate ? bareURL : std::string_view());
    e.keepFrom = foundOn.empty() ? m_Text.LastBlock() : m_FoundOnBlock;
    m_LastKeepFrom = e.keepFrom;
    e.fullLength = static_cast<std::uint32_t>(fullURL.size());
    e.bareLength = static_cast<std::uint32_t>(bareURL.size());
    e.bareSeparate = bareSeparate;
    m_Queue.push_back(e);
    m_Waiting.Insert(m_Taken + static_cast<std::uint32_t>(m_Queue.size() - 1));
    return static_cast<int>(m_Queue.size()) - 1;
}

AURLItem TSpiderQueue::TakeFront() {
    m_Waiting.Erase(m_Taken);
    const TEntry& e = m_Queue.front();
    AURLItem item{std::string(e.Full()), std::string(e.Bare()), std::string(e.FoundOn())};
    m_Queue.pop_front();
    ++m_Taken;
    // Blocks that no waiting entry refers to any more are freed.
    if (m_Queue.empty())
        m_Text.ReleaseAll();
    else
        m_Text.ReleaseBefore(m_Queue.front().keepFrom);
    return item;
}

void TSpiderQueue::AddVisited(std::string_view address) {
    if (!IsVisited(address))
        m_Visited.Insert(m_VisitedText.Add(address));
}

bool TSpiderQueue::IsVisited(std::string_view address) const {
    return m_Visited.Find(address) != nullptr;
}

} // namespace tessaly
