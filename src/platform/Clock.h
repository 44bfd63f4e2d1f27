#pragma once
// "Now" for last-modified stamps and anything else that reads the time;
// replaceable so tests can fix it.
#include <QDateTime>
#include <optional>

namespace tessaly {

class Clock {
  public:
    // The current local date-time, or the fixed one while a test sets it.
    static QDateTime now();
    static void setFixed(std::optional<QDateTime> fixed);
};

} // namespace tessaly
