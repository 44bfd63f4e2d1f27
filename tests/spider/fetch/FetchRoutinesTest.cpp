// The fetcher's address and status routines.
#include "FetchRoutines.h"
#include "ZoneScope.h"

#include <gtest/gtest.h>
#include <limits>

using namespace tessaly;

TEST(FetchRoutines, FetchFormEncodesOnlyWhatMayNotStandInAnAddress) {
    struct Case {
        std::string address, fetchForm;
    };
    const Case cases[] = {
        {"http://h/a.html?x=1&y=2", "http://h/a.html?x=1&y=2"},
        {"http://h/a b.html", "http://h/a%20b.html"},
        {"http://h/caf\xC3\xA9.html", "http://h/caf%C3%A9.html"},
        {"http://h/caf%C3%A9.html", "http://h/caf%C3%A9.html"}, // escapes stay
        {"http://h/50%off.html", "http://h/50%25off.html"},     // a lone "%" is escaped
        {"http://h/a%2", "http://h/a%252"},
        {"http://h/q?a=\"<b>\"", "http://h/q?a=%22%3Cb%3E%22"},
        {"http://h/{x}|^`\\[]", "http://h/%7Bx%7D%7C%5E%60%5C%5B%5D"},
        {"http://h/~user/it's(1)*,;=:@!$+", "http://h/~user/it's(1)*,;=:@!$+"},
        {std::string("http://h/\x01\x7F", 11), "http://h/%01%7F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeURLForFetch(c.address), c.fetchForm) << c.address;
        EXPECT_EQ(EncodeURLForFetch(c.fetchForm), c.fetchForm) << "twice: " << c.address;
    }
}

TEST(FetchRoutines, CharSetParameterOfAContentType) {
    struct Case {
        std::string contentType, charSet;
    };
    const Case cases[] = {
        {"text/html", ""},
        {"text/html; charset=utf-8", "utf-8"},
        {"text/html;charset=\"windows-1251\"", "windows-1251"},
        {"text/html; format=flowed; CharSet = koi8-r ", "koi8-r"},
        {"text/html; charset=", ""},
        {"text/html; notcharset=x", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContentTypeCharSet(c.contentType), c.charSet) << c.contentType;
}

TEST(FetchRoutines, ShortenAndSameHost) {
    EXPECT_EQ(ShortenURL("http://h:8080/a/b.php?x=1#top"), "http://h:8080/a/b.php");
    EXPECT_EQ(ShortenURL("http://bad_host/x"), "");
    EXPECT_TRUE(SameHost("http://h/a", "https://h:81/b"));
    EXPECT_FALSE(SameHost("http://h/a", "http://H/a")); // compared with case
    EXPECT_FALSE(SameHost("http://h/a", "http://www.h/a"));
    EXPECT_TRUE(SameHost("mailto:x@h", "news:y")); // neither has a host
    EXPECT_EQ(HTTPStatusText(404), "Not Found");
    EXPECT_EQ(HTTPStatusText(299), "Unknown Error");
}

TEST(FetchRoutines, DateTimeRoundTripKeepsTheWallClock) {
    const TDateTime v = 44282.0 + (2 * 3600 + 30 * 60 + 15) / 86400.0;
    EXPECT_EQ(DateTimeToQt(v), QDateTime(QDate(2021, 3, 27), QTime(2, 30, 15)));
    EXPECT_EQ(DateTimeToQt(QtToDateTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)))),
              QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)));
}

TEST(FetchRoutines, DateTimeAsMomentAgreesWithTheLocalClockAcrossZonesAndChanges) {
    auto value = [](int y, int mo, int d, int h, int mi, int s, int ms = 0) {
        const double days = QDate(1899, 12, 30).daysTo(QDate(y, mo, d));
        return days + (((h * 60 + mi) * 60 + s) * 1000 + ms) / 86400000.0;
    };
    // Winter and summer one after another (the offset found last must not
    // stick), both ends of a change, the hour a change to summer time skips,
    // a half-hour zone, and the years far from now.
    const TDateTime values[] = {
        value(2026, 1, 15, 12, 0, 0),    value(2026, 7, 15, 12, 0, 0, 999),
        value(2026, 1, 15, 23, 59, 59),  value(2026, 3, 29, 1, 59, 59),
        value(2026, 3, 29, 2, 30, 0),    value(2026, 3, 29, 3, 0, 0),
        value(2026, 3, 8, 2, 30, 0),     value(2026, 10, 4, 1, 45, 0),
        value(1970, 1, 1, 0, 0, 0),      value(1901, 12, 14, 0, 0, 0),
        value(2099, 12, 31, 23, 59, 59),
    };
    for (const char* zone :
         {"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Asia/Kolkata"}) {
        ZoneScope scope(zone);
        for (const TDateTime v : values)
            EXPECT_EQ(DateTimeToTime(v), DateTimeToQt(v).toSecsSinceEpoch())
                << zone << " " << DateTimeToQt(v).toString(Qt::ISODate).toStdString();
    }
}

// Retry-After as seconds or as an HTTP date, read against a fixed moment;
// anything else names no wait.
TEST(FetchRoutines, RetryAfterSecondsReadsBothForms) {
    // 2024-05-06 07:08:09 UTC.
    const std::time_t now = 1714979289;
    const struct {
        const char* value;
        int seconds;
    } cases[] = {
        {"2", 2},
        {" 120 ", 120},
        {"0", 0},
        {"99999999999999", std::numeric_limits<int>::max()},
        {"Mon, 06 May 2024 07:08:19 GMT", 10},
        {"Monday, 06-May-24 07:10:09 GMT", 120},
        {"Mon May  6 07:08:12 2024", 3},
        {"Mon, 06 May 2024 07:00:00 GMT", 0},
        {"", -1},
        {"-1", -1},
        {"1.5", -1},
        {"soon", -1},
    };
    // The local zone does not move the wait.
    ZoneScope zone("Europe/Berlin");
    for (const auto& c : cases)
        EXPECT_EQ(RetryAfterSeconds(c.value, now), c.seconds) << c.value;
    const std::string headers = "HTTP/1.1 429 Too Many Requests\r\nretry-after:  7 \r\n\r\n";
    EXPECT_EQ(HeaderLineValue(headers, "Retry-After"), "7");
    EXPECT_EQ(HeaderLineValue(headers, "Retry"), "");
}

TEST(FetchRoutines, HeaderLineValuesGivesEveryLineOfTheName) {
    const std::string headers = "HTTP/1.1 200 OK\r\n"
                                "X-Robots-Tag: noindex\r\n"
                                "Link: </a>; rel=canonical\r\n"
                                "x-robots-tag:\tbot: nofollow \r\n"
                                "X-Robots-Tagged: none\r\n"
                                "X\rRobots\rTag: none\r\n"
                                "X-Robots-Tag:\r\n"
                                "\r\n";
    EXPECT_EQ(HeaderLineValues(headers, "X-Robots-Tag"),
              (std::vector<std::string>{"noindex", "bot: nofollow", ""}));
    EXPECT_EQ(HeaderLineValues(headers, "Link"), (std::vector<std::string>{"</a>; rel=canonical"}));
    EXPECT_TRUE(HeaderLineValues(headers, "Retry-After").empty());
    EXPECT_EQ(HeaderLineValue(headers, "X-Robots-Tag"), "noindex");
}
