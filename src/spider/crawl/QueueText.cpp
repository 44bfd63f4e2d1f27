#include "QueueText.h"

#include <algorithm>
#include <cstring>

namespace tessaly {

void TQueueText::Clear() {
    m_FirstBlock += static_cast<std::uint32_t>(m_Blocks.size());
    m_Blocks.clear();
    m_Used = m_LastSize = 0;
}

const char* TQueueText::Add(std::string_view first, std::string_view second) {
    const std::size_t need = first.size() + second.size();
    if (m_Blocks.empty() || m_Used + need > m_LastSize) {
        // A text larger than a block has a block of its own.
        m_LastSize = std::max(need, kBlockSize);
        m_Blocks.push_back(std::make_unique_for_overwrite<char[]>(m_LastSize));
        m_Used = 0;
    }
    char* at = m_Blocks.back().get() + m_Used;
    if (!first.empty())
        std::memcpy(at, first.data(), first.size());
    if (!second.empty())
        std::memcpy(at + first.size(), second.data(), second.size());
    m_Used += need;
    return at;
}

void TQueueText::ReleaseBefore(std::uint32_t block) {
    while (m_FirstBlock < block && m_Blocks.size() > 1) {
        m_Blocks.pop_front();
        ++m_FirstBlock;
    }
}

} // namespace tessaly
