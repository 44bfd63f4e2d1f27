#pragma once
// Whether every item of the tree whose folder path has the same text holds
// the same copy of it: a large site pays for a folder's path once, not once
// per item in it.
#include "SiteTree.h"

#include <map>
#include <string>

namespace tessaly {

inline bool FolderPathsAreShared(const TSiteTree& tree) {
    std::map<std::string, const TSharedText*> first;
    bool shared = true;
    tree.forEach([&](TSiteTree::Node& n) {
        auto [known, made] = first.try_emplace(n.data.FolderPath.str(), &n.data.FolderPath);
        if (!made && !known->second->SharesWith(n.data.FolderPath))
            shared = false;
    });
    return shared;
}

} // namespace tessaly
