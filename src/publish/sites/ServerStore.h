#pragma once
// FTP site profiles in the per-user store: one key per site below
// "Software\Quorvane Software\Internet\Profiles", every value a string.
#include "ServerData.h"
#include "UserStore.h"

#include <string>
#include <vector>

namespace tessaly {

inline constexpr const char* kInternetKey = "Software\\Quorvane Software\\Internet";
inline constexpr const char* kProfilesKey = "Software\\Quorvane Software\\Internet\\Profiles";

inline constexpr const char* kSaveProfilesError = "Error 1: Could not save the server profiles.";

std::string BoolToRegStr(bool value);
bool RegStrToBool(const std::string& text);

// Why a site name cannot be used, or empty when it can: a name must hold
// something besides blanks and no "\" (which would make nested keys).
std::string SiteNameProblem(const std::string& name);

class TServerStore {
  public:
    explicit TServerStore(TUserStore store = TUserStore());

    const TUserStore& Store() const { return store_; }

    // The site whose key is spelled exactly name; a record with the creation
    // values (empty HostName) when there is none. Bookmarks are not read.
    // error, when given, is set when that is not the whole answer: the store
    // cannot be read (the record is then the empty one), or the site's saved
    // password cannot be had because the key file cannot be used (the record
    // then has no password). It stays untouched otherwise.
    TServerData LoadServerData(const std::string& name, std::string* error = nullptr) const;
    // Key names of all sites, in the store's order; empty when none or the
    // store cannot be read (the reason then in error, when given).
    std::vector<std::string> ServerNames(std::string* error = nullptr) const;
    // Every site with its bookmarks. A value that does not read as a number
    // (port, timeout, protocol) takes its default for that site alone.
    // False with the reason (and an empty list) when the store cannot be
    // read, or a saved password cannot be had because the key file cannot be
    // used.
    bool LoadProfiles(std::vector<TServerData>& list, std::string* error = nullptr) const;

    // Writes every site of the list in one batch (one lock, one rename). A
    // site with an empty name goes under "Untitled " + its position. Keys of
    // sites no longer in the list stay. Each record's LoadedKey becomes the
    // key it went to. False with the reason; nothing is written then.
    bool SaveProfiles(std::vector<TServerData>& list, std::string& error) const;
    // Deletes the key the site was loaded from, with everything under it.
    // A site not yet in the store needs nothing deleted.
    bool DeleteProfile(const TServerData& site, std::string& error) const;
    // Gives list[index] the name newName and writes the list, in one batch
    // that writes the new key and then deletes the old one, so a failed save
    // loses no site. The caller checks the name first (SiteNameProblem, and
    // that no other site has it). On failure the record keeps its old name.
    bool RenameProfile(std::vector<TServerData>& list, size_t index, const std::string& newName,
                       std::string& error) const;

    // Writes only the security values of the site stored under key
    // (TrustedCertificate, TlsOffered), as an upload learns them; the rest of
    // the record stays as it is. False with the reason, or when the key is
    // not in the store.
    bool SaveSecurityValues(const std::string& key, const TServerData& site,
                            std::string& error) const;

  private:
    TServerData ReadSite(const StoreData& data, const std::string& key, std::string* error) const;
    bool WriteSites(StoreData& data, std::vector<TServerData>& list, std::vector<std::string>& keys,
                    std::string& error) const;

    TUserStore store_;
};

} // namespace tessaly
