#include "MapHtml.h"

#include "LargeBuffers.h"

#include <QGuiApplication>
#include <QPalette>
#include <cstdio>
#include <string_view>
#include <vector>

namespace tessaly {

namespace {

const char* kFolderIcon = "<img src=\"smfolder.gif\">&nbsp;";
const char* kPageIcon = "<img src=\"smfile.gif\">&nbsp;";
const char* kImageIcon = "<img src=\"smimg.gif\">&nbsp;";
const char* kSectionClass = " class=\"mapsection\"";
const char* kItemClass = " class=\"mapitem\"";
const char* kSectionTemplate = "<a href=\"javascript:show_hide('%2');\">+/-</a>%1\r\n"
                               "<ul id=\"%2\" name=\"%2\" class=\"section\">";
const char* kHideStyle = "\r\n<style>\r\n<!--\r\n.section {display:none;}\r\n-->\r\n</style>\r\n";
const char* kScript = "<script type=\"text/javascript\">\r\n"
                      "<!--\r\n"
                      "function show_hide(id)\r\n"
                      "{\r\n"
                      "    var listNum = id;\r\n"
                      "    if(!document.all && !document.getElementById) return;\r\n"
                      "    listSrc = document.all ? document.all[listNum] : "
                      "document.getElementById(listNum);\r\n"
                      "    if(listSrc.style.display == \"block\")\r\n"
                      "    {\r\n"
                      "        listSrc.style.display = \"none\";\r\n"
                      "    }\r\n"
                      "    else\r\n"
                      "    {\r\n"
                      "        listSrc.style.display = \"block\";\r\n"
                      "    }\r\n"
                      "}\r\n"
                      "//--></script>\r\n";

// The desktop palette's colour for a system colour index.
QColor systemColor(int index) {
    QPalette pal = QGuiApplication::palette();
    using R = QPalette::ColorRole;
    auto active = [&](R role) { return pal.color(QPalette::Active, role); };
    auto inactive = [&](R role) { return pal.color(QPalette::Inactive, role); };
    switch (index) {
    case 0:
        return active(R::Mid); // scroll bar
    case 1:
        return active(R::Window); // desktop background
    case 2:
    case 27:
    case 29:
        return active(R::Highlight); // active caption, menu highlight
    case 3:
    case 28:
        return inactive(R::Highlight); // inactive caption
    case 4:
    case 30:
        return active(R::Window); // menu, menu bar
    case 5:
        return active(R::Base); // window
    case 6:
        return active(R::Shadow); // window frame
    case 7:
        return active(R::WindowText); // menu text
    case 8:
        return active(R::Text); // window text
    case 9:
        return active(R::HighlightedText); // caption text
    case 10:
    case 11:
        return active(R::Window); // borders
    case 12:
        return active(R::Dark); // application work space
    case 13:
        return active(R::Highlight);
    case 14:
        return active(R::HighlightedText);
    case 15:
        return active(R::Button); // button face
    case 16:
        return active(R::Dark); // button shadow
    case 17:
        return pal.color(QPalette::Disabled, R::Text); // grey text
    case 18:
        return active(R::ButtonText);
    case 19:
        return inactive(R::HighlightedText); // inactive caption text
    case 20:
        return active(R::Light); // button highlight
    case 21:
        return active(R::Shadow); // 3D dark shadow
    case 22:
        return active(R::Midlight); // 3D light
    case 23:
        return active(R::ToolTipText);
    case 24:
        return active(R::ToolTipBase);
    case 26:
        return active(R::Link); // hot light
    default:
        return active(R::Window);
    }
}

// Builds the map text line by line; each line goes after CR LF and the
// current indent.
struct MapWriter {
    std::string text;
    int indent = 2;
    void add(std::initializer_list<std::string_view> pieces) {
        text += "\r\n";
        if (indent > 0)
            text.append(std::size_t(indent), ' ');
        for (std::string_view p : pieces)
            text += p;
    }
    void add(std::string_view line) { add({line}); }
};

// A control character other than tab has no place in a page; line ends
// inside a title read from a file stand for a blank.
bool isDroppedControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}
bool isLineBreakControl(unsigned char c) {
    return c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

void AppendHtmlAttribute(std::string& out, std::string_view value) {
    for (char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            if (isLineBreakControl(static_cast<unsigned char>(c)))
                out += ' ';
            else if (!isDroppedControl(static_cast<unsigned char>(c)))
                out += c;
        }
    }
}

void AppendHtmlText(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (isLineBreakControl(static_cast<unsigned char>(c)))
            out += ' ';
        else if (!isDroppedControl(static_cast<unsigned char>(c)))
            out += c;
    }
}

