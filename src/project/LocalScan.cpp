#include "LocalScan.h"

#include "Clock.h"
#include "DateStamp.h"
#include "FileRoutines.h"
#include "Folders.h"
#include "TextRoutines.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {
const char* kImageTypes = "*.gif;*.bmp;*.jpg;*.jpeg;*.png;*.swf;";
const char* kTitledTypes = "*.htm;*.html;*.shtm;*.shtml;*.php;*.php4;*.php5;*.asp;*.cfm;";
// How much of a page the title search reads.
constexpr std::size_t kTitleWindow = 1 << 20;

std::unordered_set<std::string> lowerSet(const std::vector<std::string>& lines) {
    std::unordered_set<std::string> s;
    for (const auto& l : lines)
        s.insert(LowerCase(l));
    return s;
}
} // namespace

TLocalScan::TLocalScan(const TMapProfile& profile, TSiteTree& tree,
                       const std::vector<std::string>& ignoreFolders,
                       const std::vector<std::string>& ignoreFiles, TScanReporter& reporter,
                       int& foundCount)
    : profile_(profile), tree_(tree), reporter_(reporter), foundCount_(foundCount),
      ignoreFolders_(lowerSet(ignoreFolders)), ignoreFiles_(lowerSet(ignoreFiles)) {
    finder_.OnNewFolder = [this](TFileFinder&, const std::string& f, bool& ignore) {
        ffSearchNewFolder(f, ignore);
    };
    finder_.OnFound = [this](TFileFinder&, const std::string& f, const TFileInfo& info) {
        ffSearchFound(f, info);
    };
    finder_.OnFolderError = [this](TFileFinder&, const std::string& f, const std::string& why) {
        reporter_.problem("Unreadable Folder: " + f + " (" + why + ")");
    };
}

void TLocalScan::Run(const std::string& location) {
    finder_.setFilename("*.*");
    // Addresses are cut from the paths by the folder's length: the folder is
    // taken as an absolute, normalised path, whatever folder the program runs
    // in and however the profile names it.
    finder_.setLocation(AddBackslash(AbsolutePath(location)));
    switch (profile_.OutputType()) {
    case moutFile:
        excludedLower_ = LowerCase(AbsolutePath(profile_.OutputFileName()));
        break;
    case moutInsert:
        excludedLower_ = LowerCase(AbsolutePath(profile_.OutputInsert()));
        break;
    default:
        excludedLower_.clear();
    }
    folderItems_.clear();
    // Links are followed only to places inside this folder, as it really is.
    rootReal_.clear();
    rootDev_ = rootIno_ = 0;
    const std::string root = finder_.Location().empty() ? "." : finder_.Location();
    if (char* real = ::realpath(root.c_str(), nullptr)) {
        rootReal_ = real;
        std::free(real);
    }
    struct stat st {};
    if (::stat(root.c_str(), &st) == 0) {
        rootDev_ = std::uint64_t(st.st_dev);
        rootIno_ = std::uint64_t(st.st_ino);
    }
    finder_.Search();
}

void TLocalScan::ffSearchNewFolder(const std::string& folder, bool& ignore) {
    reporter_.lookingIn(folder);
    if (!folderInside(finder_.CurrentFolderFd())) {
        // Reached through a link that leads out of the site.
        reporter_.problem(LeftOutLinkLine(folder));
        ignore = true;
    } else if (ignoreFolders_.count(LowerCase(folder))) {
        reporter_.logLine("Ignoring Folder: " + folder);
        ignore = true;
    } else {
        reporter_.logLine("Scanning Folder: " + folder);
        AddLocalItem(folder, true);
    }
    reporter_.letEventsRun();
}

