#include "DateStamp.h"
#include "ZoneScope.h"

#include <QTemporaryFile>
#include <QTimeZone>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tessaly;

TEST(DateStamp, ZoneOffsetTextForOffsets) {
    struct Case {
        int seconds;
        const char* text;
    };
    for (auto c : {Case{0, "+00:00"}, Case{-5 * 3600, "-05:00"}, Case{5 * 3600 + 1800, "+05:30"},
                   Case{-(3 * 3600 + 1800), "-03:30"}, Case{14 * 3600, "+14:00"}})
        EXPECT_EQ(ZoneOffsetText(c.seconds), c.text) << c.seconds;
}

TEST(DateStamp, StampCarriesTheOffsetInForceAtItsOwnMoment) {
    struct Case {
        const char* tz;
        QDate date;
        const char* want;
    };
    const Case cases[] = {
        {"UTC", {2024, 7, 1}, "2024-07-01T09:05:03+00:00"},
        {"America/New_York", {2024, 1, 15}, "2024-01-15T09:05:03-05:00"},
        // Summer time: the stamp names the real instant, so it carries -04:00.
        {"America/New_York", {2024, 7, 1}, "2024-07-01T09:05:03-04:00"},
        {"Asia/Kolkata", {2024, 7, 1}, "2024-07-01T09:05:03+05:30"},
        {"Europe/Berlin", {2024, 12, 24}, "2024-12-24T09:05:03+01:00"},
    };
    for (const auto& c : cases) {
        ZoneScope zone(c.tz);
        QDateTime local(c.date, QTime(9, 5, 3), Qt::LocalTime);
        EXPECT_EQ(W3CDateTime(local), c.want) << c.tz;
    }
}

TEST(DateStamp, FileDateTimeReadsTheModificationTime) {
    ZoneScope zone("UTC");
    QTemporaryFile f;
    ASSERT_TRUE(f.open());
    struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, f.fileName().toUtf8().constData(), times, 0), 0);
    EXPECT_EQ(W3CDateTime(FileDateTime(f.fileName().toStdString())), "2023-11-14T22:13:20+00:00");

    QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    EXPECT_GE(FileDateTime("/no/such/file"), before);
}
