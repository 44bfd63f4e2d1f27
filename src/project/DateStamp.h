#pragma once
// Last-modified stamps in the W3C date-time form.
#include <QDateTime>
#include <ctime>
#include <string>

namespace tessaly {

// "+hh:mm" / "-hh:mm" for an offset east of UTC in seconds; "+00:00" for 0.
std::string ZoneOffsetText(int offsetSeconds);
// The zone offset in force at the given local moment (daylight saving of that
// date included), so the stamp names the right instant.
std::string ZoneOffsetText(const QDateTime& local);
// "yyyy-mm-ddThh:mm:ss" followed by the zone offset at that moment.
std::string W3CDateTime(const QDateTime& local);
std::string W3CDateTime(std::time_t moment);
// A file's modification time as a local date-time; now when it cannot be read.
QDateTime FileDateTime(const std::string& fileName);
// The same as seconds since the epoch.
std::time_t FileTime(const std::string& fileName);

} // namespace tessaly