void TLocalScan::ffSearchFound(const std::string& folder, const TFileInfo& info) {
    std::string path = folder + info.Name;
    reporter_.fileFound(path);
    if (MatchesFileTypes(path, profile_.FileTypes())) {
        reporter_.logLine("  " + path);
        // An entry whose type the listing told is no link; any other is
        // looked at, and a link out of the site is left out unread.
        bool outside = false;
        if (info.HasStatus && info.FolderFd >= 0) {
            struct stat st {};
            outside = ::fstatat(info.FolderFd, info.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode) && !linkInside(info.FolderFd, info.Name);
        }
        if (outside) {
            reporter_.problem(LeftOutLinkLine(path));
        } else if (!isExcluded(path)) {
            // A file whose address no sitemap can hold gets no item: the
            // site map and the sitemap list the same pages.
            std::string url = LocalURL(path);
            if (!FitsSitemapLoc(url)) {
                reporter_.problem(LeftOutLongAddressLine(url));
            } else {
                std::optional<std::time_t> mtime = EntryTime(info);
                AddLocalItem(path, false, mtime, info.FolderFd, std::move(url));
                ++foundCount_;
                reporter_.fileCount(foundCount_);
            }
        }
    }
    reporter_.letEventsRun();
}

bool TLocalScan::isExcluded(const std::string& path) const {
    // Lower-casing is the costly part; most scans have no ignored files, and
    // an ASCII path keeps its length when lowered, so a length that differs
    // from the output file's settles it.
    if (ignoreFiles_.empty() && path.size() != excludedLower_.size() &&
        std::all_of(path.begin(), path.end(), [](char c) { return (unsigned char)c < 0x80; }))
        return false;
    std::string lower = LowerCase(path);
    return lower == excludedLower_ || ignoreFiles_.count(lower) != 0;
}

bool TLocalScan::folderInside(int folderFd) const {
    if (folderFd < 0 || rootReal_.empty())
        return true; // nothing is read from a folder that did not open
    if (rootReal_ == "/")
        return true;
    // The folder's real path, as the system has it for the open folder.
    char link[64], real[PATH_MAX + 1];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", folderFd);
    ssize_t n = ::readlink(link, real, sizeof real);
    if (n > 0 && std::size_t(n) < sizeof real && real[0] == '/') {
        std::string_view path(real, std::size_t(n));
        return path == rootReal_ ||
               (path.starts_with(rootReal_) && path.size() > rootReal_.size() &&
                path[rootReal_.size()] == '/');
    }
    // A path too long for that (or no /proc): up through ".." until the
    // scanned folder or the top of the file system.
    struct stat st {};
    if (::fstat(folderFd, &st) != 0)
        return false;
    int current = ::dup(folderFd);
    bool inside = false;
    for (int depth = 0; current >= 0 && depth < 100000; ++depth) {
        if (std::uint64_t(st.st_dev) == rootDev_ && std::uint64_t(st.st_ino) == rootIno_) {
            inside = true;
            break;
        }
        int up = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat upSt {};
        bool top = up < 0 || ::fstat(up, &upSt) != 0 ||
                   (upSt.st_dev == st.st_dev && upSt.st_ino == st.st_ino);
        ::close(current);
        current = up;
        if (top)
            break;
        st = upSt;
    }
    if (current >= 0)
        ::close(current);
    return inside;
}

