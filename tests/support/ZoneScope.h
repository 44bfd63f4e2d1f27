#pragma once
// Runs a test with the C library's zone set to a given TZ value and puts the
// old one back after it.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_Old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (m_Old)
            ::setenv("TZ", m_Old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

  private:
    std::optional<std::string> m_Old;
};
