#pragma once
// One FTP site profile ("site" in the user interface).
#include <string>
#include <vector>

namespace tessaly {

// The connection kinds of the site manager's list, by position.
inline constexpr const char* kProtocolNames[] = {"FTP", "SFTP", "FTP + SSL", "FTP + SSL + Data",
                                                 "FTP + SSL Implicit"};
inline constexpr int kProtocolCount = 5;

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

    // The store key this record was read from or last saved to; empty for a
    // profile that is not in the store yet. Delete and rename act on it.
    std::string LoadedKey;
};

} // namespace tessaly
