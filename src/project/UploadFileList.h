#pragma once
// The files an output run hands to the upload. Both the output run and the
// upload reach this list; neither depends on the other for it.
#include "MapProfile.h"

#include <string>
#include <vector>

namespace tessaly {

// The three map images the program ships.
inline constexpr const char* kMapImages[] = {"smfolder.gif", "smfile.gif", "smimg.gif"};

// The folder of the shipped map images, with a trailing "/".
std::string MapImageFolder();

// The files handed to the upload, in this order: the HTML map page, the XML
// sitemap (empty when none was written; when the sitemap was split, its
// numbered files and then the index), and the three map images from the
// program's folder.
std::vector<std::string> UploadFileList(const TMapProfile& profile,
                                        const std::vector<std::string>& sitemapFiles);

} // namespace tessaly
