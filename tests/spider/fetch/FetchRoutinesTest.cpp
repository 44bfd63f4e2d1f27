// The fetcher's address and status routines.
#include "FetchRoutines.h"

#include <gtest/gtest.h>

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
