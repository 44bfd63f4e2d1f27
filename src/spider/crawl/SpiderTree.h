#pragma once
// Places the crawl's pages in the site tree: each page under the folder node
// of its address's path, folder nodes made as they are first needed. The
// lookups by folder address are indexed; they give the node a walk of the
// tree in its order would find.
#include "CaseKey.h"
#include "MapProfile.h"
#include "SiteTree.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessaly {

class TSpiderReporter;

class TSpiderTree {
  public:
    using Node = TSiteTree::Node;

    TSpiderTree(TSiteTree& tree, const TMapProfile& profile,
                const std::vector<std::string>& ignoreFolders,
                const std::vector<std::string>& ignoreFiles, TSpiderReporter& reporter);

    // Takes the nodes the tree holds now into the indexes.
    void IndexTree();
    // The start page's item, first at the top level.
    Node* AddStartItem(const std::string& address, const std::string& title,
                       const std::string& lastMod);
    // The item of a fetched page other than the start page; nullptr when it
    // is ignored or cannot be placed. hasTitle: the page had a title element.
    Node* AddSpiderItem(const std::string& address, const std::string& title, bool hasTitle,
                        const std::string& lastMod);
    // The node of a folder address, with any missing folder nodes made, or
    // nullptr when the address cannot be placed.
    Node* FolderItemForPath(const std::string& folder);
    Node* FolderItemForPathUncached(const std::string& folder);
    Node* FindOrAddFolderItem(const std::string& parentKey, const std::string& folderKey,
                              const std::string& segment);
    // The working ignore lists hold the address, compared without regard to case.
    bool IsIgnoredFolder(std::string_view address) const;
    bool IsIgnoredFile(std::string_view address) const;

  private:
    TDataRec Record(const std::string& key, const std::string& text, bool isFolder,
                    const std::string& folder, const std::string& lastMod) const;
    Node* Add(Node* parent, TDataRec data, int icon);
    // The first node in tree order whose folder address is key, or nullptr.
    Node* FirstWithFolder(std::string_view key) const;

    struct TChildKey {
        const Node* parent;
        std::string_view folder;
        bool operator==(const TChildKey&) const = default;
    };
    struct TChildKeyHash {
        std::size_t operator()(const TChildKey& key) const;
    };

    TSiteTree& m_Tree;
    const TMapProfile& m_Profile;
    TSpiderReporter& m_Reporter;
    std::unordered_set<std::string, TCaseHash, TCaseEqual> m_IgnoreFolders;
    std::unordered_set<std::string, TCaseHash, TCaseEqual> m_IgnoreFiles;
    // For each folder address, the first node in tree order that holds it.
    // Keys view the nodes' own FolderPath, which the crawl never changes.
    std::unordered_map<std::string_view, Node*> m_FirstByFolder;
    // For each parent and folder address, its first child that holds it.
    std::unordered_map<TChildKey, Node*, TChildKeyHash> m_FirstChild;
    // What FolderItemForPath gave for each folder address. It stays the
    // answer until the first node of some folder address changes (a node
    // added before it in tree order), which empties the memo.
    std::unordered_map<std::string, Node*> m_FolderMemo;
};

// The text after the last "/" of an address; empty when it ends with "/" or
// has no "/".
std::string LastURLSegment(const std::string& address);

} // namespace tessaly
