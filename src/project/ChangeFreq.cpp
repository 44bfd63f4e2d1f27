#include "ChangeFreq.h"

#include <strings.h>

namespace tessaly {

namespace {
struct Words {
    const char* name;
    const char* status;
    const char* dialog;
};
constexpr Words kWords[] = {
    {"cfNothing", "Nothing", "unspecified"}, {"cfAlways", "Always", "always"},
    {"cfHourly", "Hourly", "hourly"},        {"cfDaily", "Daily", "daily"},
    {"cfWeekly", "Weekly", "weekly"},        {"cfMonthly", "Monthly", "monthly"},
    {"cfYearly", "Yearly", "yearly"},        {"cfNever", "Never", "never"},
};
const Words& words(ChangeFreqType f) {
    return kWords[f <= cfNever ? f : cfNothing];
}
} // namespace

const char* ChangeFreqName(ChangeFreqType f) {
    return words(f).name;
}
const char* ChangeFreqStatusWord(ChangeFreqType f) {
    return words(f).status;
}
const char* ChangeFreqDialogWord(ChangeFreqType f) {
    return words(f).dialog;
}

std::optional<ChangeFreqType> ChangeFreqFromName(const std::string& name) {
    for (int i = 0; i <= cfNever; ++i)
        if (strcasecmp(kWords[i].name, name.c_str()) == 0)
            return ChangeFreqType(i);
    return std::nullopt;
}

} // namespace tessaly
