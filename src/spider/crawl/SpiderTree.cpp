#include "SpiderTree.h"

#include "Clock.h"
#include "DateStamp.h"
#include "LocalScan.h"
#include "SpiderReporter.h"

#include <algorithm>
#include <functional>

namespace tessaly {

namespace {

// The rows from the top level down to the node.
void PathOf(const TSiteTree::Node* node, std::vector<int>& rows) {
    rows.clear();
    for (; node && node->parent; node = node->parent)
        rows.push_back(node->row);
    std::reverse(rows.begin(), rows.end());
}

// a comes before b in the tree's depth-first order (each node before its
// children). Nodes are only added, so this never changes for two nodes.
bool IsBefore(const TSiteTree::Node* a, const TSiteTree::Node* b) {
    if (a == b)
        return false;
    if (b->parent == a)
        return true;
    thread_local std::vector<int> pa, pb;
    PathOf(a, pa);
    PathOf(b, pb);
    return std::lexicographical_compare(pa.begin(), pa.end(), pb.begin(), pb.end());
}

std::string NowStamp() {
    return W3CDateTime(Clock::now());
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == ((t >= 'A' && t <= 'Z') ? static_cast<char>(t + 32) : t);
           });
}

} // namespace

std::size_t TSpiderTree::TChildKeyHash::operator()(const TChildKey& key) const {
    return std::hash<std::string_view>()(key.folder) ^
           (std::hash<const void*>()(key.parent) * 1099511628211ull);
}

TSpiderTree::TSpiderTree(TSiteTree& tree, const TMapProfile& profile,
                         const std::vector<std::string>& ignoreFolders,
                         const std::vector<std::string>& ignoreFiles, TSpiderReporter& reporter)
    : m_Tree(tree), m_Profile(profile), m_Reporter(reporter),
      m_IgnoreFolders(ignoreFolders.begin(), ignoreFolders.end()),
      m_IgnoreFiles(ignoreFiles.begin(), ignoreFiles.end()) {}

void TSpiderTree::IndexTree() {
    m_FirstByFolder.clear();
    m_FirstChild.clear();
    m_FolderMemo.clear();
    // In tree order the first node of each folder address comes first.
    m_Tree.forEach([this](Node& n) {
        const std::string& folder = n.data.FolderPath;
        m_FirstByFolder.try_emplace(folder, &n);
        m_FirstChild.try_emplace(TChildKey{n.parent, folder}, &n);
    });
}

TSiteTree::Node* TSpiderTree::Add(Node* parent, TDataRec data, int icon) {
    Node* node = m_Tree.addItem(parent, std::move(data), icon);
    std::string_view folder = node->data.FolderPath.str();
    auto [first, made] = m_FirstByFolder.try_emplace(folder, node);
    if (!made && IsBefore(node, first->second)) {
        first->second = node;
        m_FolderMemo.clear();
    }
    m_FirstChild.try_emplace(TChildKey{node->parent, folder}, node);
    return node;
}

TSiteTree::Node* TSpiderTree::FirstWithFolder(std::string_view key) const {
    auto it = m_FirstByFolder.find(key);
    return it == m_FirstByFolder.end() ? nullptr : it->second;
}

TDataRec TSpiderTree::Record(const std::string& key, const std::string& text, bool isFolder,
                             const std::string& folder, const std::string& lastMod) const {
    TDataRec r;
    // The page's path is its address, kept once in LinkURL.
    r.LinkText = text;
    // The items of a folder share one copy of its path.
    if (const Node* known = FirstWithFolder(folder))
        r.FolderPath = known->data.FolderPath;
    else
        r.FolderPath = folder;
    r.IsFolder = isFolder;
    r.LinkURL = key;
    r.LastMod = lastMod;
    r.ChangeFreq = m_Profile.DefFreq();
    // As a sitemap takes it: a default out of range is brought into it.
    r.Priority = SitemapPriority(m_Profile.DefPri());
    r.DeleteMark = false;
    return r;
}

