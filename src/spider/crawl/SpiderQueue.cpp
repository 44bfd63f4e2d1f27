#include "SpiderQueue.h"

#include <utility>

namespace tessaly {

void TSpiderQueue::Clear() {
    m_Waiting.clear();
    m_Queue.clear();
    m_Visited.clear();
}

int TSpiderQueue::QueueURL(std::string fullURL, std::string bareURL,
                           std::shared_ptr<const std::string> foundOn) {
    if (m_Waiting.count(fullURL) || IsVisited(fullURL))
        return -1;
    m_Queue.push_back({std::move(fullURL), std::move(bareURL), std::move(foundOn)});
    m_Waiting.insert(m_Queue.back().FullURL);
    return static_cast<int>(m_Queue.size()) - 1;
}

AURLItem TSpiderQueue::TakeFront() {
    m_Waiting.erase(m_Queue.front().FullURL);
    AURLItem item = std::move(m_Queue.front());
    m_Queue.pop_front();
    return item;
}

void TSpiderQueue::AddVisited(std::string_view address) {
    m_Visited.emplace(address);
}

bool TSpiderQueue::IsVisited(std::string_view address) const {
    return m_Visited.find(address) != m_Visited.end();
}

} // namespace tessaly
