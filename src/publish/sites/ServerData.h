#pragma once
// One FTP site profile ("site" in the user interface).
#include <string>
#include <vector>

namespace tessaly {

// The connection kinds of the site manager's list, by position.
inline constexpr const char* kProtocolNames[] = {"FTP", "SFTP", "FTP + SSL", "FTP + SSL + Data",
                                                 "FTP + SSL Implicit"};
inline constexpr int kProtocolCount = 5;
// Positions in kProtocolNames.
inline constexpr int kProtocolFtp = 0;
inline constexpr int kProtocolSftp = 1;
inline constexpr int kProtocolFtpTls = 2;
inline constexpr int kProtocolFtpTlsData = 3;
inline constexpr int kProtocolFtpImplicit = 4;

// The port the site manager shows after the connection kind changes to
// protocol: implicit TLS listens on 990, SFTP on 22, the others on 21. A
// port the person chose (anything but another kind's default, or 0) stays.
int DefaultPortFor(int protocol, int currentPort);

struct TServerData {
    std::string ItemName;
    std::string HostName;
    std::string Username;
    std::string Password; // plain text in memory only
    std::string HostDirName;
    std::string LocalDirName;
    std::string Comment;
    int Port = 0;
    int Protocol = 0;
    int Timeout = 0;
    bool Anonymous = false;
    bool PassiveMode = true;
    bool SavePassword = false;
    bool Secure = false;
    bool UseNoop = false;
    std::vector<std::string> Bookmarks;
    // SHA-256 fingerprint of a server certificate the person chose to trust
    // although no trusted authority vouches for it; empty for none.
    std::string TrustedCertificate;
    // A plain-FTP site whose server offers TLS, once the person was told.
    bool TlsOffered = false;

    // The store key this record was read from or last saved to; empty for a
    // profile that is not in the store yet. Delete and rename act on it.
    std::string LoadedKey;
};

} // namespace tessaly
