// Header dates: the three formats, two-digit years, numeric zones, and the
// conversion to local time with the offset of the date itself.

#include "HttpDate.h"
#include "ZoneScope.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

// The moment in UTC, as seconds, of a parsed value (undoing the local shift
// with the same zone rules).
TDateTime Utc(int y, int mo, int d, int h, int mi, int s) {
    TDateTime v = 0;
    EXPECT_TRUE(TryEncodeDateTime(y, mo, d, h, mi, s, v));
    return v;
}

} // namespace

TEST(HttpDate, ThreeFormatsAndZones_GiveTheSameMoment) {
    ZoneScope utc("UTC0");
    const TDateTime moment = Utc(1994, 11, 6, 8, 49, 37);
    struct Case {
        const char* text;
        TDateTime expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", moment},
        {"Sunday, 06-Nov-94 08:49:37 GMT", moment},
        {"Sun Nov  6 08:49:37 1994", moment},
        {"  sun, 06 nov 1994 08:49:37 gmt  ", moment},
        {"06 Nov 1994 08:49:37", moment},
        {"Sun, 06 Nov 1994 09:49:37 +0100", moment},
        {"Sun, 06 Nov 1994 08:49:37 +0100", moment - 1.0 / 24},
        {"Sun, 06 Nov 1994 03:19:37 -0530", moment},
        {"Sun, 06 Nov 1994 08:49:37 +01", moment}, // too short for a zone
        {"Sun, 06 Nov 1994", Utc(1994, 11, 6, 0, 0, 0)},
        {"Thu, 01 Jan 79 00:00:00 GMT", Utc(2079, 1, 1, 0, 0, 0)},
        {"Tue, 01 Jan 80 00:00:00 GMT", Utc(1980, 1, 1, 0, 0, 0)},
        {"Mon, 01-Jan-00 12:00:00 GMT", Utc(2000, 1, 1, 12, 0, 0)},
        {"Sun, xx Nov 1994 08:49:37 GMT", Utc(1994, 11, 1, 8, 49, 37)}, // unreadable day: 1
        {"Sun, 06 Foo 1994 08:49:37 GMT", Utc(1994, 1, 6, 8, 49, 37)},  // unknown month: 1
        {"Sun, 06 Nov 1994 08:xx:37 GMT", Utc(1994, 11, 6, 8, 0, 37)},
        {"Sun, 29 Feb 2000 00:00:00 GMT", Utc(2000, 2, 29, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DateTimeToUnix(ParseHTTPDate(c.text)), DateTimeToUnix(c.expected));
    }
}

TEST(HttpDate, UnreadableText_GivesZero) {
    for (const char* text : {"", "   ", "Sun,", "garbage", "Sun, 31 Feb 1994 08:49:37 GMT",
                             "Sun, 06 Nov 1994 25:00:00 GMT", "Sun, 06 Nov 1994 08:61:00 GMT",
                             "Sun, 06 Nov 10000 08:49:37 GMT", "Sun Nov  6 08:49:37 year",
                             "Sun, 29 Feb 1900 00:00:00 GMT"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseHTTPDate(text), 0.0);
    }
}

TEST(HttpDate, ParseZoneOffset_ReadsSignHoursAndMinutes) {
    struct Case {
        const char* text;
        double minutes;
    } cases[] = {{"+0100", 60}, {"-0530", -330}, {" +0000 ", 0}, {"GMT", 0},      {"+01", 0},
                 {"+1x00", 0},  {"0100+", 0},    {"+2460", 0},   {"+0130xyz", 90}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_NEAR(ParseZoneOffset(c.text) * 1440.0, c.minutes, 1e-6);
    }
}

TEST(HttpDate, UTCToLocal_UsesTheOffsetInForceAtThatDate) {
    // Central European time without the zone database: +1 in winter, +2 in summer.
    ZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const TDateTime winter = ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT");
    const TDateTime summer = ParseHTTPDate("Wed, 06 Jul 1994 08:49:37 GMT");
    EXPECT_EQ(DateTimeToUnix(winter), DateTimeToUnix(Utc(1994, 11, 6, 9, 49, 37)));
    EXPECT_EQ(DateTimeToUnix(summer), DateTimeToUnix(Utc(1994, 7, 6, 10, 49, 37)));
    // Either side of the spring change (01:00 UTC on 27 March 1994).
    EXPECT_EQ(DateTimeToUnix(UTCToLocal(Utc(1994, 3, 27, 0, 59, 59))),
              DateTimeToUnix(Utc(1994, 3, 27, 1, 59, 59)));
    EXPECT_EQ(DateTimeToUnix(UTCToLocal(Utc(1994, 3, 27, 1, 0, 0))),
              DateTimeToUnix(Utc(1994, 3, 27, 3, 0, 0)));
}
