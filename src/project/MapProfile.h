#pragma once
// Every setting of one site map. Setters mark the profile as modified when
// the value changes; the file name instead marks it as no longer untitled.
#include "ChangeFreq.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

enum TMapOutputType { moutClipboard, moutFile, moutInsert, moutEditor };
enum TMapOutputFormat { mfmtList, mfmtTree, mfmtParagraph };
enum TMapSpiderType { mstLocal, mstWebsite };
// The sitemap protocol: sitemaps.org 0.9 (what search engines read today) or
// Google's 0.84 of old, whose bytes stay exactly as they were.
enum TSitemapProtocol { spSitemaps09, spGoogle084 };

// $00BBGGRR; the high bit names a system colour; -1 is no colour.
using TColor = std::int32_t;

class TMapProfile {
  public:
    TMapProfile();

    // Defaults and ranges of the crawl's limits.
    static constexpr int DefaultMaxPages = 5000000;
    static constexpr int DefaultConnections = 5;
    static constexpr int MinConnections = 1;
    static constexpr int MaxConnections = 16;
    // A rate above this is as good as none, and keeps the gap between two
    // requests a whole number of microseconds.
    static constexpr double MaxRateLimit = 1000;

#define TESSALY_PROP(Type, Name)                                                                   \
    const Type& Name() const {                                                                     \
        return f##Name;                                                                            \
    }                                                                                              \
    void set##Name(const Type& v) {                                                                \
        assign(f##Name, v);                                                                        \
    }
    TESSALY_PROP(bool, AddImages)
    TESSALY_PROP(bool, NoFolderImages)
    TESSALY_PROP(bool, NoFolderLinks)
    TESSALY_PROP(bool, ClassAttribs)
    TESSALY_PROP(TColor, clrBackground)
    TESSALY_PROP(TColor, clrText)
    TESSALY_PROP(TColor, clrLink)
    TESSALY_PROP(TColor, clrVisited)
    TESSALY_PROP(TColor, clrActive)
    TESSALY_PROP(bool, ConfirmDelete)
    TESSALY_PROP(std::string, FileTypes)
    TESSALY_PROP(std::string, IgnoreFolders)
    TESSALY_PROP(std::string, IgnoreFiles)
    TESSALY_PROP(std::string, IndexPage)
    TESSALY_PROP(TMapOutputType, OutputType)
    TESSALY_PROP(TMapOutputFormat, OutputFormat)
    TESSALY_PROP(std::string, OutputFileName)
    TESSALY_PROP(std::string, OutputInsert)
    TESSALY_PROP(bool, UsePageTitles)
    TESSALY_PROP(bool, MakeGoogleSM)
    TESSALY_PROP(std::string, Website)
    TESSALY_PROP(TMapSpiderType, SpiderType)
    TESSALY_PROP(std::string, ServerName)
    TESSALY_PROP(std::string, ServerDir)
    TESSALY_PROP(ChangeFreqType, DefFreq)
    TESSALY_PROP(double, DefPri)
    // Sitemap settings; each is stored in the profile file only when it is not
    // its default, so such profiles stay readable by older programs.
    TESSALY_PROP(TSitemapProtocol, SitemapProtocol)
    // lastmod only for a file time or a Last-Modified date (0.9 only).
    TESSALY_PROP(bool, LastModWhenKnown)
    // The address the sitemap file is served under, for the addresses of an
    // index's files, when neither the website nor the start address gives it.
    TESSALY_PROP(std::string, SitemapAddress)
    // The agent text the crawl sends; empty sends the program's own
    // ("Tessaly/" and its version). Its first word is the crawler's name.
    TESSALY_PROP(std::string, UserAgent)
    // The crawl asks each site's robots.txt and requests nothing it
    // disallows; stored only when off.
    TESSALY_PROP(bool, ObeyRobotsTxt)
    // How the crawl judges a page; each stored only when not its default.
    // A page that asks not to be indexed is left out of the maps.
    TESSALY_PROP(bool, LeaveOutNoindex)
    // A page whose canonical address is another page is left out.
    TESSALY_PROP(bool, LeaveOutCanonical)
    // Links marked rel="nofollow" are followed all the same.
    TESSALY_PROP(bool, FollowNofollow)
    // Limits of the crawl, each stored only when not its default; a value
    // out of range read from a file is brought into range (see the
    // constants above), and the crawl does the same with what it is given.
    // The most pages (0: no limit).
    TESSALY_PROP(int, MaxPages)
    // The deepest link level followed from the start page (level 0); pages
    // at that level are listed, their links not followed (0: no limit).
    TESSALY_PROP(int, MaxDepth)
    // The longest crawl in minutes (0: no limit).
    TESSALY_PROP(int, MaxMinutes)
    // The most requests per second to the site; fractions allowed (0.5 is
    // one request every two seconds); 0: no limit.
    TESSALY_PROP(double, MaxRate)
    // The requests to the site in flight at once, 1 to 16.
    TESSALY_PROP(int, Connections)
#undef TESSALY_PROP

