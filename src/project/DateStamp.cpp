#include "DateStamp.h"

#include "Clock.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace tessaly {

std::string ZoneOffsetText(int offsetSeconds) {
    char sign = offsetSeconds < 0 ? '-' : '+';
    int minutes = std::abs(offsetSeconds) / 60;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", sign, minutes / 60 % 100, minutes % 60);
    return buf;
}

std::string ZoneOffsetText(const QDateTime& local) {
    return ZoneOffsetText(local.toLocalTime().offsetFromUtc());
}

std::string W3CDateTime(std::time_t moment) {
    // The C library's conversion: the zone data is read once, not per stamp.
    std::tm tm{};
    localtime_r(&moment, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", (tm.tm_year + 1900) % 10000,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf + ZoneOffsetText(int(tm.tm_gmtoff));
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
