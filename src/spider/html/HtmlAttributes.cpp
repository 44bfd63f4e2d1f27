#include "HtmlAttributes.h"

#include <algorithm>
#include <array>

namespace tessaly::html {
namespace {

// In the order of THtmlAttrId, which is also ASCII order for the binary search.
constexpr std::array<std::string_view, static_cast<size_t>(THtmlAttrId::Count)> kAttrNames = {
    "",           "abbr",         "accept",      "accept-charset",
    "accesskey",  "action",       "align",       "alink",
    "alt",        "archive",      "axis",        "background",
    "bgcolor",    "border",       "cellpadding", "cellspacing",
    "char",       "charoff",      "charset",     "checked",
    "cite",       "class",        "classid",     "clear",
    "code",       "codebase",     "codetype",    "color",
    "cols",       "colspan",      "compact",     "content",
    "coords",     "data",         "datetime",    "declare",
    "defer",      "dir",          "disabled",    "enctype",
    "face",       "for",          "frame",       "frameborder",
    "headers",    "height",       "href",        "hreflang",
    "hspace",     "http-equiv",   "id",          "ismap",
    "label",      "lang",         "language",    "link",
    "longdesc",   "marginheight", "marginwidth", "maxlength",
    "media",      "method",       "multiple",    "name",
    "nohref",     "noresize",     "noshade",     "nowrap",
    "object",     "onblur",       "onchange",    "onclick",
    "ondblclick", "onfocus",      "onkeydown",   "onkeypress",
    "onkeyup",    "onload",       "onmousedown", "onmousemove",
    "onmouseout", "onmouseover",  "onmouseup",   "onreset",
    "onselect",   "onsubmit",     "onunload",    "profile",
    "prompt",     "readonly",     "rel",         "rev",
    "rows",       "rowspan",      "rules",       "scheme",
    "scope",      "scrolling",    "selected",    "shape",
    "size",       "span",         "src",         "standby",
    "start",      "style",        "summary",     "tabindex",
    "target",     "text",         "title",       "type",
    "usemap",     "valign",       "value",       "valuetype",
    "version",    "vlink",        "vspace",      "width"};
static_assert(std::is_sorted(kAttrNames.begin(), kAttrNames.end()));
static_assert(kAttrNames[static_cast<size_t>(THtmlAttrId::http_equiv)] == "http-equiv");
static_assert(kAttrNames[static_cast<size_t>(THtmlAttrId::href)] == "href");
static_assert(kAttrNames.back() == "width");

} // namespace

THtmlAttrId FindAttrId(std::string_view name) {
    char lower[16];
    if (name.empty() || name.size() > sizeof lower)
        return THtmlAttrId::Unknown;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    std::string_view key(lower, name.size());
    auto it = std::lower_bound(kAttrNames.begin() + 1, kAttrNames.end(), key);
    if (it == kAttrNames.end() || *it != key)
        return THtmlAttrId::Unknown;
    return static_cast<THtmlAttrId>(it - kAttrNames.begin());
}

std::string_view AttrIdName(THtmlAttrId id) {
    auto i = static_cast<size_t>(id);
    return i < kAttrNames.size() ? kAttrNames[i] : std::string_view();
}

} // namespace tessaly::html
