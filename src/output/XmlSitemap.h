#pragma once
// The XML sitemap (Google sitemap schema 0.84) written beside the HTML site
// map page.
#include "MapProfile.h"
#include "SiteTree.h"

#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

// The sitemap's path: the page's path with its extension replaced by ".xml".
std::string GoogleSiteMapFileName(const std::string& outputFileName);
// The priority as written: shortest form, up to 15 significant digits, "."
// as the decimal separator whatever the locale.
std::string PriorityText(double priority);
// The sitemap's bytes for the tree, handed to sink piece by piece in order.
void WriteGoogleSiteMapBytes(const TSiteTree& tree,
                             const std::function<void(std::string_view)>& sink);
// The same bytes as one text.
std::string BuildGoogleSiteMap(const TSiteTree& tree);
// Whether the profile asks for a sitemap and names a website to put in it.
bool WantsGoogleSiteMap(const TMapProfile& profile);
// Writes the sitemap when the profile asks for one and names a website; sets
// googleSiteMapFile to its path. Returns whether a file was written; raises
// EFileError when it cannot be written (an earlier file is then left whole).
bool WriteGoogleSiteMap(const TMapProfile& profile, const TSiteTree& tree,
                        std::string& googleSiteMapFile);

} // namespace tessaly