TSiteTree::Node* TSpiderTree::AddStartItem(const std::string& address, const std::string& title,
                                           const std::string& lastMod) {
    return Add(nullptr, Record(address, title, true, address, lastMod), iconFolder);
}

TSiteTree::Node* TSpiderTree::AddSpiderItem(const std::string& address, const std::string& title,
                                            bool hasTitle, const std::string& lastMod) {
    // 1
    if (address.empty() || IsIgnoredFile(address))
        return nullptr;
    // 2
    const bool folderPage = address.back() == '/';
    const std::string folder = address.substr(0, address.rfind('/') + 1);
    // 3
    if (IsIgnoredFolder(folder))
        return nullptr;
    // 5
    Node* parent = FolderItemForPath(folder);
    if (!parent)
        return nullptr;
    // 4, 6
    const int icon = folderPage && !hasTitle ? iconFolder : iconPage;
    return Add(parent, Record(address, title, folderPage, folder, lastMod), icon);
}

TSiteTree::Node* TSpiderTree::FolderItemForPath(const std::string& folder) {
    auto known = m_FolderMemo.find(folder);
    if (known != m_FolderMemo.end()) {
        m_Reporter.letEventsRun();
        return known->second;
    }
    Node* node = FolderItemForPathUncached(folder);
    m_FolderMemo.emplace(folder, node);
    return node;
}

TSiteTree::Node* TSpiderTree::FolderItemForPathUncached(const std::string& folder) {
    // 1
    if (folder.size() < 8)
        return nullptr;
    // 2
    std::string prefix, rest;
    if (StartsWithNoCase(folder, "http://")) {
        prefix = "http://";
        rest = folder.substr(7);
    } else {
        prefix = "https://";
        rest = folder.substr(8);
    }
    // 3
    const size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return nullptr;
    prefix += rest.substr(0, slash + 1);
    rest.erase(0, slash + 1);
    // 4
    if (rest.empty())
        return m_Tree.firstItem();
    // 5
    if (rest.find("..") != std::string::npos)
        return nullptr;
    // 6, 7
    Node* current = nullptr;
    size_t at = 0;
    for (;;) {
        const size_t end = rest.find('/', at);
        const std::string segment =
            rest.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (segment.empty())
            break;
        const std::string key = prefix + segment + "/";
        current = FindOrAddFolderItem(prefix, key, segment);
        prefix = key;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return current;
}

TSiteTree::Node* TSpiderTree::FindOrAddFolderItem(const std::string& parentKey,
                                                  const std::string& folderKey,
                                                  const std::string& segment) {
    // 1
    if (parentKey.find("..") != std::string::npos)
        return nullptr;
    // 2
    Node* parent = FirstWithFolder(parentKey);
    // 3
    if (!parent) {
        parent =
            Add(nullptr, Record(parentKey, parentKey, true, parentKey, NowStamp()), iconFolder);
        m_Reporter.letEventsRun();
    }
    // 4
    auto child = m_FirstChild.find(TChildKey{parent, folderKey});
    Node* node = child == m_FirstChild.end() ? nullptr : child->second;
    // 5
    if (!node)
        node = Add(parent, Record(folderKey, segment, true, folderKey, NowStamp()), iconFolder);
    // 6
    m_Reporter.letEventsRun();
    return node;
}

bool TSpiderTree::IsIgnoredFolder(std::string_view address) const {
    return !m_IgnoreFolders.empty() && m_IgnoreFolders.find(address) != m_IgnoreFolders.end();
}

bool TSpiderTree::IsIgnoredFile(std::string_view address) const {
    return !m_IgnoreFiles.empty() && m_IgnoreFiles.find(address) != m_IgnoreFiles.end();
}

std::string LastURLSegment(const std::string& address) {
    const size_t slash = address.rfind('/');
    return slash == std::string::npos ? std::string() : address.substr(slash + 1);
}

} // namespace tessaly
