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

std::string W3CDateTime(const QDateTime& local) {
    QDateTime t = local.toLocalTime();
    QDate d = t.date();
    QTime tm = t.time();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", d.year() % 10000, d.month(),
                  d.day(), tm.hour(), tm.minute(), tm.second());
    return buf + ZoneOffsetText(t);
}

QDateTime FileDateTime(const std::string& fileName) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        return Clock::now();
    return QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec).toLocalTime();
}

} // namespace tessaly
