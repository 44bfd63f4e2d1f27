#include "HttpDate.h"

#include <array>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return std::string(s.substr(i));
}

std::string Trim(std::string_view s) {
    std::string t = TrimLeft(s);
    while (!t.empty() && IsBlank(t.back()))
        t.pop_back();
    return t;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A decimal integer with an optional sign and nothing else; values too large
// for a calendar field are refused rather than overflowing.
std::optional<int> ToInt(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    int value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// 1-based month of a month name, or 0.
int MonthOf(std::string_view name) {
    for (size_t i = 0; i < kMonths.size(); ++i)
        if (SameText(name, kMonths[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

// Takes the text up to the next separator (or the rest when there is none),
// removing it and the separator from text, then trims text on the left.
std::string TakeToken(std::string& text, char separator) {
    size_t at = text.find(separator);
    std::string token;
    if (at == std::string::npos) {
        token = text;
        text.clear();
    } else {
        token = text.substr(0, at);
        text = TrimLeft(std::string_view(text).substr(at + 1));
    }
    return token;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

} // namespace

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       TDateTime& result) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    int monthDays = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    if (day > monthDays)
        return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    double days = static_cast<double>(DaysFromCivil(year, month, day)) + UnixDateDelta;
    result = days + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return true;
}

TDateTime UnixToDateTime(std::time_t moment) {
    return static_cast<double>(moment) / 86400.0 + UnixDateDelta;
}

std::time_t DateTimeToUnix(TDateTime value) {
    return static_cast<std::time_t>(std::llround((value - UnixDateDelta) * 86400.0));
}

TDateTime ParseZoneOffset(const std::string& text) {
    std::string t = Trim(text).substr(0, 5);
    if (t.size() < 5 || (t[0] != '+' && t[0] != '-'))
        return 0;
    auto hours = ToInt(t.substr(1, 2));
    auto minutes = ToInt(t.substr(3, 2));
    if (!hours || !minutes || *hours < 0 || *hours > 23 || *minutes < 0 || *minutes > 59)
        return 0;
    TDateTime offset = (*hours * 60.0 + *minutes) / 1440.0;
    return t[0] == '-' ? -offset : offset;
}

TDateTime UTCToLocal(TDateTime utc) {
    const double seconds = (utc - UnixDateDelta) * 86400.0;
    if (!std::isfinite(seconds) || std::fabs(seconds) > 4e11)
        return utc;
    // Rounded: a value a hair below a whole second must not fall before a zone change.
    std::time_t moment = static_cast<std::time_t>(std::llround(seconds));
    std::tm local{};
    if (!localtime_r(&moment, &local))
        return utc;
    // The offset in force at that moment, daylight saving of that date included.
    return utc + static_cast<double>(local.tm_gmtoff) / 86400.0;
}

TDateTime ParseHTTPDate(const std::string& header) {
    std::string text = Trim(header);
    if (text.empty())
        return 0;

    if (text.size() >= 3) {
        for (auto day : kWeekdays) {
            if (SameText(std::string_view(text).substr(0, 3), day)) {
                size_t blank = text.find(' ');
                text = blank == std::string::npos
                           ? std::string()
                           : TrimLeft(std::string_view(text).substr(blank + 1));
                break;
            }
        }
    }

    // "06-Nov-94" (RFC 850) uses dashes; the other two formats use blanks.
    size_t dash = text.find('-');
    size_t blank = text.find(' ');
    char separator =
        (dash != std::string::npos && dash >= 1 && blank != std::string::npos && dash < blank)
            ? '-'
            : ' ';

    int month = 1;
    int day = 1;
    size_t firstSep = text.find(separator);
    std::string first = text.substr(0, firstSep);
    if (MonthOf(first) != 0) {
        // asctime: "Nov  6 08:49:37 1994"
        month = MonthOf(TakeToken(text, separator));
        day = ToInt(TakeToken(text, separator)).value_or(1);
    } else {
        day = ToInt(TakeToken(text, separator)).value_or(1);
        int m = MonthOf(TakeToken(text, separator));
        month = m != 0 ? m : 1;
    }

    std::string timeText;
    std::string yearToken = TakeToken(text, ' ');
    auto year = ToInt(yearToken);
    if (!year) {
        // asctime puts the year last: the token read was the time.
        timeText = yearToken;
        year = ToInt(text);
        text.clear();
        if (!year)
            return 0;
    }
    if (*year >= 0 && *year < 80)
        *year += 2000;
    else if (*year >= 80 && *year < 100)
        *year += 1900;

    int hour = 0;
    int minute = 0;
    int second = 0;
    if (timeText.empty() && text.find(':') != std::string::npos)
        timeText = TakeToken(text, ' ');
    if (!timeText.empty()) {
        std::string rest = timeText;
        hour = ToInt(TakeToken(rest, ':')).value_or(0);
        minute = rest.empty() ? 0 : ToInt(TakeToken(rest, ':')).value_or(0);
        second = rest.empty() ? 0 : ToInt(TakeToken(rest, ':')).value_or(0);
    }

    TDateTime moment = 0;
    if (!TryEncodeDateTime(*year, month, day, hour, minute, second, moment))
        return 0;

    text = TrimLeft(text);
    TDateTime zone = text.size() >= 5 ? ParseZoneOffset(text) : 0;
    return UTCToLocal(moment - zone);
}