namespace {

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

} // namespace

std::string ColorToHTML(TColor color) {
    if (color == -1)
        return {};
    int r, g, b;
    if (static_cast<std::uint32_t>(color) & 0x80000000u) {
        QColor c = systemColor(color & 0xFF);
        r = c.red();
        g = c.green();
        b = c.blue();
    } else {
        r = color & 0xFF;
        g = (color >> 8) & 0xFF;
        b = (color >> 16) & 0xFF;
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", r, g, b);
    return buf;
}

std::string MapStyleBlock(const TMapProfile& profile) {
    if (!profile.ClassAttribs())
        return {};
    return "  <style type=\"text/css\">\r\n"
           "  <!--\r\n"
           "    .mapsection {font-family: Tahoma;font-size: 12px;}\r\n"
           "    .mapitem {font-family: Tahoma;font-size: 10px;}\r\n"
           "  -->\r\n"
           "  </style>\r\n";
}

std::string MapBodyTag(const TMapProfile& profile) {
    return "<body bgcolor=\"" + ColorToHTML(profile.clrBackground()) + "\"text=\"" +
           ColorToHTML(profile.clrText()) + "\"link=\"" + ColorToHTML(profile.clrLink()) +
           "\"vlink=\"" + ColorToHTML(profile.clrVisited()) + "\"alink=\"" +
           ColorToHTML(profile.clrActive()) + "\">\r\n";
}

namespace {
std::string MapPageHead(const TMapProfile& profile) {
    std::string head = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\"><html>\r\n"
                       "<head>\r\n"
                       "  <meta charset=\"utf-8\">\r\n"
                       "  <title>Site Map</title>\r\n";
    head += MapStyleBlock(profile);
    head += "</head>\r\n";
    head += MapBodyTag(profile);
    return head;
}

std::string MapPageTail() {
    std::string tail = "\r\n";
    tail += "<div style=\"font:normal 11px arial,sans-serif;text-align:center; margin:1em auto;\">"
            "::: Made with Quorvane : <a href=\"";
    tail += kCreditAddress;
    tail += "\" title=\"HTML - FTP - Flash\" style=\"text-decoration: none\"> Web Design Software "
            "</a> :::</div>\r\n";
    tail += "</body>\r\n</html>";
    return tail;
}
} // namespace

std::string BuildMapPage(const TMapProfile& profile, const std::string& mapText) {
    std::string page = MapPageHead(profile);
    page += mapText;
    page += MapPageTail();
    return page;
}

void MakeMapPage(const TMapProfile& profile, std::string& map) {
    // In place: the map of a large site is not copied into a second buffer.
    map.insert(0, MapPageHead(profile));
    map += MapPageTail();
}

namespace {

struct MapItem {
    const TSiteTree::Node* node;
    int level;
};

// Some node below the folder at index i writes a line of the map.
bool WritesUnder(const std::vector<MapItem>& items, std::size_t i) {
    for (std::size_t j = i + 1; j < items.size() && items[j].level > items[i].level; ++j) {
        const int icon = items[j].node->icon;
        if (icon == iconFolder || icon == iconPage || icon == iconImage)
            return true;
    }
    return false;
}

} // namespace

std::string BuildMapHTML(const TMapProfile& profile, const TSiteTree& tree,
                         const MapProgress& progress) {
    const TMapOutputFormat format = profile.OutputFormat();
    const bool list = format == mfmtList, treeFormat = format == mfmtTree,
               paragraph = format == mfmtParagraph;
    const std::string levelClose = paragraph ? "</p>" : "</ul>";
    const std::string pagePrefix = paragraph ? "" : "<dt>&nbsp;&nbsp;";
    const std::string sectionClass = profile.ClassAttribs() ? kSectionClass : "";
    const std::string itemClass = profile.ClassAttribs() ? kItemClass : "";

    MapWriter map;
    map.text.reserve(tree.count() * 160 + 4096);
    AdviseLargeBuffer(map.text.data(), map.text.capacity());
    if (profile.OutputType() == moutClipboard || profile.OutputType() == moutInsert)
        map.text = MapStyleBlock(profile);
    if (treeFormat) {
        map.add(kHideStyle);
        map.add(kScript);
    }

    std::vector<MapItem> items;
    items.reserve(tree.count());
    AdviseLargeBuffer(items.data(), items.capacity() * sizeof(MapItem));
    // A page left out of the maps (it asks not to be indexed, or another
    // address is its canonical one) is not written; a folder left out keeps
    // its heading, without the link.
    tree.forEachWithLevel([&](TSiteTree::Node& n, int level) {
        if (n.icon != iconFolder && n.data.LeftOut != TLeftOut::None)
            return;
        items.push_back({&n, level});
    });

    int previousLevel = 0, folders = 0;
    std::string href, text; // an item's escaped address and link text
    auto closeLevels = [&](int level) {
        map.indent -= 2;
        for (int i = 0; i < previousLevel - level; ++i) {
            map.add(levelClose);
            map.indent -= 2;
        }
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TSiteTree::Node& n = *items[i].node;
        const TDataRec& d = n.data;
        const int level = items[i].level;
        if (progress)
            progress(int(i), d);
        if (n.icon == iconFolder) {
            ++folders;
            std::string opening = paragraph ? "<p>" : "<ul>";
            if (treeFormat) {
                opening = kSectionTemplate;
                replaceAll(opening, "%2", "list" + std::to_string(folders));
                if (folders > 1)
                    opening = "<br>" + opening;
            }
            if (level < previousLevel) {
                if (paragraph)
                    map.indent -= 2;
                else
                    closeLevels(level);
            }
            previousLevel = level;
            map.indent = 2 * level;
            std::string linkOpen, linkClose;
            // A crawl's start page is the root: it is a page like any other,
            // and is linked whatever the option says of folders.
            const bool startPage = i == 0 && level == 0 && profile.SpiderType() == mstWebsite;
            if ((startPage || !profile.NoFolderLinks()) && !d.LinkURL.empty() &&
                d.LeftOut == TLeftOut::None) {
                linkOpen = "<a href=\"";
                AppendHtmlAttribute(linkOpen, d.LinkURL);
                linkOpen += "\">";
                linkClose = "</a>";
            }
            if (paragraph && i > 0) {
                map.indent = 0;
                map.add("</p>");
            }
            std::string icon = profile.AddImages() && !profile.NoFolderImages() ? kFolderIcon : "";
            std::string label = "<b" + sectionClass + ">" + linkOpen;
            AppendHtmlText(label, d.LinkText);
            label += linkClose + "</b>" + (paragraph ? "<br>" : "");
            if (treeFormat) {
                std::size_t at = opening.find("%1");
                if (at != std::string::npos)
                    opening.replace(at, 2, "&nbsp;" + icon + label);
                map.add(opening);
            } else {
                map.add(opening + icon + label);
            }
            // A list is closed only when a later line stands higher; a folder
            // with nothing written under it closes its own list here, or the
            // nodes after it would stand inside it.
            if (!paragraph && !WritesUnder(items, i))
                map.add(levelClose);
        } else if (n.icon == iconPage || n.icon == iconImage) {
            std::string_view icon;
            if (profile.AddImages())
                icon = n.icon == iconImage ? kImageIcon : kPageIcon;
            if (paragraph) {
                previousLevel = level;
                map.indent = 2;
            } else {
                if (level < previousLevel)
                    closeLevels(level);
                previousLevel = level;
                map.indent = 2 * level;
            }
            std::string_view suffix = "</dt>";
            if (paragraph) {
                bool folderNext = i + 1 < items.size() && items[i + 1].node->icon == iconFolder;
                suffix = folderNext ? "" : "<br>";
            }
            href.clear();
            AppendHtmlAttribute(href, d.LinkURL);
            text.clear();
            AppendHtmlText(text, d.LinkText);
            map.add(
                {pagePrefix, icon, "<a href=\"", href, "\"", itemClass, ">", text, "</a>", suffix});
        }
    }
    map.indent -= 2;
    if (list || treeFormat) {
        for (int i = 0; i < previousLevel; ++i) {
            map.add(levelClose);
            map.indent -= 2;
        }
    } else {
        map.add("</p>");
    }
    // The user's own page may be in any encoding: what goes into it is ASCII.
    if (profile.OutputType() == moutInsert)
        return WithCharacterReferences(map.text);
    return map.text;
}

std::string WithCharacterReferences(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, its bits from the
        // continuation bytes; a broken one stands as U+FFFD, one byte at a
        // time.
        const int length = lead >= 0xF0 && lead <= 0xF4  ? 4
                           : lead >= 0xE0                ? 3
                           : lead >= 0xC2 && lead < 0xE0 ? 2
                                                         : 0;
        char32_t code = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : lead & 0x1F;
        bool valid = length > 0 && i + length <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if (valid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                      (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            valid = false;
        if (!valid) {
            out += "&#65533;";
            ++i;
            continue;
        }
        out += "&#" + std::to_string(static_cast<unsigned long>(code)) + ";";
        i += static_cast<std::size_t>(length);
    }
    return out;
}

} // namespace tessaly
