#include "PasswordCipher.h"

#include "PrivateFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

constexpr int kKeySize = 32;
constexpr int kNonceSize = 12;
constexpr int kTagSize = 16;
constexpr const char* kPrefix = "g1:";

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::string Encipher(const std::string& text, const std::string& key) {
    unsigned char nonce[kNonceSize];
    if (RAND_bytes(nonce, kNonceSize) != 1)
        return {};
    CipherCtx ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    std::string out(size_t(kNonceSize) + text.size() + kTagSize, '\0');
    auto* buf = reinterpret_cast<unsigned char*>(out.data());
    std::memcpy(buf, nonce, kNonceSize);
    int len = 0, fin = 0;
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.data()), nonce) != 1 ||
        EVP_EncryptUpdate(ctx.get(), buf + kNonceSize, &len,
                          reinterpret_cast<const unsigned char*>(text.data()),
                          int(text.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), buf + kNonceSize + len, &fin) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize,
                            buf + kNonceSize + text.size()) != 1)
        return {};
    QByteArray b64 = QByteArray(out.data(), qsizetype(out.size())).toBase64();
    return kPrefix + b64.toStdString();
}

std::string Decipher(const std::string& text, const std::string& key) {
    if (text.rfind(kPrefix, 0) != 0)
        return {};
    std::string body = text.substr(std::strlen(kPrefix));
    auto decoded = QByteArray::fromBase64Encoding(QByteArray(body.data(), qsizetype(body.size())),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    const QByteArray& raw = *decoded;
    if (raw.size() < kNonceSize + kTagSize)
        return {};
    int cipherLen = int(raw.size()) - kNonceSize - kTagSize;
    auto* bytes = reinterpret_cast<const unsigned char*>(raw.constData());
    std::string plain(size_t(cipherLen), '\0');
    CipherCtx ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int len = 0, fin = 0;
    auto* outBuf = reinterpret_cast<unsigned char*>(plain.data());
    unsigned char tag[kTagSize];
    std::memcpy(tag, bytes + kNonceSize + cipherLen, kTagSize);
    if (!ctx ||
        EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.data()), bytes) != 1 ||
        EVP_DecryptUpdate(ctx.get(), outBuf, &len, bytes + kNonceSize, cipherLen) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), outBuf + len, &fin) != 1)
        return {};
    return plain;
}

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

// The key file holds the key as 64 hexadecimal digits. Nothing when it is
// missing (missing set) or cannot be used (the reason in error).
std::optional<std::string> ReadKeyFile(const std::string& path, bool& missing, std::string& error) {
    std::string bytes;
    PrivateRead got = ReadPrivateFile(path, "key file", 200, bytes, error);
    missing = got == PrivateRead::Missing;
    if (got != PrivateRead::Read)
        return std::nullopt;
    QByteArray hex = QByteArray(bytes.data(), qsizetype(bytes.size())).trimmed();
    QByteArray key = QByteArray::fromHex(hex);
    if (hex.size() != kKeySize * 2 || key.size() != kKeySize || key.toHex() != hex.toLower()) {
        error = "The key file \"" + path + "\" is damaged";
        return std::nullopt;
    }
    return key.toStdString();
}

} // namespace

std::string CryptoFix(const std::string& text, const std::string& key, int mode) {
    if (key.size() != size_t(kKeySize))
        return {};
    return mode == 1 ? Encipher(text, key) : Decipher(text, key);
}

TPasswordCipher::TPasswordCipher(std::string keyFile) : keyFile_(std::move(keyFile)) {}

std::optional<std::string> TPasswordCipher::Key(bool create, std::string* error,
                                                bool* missingKey) const {
    bool missing = false;
    std::string why;
    if (auto key = ReadKeyFile(keyFile_, missing, why))
        return key;
    if (missingKey)
        *missingKey = missing;
    if (!missing) {
        SetError(error, why);
        return std::nullopt;
    }
    if (!create) {
        SetError(error, "no password key");
        return std::nullopt;
    }
    unsigned char raw[kKeySize];
    if (RAND_bytes(raw, kKeySize) != 1) {
        SetError(error, "no random bytes for the password key");
        return std::nullopt;
    }
    QByteArray hex = QByteArray(reinterpret_cast<const char*>(raw), kKeySize).toHex() + "\n";
    if (!MakePrivateFolder(QFileInfo(QString::fromStdString(keyFile_)).absolutePath().toStdString(),
                           why)) {
        SetError(error, why);
        return std::nullopt;
    }
    // Made under a temporary name and linked into place, so a second process
    // making a key at the same moment never replaces the first one's: the
    // loser reads the winner's key.
    std::string temp = keyFile_ + ".new" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetError(error, "cannot create " + keyFile_ + ": " + std::strerror(errno));
        return std::nullopt;
    }
    // Owner-only whatever the umask (or a stale file of that name) made it.
    bool written = ::fchmod(fd, 0600) == 0 &&
                   ::write(fd, hex.constData(), size_t(hex.size())) == hex.size() &&
                   ::fsync(fd) == 0;
    ::close(fd);
    int linked = written ? ::link(temp.c_str(), keyFile_.c_str()) : -1;
    int linkErrno = errno;
    ::unlink(temp.c_str());
    if (!written || (linked != 0 && linkErrno != EEXIST)) {
        SetError(error, "cannot create " + keyFile_ + ": " + std::strerror(linkErrno));
        return std::nullopt;
    }
    if (auto key = ReadKeyFile(keyFile_, missing, why))
        return key;
    SetError(error, why);
    return std::nullopt;
}

std::optional<std::string> TPasswordCipher::EncryptPassword(const std::string& text,
                                                            std::string* error) const {
    std::optional<std::string> key = Key(true, error);
    if (!key)
        return std::nullopt;
    std::string out = CryptoFix(text, *key, 1);
    if (out.empty()) {
        SetError(error, "the password could not be enciphered");
        return std::nullopt;
    }
    return out;
}

std::string TPasswordCipher::DecryptPassword(const std::string& text, std::string* error) const {
    if (text.empty())
        return {};
    bool missing = false;
    std::string why;
    std::optional<std::string> key = Key(false, &why, &missing);
    if (!key) {
        // No key at all is no saved password; a key that is there but cannot
        // be used is the reason the password cannot be had.
        if (!missing)
            SetError(error, why);
        return {};
    }
    return CryptoFix(text, *key, 0);
}

} // namespace tessaly
