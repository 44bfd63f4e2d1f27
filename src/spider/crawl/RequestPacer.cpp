#include "RequestPacer.h"

#include <algorithm>
#include <cmath>

namespace tessaly {

void TRequestPacer::SetRate(double perSecond) {
    using std::chrono::microseconds;
    // A rate so high that the gap rounds to nothing is no limit either.
    m_Gap = perSecond > 0 && std::isfinite(perSecond)
                ? std::chrono::duration_cast<TClock::duration>(
                      microseconds(std::llround(std::min(1e6 / perSecond, 1e12))))
                : TClock::duration::zero();
    Reset();
}

TRequestPacer::TClock::duration TRequestPacer::Wait() const {
    if (!Limited())
        return TClock::duration::zero();
    const TClock::time_point now = TClock::now();
    return now >= m_Next ? TClock::duration::zero() : m_Next - now;
}

void TRequestPacer::Started() {
    if (Limited())
        m_Next = TClock::now() + m_Gap;
}

} // namespace tessaly
