#include "Clock.h"

namespace tessaly {

namespace {
std::optional<QDateTime> fixedNow;
}

QDateTime Clock::now() {
    return fixedNow ? *fixedNow : QDateTime::currentDateTime();
}

void Clock::setFixed(std::optional<QDateTime> fixed) {
    fixedNow = std::move(fixed);
}

} // namespace tessaly
