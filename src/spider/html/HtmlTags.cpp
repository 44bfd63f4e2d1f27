#include "HtmlTags.h"

#include <algorithm>
#include <array>

namespace tessaly::html {
namespace {

// In the order of THtmlTagId, which is also ASCII order for the binary search.
constexpr std::array<std::string_view, static_cast<size_t>(THtmlTagId::Count)> kTagNames = {
    "",       "A",        "ABBR",    "ACRONYM",  "ADDRESS",  "APPLET",     "AREA",     "B",
    "BASE",   "BASEFONT", "BDO",     "BGSOUND",  "BIG",      "BLOCKQUOTE", "BODY",     "BR",
    "BUTTON", "CAPTION",  "CENTER",  "CITE",     "CODE",     "COL",        "COLGROUP", "DD",
    "DEL",    "DFN",      "DIR",     "DIV",      "DL",       "DT",         "EM",       "FIELDSET",
    "FONT",   "FORM",     "FRAME",   "FRAMESET", "H1",       "H2",         "H3",       "H4",
    "H5",     "H6",       "HEAD",    "HR",       "HTML",     "I",          "IFRAME",   "IMG",
    "INPUT",  "INS",      "ISINDEX", "KBD",      "LABEL",    "LEGEND",     "LI",       "LINK",
    "MAP",    "MENU",     "META",    "NOFRAMES", "NOSCRIPT", "OBJECT",     "OL",       "OPTGROUP",
    "OPTION", "P",        "PARAM",   "PRE",      "Q",        "S",          "SAMP",     "SCRIPT",
    "SELECT", "SMALL",    "SPAN",    "STRIKE",   "STRONG",   "STYLE",      "SUB",      "SUP",
    "TABLE",  "TBODY",    "TD",      "TEXTAREA", "TFOOT",    "TH",         "THEAD",    "TITLE",
    "TR",     "TT",       "U",       "UL",       "VAR"};
static_assert(std::is_sorted(kTagNames.begin(), kTagNames.end()));
static_assert(kTagNames.back() == "VAR");

} // namespace

THtmlTagId FindTagId(std::string_view name) {
    char upper[16];
    if (name.empty() || name.size() > sizeof upper)
        return THtmlTagId::Unknown;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    std::string_view key(upper, name.size());
    auto it = std::lower_bound(kTagNames.begin() + 1, kTagNames.end(), key);
    if (it == kTagNames.end() || *it != key)
        return THtmlTagId::Unknown;
    return static_cast<THtmlTagId>(it - kTagNames.begin());
}

std::string_view TagIdName(THtmlTagId id) {
    auto i = static_cast<size_t>(id);
    return i < kTagNames.size() ? kTagNames[i] : std::string_view();
}

} // namespace tessaly::html
