#include "ServerStore.h"

#include "PasswordCipher.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace tessaly {

namespace {

std::string SiteKey(const std::string& name) {
    return std::string(kProfilesKey) + "\\" + name;
}

// Strict decimal conversion: an optional sign and digits, nothing else.
std::optional<int> StrictInt(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

std::string KeyNameFor(const TServerData& site, size_t position) {
    return site.ItemName.empty() ? "Untitled " + std::to_string(position) : site.ItemName;
}

} // namespace

// Values written only when set, so a record without them stays as before.
static void PutSecurityValues(StoreData& data, const std::string& path, const TServerData& site) {
    if (site.TrustedCertificate.empty())
        data.DeleteValue(path, "TrustedCertificate");
    else
        data.SetValue(path, "TrustedCertificate", site.TrustedCertificate);
    if (site.TlsOffered)
        data.SetValue(path, "TlsOffered", "1");
    else
        data.DeleteValue(path, "TlsOffered");
}

int DefaultPortFor(int protocol, int currentPort) {
    const int wanted = protocol == kProtocolFtpImplicit ? 990 : protocol == kProtocolSftp ? 22 : 21;
    if (currentPort == 0 || currentPort == 21 || currentPort == 22 || currentPort == 990)
        return wanted;
    return currentPort;
}

std::string BoolToRegStr(bool value) {
    return value ? "1" : "0";
}

bool RegStrToBool(const std::string& text) {
    return text == "1";
}

std::string SiteNameProblem(const std::string& name) {
    if (name.find_first_not_of(" \t") == std::string::npos)
        return "Please enter a name for the site.";
    if (name.find('\\') != std::string::npos)
        return "A site name cannot contain \"\\\".";
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return "A site name cannot contain line breaks or other control characters.";
    return {};
}

TServerStore::TServerStore(TUserStore store) : store_(std::move(store)) {}

TServerData TServerStore::ReadSite(const StoreData& data, const std::string& key,
                                   std::string* error) const {
    std::string path = SiteKey(key);
    auto read = [&](const char* name, const std::string& def = {}) {
        return data.Value(path, name).value_or(def);
    };
    auto number = [&](const char* name, int def, int low, int high) {
        std::optional<int> v = StrictInt(read(name, std::to_string(def)));
        return v && *v >= low && *v <= high ? *v : def;
    };
    TServerData site;
    site.HostName = read("HostName");
    site.ItemName = read("ItemName", site.HostName);
    site.Password = TPasswordCipher(store_.KeyFile()).DecryptPassword(read("Password"), error);
    site.HostDirName = read("HostDirName");
    site.LocalDirName = read("LocalDirName");
    site.Username = read("Username");
    site.Comment = read("Comment");
    site.Anonymous = RegStrToBool(read("Anonymous"));
    site.PassiveMode = RegStrToBool(read("PassiveMode"));
    site.SavePassword = RegStrToBool(read("SavePassword"));
    site.Port = number("port", 21, 1, 65535);
    site.Timeout = number("Timeout", 60, 0, 999);
    site.UseNoop = RegStrToBool(read("UseNoop"));
    site.Secure = RegStrToBool(read("Secure"));
    site.Protocol = number("Protocol", 0, 0, kProtocolCount - 1);
    site.TrustedCertificate = read("TrustedCertificate");
    site.TlsOffered = RegStrToBool(read("TlsOffered"));
    site.LoadedKey = key;
    return site;
}

TServerData TServerStore::LoadServerData(const std::string& name, std::string* error) const {
    StoreData data;
    if (!store_.Read(data, error))
        return {};
    for (const std::string& key : data.SubKeys(kProfilesKey)) {
        if (key == name)
            return ReadSite(data, key, error);
    }
    return {};
}

std::vector<std::string> TServerStore::ServerNames(std::string* error) const {
    StoreData data;
    if (!store_.Read(data, error))
        return {};
    return data.SubKeys(kProfilesKey);
}

bool TServerStore::LoadProfiles(std::vector<TServerData>& list, std::string* error) const {
    list.clear();
    StoreData data;
    if (!store_.Read(data, error))
        return false;
    std::vector<TServerData> read;
    for (const std::string& key : data.SubKeys(kProfilesKey)) {
        std::string why;
        TServerData site = ReadSite(data, key, &why);
        if (!why.empty()) {
            if (error)
                *error = why;
            return false;
        }
        for (int n = 0;; ++n) {
            std::string mark =
                data.Value(SiteKey(key), "Bookmark " + std::to_string(n)).value_or("");
            if (mark.empty())
                break;
            site.Bookmarks.push_back(mark);
        }
        read.push_back(std::move(site));
    }
    list = std::move(read);
    return true;
}

bool TServerStore::WriteSites(StoreData& data, std::vector<TServerData>& list,
                              std::vector<std::string>& keys, std::string& error) const {
    TPasswordCipher cipher(store_.KeyFile());
    keys.clear();
    for (size_t i = 0; i < list.size(); ++i) {
        const TServerData& site = list[i];
        std::string name = KeyNameFor(site, i);
        std::string problem = SiteNameProblem(name);
        // A name that cannot be a key (a hand-edited store may hold one) keeps
        // the site under the key it came from, so one odd site never blocks
        // saving the others.
        if (!problem.empty() && !site.LoadedKey.empty() &&
            SiteNameProblem(site.LoadedKey).empty()) {
            name = site.LoadedKey;
            problem.clear();
        }
        if (!problem.empty()) {
            error = "The site \"" + name + "\" cannot be saved: " + problem;
            return false;
        }
        std::string password;
        if (site.SavePassword) {
            std::string why;
            std::optional<std::string> sealed = cipher.EncryptPassword(site.Password, &why);
            if (!sealed) {
                error = why;
                return false;
            }
            password = *sealed;
        }
        std::string path = SiteKey(name);
        for (int n = 0;; ++n) {
            std::string mark = "Bookmark " + std::to_string(n);
            if (data.Value(path, mark).value_or("").empty())
                break;
            data.DeleteValue(path, mark);
        }
        data.CreateKey(path);
        auto put = [&](const char* value, const std::string& text) {
            data.SetValue(path, value, text);
        };
        put("ItemName", site.ItemName);
        put("HostName", site.HostName);
        put("Username", site.Username);
        put("Port", std::to_string(site.Port));
        put("Timeout", std::to_string(site.Timeout));
        put("LocalDirName", site.LocalDirName);
        put("HostDirName", site.HostDirName);
        put("Anonymous", BoolToRegStr(site.Anonymous));
        put("PassiveMode", BoolToRegStr(site.PassiveMode));
        put("SavePassword", BoolToRegStr(site.SavePassword));
        put("Secure", BoolToRegStr(site.Secure));
        put("Comment", site.Comment);
        put("UseNoop", BoolToRegStr(site.UseNoop));
        put("Protocol", std::to_string(site.Protocol));
        put("Password", password);
        PutSecurityValues(data, path, site);
        for (size_t k = 0; k < site.Bookmarks.size(); ++k)
            put(("Bookmark " + std::to_string(k)).c_str(), site.Bookmarks[k]);
        keys.push_back(name);
    }
    return true;
}

bool TServerStore::SaveSecurityValues(const std::string& key, const TServerData& site,
                                      std::string& error) const {
    if (std::string problem = SiteNameProblem(key); !problem.empty()) {
        error = problem;
        return false;
    }
    bool found = false;
    const bool written = store_.Write(
        [&](StoreData& data) {
            const std::vector<std::string> keys = data.SubKeys(kProfilesKey);
            found = std::find(keys.begin(), keys.end(), key) != keys.end();
            if (found)
                PutSecurityValues(data, SiteKey(key), site);
            return found;
        },
        &error);
    if (!found && error.empty())
        error = "The site \"" + key + "\" is no longer in the list of sites.";
    return written && found;
}

bool TServerStore::SaveProfiles(std::vector<TServerData>& list, std::string& error) const {
    std::vector<std::string> keys;
    bool edited = false;
    bool written = store_.Write(
        [&](StoreData& data) {
            edited = WriteSites(data, list, keys, error);
            return edited;
        },
        &error);
    if (!written || !edited)
        return false;
    for (size_t i = 0; i < list.size(); ++i)
        list[i].LoadedKey = keys[i];
    return true;
}

bool TServerStore::DeleteProfile(const TServerData& site, std::string& error) const {
    if (site.LoadedKey.empty())
        return true;
    // Guards the whole list of sites: an empty or blank key name would name
    // the parent key.
    std::string problem = SiteNameProblem(site.LoadedKey);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    return store_.Write(
        [&](StoreData& data) {
            data.DeleteTree(SiteKey(site.LoadedKey));
            return true;
        },
        &error);
}

bool TServerStore::RenameProfile(std::vector<TServerData>& list, size_t index,
                                 const std::string& newName, std::string& error) const {
    if (index >= list.size())
        return false;
    std::string problem = SiteNameProblem(newName);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    std::vector<TServerData> renamed = list;
    std::string oldKey = renamed[index].LoadedKey;
    renamed[index].ItemName = newName;
    std::vector<std::string> keys;
    bool edited = false;
    bool written = store_.Write(
        [&](StoreData& data) {
            edited = WriteSites(data, renamed, keys, error);
            if (!edited)
                return false;
            bool stillUsed = std::any_of(keys.begin(), keys.end(), [&](const std::string& k) {
                return FoldCase(k) == FoldCase(oldKey);
            });
            if (!oldKey.empty() && SiteNameProblem(oldKey).empty() && !stillUsed)
                data.DeleteTree(SiteKey(oldKey));
            return true;
        },
        &error);
    if (!written || !edited)
        return false;
    for (size_t i = 0; i < renamed.size(); ++i)
        renamed[i].LoadedKey = keys[i];
    list = std::move(renamed);
    return true;
}

} // namespace tessaly
