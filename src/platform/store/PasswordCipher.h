#pragma once
// The cipher for stored passwords: AES-256-GCM with a fresh nonce per call,
// under a random key made on first use and kept in its own owner-only file
// beside the store (a key built into the program would let anyone holding the
// program read every stored password). Enciphered text is printable ASCII.
#include <optional>
#include <string>

namespace tessaly {

class TPasswordCipher {
  public:
    // keyFile: where the key lives (TUserStore::KeyFile()).
    explicit TPasswordCipher(std::string keyFile);

    // The enciphered text; makes the key when there is none yet. Nothing,
    // with the reason, when the key cannot be read or made.
    std::optional<std::string> EncryptPassword(const std::string& text,
                                               std::string* error = nullptr) const;
    // The text back, or empty when it does not decipher under this key
    // (another machine's store, a damaged value, no key): no saved password.
    std::string DecryptPassword(const std::string& text) const;

  private:
    // The 32-byte key, made when create is true and there is none.
    std::optional<std::string> Key(bool create, std::string* error) const;
    std::string keyFile_;
};

// The cipher itself: mode 1 enciphers, mode 0 deciphers; key is 32 bytes.
// Deciphering anything that mode 1 did not make under the same key gives
// empty text.
std::string CryptoFix(const std::string& text, const std::string& key, int mode);

} // namespace tessaly
