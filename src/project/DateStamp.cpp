#include "DateStamp.h"

#include "Clock.h"

#include <cstdlib>
#include <sys/stat.h>

namespace tessaly {

namespace {
// Writes value as exactly width decimal digits (the value is taken modulo
// 10^width) and returns the position after them.
char* PutDigits(char* out, int value, int width) {
    value = std::abs(value);
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

char* PutZoneOffset(char* out, int offsetSeconds) {
    *out++ = offsetSeconds < 0 ? '-' : '+';
    int minutes = std::abs(offsetSeconds) / 60;
    out = PutDigits(out, minutes / 60 % 100, 2);
    *out++ = ':';
    return PutDigits(out, minutes % 60, 2);
}
} // namespace

std::string ZoneOffsetText(int offsetSeconds) {
    char buf[8];
    return std::string(buf, PutZoneOffset(buf, offsetSeconds));
}

std::string ZoneOffsetText(const QDateTime& local) {
    return ZoneOffsetText(local.toLocalTime().offsetFromUtc());
}

std::string W3CDateTime(std::time_t moment) {
    // The C library's conversion: the zone data is read once, not per stamp.
    // Digits are written by hand: one stamp per scanned file.
    std::tm tm{};
    localtime_r(&moment, &tm);
    char buf[32];
    char* p = PutDigits(buf, (tm.tm_year + 1900) % 10000, 4);
    *p++ = '-';
    p = PutDigits(p, tm.tm_mon + 1, 2);
    *p++ = '-';
    p = PutDigits(p, tm.tm_mday, 2);
    *p++ = 'T';
    p = PutDigits(p, tm.tm_hour, 2);
    *p++ = ':';
    p = PutDigits(p, tm.tm_min, 2);
    *p++ = ':';
    p = PutDigits(p, tm.tm_sec, 2);
    p = PutZoneOffset(p, int(tm.tm_gmtoff));
    return std::string(buf, p);
}

std::string W3CDateTime(const QDateTime& local) {
    return W3CDateTime(std::time_t(local.toSecsSinceEpoch()));
}

std::time_t FileTime(const std::string& fileName) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        return std::time_t(Clock::now().toSecsSinceEpoch());
    return st.st_mtime;
}

QDateTime FileDateTime(const std::string& fileName) {
    return QDateTime::fromSecsSinceEpoch(FileTime(fileName)).toLocalTime();
}

} // namespace tessaly
