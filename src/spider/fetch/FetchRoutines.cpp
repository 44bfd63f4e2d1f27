#include "FetchRoutines.h"

#include "UnicodeText.h"
#include "Uri.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <utility>

namespace tessaly {

using html::TUri;

int RetryAfterSeconds(std::string_view value, std::time_t now) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    if (value.empty())
        return -1;
    if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        long long seconds = 0;
        for (const char c : value) {
            seconds = seconds * 10 + (c - '0');
            if (seconds > std::numeric_limits<int>::max())
                return std::numeric_limits<int>::max();
        }
        return static_cast<int>(seconds);
    }
    const TDateTime date = ParseHTTPDate(std::string(value));
    if (date == 0)
        return -1;
    const double seconds = std::difftime(DateTimeToTime(date), now);
    if (!(seconds > 0))
        return 0;
    return seconds >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                      : static_cast<int>(std::ceil(seconds));
}

namespace {

// Calls found with the trimmed value of each header line of that name,
// compared without regard to ASCII case, until it returns false.
template <class Found>
void ForEachHeaderLine(std::string_view headers, std::string_view name, Found found) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    while (!headers.empty()) {
        const std::size_t end = std::min(headers.find('\n'), headers.size());
        std::string_view line = headers.substr(0, end);
        headers.remove_prefix(std::min(end + 1, headers.size()));
        if (line.size() <= name.size() || line[name.size()] != ':')
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = lower(line[i]) == lower(name[i]);
        if (!same)
            continue;
        line.remove_prefix(name.size() + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!found(line))
            return;
    }
}

} // namespace

std::string HeaderLineValue(std::string_view headers, std::string_view name) {
    std::string value;
    ForEachHeaderLine(headers, name, [&](std::string_view line) {
        value = line;
        return false;
    });
    return value;
}

std::vector<std::string> HeaderLineValues(std::string_view headers, std::string_view name) {
    std::vector<std::string> values;
    ForEachHeaderLine(headers, name, [&](std::string_view line) {
        values.emplace_back(line);
        return true;
    });
    return values;
}

std::string ShortenURL(const std::string& address) {
    TUri uri;
    if (!uri.Parse(html::Utf8ToUtf16(address)))
        return {};
    uri.ClearQuery();
    uri.ClearFragment();
    return html::Utf16ToUtf8(uri.Compose());
}

std::string HTTPStatusText(int statusCode) {
    switch (statusCode) {
    case 100:
        return "Continue";
    case 101:
        return "Switching Protocols";
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 202:
        return "Accepted";
    case 203:
        return "Non-Authoritative Information";
    case 204:
        return "No Content";
    case 205:
        return "Reset Content";
    case 206:
        return "Partial Content";
    case 300:
        return "Multiple Choices";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 305:
        return "Use Proxy";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 402:
        return "Payment Required";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 406:
        return "Not Acceptable";
    case 407:
        return "Proxy Authentication Required";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 410:
        return "Gone";
    case 411:
        return "Length Required";
    case 412:
        return "Precondition Failed";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 415:
        return "Unsupported Media Type";
    case 416:
        return "Range Not Satisfiable";
    case 417:
        return "Expectation Failed";
    case 429:
        return "Too Many Requests";
    case 451:
        return "Unavailable For Legal Reasons";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown Error";
    }
}

bool SameHost(const std::string& address, const std::string& other) {
    TUri a, b;
    a.Parse(html::Utf8ToUtf16(address));
    b.Parse(html::Utf8ToUtf16(other));
    return a.Host.Value == b.Host.Value;
}

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Characters that stand in an address as they are: the unreserved ones and
// the delimiters (RFC 3986), "#" included although a fetched address has no
// fragment. "[" and "]" are left out: they belong only to the brackets of an
// IPv6 host, which are kept where they stand (see AuthorityEnd).
bool StandsInAddress(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case ':':
    case '/':
    case '?':
    case '#':
    case '@':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
        return true;
    default:
        return false;
    }
}

