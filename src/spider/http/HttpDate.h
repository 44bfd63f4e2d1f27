#pragma once

// Dates of HTTP headers: the three formats of RFC 9110 (IMF-fixdate,
// RFC 850, asctime) read into a TDateTime in local time.

#include <ctime>
#include <string>

// Days since 1899-12-30 00:00, the fraction being the time of day; a naive
// date-time, local unless said otherwise. 0 stands for "no date".
using TDateTime = double;

// Offset of the epoch of time_t from the TDateTime origin, in days.
constexpr double UnixDateDelta = 25569.0;

// A moment counted in seconds since 1970 (UTC), as a TDateTime in UTC.
TDateTime UnixToDateTime(std::time_t moment);
// Back to seconds, rounded to the nearest second.
std::time_t DateTimeToUnix(TDateTime value);
// False when the fields do not make a calendar date and time of day.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       TDateTime& result);

// Offset of a numeric zone such as "+0100" or "-0530" as a fraction of a day
// (positive east of UTC); anything unreadable gives 0.
TDateTime ParseZoneOffset(const std::string& text);
// A UTC date-time in local time, with the zone offset (daylight saving
// included) in force at that moment, not at the moment of the call.
TDateTime UTCToLocal(TDateTime utc);
// A header date in local time; 0 for empty or unreadable text.
TDateTime ParseHTTPDate(const std::string& text);
