#pragma once
// An unchangeable text that copies share: the items of one folder hold one
// copy of the folder's path between them instead of one each, which on a
// large site is a heap block less per item.
#include <memory>
#include <string>
#include <string_view>

namespace tessaly {

class TSharedText {
  public:
    TSharedText() = default;
    TSharedText& operator=(std::string text) {
        assign(std::move(text));
        return *this;
    }

    const std::string& str() const { return m_Text ? *m_Text : Empty(); }
    operator const std::string&() const { return str(); }
    // Whether the two hold one and the same copy.
    bool SharesWith(const TSharedText& other) const { return m_Text == other.m_Text; }

    friend bool operator==(const TSharedText& a, std::string_view b) { return a.str() == b; }

  private:
    void assign(std::string text) {
        if (text.empty())
            m_Text.reset();
        else
            m_Text = std::make_shared<const std::string>(std::move(text));
    }
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }

    std::shared_ptr<const std::string> m_Text;
};

} // namespace tessaly
