#include "SpiderQueue.h"

#include <cstring>
#include <utility>

namespace tessaly {

TSpiderQueue::TSpiderQueue()
    : m_Waiting(TWaitingKey{this}), m_Visited(TVisitedKey{&m_VisitedText}) {}

void TSpiderQueue::Clear() {
    m_Waiting.Clear();
    m_Queue.clear();
    m_Taken = 0;
    m_Visited.Clear();
    m_VisitedText.Clear();
}

int TSpiderQueue::QueueURL(std::string_view fullURL, std::string_view bareURL,
                           std::shared_ptr<const std::string> foundOn) {
    if (m_Waiting.Find(fullURL) || IsVisited(fullURL))
        return -1;
    TEntry e;
    e.bareSeparate = fullURL.substr(0, bareURL.size()) != bareURL;
    const std::size_t size = fullURL.size() + (e.bareSeparate ? bareURL.size() : 0);
    e.text = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(e.text.get(), fullURL.data(), fullURL.size());
    if (e.bareSeparate)
        std::memcpy(e.text.get() + fullURL.size(), bareURL.data(), bareURL.size());
    e.fullLength = static_cast<std::uint32_t>(fullURL.size());
    e.bareLength = static_cast<std::uint32_t>(bareURL.size());
    e.foundOn = std::move(foundOn);
    m_Queue.push_back(std::move(e));
    m_Waiting.Insert(m_Taken + static_cast<std::uint32_t>(m_Queue.size() - 1));
    return static_cast<int>(m_Queue.size()) - 1;
}

AURLItem TSpiderQueue::TakeFront() {
    m_Waiting.Erase(m_Taken);
    TEntry& e = m_Queue.front();
    AURLItem item{std::string(e.Full()), std::string(e.Bare()), std::move(e.foundOn)};
    m_Queue.pop_front();
    ++m_Taken;
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
