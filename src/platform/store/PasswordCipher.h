#pragma once
// The cipher for stored passwords: AES-256-GCM with a fresh nonce per call,
// under a random key made on first use and kept in its own owner-only file
// beside the store (a key built into the program would let anyone holding the
// program read every stored password). A key file that others could read or
// change is refused, never used. Enciphered text is printable ASCII.
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
    // When the key file is there but cannot be used (damaged, not a regular
    // file, not the user's own, open to others), empty with the reason in
    // error: the saved password exists but cannot be had.
    std::string DecryptPassword(const std::string& text, std::string* error = nullptr) const;

  private:
    // The 32-byte key, made when create is true and there is none;
    // missingKey tells a missing key file from one that cannot be used.
    std::optional<std::string> Key(bool create, std::string* error,
                                   bool* missingKey = nullptr) const;
    std::string keyFile_;
};

// The cipher itself: mode 1 enciphers, mode 0 deciphers; key is 32 bytes.
// Deciphering anything that mode 1 did not make under the same key gives
// empty text.
std::string CryptoFix(const std::string& text, const std::string& key, int mode);

} // namespace tessaly
