#pragma once
// The proxy or SOCKS server kept next to the site profiles. Stored and shown
// again; no connection of the program reads it.
#include "UserStore.h"

#include <string>
#include <vector>

namespace tessaly {

inline constexpr const char* kProxyKey = "Software\\Quorvane Software\\Internet\\Proxy";
inline constexpr const char* kSaveProxyError = "Error 2: Could not save the proxy data.";
inline constexpr const char* kOpenProxyError = "Error 4: Could not open the proxy data.";

struct TProxySettings {
    std::string ProxyHostName;
    std::string ProxyLogin;
    std::string ProxyPassword; // plain in memory, enciphered in the store
    std::string ProxyPort;     // decimal text, as the port control shows it
    std::string ProxyType;     // one of ProxyTypes(), or empty
};

// "Socks4", "Socks5", "Web Standard", "Relay", "Socks4a", in list order.
const std::vector<std::string>& ProxyTypes();
// The list position of a stored type word, letter case aside; -1 for none.
int ProxyTypeIndex(const std::string& word);

// Reads the settings without creating anything: a missing key or value
// reads as empty. False with the reason when the store cannot be read or the
// saved proxy password cannot be had because the key file cannot be used.
bool LoadProxySettings(TProxySettings& settings, const TUserStore& store, std::string* error);
// Writes the five values in one batch; false with the reason.
bool SaveProxySettings(const TProxySettings& settings, const TUserStore& store, std::string* error);

} // namespace tessaly
