#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

enum ChangeFreqType : std::uint8_t {
    cfNothing,
    cfAlways,
    cfHourly,
    cfDaily,
    cfWeekly,
    cfMonthly,
    cfYearly,
    cfNever
};

// The identifier written to profile files ("cfMonthly").
const char* ChangeFreqName(ChangeFreqType f);
std::optional<ChangeFreqType> ChangeFreqFromName(const std::string& name);
// The word on the results page's status line ("Monthly").
const char* ChangeFreqStatusWord(ChangeFreqType f);
// The word in the item properties dialog ("monthly", "unspecified").
const char* ChangeFreqDialogWord(ChangeFreqType f);

} // namespace tessaly