bool TLocalScan::linkInside(int folderFd, std::string name) const {
    int folder = ::dup(folderFd);
    bool inside = false;
    // At most as many links as the system follows in one path.
    for (int links = 0; folder >= 0 && links <= 40; ++links) {
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            break;
        if (!S_ISLNK(st.st_mode)) {
            inside = folderInside(folder);
            break;
        }
        std::string target(std::size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
        if (n <= 0 || std::size_t(n) >= target.size())
            break;
        target.resize(std::size_t(n));
        // The link's folder part is opened (following what links it holds),
        // and its last part looked at in turn.
        std::size_t slash = target.rfind('/');
        std::string where = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : target.substr(0, slash);
        name = slash == std::string::npos ? target : target.substr(slash + 1);
        if (name.empty() || name == "." || name == "..")
            break; // a folder, not a file
        int next = ::openat(folder, where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = next;
    }
    if (folder >= 0)
        ::close(folder);
    return inside;
}

TSiteTree::Node* TLocalScan::AddLocalItem(const std::string& path, bool isFolder,
                                          std::optional<std::time_t> mtime, int folderFd,
                                          std::optional<std::string> url) {
    TDataRec r;
    r.FilePath = path;
    r.IsFolder = isFolder;
    r.ChangeFreq = profile_.DefFreq();
    r.Priority = SitemapPriority(profile_.DefPri());
    std::string parentKey;
    int icon;
    if (isFolder) {
        std::string trimmed = path.substr(0, path.size() - 1);
        std::string name = ExtractFileName(trimmed);
        parentKey = ExtractFilePath(trimmed);
        r.LinkText = tree_.isEmpty() ? "Home" : name;
        r.FolderPath = path;
        const std::string index = FolderIndexFile(path, finder_.CurrentFolderFd());
        r.LinkURL = LocalURL(index);
        r.LastMod = W3CDateTime(Clock::now());
        // The root is the home page: its date is the index page's file time.
        if (tree_.isEmpty() && !index.empty()) {
            r.LastMod = W3CDateTime(FileTime(index));
            r.LastModKnown = true;
        }
        icon = iconFolder;
    } else {
        r.LinkText = PageTitle(path, folderFd);
        parentKey = ExtractFilePath(path);
        r.LinkURL = url ? std::move(*url) : LocalURL(path);
        r.LastMod = W3CDateTime(mtime ? *mtime : FileTime(path));
        r.LastModKnown = true;
        icon = MatchesFileTypes(path, kImageTypes) ? iconImage : iconPage;
    }
    TSiteTree::Node* parent = FindFolderItem(parentKey);
    if (!isFolder) {
        // The pages of a folder share its item's copy of the folder's path.
        if (parent && parent->data.FolderPath == parentKey)
            r.FolderPath = parent->data.FolderPath;
        else
            r.FolderPath = parentKey;
    }
    std::string folderKey = r.FolderPath;
    TSiteTree::Node* node = tree_.addItem(parent, std::move(r), icon);
    folderItems_.try_emplace(folderKey, node);
    return node;
}

std::string TLocalScan::FolderIndexFile(const std::string& folder, int folderFd) {
    for (const char* name : {"index.html", "index.htm", "welcome.html", "index.php", "index.asp"}) {
        struct stat st {};
        bool exists = folderFd >= 0 ? ::fstatat(folderFd, name, &st, 0) == 0 && !S_ISDIR(st.st_mode)
                                    : FileExists(folder + name);
        if (exists)
            return folder + name;
    }
    return {};
}

std::string TLocalScan::PageTitle(const std::string& path, int folderFd) const {
    if (profile_.UsePageTitles() && MatchesFileTypes(path, kTitledTypes)) {
        std::string title =
            folderFd >= 0 ? ReadPageTitle(folderFd, ExtractFileName(path)) : ReadPageTitle(path);
        // The tree holds the title as people read it: in UTF-8 (a page that
        // declares nothing is read as browsers read it), references decoded.
        if (!title.empty())
            return DecodeCharacterReferences(UndeclaredToUtf8(title));
    }
    return ExtractFileName(path);
}

namespace {
// "%", "#" and "?" in a file's name would make an address of another file, a
// fragment or a query: they are escaped as the address of that name.
void appendNameForAddress(std::string& out, std::string_view name) {
    for (char c : name) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '#':
            out += "%23";
            break;
        case '?':
            out += "%3F";
            break;
        default:
            out += c;
        }
    }
}
} // namespace

std::string TLocalScan::LocalURL(const std::string& path) const {
    // Cut by count, as many bytes as the scan folder has with its "/".
    std::size_t cut = AddBackslash(finder_.Location()).size();
    std::string url = profile_.Website();
    if (path.size() > cut)
        appendNameForAddress(url, std::string_view(path).substr(cut));
    return url;
}

