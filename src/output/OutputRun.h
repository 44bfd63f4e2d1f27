#pragma once
// The destinations of the output run: the page file with its XML sitemap and
// map images, and insertion into an existing page between two markers.
#include "MapProfile.h"
#include "OutputTargets.h"
#include "SiteTree.h"
#include "SitemapJob.h"
#include "UploadFileList.h"

#include <string>
#include <vector>

namespace tessaly {

inline constexpr const char* kStartMarker = "<!-- sitemap -->";
inline constexpr const char* kEndMarker = "<!-- sitemap end -->";

// Wraps the map text into the page, writes it to the output file, writes the
// XML sitemap and copies the map images. generatedMap becomes the page.
// Raises EFileError; a failure leaves an existing page or sitemap whole.
// With a sitemap job started before the map was built, its file is put in
// place instead of writing the sitemap here. Before anything is put in place
// every file of the run passes CheckOutputTargets: a file that is not the
// program's own, or a planted link, fails the run with nothing written.
void SaveMapToFile(const TMapProfile& profile, const TSiteTree& tree, std::string& generatedMap,
                   std::vector<std::string>& sitemapFiles, SitemapJob* sitemap = nullptr,
                   const OutputRunOptions& options = {});

// Replaces what stands between the markers of the insert file by the map
// text. Shows its own message and returns false when the file or its markers
// are missing; raises EFileError when the file cannot be read or written, or
// is reached through a planted link (nothing is written then).
bool InsertMapIntoFile(const TMapProfile& profile, const std::string& generatedMap,
                       const OutputRunOptions& options = {});

// The file's text with the map put between the first pair of markers; the
// text unchanged when that pair cannot be found as written.
std::string TextWithMapInserted(const std::string& text, const std::string& generatedMap);

// Copies the three map images into the folder of targetFile, never replacing
// a file already there; only when the profile adds images. Each is written as
// any file of the run (links resolved as ResolveWriteTarget does, in place
// whole or not at all).
void CopyMapImages(const TMapProfile& profile, const std::string& targetFile);
// The images CopyMapImages may write beside targetFile, for the checks.
std::vector<OutputTarget> MapImageTargets(const TMapProfile& profile,
                                          const std::string& targetFile);

} // namespace tessaly
