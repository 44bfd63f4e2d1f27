#pragma once
// A date-time stamp held inside its record, without a heap block of its own:
// stamps are short (25 characters in the W3C form) and a large site keeps
// one per item, so a string's separate allocation would double their cost.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

namespace tessaly {

class TStampText {
  public:
    // Longer texts are cut to this; no stamp the program makes comes near it.
    static constexpr std::size_t kCapacity = 31;

    TStampText() = default;
    TStampText(std::string_view text) { assign(text); }
    TStampText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }

    operator std::string_view() const { return {m_Text, m_Size}; }
    std::string str() const { return std::string(m_Text, m_Size); }
    bool empty() const { return m_Size == 0; }
    std::size_t size() const { return m_Size; }

    friend bool operator==(const TStampText& a, std::string_view b) {
        return std::string_view(a) == b;
    }
    friend std::ostream& operator<<(std::ostream& out, const TStampText& stamp) {
        return out << std::string_view(stamp);
    }

  private:
    void assign(std::string_view text) {
        m_Size = static_cast<unsigned char>(std::min(text.size(), kCapacity));
        std::memcpy(m_Text, text.data(), m_Size);
    }

    char m_Text[kCapacity] = {};
    unsigned char m_Size = 0;
};

} // namespace tessaly
