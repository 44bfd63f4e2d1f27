// The store file: where it lives, its mode, and what a damaged or unwritable
// store does.
#include "UserStore.h"
#include "TempConfigHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

std::string Slurp(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

int Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

class UserStoreTest : public ::testing::Test {
  protected:
    TempConfigHome home;
};

TEST_F(UserStoreTest, LivesInTheConfigFolderOwnerOnly) {
    TUserStore store;
    EXPECT_EQ(store.File().rfind(home.path(), 0), 0u) << store.File();
    StoreData data;
    ASSERT_TRUE(store.Read(data)); // no file yet: an empty store
    EXPECT_FALSE(data.HasKey("A"));
    ::umask(022);
    ASSERT_TRUE(store.Write([](StoreData& d) { return d.SetValue("A\\B", "v", "1"); }));
    EXPECT_EQ(Mode(store.File()), 0600);
    // An older file with a wider mode is narrowed by the next write.
    ::chmod(store.File().c_str(), 0644);
    ASSERT_TRUE(store.Write([](StoreData& d) { return d.SetValue("A\\B", "v", "2"); }));
    EXPECT_EQ(Mode(store.File()), 0600);
    TUserStore again;
    ASSERT_TRUE(again.Read(data));
    EXPECT_EQ(data.Value("a\\b", "V"), "2");
    EXPECT_EQ(Slurp(store.File()), "Tessaly user store 1\n\n[A]\n\n[A\\B]\n\"v\"=\"2\"\n");
}

TEST_F(UserStoreTest, DamagedStoreIsReportedAndNeverOverwritten) {
    TUserStore store(home.path("s/store.reg"));
    QDir().mkpath(QString::fromStdString(home.path("s")));
    const std::string junk = "Tessaly user store 1\n[A]\ngarbage\n";
    {
        QFile f(QString::fromStdString(store.File()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk.data(), qint64(junk.size()));
    }
    StoreData data;
    std::string why;
    EXPECT_FALSE(store.Read(data, &why));
    EXPECT_NE(why.find("damaged (line 3"), std::string::npos) << why;
    why.clear();
    EXPECT_FALSE(store.Write([](StoreData& d) { return d.SetValue("A", "v", "1"); }, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(Slurp(store.File()), junk);
}

TEST_F(UserStoreTest, UnwritableFolderIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QDir().mkpath(QString::fromStdString(home.path("ro")));
    ::chmod(home.path("ro").c_str(), 0500);
    TUserStore store(home.path("ro/store.reg"));
    std::string why;
    EXPECT_FALSE(store.Write([](StoreData& d) { return d.SetValue("A", "v", "1"); }, &why));
    EXPECT_FALSE(why.empty());
    ::chmod(home.path("ro").c_str(), 0700);
}

TEST_F(UserStoreTest, ABatchThatDeclinesWritesNothing) {
    TUserStore store(home.path("store.reg"));
    ASSERT_TRUE(store.Write([](StoreData& d) { return d.SetValue("A", "v", "1"); }));
    std::string before = Slurp(store.File());
    EXPECT_TRUE(store.Write([](StoreData& d) {
        d.SetValue("A", "v", "changed");
        return false;
    }));
    EXPECT_EQ(Slurp(store.File()), before);
}

} // namespace
} // namespace tessaly
