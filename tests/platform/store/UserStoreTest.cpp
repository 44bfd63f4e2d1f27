// The store file: where it lives, its mode, and what a damaged or unwritable
// store does.
#include "UserStore.h"
#include "PasswordCipher.h"
#include "TempConfigHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
    ::chmod(store.File().c_str(), 0600);
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

// Whatever the umask, the folder the store makes is the owner's alone, and
// so are the store, its lock and its key.
TEST_F(UserStoreTest, FolderAndFilesAreMadeOwnerOnlyUnderAnyUmask) {
    const std::string folder = home.path("cfg/Quorvane Software/Tessaly");
    TUserStore store(folder + "/user-store.reg");
    mode_t old = ::umask(0);
    bool written = store.Write([](StoreData& d) { return d.SetValue("A", "v", "1"); });
    bool keyed = bool(TPasswordCipher(store.KeyFile()).EncryptPassword("pw"));
    ::umask(old);
    ASSERT_TRUE(written && keyed);
    EXPECT_EQ(Mode(home.path("cfg")), 0700);
    EXPECT_EQ(Mode(folder), 0700);
    for (const std::string& file : {store.File(), store.File() + ".lock", store.KeyFile()})
        EXPECT_EQ(Mode(file), 0600) << file;
}

namespace {
// Runs the read on a thread of its own, so that a read that blocks fails the
// test instead of hanging it (the thread is left behind then).
std::optional<std::string> WithinSeconds(int seconds, std::function<std::string()> read) {
    std::packaged_task<std::string()> task(std::move(read));
    std::future<std::string> answer = task.get_future();
    std::thread(std::move(task)).detach();
    if (answer.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready)
        return std::nullopt;
    return answer.get();
}

std::string UserName(uid_t uid) {
    const passwd* pw = ::getpwuid(uid);
    return pw ? pw->pw_name : std::to_string(uid);
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), qint64(text.size()));
    f.close();
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}
} // namespace

// A store or key that is not the user's own, is open to others or is not a
// regular file is refused with what is wrong and the command that mends it;
// so is a damaged one. Each read returns at once.
TEST_F(UserStoreTest, AStoreOrKeyNotTheUsersOwnIsRefused) {
    const std::string folder = home.path("s");
    TUserStore store(folder + "/user-store.reg");
    const std::string S = store.File(), K = store.KeyFile();
    const std::string qS = "\"" + S + "\"", qK = "\"" + K + "\"";
    const std::string good = "Tessaly user store 1\n\n[A]\n\"v\"=\"1\"\n";
    const std::string key = std::string(64, 'a') + "\n";
    struct Case {
        const char* name;
        std::function<void()> setUp;
        bool ofKey; // else of the store
        std::string message;
        bool needsRoot = false;
    };
    const std::vector<Case> cases = {
        {"group-readable store", [&] { WriteFile(S, good, 0640); }, false,
         "The store file " + qS + " can be read by other users; run: chmod 600 " + qS},
        {"world-writable store", [&] { WriteFile(S, good, 0602); }, false,
         "The store file " + qS + " can be changed by other users; run: chmod 600 " + qS},
        {"store open to all", [&] { WriteFile(S, good, 0666); }, false,
         "The store file " + qS + " can be read and changed by other users; run: chmod 600 " + qS},
        {"damaged store", [&] { WriteFile(S, "Tessaly user store 1\n[A]\ngarbage\n", 0600); },
         false, "The store file " + qS + " is damaged (line 3: "},
        {"store is a FIFO", [&] { ASSERT_EQ(::mkfifo(S.c_str(), 0600), 0); }, false,
         "The store file " + qS + " is not a regular file"},
        {"store of another user",
         [&] {
             WriteFile(S, good, 0600);
             ASSERT_EQ(::chown(S.c_str(), 65534, 65534), 0);
         },
         false,
         "The store file " + qS + " belongs to another user (" + UserName(65534) +
             "); run: chown " + UserName(::geteuid()) + " " + qS,
         true},
        {"group-readable key", [&] { WriteFile(K, key, 0640); }, true,
         "The key file " + qK + " can be read by other users; run: chmod 600 " + qK},
        {"damaged key", [&] { WriteFile(K, "not a key\n", 0600); }, true,
         "The key file " + qK + " is damaged"},
        {"key is a FIFO", [&] { ASSERT_EQ(::mkfifo(K.c_str(), 0600), 0); }, true,
         "The key file " + qK + " is not a regular file"},
        {"key is a link",
         [&] {
             WriteFile(folder + "/elsewhere", key, 0600);
             ASSERT_EQ(::symlink((folder + "/elsewhere").c_str(), K.c_str()), 0);
         },
         true, "The key file " + qK + " is a symbolic link; put the file itself in its place"},
        {"key of another user",
         [&] {
             WriteFile(K, key, 0600);
             ASSERT_EQ(::chown(K.c_str(), 65534, 65534), 0);
         },
         true,
         "The key file " + qK + " belongs to another user (" + UserName(65534) + "); run: chown " +
             UserName(::geteuid()) + " " + qK,
         true},
    };
    bool root = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !root) {
            std::printf("[ SKIPPED  ] %s: giving a file to another user needs root\n", c.name);
            continue;
        }
        QDir(QString::fromStdString(folder)).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        c.setUp();
        std::vector<std::string> errors;
        if (c.ofKey) {
            // Both ways the key is wanted: to encipher (making no new key in
            // its place) and to decipher a saved password.
            auto made = WithinSeconds(5, [K] {
                std::string why;
                EXPECT_FALSE(TPasswordCipher(K).EncryptPassword("pw", &why));
                return why;
            });
            auto read = WithinSeconds(5, [K] {
                std::string why;
                EXPECT_EQ(TPasswordCipher(K).DecryptPassword("g1:AAAA", &why), "");
                return why;
            });
            ASSERT_TRUE(made && read) << "the key's read did not return";
            errors = {*made, *read};
        } else {
            auto read = WithinSeconds(5, [store] {
                StoreData data;
                std::string why;
                EXPECT_FALSE(store.Read(data, &why));
                return why;
            });
            auto written = WithinSeconds(5, [store] {
                std::string why;
                EXPECT_FALSE(
                    store.Write([](StoreData& d) { return d.SetValue("B", "v", "1"); }, &why));
                return why;
            });
            ASSERT_TRUE(read && written) << "the store's read did not return";
            errors = {*read, *written};
        }
        for (const std::string& why : errors) {
            // The damaged store's message goes on with the reader's own words.
            if (std::string(c.name) == "damaged store")
                EXPECT_EQ(why.rfind(c.message, 0), 0u) << why;
            else
                EXPECT_EQ(why, c.message);
        }
    }
}

} // namespace
} // namespace tessaly