    const std::string& FileName() const {
        return fFileName;
    }
    // A new file name makes the profile titled; it does not mark it modified.
    void setFileName(const std::string& v);

    // Plain values without side effects.
    bool Modified = false;
    bool Untitled = true;
    bool FtpFiles = false;
    std::string Name; // the component name, read from files and never written

    // The URL-query texts the spider ignores.
    const std::vector<std::string>& FollowQueryParts() const {
        return fFollowQueryParts;
    }
    // The list's text: its entries, each followed by a line end.
    std::string FollowQueryPartsText() const;
    // Replaces the list from newline-separated text.
    void setFollowQueryPartsText(const std::string& text);
    void setFollowQueryParts(std::vector<std::string> items);

  private:
    template <class T> void assign(T& field, const T& v) {
        if (!(field == v)) {
            field = v;
            Modified = true;
        }
    }

    bool fAddImages = true;
    bool fNoFolderImages = false;
    bool fNoFolderLinks = true;
    bool fClassAttribs = true;
    TColor fclrBackground = 0xFFFFFF;
    TColor fclrText = 0x000000;
    TColor fclrLink = 0xFF0000;
    TColor fclrVisited = 0x800080;
    TColor fclrActive = 0x0000FF;
    bool fConfirmDelete = true;
    std::string fFileName = "Untitled.qvt";
    std::string fFileTypes;
    std::string fIgnoreFolders;
    std::string fIgnoreFiles;
    std::string fIndexPage;
    TMapOutputType fOutputType = moutFile;
    TMapOutputFormat fOutputFormat = mfmtList;
    std::string fOutputFileName;
    std::string fOutputInsert;
    bool fUsePageTitles = true;
    bool fMakeGoogleSM = true;
    std::string fWebsite;
    TMapSpiderType fSpiderType = mstWebsite;
    std::string fServerName;
    std::string fServerDir;
    ChangeFreqType fDefFreq = cfMonthly;
    double fDefPri = 0.5;
    TSitemapProtocol fSitemapProtocol = spSitemaps09;
    bool fLastModWhenKnown = true;
    std::string fSitemapAddress;
    std::string fUserAgent;
    bool fObeyRobotsTxt = true;
    bool fLeaveOutNoindex = true;
    bool fLeaveOutCanonical = true;
    bool fFollowNofollow = false;
    int fMaxPages = DefaultMaxPages;
    int fMaxDepth = 0;
    int fMaxMinutes = 0;
    double fMaxRate = 0;
    int fConnections = DefaultConnections;
    std::vector<std::string> fFollowQueryParts;
};

// Splits text into lines at CR LF, LF or CR, as a string list takes text; a
// final line end does not start another line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines, each followed by CR LF, as a string list gives its text.
std::string JoinLines(const std::vector<std::string>& lines);

} // namespace tessaly
