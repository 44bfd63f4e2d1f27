// The store shared by processes: concurrent writers keep each other's values,
// and a writer killed at any moment leaves the old or the new sites.
#include "ServerStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <random>

namespace tessaly {
namespace {

const QString kHelper = QStringLiteral(TESSALY_STORE_WRITER);

TEST(StoreProcesses, TwoWritersBothKeepTheirValues) {
    QTemporaryDir dir;
    QString file = dir.path() + "/store.reg";
    QProcess a, b;
    a.start(kHelper, {"values", file, "Software\\A", "60"});
    b.start(kHelper, {"values", file, "Software\\B", "60"});
    ASSERT_TRUE(a.waitForFinished(30000) && b.waitForFinished(30000));
    ASSERT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    ASSERT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    StoreData data;
    ASSERT_TRUE(TUserStore(file.toStdString()).Read(data));
    EXPECT_EQ(data.Values("Software\\A").size(), 60u);
    EXPECT_EQ(data.Values("Software\\B").size(), 60u);
}

TEST(StoreProcesses, KillDuringSaveProfilesLeavesOldOrNewSites) {
    QTemporaryDir dir;
    std::string file = dir.path().toStdString() + "/store.reg";
    std::mt19937 random(12345);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 40; ++round) {
        QProcess writer;
        writer.start(kHelper, {"sites", QString::fromStdString(file)});
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << "helper did not start";
        // Let it save for a while, then kill -9 at an arbitrary moment.
        QThread::usleep(std::uniform_int_distribution<int>(0, 30000)(random));
        writer.kill();
        writer.waitForFinished(5000);

        TServerStore sites{TUserStore(file)};
        std::vector<TServerData> list;
        std::string why;
        ASSERT_TRUE(sites.LoadProfiles(list, &why)) << "round " << round << ": " << why;
        ASSERT_EQ(list.size(), 20u) << "round " << round;
        int port = list[0].Port;
        char host = port == 21 ? 'A' : 'B';
        (host == 'A' ? sawA : sawB)++;
        for (const TServerData& s : list) {
            EXPECT_EQ(s.Port, port) << "mixed sets in round " << round;
            EXPECT_EQ(s.HostName, std::string(200, host));
            EXPECT_EQ(s.Password, "pw");
        }
    }
    EXPECT_GT(sawA + sawB, 0);
}

} // namespace
} // namespace tessaly
