#pragma once
// Texts kept for the life of a crawl, packed one after another in blocks of
// a megabyte: no allocation and no header per text, and no block is ever
// copied to grow. A text is named by a 32-bit id.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tessaly {

class TTextArena {
  public:
    void Clear();
    // Keeps a copy of the text; its id.
    std::uint32_t Add(std::string_view text);
    std::string_view Text(std::uint32_t id) const;

  private:
    static constexpr unsigned kOffsetBits = 20;
    static constexpr std::size_t kBlockSize = std::size_t(1) << kOffsetBits;
    std::vector<std::unique_ptr<char[]>> m_Blocks;
    std::size_t m_Used = kBlockSize; // in the last block
};

} // namespace tessaly
