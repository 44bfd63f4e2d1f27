#include "SiteList.h"

#include "StoreData.h"

namespace tessaly {

TSiteList::TSiteList(TServerStore store) : store_(std::move(store)) {}

bool TSiteList::Load(std::string* error) {
    return store_.LoadProfiles(items_, error);
}

bool TSiteList::ProfileExists(const std::string& name) const {
    std::string folded = FoldCase(name);
    for (const TServerData& site : items_) {
        if (FoldCase(site.ItemName) == folded)
            return true;
    }
    return false;
}

TServerData& TSiteList::AddWizardProfile(const TWizardAnswers& answers) {
    TServerData site;
    site.ItemName = answers.Name;
    site.HostName = answers.Host;
    site.Username = answers.User;
    site.Password = answers.Password;
    site.HostDirName = answers.RemotePath;
    site.Anonymous = answers.Anonymous;
    site.SavePassword = answers.SavePassword;
    site.Port = 21;
    site.Timeout = 120;
    items_.push_back(std::move(site));
    return items_.back();
}

bool TSiteList::Save(std::string& message) {
    std::string why;
    if (store_.SaveProfiles(items_, why))
        return true;
    message = std::string(kSaveProfilesError) + "\n\n" + why;
    return false;
}

bool TSiteList::Delete(size_t index, std::string& message) {
    if (index >= items_.size())
        return false;
    std::string why;
    if (!store_.DeleteProfile(items_[index], why)) {
        message = std::string(kSaveProfilesError) + "\n\n" + why;
        return false;
    }
    items_.erase(items_.begin() + std::ptrdiff_t(index));
    return true;
}

bool TSiteList::Rename(size_t index, const std::string& newName, std::string& message) {
    if (index >= items_.size())
        return false;
    std::string problem = SiteNameProblem(newName);
    if (!problem.empty()) {
        message = problem;
        return false;
    }
    if (ProfileExists(newName)) {
        message = kDuplicateSiteName;
        return false;
    }
    std::string why;
    if (!store_.RenameProfile(items_, index, newName, why)) {
        message = std::string(kSaveProfilesError) + "\n\n" + why;
        return false;
    }
    return true;
}

} // namespace tessaly
