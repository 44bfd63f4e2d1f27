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

// Walks the tree once and returns the map text; for the Insert destination
// (the user's own page) in ASCII, with character references.
std::string BuildMapHTML(const TMapProfile& profile, const TSiteTree& tree,
                         const MapProgress& progress = {});

// Appends a value for a double-quoted attribute: "&", the quote and the angle
// brackets as references; control characters dropped (line ends become
// blanks).
void AppendHtmlAttribute(std::string& out, std::string_view value);
// Appends text for an element's content: titles and link texts are text as
// people read it, so "&" and the angle brackets are written as references
// (what the user typed shows as typed). Control characters as above.
void AppendHtmlText(std::string& out, std::string_view text);
// UTF-8 text with every character outside ASCII written as a numeric
// character reference ("é" as "&#233;"), for a page of any encoding; a
// broken UTF-8 sequence becomes "&#65533;".
std::string WithCharacterReferences(std::string_view utf8);

// The maker's address in the credit line.
inline constexpr const char* kCreditAddress = "https://quorvane.example/";

} // namespace tessaly
