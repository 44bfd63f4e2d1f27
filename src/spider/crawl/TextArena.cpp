#include "TextArena.h"

#include <cstring>
#include <stdexcept>

namespace tessaly {

void TTextArena::Clear() {
    m_Blocks.clear();
    m_Used = kBlockSize;
}

std::uint32_t TTextArena::Add(std::string_view text) {
    const std::size_t need = sizeof(std::uint32_t) + text.size();
    if (m_Used + need > kBlockSize) {
        if (m_Blocks.size() >= (std::size_t(1) << (32 - kOffsetBits)))
            throw std::length_error("too many texts for one crawl");
        // A text larger than a block has a block of its own, and the next
        // text starts a new one.
        m_Blocks.push_back(std::make_unique<char[]>(need > kBlockSize ? need : kBlockSize));
        m_Used = 0;
    }
    const std::size_t block = m_Blocks.size() - 1;
    char* at = m_Blocks[block].get() + m_Used;
    const auto length = static_cast<std::uint32_t>(text.size());
    std::memcpy(at, &length, sizeof length);
    std::memcpy(at + sizeof length, text.data(), text.size());
    const auto id = static_cast<std::uint32_t>((block << kOffsetBits) | m_Used);
    m_Used = need > kBlockSize ? kBlockSize : m_Used + need;
    return id;
}

std::string_view TTextArena::Text(std::uint32_t id) const {
    const char* at = m_Blocks[id >> kOffsetBits].get() + (id & (kBlockSize - 1));
    std::uint32_t length;
    std::memcpy(&length, at, sizeof length);
    return {at + sizeof length, length};
}

} // namespace tessaly
