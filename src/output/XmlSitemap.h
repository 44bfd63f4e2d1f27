#pragma once
// The XML sitemap written beside the HTML site map page: the sitemaps.org 0.9
// protocol, or Google's 0.84 of old; split over numbered files listed by a
// sitemap index when a site has more addresses or bytes than one file may
// hold.
#include "MapProfile.h"
#include "SiteTree.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

class AtomicFileWriter;

struct SitemapFormat {
    TSitemapProtocol protocol = spSitemaps09;
    // lastmod only where the page's own date is known (LastModKnown).
    bool lastModWhenKnown = true;
};
// The format a profile asks for; with 0.84 every item carries its stamp.
SitemapFormat SitemapFormatOf(const TMapProfile& profile);
// The exact bytes of the 0.84 protocol.
inline constexpr SitemapFormat kGoogle084{spGoogle084, false};

// The most one sitemap file may hold, as the protocol says.
struct SitemapLimits {
    std::size_t urls = 50000;
    std::size_t bytes = 50 * 1024 * 1024;
};

// The sitemap's path: the page's path with its extension replaced by ".xml".
std::string GoogleSiteMapFileName(const std::string& outputFileName);
// File number n beside the sitemap: "sitemap.xml" gives "sitemap3.xml".
std::string NumberedSitemapFileName(const std::string& sitemapFile, int number);
// The priority as written: shortest form, up to 15 significant digits, "."
// as the decimal separator whatever the locale; kept within 0.0 to 1.0
// (SitemapPriority).
std::string PriorityText(double priority);

// The bytes of the urlset files for the tree, each within the limits:
// beginPart(n) announces file n (0, 1, ...), sink takes the bytes in order.
// An address whose loc text would be longer than the protocol allows
// (FitsSitemapLoc) is left out; returns how many were.
std::size_t WriteSitemapUrlsets(const TSiteTree& tree, const SitemapFormat& format,
                                const SitemapLimits& limits,
                                const std::function<void(int)>& beginPart,
                                const std::function<void(std::string_view)>& sink);
// The bytes of one file for the whole tree, handed to sink piece by piece;
// returns how many addresses were left out for their length.
std::size_t WriteGoogleSiteMapBytes(const TSiteTree& tree,
                                    const std::function<void(std::string_view)>& sink,
                                    const SitemapFormat& format);
std::string BuildGoogleSiteMap(const TSiteTree& tree, const SitemapFormat& format);
// A sitemap index listing the addresses of the sitemap files.
std::string SitemapIndexText(const SitemapFormat& format, const std::vector<std::string>& addresses,
                             const std::string& lastMod);
// The address of the folder the sitemap file is served from (ending in "/"):
// the profile's own setting; else for a spidered site the start address's
// folder; else the website address with the output's folder below the index
// page's folder.
std::string SitemapBaseAddress(const TMapProfile& profile);

// Whether the file is a sitemap or sitemap index: a regular file whose root
// element is urlset or sitemapindex.
bool IsSitemapFile(const std::string& file);

// Whether the profile asks for a sitemap and names a website to put in it.
bool WantsGoogleSiteMap(const TMapProfile& profile);

// Writes the sitemap file, or the numbered files and their index, into
// temporary files; commit() puts them in place. Raises EFileError.
class SitemapWriter {
  public:
    explicit SitemapWriter(const TMapProfile& profile, SitemapLimits limits = {});
    ~SitemapWriter();
    // check is called before each piece is written (it may throw to stop).
    void write(const TSiteTree& tree, const std::function<void()>& check = {});
    // The files commit() will write, the chosen one last (known once
    // write() has ended).
    std::vector<std::string> plannedFiles() const;
    // How many addresses the last write left out for their length.
    std::size_t leftOut() const { return leftOut_; }
    // The numbered files (when there are several), then the chosen file. A
    // numbered file beyond the count that an earlier run left is removed.
    // Returns every file written, the chosen one last.
    std::vector<std::string> commit();
    const std::string& fileName() const { return fileName_; }

  private:
    std::string fileName_;
    SitemapFormat format_;
    SitemapLimits limits_;
    std::string base_;
    std::vector<std::unique_ptr<AtomicFileWriter>> parts_;
    std::size_t leftOut_ = 0;
};

// Writes the sitemap when the profile asks for one and names a website; sets
// sitemapFiles to the files written (the chosen one last). Returns whether
// anything was written; raises EFileError when it cannot be (earlier files
// are then left whole).
bool WriteGoogleSiteMap(const TMapProfile& profile, const TSiteTree& tree,
                        std::vector<std::string>& sitemapFiles);

} // namespace tessaly