TSiteTree::Node* TLocalScan::FindFolderItem(const std::string& key) const {
    auto it = folderItems_.find(key);
    return it == folderItems_.end() ? nullptr : it->second;
}

bool FitsSitemapLoc(std::string_view address) {
    // Escaping makes at most six characters of one byte ("'" is "&apos;")
    // and never fewer than one: most addresses are settled by their length.
    if (address.size() > kMaxSitemapLocLength)
        return false;
    if (address.size() * 6 <= kMaxSitemapLocLength)
        return true;
    std::string loc;
    AppendURLForXML(loc, address);
    return loc.size() <= kMaxSitemapLocLength;
}

std::string LeftOutLongAddressLine(std::string_view address) {
    constexpr std::size_t kShown = 100;
    // The end of the first kShown characters: UTF-8 continuation bytes
    // (10xxxxxx) do not begin a character.
    std::size_t end = 0, characters = 0;
    while (end < address.size()) {
        if ((static_cast<unsigned char>(address[end]) & 0xC0) != 0x80 && characters++ == kShown)
            break;
        ++end;
    }
    static_assert(kMaxSitemapLocLength == 2048, "the line names the limit");
    std::string line = "Left out (address longer than 2,048 characters): ";
    line += address.substr(0, end);
    if (end < address.size())
        line += "\xE2\x80\xA6"; // "…"
    return line;
}

std::string LeftOutLinkLine(const std::string& path) {
    return "Left out (link to a place outside the site's folder): " + path;
}

double SitemapPriority(double priority) {
    if (std::isnan(priority))
        return 0.5;
    return std::clamp(priority, 0.0, 1.0);
}

void RemoveEmptyFolders(TSiteTree& tree) {
    std::vector<TSiteTree::Node*> order;
    order.reserve(tree.count());
    tree.forEach([&](TSiteTree::Node& n) { order.push_back(&n); });
    for (auto it = order.rbegin(); it != order.rend(); ++it)
        if ((*it)->data.IsFolder && (*it)->children.empty())
            tree.deleteNode(*it);
}

std::string ReadPageTitle(const std::string& path) {
    return ReadPageTitle(AT_FDCWD, path);
}

std::string ReadPageTitle(int folderFd, const std::string& name) {
    // Only regular files are read: a pipe or device named like a page would
    // block the scan or never end.
    int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* p) { ::close(*p); });
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    static const std::string kStart = "<title>", kEnd = "</title>";
    // The text read so far, kept from just before where the start marker could
    // begin; markers are found in the lower-case copy, the title is cut from the
    // text as it stands.
    std::string text, lower;
    std::size_t start = std::string::npos, searchedStart = 0, searchedEnd = 0;
    char buf[16384];
    for (;;) {
        // A title stands near the top; a page without one is not read to its
        // end, however large it is.
        if (text.size() >= kTitleWindow)
            return {};
        ssize_t got = ::read(fd, buf, std::min(sizeof buf, kTitleWindow - text.size()));
        if (got <= 0)
            return {};
        std::size_t n = std::size_t(got);
        text.append(buf, n);
        lower.append(AsciiLower(std::string(buf, n)));
        if (start == std::string::npos) {
            start = lower.find(kStart, searchedStart);
            searchedStart = lower.size() >= kStart.size() ? lower.size() - kStart.size() + 1 : 0;
        }
        std::size_t end = lower.find(kEnd, searchedEnd);
        searchedEnd = lower.size() >= kEnd.size() ? lower.size() - kEnd.size() + 1 : 0;
        if (end != std::string::npos) {
            // The first end marker decides: before the start, no title.
            if (start == std::string::npos || end < start + kStart.size())
                return {};
            return text.substr(start + kStart.size(), end - start - kStart.size());
        }
    }
}

} // namespace tessaly
