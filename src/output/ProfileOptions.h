#pragma once
// The values the profile options dialog edits, moved between the profile and
// the dialog without widgets, and the routines behind its buttons.
#include "MapProfile.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

inline constexpr const char* kDefaultFileTypes =
    "*.htm;*.html;*.shtm;*.shtml;*.txt;*.php;*.php4;*.php5;*.pdf;*.swf;*.asp;*.cfm;";
// Background, text, link, visited link, active link.
inline constexpr std::array<TColor, 5> kDefaultColors = {0xFFFFFF, 0x000000, 0xFF0000, 0x800080,
                                                         0x0000FF};
inline constexpr TColor ColorNone = -1;

struct ProfileOptions {
    std::array<TColor, 5> colors{}; // background, text, link, visited, active
    std::string fileTypes;
    std::vector<std::string> ignoreFolders;
    std::vector<std::string> ignoreFiles;
    bool usePageTitles = true;
    bool loadLast = false;
    bool addImages = true;
    bool noFolderImages = false;
    // The site chosen in the dialog; nothing while the user has not picked one.
    std::optional<std::string> serverName;
    std::string serverDir;
    ChangeFreqType defFreq = cfMonthly;
    double defPri = 0.5;
    std::vector<std::string> followQueryParts;
    TSitemapProtocol sitemapProtocol = spSitemaps09;
    bool lastModWhenKnown = true;
    std::string sitemapAddress;
};

ProfileOptions LoadProfileOptions(const TMapProfile& profile, bool loadLast);
// Writes the values back in the dialog's order (colours, file types, the
// ignore lists, titles, priority, frequency, LoadLast, site, folder, images,
// queries, then the sitemap settings); each value that changes marks the profile modified. The site
// name is written only when one was picked, so a profile whose site this machine does not know
// keeps it. Returns the LoadLast value.
bool WriteProfileOptions(const ProfileOptions& options, TMapProfile& profile);

// The index of entry in list, compared without regard to letter case.
std::optional<std::size_t> FindListEntry(const std::vector<std::string>& list,
                                         const std::string& entry);
// Adds the files chosen for the ignore-file list in local mode: each path
// lower-cased, the ones already listed (in any case) skipped. Returns how
// many were added.
std::size_t AddIgnoredFiles(std::vector<std::string>& list, const std::vector<std::string>& files);

// The small page the colour preview shows.
std::string ColorPreviewPage(const std::array<TColor, 5>& colors);

} // namespace tessaly
