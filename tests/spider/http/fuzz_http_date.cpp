// Header dates from arbitrary bytes: never a crash, and any result is either
// 0 or a date the calendar knows.

#include "HttpDate.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TDateTime value = ParseHTTPDate(text);
    // Years 1 to 9999, give or take a day of zone offsets.
    if (!std::isfinite(value) || value < -693595.0 || value > 2958467.0)
        std::abort();
    const TDateTime zone = ParseZoneOffset(text);
    if (!std::isfinite(zone) || std::fabs(zone) >= 1.0)
        std::abort();
    return 0;
}
