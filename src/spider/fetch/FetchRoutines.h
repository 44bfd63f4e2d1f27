#pragma once
// Address and status routines of the page fetcher, shared with the crawl.
#include "HttpDate.h"

#include <QDateTime>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// The address without query and fragment, composed again by the address
// class; empty when the address does not parse.
std::string ShortenURL(const std::string& address);
// A short reason phrase for an HTTP status; "Unknown Error" for a code
// without one.
std::string HTTPStatusText(int statusCode);
// True when both addresses name the same host, compared with case; an
// address that does not parse has an empty host.
bool SameHost(const std::string& address, const std::string& other);
// The form in which an address is requested and stored: the address as it
// stands, with only what may not stand in an address percent-encoded
// (controls, blanks, bytes above 127, " < > \ ^ ` { | } [ ], and a "%" that
// does not begin an escape); the brackets of an IPv6 host ("http://[::1]/")
// stand as they are. Encoding the result again changes nothing.
std::string EncodeURLForFetch(std::string_view address);
// The charset parameter of a Content-Type header value, without quotes;
// empty when there is none.
std::string ContentTypeCharSet(std::string_view contentType);

// The seconds a Retry-After value asks a client to wait, from the moment
// now: a number of seconds, or an HTTP date (a date already past asks for
// no wait). -1 when the value is neither; a number too large for an int is
// the largest int.
int RetryAfterSeconds(std::string_view value, std::time_t now);
// The value of the first header line of that name (without regard to case)
// in a header block of CR LF lines, trimmed; empty when there is none.
std::string HeaderLineValue(std::string_view headers, std::string_view name);
// The values of every header line of that name, in order, trimmed.
std::vector<std::string> HeaderLineValues(std::string_view headers, std::string_view name);

// A TDateTime (local, naive) as a local QDateTime, and back.
QDateTime DateTimeToQt(TDateTime value);
TDateTime QtToDateTime(const QDateTime& value);
// A TDateTime (local, naive) as seconds since the epoch: the moment whose
// local wall clock it is, as DateTimeToQt(value).toSecsSinceEpoch() gives
// it, but without reading the zone data again for every value (a crawl
// makes one per page). Within the hour a change back from summer time
// repeats, either of its two moments may come.
std::time_t DateTimeToTime(TDateTime value);

} // namespace tessaly
