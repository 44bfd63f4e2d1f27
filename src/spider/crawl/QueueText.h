#pragma once
// The texts of the queue's waiting entries, kept one after another in
// blocks in the order they were queued. The queue is first-in first-out, so
// a block is freed whole once the front of the queue has passed it: no
// allocation and no header per text, and a long queue of short addresses
// costs little more than their characters.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>

namespace tessaly {

class TQueueText {
  public:
    void Clear();
    // Keeps a copy of first followed by second; where the copy starts. The
    // copy stays until its block is released.
    const char* Add(std::string_view first, std::string_view second = {});
    // The number of the block the last text went to; blocks are numbered in
    // the order they are made.
    std::uint32_t LastBlock() const { return m_FirstBlock + std::uint32_t(m_Blocks.size()) - 1; }
    // Frees the blocks made before the given one (never the block being filled).
    void ReleaseBefore(std::uint32_t block);
    // Frees every block but the one being filled.
    void ReleaseAll() { ReleaseBefore(LastBlock()); }
    // The block has not been freed.
    bool Holds(std::uint32_t block) const { return block >= m_FirstBlock; }

  private:
    static constexpr std::size_t kBlockSize = 64 * 1024;
    std::deque<std::unique_ptr<char[]>> m_Blocks;
    std::uint32_t m_FirstBlock = 0; // the number of m_Blocks.front()
    std::size_t m_Used = 0;         // in the last block
    std::size_t m_LastSize = 0;     // of the last block
};

} // namespace tessaly
