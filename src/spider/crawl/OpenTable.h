#pragma once
// A hash table of 32-bit ids, open addressing with linear probing, for sets
// of many texts that live elsewhere (in an arena, in a queue): a slot holds
// an id and the key's hash, eight bytes, where a node-based set spends a
// node and a pointer per entry. The key of an id is read back through KeyOf;
// erased ids leave a mark that the next growth clears.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tessaly {

template <class KeyOf, class Hash, class Equal> class TOpenTable {
  public:
    explicit TOpenTable(KeyOf keyOf = {}, Hash hash = {}, Equal equal = {})
        : m_KeyOf(keyOf), m_Hash(hash), m_Equal(equal) {}

    void Clear() {
        m_Slots.assign(0, {});
        m_Used = m_Live = 0;
    }
    std::size_t Size() const { return m_Live; }

    // The id whose key equals key, or nullptr.
    const std::uint32_t* Find(std::string_view key) const {
        if (m_Slots.empty())
            return nullptr;
        const std::uint32_t h = Hash32(key);
        for (std::size_t i = h & Mask();; i = (i + 1) & Mask()) {
            const TSlot& s = m_Slots[i];
            if (s.id == kEmpty)
                return nullptr;
            if (s.id != kErased && s.hash == h && m_Equal(m_KeyOf(s.id), key))
                return &s.id;
        }
    }
    // Adds an id whose key is not in the table yet.
    void Insert(std::uint32_t id) {
        if ((m_Used + 1) * 4 > m_Slots.size() * 3)
            Grow();
        Place(id, Hash32(m_KeyOf(id)));
        ++m_Used;
        ++m_Live;
    }
    // Removes the entry of that id, found by its key.
    void Erase(std::uint32_t id) {
        const std::string_view key = m_KeyOf(id);
        const std::uint32_t h = Hash32(key);
        for (std::size_t i = h & Mask();; i = (i + 1) & Mask()) {
            TSlot& s = m_Slots[i];
            if (s.id == kEmpty)
                return;
            if (s.id == id) {
                s.id = kErased;
                --m_Live;
                return;
            }
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    static constexpr std::uint32_t kErased = 0xFFFFFFFEu;
    struct TSlot {
        std::uint32_t id = kEmpty;
        std::uint32_t hash = 0;
    };

    std::uint32_t Hash32(std::string_view key) const {
        const std::uint64_t h = m_Hash(key);
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }
    std::size_t Mask() const { return m_Slots.size() - 1; }
    void Place(std::uint32_t id, std::uint32_t h) {
        std::size_t i = h & Mask();
        while (m_Slots[i].id != kEmpty)
            i = (i + 1) & Mask();
        m_Slots[i] = {id, h};
    }
    // Twice the room for the live entries, erased marks dropped.
    void Grow() {
        std::vector<TSlot> old;
        old.swap(m_Slots);
        std::size_t size = 16;
        while (size < (m_Live + 1) * 2)
            size *= 2;
        m_Slots.assign(size, {});
        for (const TSlot& s : old)
            if (s.id != kEmpty && s.id != kErased)
                Place(s.id, s.hash);
        m_Used = m_Live;
    }

    KeyOf m_KeyOf;
    Hash m_Hash;
    Equal m_Equal;
    std::vector<TSlot> m_Slots;
    std::size_t m_Used = 0; // live entries and erased marks
    std::size_t m_Live = 0;
};

} // namespace tessaly
