#pragma once
// The site manager's working list: the sites as loaded, edited in memory and
// written back on Close, OK and rename; deletions reach the store at once.
#include "ServerStore.h"

#include <string>
#include <vector>

namespace tessaly {

inline constexpr const char* kDuplicateSiteName =
    "A site with that name already exists, please choose another one.";

// What the new-site wizard hands over on Finish.
struct TWizardAnswers {
    std::string Name;
    std::string Host;
    std::string User;
    std::string Password;
    std::string RemotePath;
    bool Anonymous = false;
    bool SavePassword = true;
};

class TSiteList {
  public:
    explicit TSiteList(TServerStore store = TServerStore());

    const TServerStore& Store() const { return store_; }
    // Reads every site; false with the reason (the list is then empty).
    bool Load(std::string* error = nullptr);
    std::vector<TServerData>& Items() { return items_; }
    const std::vector<TServerData>& Items() const { return items_; }
    size_t size() const { return items_.size(); }

    // A site of the list has this name, letter case aside (the store holds
    // names that differ only in case under one key).
    bool ProfileExists(const std::string& name) const;
    // Appends the wizard's site: port 21, timeout 120, the rest as created.
    TServerData& AddWizardProfile(const TWizardAnswers& answers);
    // Writes every site; false with the message to show.
    bool Save(std::string& message);
    // Removes the site and its key; false with the message to show (the site
    // then stays).
    bool Delete(size_t index, std::string& message);
    // Renames a site, refusing a name in use or unusable; false with the
    // message to show (the site keeps its name).
    bool Rename(size_t index, const std::string& newName, std::string& message);

  private:
    TServerStore store_;
    std::vector<TServerData> items_;
};

} // namespace tessaly
