#include "ProxySettings.h"

#include "PasswordCipher.h"
#include "StoreData.h"

#include <optional>

namespace tessaly {

const std::vector<std::string>& ProxyTypes() {
    static const std::vector<std::string> types = {"Socks4", "Socks5", "Web Standard", "Relay",
                                                   "Socks4a"};
    return types;
}

int ProxyTypeIndex(const std::string& word) {
    const auto& types = ProxyTypes();
    for (size_t i = 0; i < types.size(); ++i) {
        if (FoldCase(types[i]) == FoldCase(word))
            return int(i);
    }
    return -1;
}

bool LoadProxySettings(TProxySettings& settings, const TUserStore& store, std::string* error) {
    settings = TProxySettings();
    StoreData data;
    if (!store.Read(data, error))
        return false;
    auto read = [&](const char* name) { return data.Value(kProxyKey, name).value_or(""); };
    settings.ProxyHostName = read("proxyhostname");
    settings.ProxyLogin = read("proxylogin");
    std::string why;
    settings.ProxyPassword =
        TPasswordCipher(store.KeyFile()).DecryptPassword(read("proxypassword"), &why);
    if (!why.empty()) {
        if (error)
            *error = why;
        return false;
    }
    settings.ProxyPort = read("proxyport");
    settings.ProxyType = read("proxytype");
    return true;
}

bool SaveProxySettings(const TProxySettings& settings, const TUserStore& store,
                       std::string* error) {
    std::optional<std::string> password =
        TPasswordCipher(store.KeyFile()).EncryptPassword(settings.ProxyPassword, error);
    if (!password)
        return false;
    return store.Write(
        [&](StoreData& data) {
            data.SetValue(kProxyKey, "proxyhostname", settings.ProxyHostName);
            data.SetValue(kProxyKey, "proxylogin", settings.ProxyLogin);
            data.SetValue(kProxyKey, "proxytype", settings.ProxyType);
            data.SetValue(kProxyKey, "proxyport", settings.ProxyPort);
            data.SetValue(kProxyKey, "proxypassword", *password);
            return true;
        },
        error);
}

} // namespace tessaly
