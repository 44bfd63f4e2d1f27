#pragma once
// The addresses a crawl has asked for, or is about to: the pages it fetches,
// ahead of their turn or in it, and the redirect targets its fetches follow.
// The HTTP engine's thread asks it before it follows a redirect, so the
// crawl requests no address twice. Held as hashes of the fetch form: a
// collision costs at most one redirect not followed, never a wrong page.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <unordered_set>

namespace tessaly {

class TClaimedAddresses {
  public:
    // True when the address was not claimed before (and now is).
    bool Claim(std::string_view fetchForm) {
        const std::uint64_t key = std::hash<std::string_view>()(fetchForm);
        std::lock_guard lock(m_Lock);
        return m_Keys.insert(key).second;
    }
    void Clear() {
        std::lock_guard lock(m_Lock);
        m_Keys.clear();
    }

  private:
    std::mutex m_Lock;
    std::unordered_set<std::uint64_t> m_Keys;
};

} // namespace tessaly