// Where the authority of "scheme://authority..." ends (at its "/", "?" or
// "#", or the end); 0 when the address does not begin so. Within it, "["
// and "]" delimit an IPv6 host and stand as they are.
size_t AuthorityEnd(std::string_view address) {
    size_t i = 0;
    while (i < address.size() &&
           ((address[i] >= 'a' && address[i] <= 'z') || (address[i] >= 'A' && address[i] <= 'Z') ||
            (i > 0 && ((address[i] >= '0' && address[i] <= '9') || address[i] == '+' ||
                       address[i] == '-' || address[i] == '.'))))
        ++i;
    if (i == 0 || address.substr(i, 3) != "://")
        return 0;
    const size_t end = address.find_first_of("/?#", i + 3);
    return end == std::string_view::npos ? address.size() : end;
}

} // namespace

std::string EncodeURLForFetch(std::string_view address) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(address.size());
    const size_t authorityEnd = AuthorityEnd(address);
    for (size_t i = 0; i < address.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(address[i]);
        if (StandsInAddress(c) || ((c == '[' || c == ']') && i < authorityEnd) ||
            (c == '%' && i + 2 < address.size() && IsHex(address[i + 1]) &&
             IsHex(address[i + 2]))) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string ContentTypeCharSet(std::string_view contentType) {
    size_t at = contentType.find(';');
    while (at != std::string_view::npos) {
        size_t b = at + 1;
        while (b < contentType.size() && (contentType[b] == ' ' || contentType[b] == '\t'))
            ++b;
        size_t next = contentType.find(';', b);
        std::string_view param = contentType.substr(
            b, next == std::string_view::npos ? std::string_view::npos : next - b);
        size_t eq = param.find('=');
        if (eq != std::string_view::npos) {
            std::string_view name = param.substr(0, eq);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
                name.remove_suffix(1);
            if (html::SameTextAscii(html::AsciiToUtf16(name), "charset")) {
                std::string_view value = param.substr(eq + 1);
                while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                    value.remove_prefix(1);
                while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                    value.remove_suffix(1);
                if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                    value.back() == value.front())
                    value = value.substr(1, value.size() - 2);
                return std::string(value);
            }
        }
        at = next;
    }
    return {};
}

namespace {
// The day of a TDateTime (days since 1899-12-30) and the milliseconds into it.
std::pair<long long, long long> DayAndMs(TDateTime value) {
    const double days = std::floor(value);
    long long ms = std::llround((value - days) * 86400000.0);
    long long day = static_cast<long long>(days);
    if (ms >= 86400000) {
        day += 1;
        ms -= 86400000;
    }
    return {day, ms};
}
} // namespace

QDateTime DateTimeToQt(TDateTime value) {
    const auto [day, ms] = DayAndMs(value);
    // The wall-clock time of that day, whatever daylight saving does to it.
    return QDateTime(QDate(1899, 12, 30).addDays(day),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

std::time_t DateTimeToTime(TDateTime value) {
    const auto [day, ms] = DayAndMs(value);
    // The wall clock read as if it were UTC; 25569 is 1970-01-01.
    const long long wall = (day - 25569) * 86400 + ms / 1000;
    // The zone offset found last is tried first, then the one in force at
    // that guess; a guess holds when its own offset gives back the wall
    // clock. Pages of a site mostly share one offset.
    static thread_local long lastOffset = 0;
    auto holds = [wall](long offset, long& found) {
        const std::time_t guess = static_cast<std::time_t>(wall - offset);
        std::tm tm{};
        if (!localtime_r(&guess, &tm))
            return false;
        found = tm.tm_gmtoff;
        return found == offset;
    };
    long found = 0;
    if (holds(lastOffset, found) || holds(found, found)) {
        lastOffset = found;
        return static_cast<std::time_t>(wall - found);
    }
    // A wall clock that a change to summer time skips.
    return static_cast<std::time_t>(DateTimeToQt(value).toSecsSinceEpoch());
}

TDateTime QtToDateTime(const QDateTime& value) {
    QDateTime local = value.toLocalTime();
    qint64 days = QDate(1899, 12, 30).daysTo(local.date());
    return static_cast<double>(days) + local.time().msecsSinceStartOfDay() / 86400000.0;
}

} // namespace tessaly
