#pragma once
// Spaces the requests of a crawl so that no more than a given number a
// second go to the site: each request may start only a whole gap (one
// second divided by the rate) after the one before it. Time the crawl spent
// on other things is not saved up for a burst later.
#include <chrono>

namespace tessaly {

class TRequestPacer {
  public:
    using TClock = std::chrono::steady_clock;

    // Requests a second; 0 (or less, or not a number) sets no limit.
    void SetRate(double perSecond);
    bool Limited() const { return m_Gap.count() > 0; }
    // How long until the next request may start; zero when it may now.
    TClock::duration Wait() const;
    bool Ready() const { return Wait() == TClock::duration::zero(); }
    // A request starts now.
    void Started();
    // Forgets the last request.
    void Reset() { m_Next = {}; }

  private:
    TClock::duration m_Gap{0};
    TClock::time_point m_Next{};
};

} // namespace tessaly
