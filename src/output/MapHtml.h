#pragma once
// The HTML site map: the map text (nested lists or paragraphs of links, one
// line per item) and the complete page around it.
#include "MapProfile.h"
#include "SiteTree.h"

#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

// "#RRGGBB" for a colour; system colours take the desktop's current value;
// -1 gives the empty text.
std::string ColorToHTML(TColor color);
std::string MapStyleBlock(const TMapProfile& profile);
std::string MapBodyTag(const TMapProfile& profile);
// The complete page around a map text.
std::string BuildMapPage(const TMapProfile& profile, const std::string& mapText);
// Turns the map text into the page BuildMapPage would make of it.
void MakeMapPage(const TMapProfile& profile, std::string& map);

// Called for each item as the map is built (index, item), for progress
// reports and to keep the window responsive.
using MapProgress = std::function<void(int index, const TDataRec& item)>;

// Walks the tree once and returns the map text.
std::string BuildMapHTML(const TMapProfile& profile, const TSiteTree& tree,
                         const MapProgress& progress = {});

// Appends a value for a double-quoted attribute: "&", the quote and the angle
// brackets as references; control characters dropped (line ends become
// blanks).
void AppendHtmlAttribute(std::string& out, std::string_view value);
// Appends text for an element's content. Titles are kept in their HTML source
// form, so character references stand; every other "&" and the angle brackets
// are escaped, so that nothing can open a tag. Control characters as above.
void AppendHtmlText(std::string& out, std::string_view text);

// The maker's address in the credit line.
inline constexpr const char* kCreditAddress = "https://quorvane.example/";

} // namespace tessaly
