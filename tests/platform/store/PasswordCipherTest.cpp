// The password cipher: round trips, and everything that is not its own
// output under this key reads as no password.
#include "PasswordCipher.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

class PasswordCipherTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string keyFile() const { return dir.path().toStdString() + "/sub/user-store.key"; }
};

TEST_F(PasswordCipherTest, RoundTripsWithAFreshNoncePerCall) {
    TPasswordCipher cipher(keyFile());
    for (std::string text : {std::string("pw-Secret1"), std::string(""), std::string("ä \"q\"\n"),
                             std::string(1000, 'x'), std::string("a\0b", 3)}) {
        auto a = cipher.EncryptPassword(text);
        auto b = cipher.EncryptPassword(text);
        ASSERT_TRUE(a && b);
        EXPECT_NE(*a, *b) << "same nonce twice";
        EXPECT_FALSE(a->empty()); // even empty text is stored as something
        for (char c : *a)
            EXPECT_TRUE(c >= 0x21 && c < 0x7f) << "not printable: " << int(c);
        EXPECT_EQ(cipher.DecryptPassword(*a), text);
    }
    // The key was made owner-only.
    struct stat st {};
    ASSERT_EQ(::stat(keyFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(PasswordCipherTest, ForeignOrDamagedTextReadsAsEmpty) {
    TPasswordCipher cipher(keyFile());
    std::string sealed = *cipher.EncryptPassword("pw-Secret1");
    QTemporaryDir other;
    TPasswordCipher otherKey(other.path().toStdString() + "/user-store.key");
    ASSERT_TRUE(otherKey.EncryptPassword("x"));
    std::string flipped = sealed;
    flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
    for (const std::string& bad :
         {otherKey.DecryptPassword(sealed), cipher.DecryptPassword(flipped),
          cipher.DecryptPassword(sealed.substr(0, sealed.size() - 4)),
          cipher.DecryptPassword(sealed.substr(0, 5)), cipher.DecryptPassword("plain text"),
          cipher.DecryptPassword("g1:!!!!"), cipher.DecryptPassword("")})
        EXPECT_EQ(bad, "");
    // No key file at all.
    QTemporaryDir none;
    EXPECT_EQ(TPasswordCipher(none.path().toStdString() + "/k").DecryptPassword(sealed), "");
    EXPECT_FALSE(QFile::exists(none.path() + "/k")); // reading makes no key
}

TEST_F(PasswordCipherTest, DamagedKeyFileIsReportedNotReplaced) {
    TPasswordCipher cipher(keyFile());
    std::string sealed = *cipher.EncryptPassword("pw");
    QFile key(QString::fromStdString(keyFile()));
    ASSERT_TRUE(key.open(QIODevice::WriteOnly));
    key.write("not a key\n");
    key.close();
    std::string why;
    EXPECT_FALSE(cipher.EncryptPassword("pw", &why));
    EXPECT_NE(why.find("damaged"), std::string::npos) << why;
    EXPECT_EQ(cipher.DecryptPassword(sealed), "");
    ASSERT_TRUE(key.open(QIODevice::ReadOnly));
    EXPECT_EQ(key.readAll(), "not a key\n");
}

} // namespace
} // namespace tessaly
