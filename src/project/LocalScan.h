#pragma once
// Builds the site tree from the site's folder on disk: a folder item for every
// folder, a page or image item for every file of the profile's file types,
// each with its link text, address and last-modified stamp.
#include "FileFinder.h"
#include "MapProfile.h"
#include "SiteTree.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessaly {

// Where the scan shows its progress (the status page); the scan calls
// letEventsRun after every folder and file so the window stays alive.
class TScanReporter {
  public:
    virtual ~TScanReporter() = default;
    virtual void lookingIn(const std::string& folder) = 0;
    virtual void fileFound(const std::string& path) = 0;
    virtual void fileCount(int count) = 0;
    virtual void logLine(const std::string& line) = 0;
    // Something the search had to leave out (a folder it could not read);
    // shown in the log like any line unless the reporter does more with it.
    virtual void problem(const std::string& line) { logLine(line); }
    virtual void letEventsRun() = 0;
};

class TLocalScan {
  public:
    TLocalScan(const TMapProfile& profile, TSiteTree& tree,
               const std::vector<std::string>& ignoreFolders,
               const std::vector<std::string>& ignoreFiles, TScanReporter& reporter,
               int& foundCount);

    // Scans the folder and everything below it; returns when done or stopped.
    // Raises EFindFileError when the folder does not exist.
    void Run(const std::string& location);
    // Ends a running scan after the current entry.
    void Stop() { finder_.Stop(); }

    // mtime: the file's modification time when the walk already read it;
    // folderFd: the file's folder, open, or -1; url: the file's address
    // when already made (LocalURL(path)).
    TSiteTree::Node* AddLocalItem(const std::string& path, bool isFolder,
                                  std::optional<std::time_t> mtime = std::nullopt,
                                  int folderFd = -1, std::optional<std::string> url = std::nullopt);
    // The folder's index page (index.html, index.htm, welcome.html, index.php,
    // index.asp, the first that exists), or empty; looked for relative to
    // folderFd when it is open.
    static std::string FolderIndexFile(const std::string& folder, int folderFd = -1);
    // The page's title as the file holds it, or its file name.
    std::string PageTitle(const std::string& path, int folderFd = -1) const;
    // The file's address on the website: the website address followed by the
    // path below the scanned folder, with "%", "#" and "?" escaped.
    std::string LocalURL(const std::string& path) const;
    // The first item in tree order whose folder is key, or nullptr.
    TSiteTree::Node* FindFolderItem(const std::string& key) const;

  private:
    void ffSearchNewFolder(const std::string& folder, bool& ignore);
    void ffSearchFound(const std::string& folder, const TFileInfo& info);
    // The output file or a file of the ignore-file list (letter case ignored).
    bool isExcluded(const std::string& path) const;
    // Whether the open folder lies inside the scanned folder, links resolved.
    bool folderInside(int folderFd) const;
    // Whether the entry name of the open folder, followed through every
    // link, ends in a folder inside the scanned folder.
    bool linkInside(int folderFd, std::string name) const;

    const TMapProfile& profile_;
    TSiteTree& tree_;
    TScanReporter& reporter_;
    int& foundCount_;
    TFileFinder finder_;
    std::unordered_set<std::string> ignoreFolders_; // lower case
    std::unordered_set<std::string> ignoreFiles_;   // lower case
    std::string excludedLower_;
    // The scanned folder with every link resolved, and its identity.
    std::string rootReal_;
    std::uint64_t rootDev_ = 0, rootIno_ = 0;
    // The first item made for each folder path: the folder's own item, which
    // precedes every item of its files in tree order.
    std::unordered_map<std::string, TSiteTree::Node*> folderItems_;
};

// The longest <loc> text a sitemap takes, in characters, as the sitemap
// writer writes it (percent-encoded and XML-escaped).
inline constexpr std::size_t kMaxSitemapLocLength = 2048;
// Whether the address's <loc> text, as EncodeURLForXML makes it for the
// sitemap writer, is no longer than kMaxSitemapLocLength. The scan, the
// crawl and the writer all leave out an address that does not fit.
bool FitsSitemapLoc(std::string_view address);
// The log line of an address left out for its length: its first 100
// characters (not bytes: a character is never cut), then "…" for the rest.
std::string LeftOutLongAddressLine(std::string_view address);

// The log line of a link left out because it leads out of the scanned
// folder: a page or folder elsewhere on the disk is not the site's.
std::string LeftOutLinkLine(const std::string& path);

// A priority as a sitemap takes it: within 0.0 to 1.0, and 0.5 for a value
// that is no number. The writer writes every priority so, and a profile's
// default is taken so when items get it.
double SitemapPriority(double priority);

// Deletes, in one pass from the last item to the first, every folder item that
// has no children, so folders holding only empty folders go too.
void RemoveEmptyFolders(TSiteTree& tree);

// The title between the first "<title>" and the first "</title>" (letter case
// ignored), read no further than needed and never past the first megabyte;
// empty when there is none.
std::string ReadPageTitle(const std::string& path);
// The same for the file name in the open folder folderFd.
std::string ReadPageTitle(int folderFd, const std::string& name);

} // namespace tessaly
