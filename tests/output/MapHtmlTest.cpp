#include "MapHtml.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace tessaly;

namespace {

const std::string FI = "<img src=\"smfolder.gif\">&nbsp;";
const std::string PI = "<img src=\"smfile.gif\">&nbsp;";
const std::string II = "<img src=\"smimg.gif\">&nbsp;";
const std::string SC = " class=\"mapsection\"";
const std::string IC = " class=\"mapitem\"";

std::string lines(std::initializer_list<std::string> ls) {
    std::string s;
    for (const auto& l : ls)
        s += "\r\n" + l;
    return s;
}

// Home / About (u1), docs / Guide (u2), Photo (u3, an image): the files of
// a folder on disk, as the local scan finds them.
struct Example {
    TSiteTree tree;
    TMapProfile profile;
    Example() {
        profile.setSpiderType(mstLocal);
        auto rec = [](const char* text, const char* url) {
            TDataRec r;
            r.LinkText = text;
            r.LinkURL = url;
            r.FilePath = std::string("/www/") + text;
            return r;
        };
        auto* home = tree.addItem(nullptr, rec("Home", "h"), iconFolder);
        tree.addItem(home, rec("About", "u1"), iconPage);
        auto* docs = tree.addItem(home, rec("docs", "d"), iconFolder);
        tree.addItem(docs, rec("Guide", "u2"), iconPage);
        tree.addItem(home, rec("Photo", "u3"), iconImage);
    }
};

} // namespace

TEST(MapHtml, WorkedExampleInTheListFormat) {
    Example e;
    EXPECT_EQ(
        BuildMapHTML(e.profile, e.tree),
        lines({"<ul>" + FI + "<b" + SC + ">Home</b>",
               "  <dt>&nbsp;&nbsp;" + PI + "<a href=\"u1\"" + IC + ">About</a></dt>",
               "  <ul>" + FI + "<b" + SC + ">docs</b>",
               "    <dt>&nbsp;&nbsp;" + PI + "<a href=\"u2\"" + IC + ">Guide</a></dt>", "  </ul>",
               "  <dt>&nbsp;&nbsp;" + II + "<a href=\"u3\"" + IC + ">Photo</a></dt>", "</ul>"}));
}

TEST(MapHtml, WorkedExampleInTheParagraphFormat) {
    Example e;
    e.profile.setOutputFormat(mfmtParagraph);
    e.profile.setClassAttribs(false);
    e.profile.setAddImages(false);
    EXPECT_EQ(
        BuildMapHTML(e.profile, e.tree),
        lines({"<p><b>Home</b><br>", "  <a href=\"u1\">About</a>", "</p>", "<p><b>docs</b><br>",
               "  <a href=\"u2\">Guide</a><br>", "  <a href=\"u3\">Photo</a><br>", "</p>"}));
}

TEST(MapHtml, WorkedExampleInTheTreeFormat) {
    Example e;
    e.profile.setOutputFormat(mfmtTree);
    std::string hide = "\r\n<style>\r\n<!--\r\n.section {display:none;}\r\n-->\r\n</style>\r\n";
    std::string script =
        "<script type=\"text/javascript\">\r\n<!--\r\nfunction show_hide(id)\r\n{\r\n"
        "    var listNum = id;\r\n"
        "    if(!document.all && !document.getElementById) return;\r\n"
        "    listSrc = document.all ? document.all[listNum] : document.getElementById(listNum);\r\n"
        "    if(listSrc.style.display == \"block\")\r\n    {\r\n"
        "        listSrc.style.display = \"none\";\r\n    }\r\n    else\r\n    {\r\n"
        "        listSrc.style.display = \"block\";\r\n    }\r\n}\r\n//--></script>\r\n";
    auto section = [](int n, const std::string& label) {
        std::string id = "list" + std::to_string(n);
        return "<a href=\"javascript:show_hide('" + id + "');\">+/-</a>&nbsp;" + FI + label +
               "\r\n<ul id=\"" + id + "\" name=\"" + id + "\" class=\"section\">";
    };
    EXPECT_EQ(
        BuildMapHTML(e.profile, e.tree),
        lines({"  " + hide, "  " + script, section(1, "<b" + SC + ">Home</b>"),
               "  <dt>&nbsp;&nbsp;" + PI + "<a href=\"u1\"" + IC + ">About</a></dt>",
               "  <br>" + section(2, "<b" + SC + ">docs</b>"),
               "    <dt>&nbsp;&nbsp;" + PI + "<a href=\"u2\"" + IC + ">Guide</a></dt>", "  </ul>",
               "  <dt>&nbsp;&nbsp;" + II + "<a href=\"u3\"" + IC + ">Photo</a></dt>", "</ul>"}));
}

TEST(MapHtml, EmptyTreeInEachFormatAndDestination) {
    struct Case {
        TMapOutputFormat format;
        TMapOutputType type;
        bool prefix; // starts with the style block
        std::string rest;
    };
    const Case cases[] = {
        {mfmtList, moutFile, false, ""},
        {mfmtList, moutClipboard, true, ""},
        {mfmtList, moutInsert, true, ""},
        {mfmtParagraph, moutFile, false, "\r\n</p>"},
    };
    for (const auto& c : cases) {
        TMapProfile p;
        TSiteTree t;
        p.setOutputFormat(c.format);
        p.setOutputType(c.type);
        EXPECT_EQ(BuildMapHTML(p, t), (c.prefix ? MapStyleBlock(p) : "") + c.rest)
            << c.format << " " << c.type;
    }
}

TEST(MapHtml, IconsFollowTheImageSettingsAndOddIconsAddNothing) {
    struct Case {
        bool addImages, noFolderImages;
        std::string folderIcon, pageIcon;
    };
    const Case cases[] = {
        {true, false, FI, PI}, {true, true, "", PI}, {false, true, "", ""}, {false, false, "", ""}};
    for (const auto& c : cases) {
        TMapProfile p;
        p.setAddImages(c.addImages);
        p.setNoFolderImages(c.noFolderImages);
        p.setClassAttribs(false);
        TSiteTree t;
        // Moved in rather than assigned from literals: GCC 12 at -O3 warns
        // falsely (-Wrestrict) about assigning short literals to the fields.
        auto rec = [](std::string text, std::string url) {
            TDataRec r;
            r.LinkText = std::move(text);
            r.LinkURL = std::move(url);
            return r;
        };
        const TDataRec home = rec("H", ""), page = rec("P & <b>", "p"), odd = rec("X", "");
        auto* h = t.addItem(nullptr, home, iconFolder);
        t.addItem(h, odd, 3);
        t.addItem(h, page, iconPage);
        EXPECT_EQ(BuildMapHTML(p, t), lines({"<ul>" + c.folderIcon + "<b>H</b>",
                                             "  <dt>&nbsp;&nbsp;" + c.pageIcon +
                                                 "<a href=\"p\">P &amp; &lt;b&gt;</a></dt>",
                                             "</ul>"}));
    }
}

TEST(MapHtml, FolderLinksWhenAskedFor) {
    Example e;
    e.profile.setNoFolderLinks(false);
    e.profile.setAddImages(false);
    std::string map = BuildMapHTML(e.profile, e.tree);
    EXPECT_EQ(map.rfind("\r\n<ul><b" + SC + "><a href=\"h\">Home</a></b>", 0), 0u) << map;
}

// Pages the crawl left out (noindex, canonical elsewhere) are not written; a
// folder left out keeps its heading, without its link, so what is under it
// stays in place.
TEST(MapHtml, LeftOutItemsAreNotLinked) {
    Example e;
    e.profile.setNoFolderLinks(false);
    e.profile.setAddImages(false);
    e.tree.forEach([](TSiteTree::Node& n) {
        if (n.data.LinkURL == "u1")
            n.data.LeftOut = TLeftOut::NoIndex;
        if (n.data.LinkURL == "d")
            n.data.LeftOut = TLeftOut::Canonical;
    });
    EXPECT_EQ(BuildMapHTML(e.profile, e.tree),
              lines({"<ul><b" + SC + "><a href=\"h\">Home</a></b>", "  <ul><b" + SC + ">docs</b>",
                     "    <dt>&nbsp;&nbsp;<a href=\"u2\"" + IC + ">Guide</a></dt>", "  </ul>",
                     "  <dt>&nbsp;&nbsp;<a href=\"u3\"" + IC + ">Photo</a></dt>", "</ul>"}));
}

// A folder with nothing written under it (a crawled folder page without a
// title, an empty folder) closes its own list: the nodes after it stay at
// their level, and every list opened is closed.
TEST(MapHtml, AFolderWithNothingUnderItClosesItsList) {
    struct Case {
        const char* name;
        // Each node: its parent's index in this list (-1: top level), icon.
        std::vector<std::pair<int, int>> nodes;
    };
    const Case cases[] = {
        {"empty folder, then a page beside it", {{-1, iconFolder}, {0, iconFolder}, {0, iconPage}}},
        {"empty folder last", {{-1, iconFolder}, {0, iconPage}, {0, iconFolder}}},
        {"empty folder, then a folder with a page",
         {{-1, iconFolder}, {0, iconFolder}, {0, iconFolder}, {2, iconPage}}},
        {"folder holding only a node of another icon",
         {{-1, iconFolder}, {0, iconFolder}, {1, 7}, {0, iconPage}}},
        {"empty folders at the top level", {{-1, iconFolder}, {-1, iconFolder}}},
    };
    for (TMapOutputFormat format : {mfmtList, mfmtTree}) {
        for (const Case& c : cases) {
            TSiteTree tree;
            std::vector<TSiteTree::Node*> made;
            for (auto [parent, icon] : c.nodes) {
                TDataRec r;
                const std::string number = std::to_string(made.size());
                r.LinkText = "n";
                r.LinkText += number;
                r.LinkURL = "u";
                r.LinkURL += number;
                made.push_back(
                    tree.addItem(parent < 0 ? nullptr : made[std::size_t(parent)], r, icon));
            }
            TMapProfile profile;
            profile.setOutputFormat(format);
            const std::string map = BuildMapHTML(profile, tree);
            auto count = [&map](const std::string& what) {
                std::size_t n = 0;
                for (std::size_t at = map.find(what); at != std::string::npos;
                     at = map.find(what, at + 1))
                    ++n;
                return n;
            };
            EXPECT_EQ(count("<ul"), count("</ul>")) << c.name << "\n" << map;
        }
    }
    // The first case in full: the page stands beside the empty folder.
    TSiteTree tree;
    TDataRec r;
    r.LinkText = "Home";
    auto* home = tree.addItem(nullptr, r, iconFolder);
    r.LinkText = "empty";
    tree.addItem(home, r, iconFolder);
    r.LinkText = "Page";
    r.LinkURL = "p";
    tree.addItem(home, r, iconPage);
    TMapProfile profile;
    profile.setAddImages(false);
    profile.setClassAttribs(false);
    EXPECT_EQ(BuildMapHTML(profile, tree),
              lines({"<ul><b>Home</b>", "  <ul><b>empty</b>", "  </ul>",
                     "  <dt>&nbsp;&nbsp;<a href=\"p\">Page</a></dt>", "</ul>"}));
}

TEST(MapHtml, ColorToHTML) {
    struct Case {
        TColor color;
        const char* html;
    };
    for (auto c : {Case{-1, ""}, Case{0, "#000000"}, Case{0x0000FF, "#FF0000"},
                   Case{0xFF0000, "#0000FF"}, Case{0x800080, "#800080"}, Case{0x123456, "#563412"}})
        EXPECT_EQ(ColorToHTML(c.color), c.html) << c.color;
    QColor base = QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
    char want[8];
    std::snprintf(want, sizeof want, "#%02X%02X%02X", base.red(), base.green(), base.blue());
    EXPECT_EQ(ColorToHTML(TColor(0x80000005)), want); // clWindow
}

TEST(MapHtml, PageAroundTheMap) {
    TMapProfile p;
    std::string page = BuildMapPage(p, "\r\nMAP");
    EXPECT_EQ(
        page,
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\"><html>\r\n"
        "<head>\r\n"
        "  <meta charset=\"utf-8\">\r\n"
        "  <title>Site Map</title>\r\n"
        "  <style type=\"text/css\">\r\n"
        "  <!--\r\n"
        "    .mapsection {font-family: Tahoma;font-size: 12px;}\r\n"
        "    .mapitem {font-family: Tahoma;font-size: 10px;}\r\n"
        "  -->\r\n"
        "  </style>\r\n"
        "</head>\r\n"
        "<body bgcolor=\"#FFFFFF\"text=\"#000000\"link=\"#0000FF\"vlink=\"#800080\"alink="
        "\"#FF0000\">\r\n"
        "\r\nMAP\r\n"
        "<div style=\"font:normal 11px arial,sans-serif;text-align:center; margin:1em auto;\">"
        "::: Made with Quorvane : <a href=\"" +
            std::string(kCreditAddress) +
            "\" title=\"HTML - FTP - Flash\" style=\"text-decoration: none\"> Web Design "
            "Software </a> :::</div>\r\n"
            "</body>\r\n"
            "</html>");
    p.setClassAttribs(false);
    p.setclrBackground(-1);
    page = BuildMapPage(p, "");
    EXPECT_EQ(page.find("<style"), std::string::npos);
    EXPECT_NE(page.find("<body bgcolor=\"\"text="), std::string::npos);
}

// A crawl's start page is the root: linked as a page is, whether or not the
// other folders are.
TEST(MapHtml, TheStartPageOfACrawlIsLinked) {
    for (const bool noFolderLinks : {true, false}) {
        Example e;
        e.profile.setSpiderType(mstWebsite);
        e.profile.setNoFolderLinks(noFolderLinks);
        e.profile.setAddImages(false);
        e.profile.setClassAttribs(false);
        const std::string map = BuildMapHTML(e.profile, e.tree);
        EXPECT_NE(map.find("<ul><b><a href=\"h\">Home</a></b>"), std::string::npos) << map;
        EXPECT_EQ(map.find("<a href=\"d\">") != std::string::npos, !noFolderLinks) << map;
    }
    // The local scan's root stays a heading while folders are not linked.
    Example local;
    local.profile.setAddImages(false);
    local.profile.setClassAttribs(false);
    EXPECT_NE(BuildMapHTML(local.profile, local.tree).find("<ul><b>Home</b>"), std::string::npos);
}

// Titles are text as people read it: whatever they hold shows as it is.
TEST(MapHtml, TextIsEscapedOnceAsItIsWritten) {
    struct Row {
        const char* text;
        const char* url;
        const char* written;
    };
    const Row rows[] = {
        {"Home & Garden", "a.html", "<a href=\"a.html\">Home &amp; Garden</a>"},
        {"&amp; as typed", "b.html", "<a href=\"b.html\">&amp;amp; as typed</a>"},
        {"<b>bold</b> typed", "c.html", "<a href=\"c.html\">&lt;b&gt;bold&lt;/b&gt; typed</a>"},
        {"Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
         "e",
         "d.html",
         "<a href=\"d.html\">Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
         "e</a>"},
        {"Q", "e.php?a=1&b=\"<x>\"", "<a href=\"e.php?a=1&amp;b=&quot;&lt;x&gt;&quot;\">Q</a>"},
    };
    for (const Row& row : rows) {
        TSiteTree tree;
        TDataRec home;
        home.LinkText = "Home";
        TSiteTree::Node* top = tree.addItem(nullptr, home, iconFolder);
        TDataRec page;
        page.LinkText = row.text;
        page.LinkURL = row.url;
        tree.addItem(top, page, iconPage);
        TMapProfile profile;
        profile.setAddImages(false);
        profile.setClassAttribs(false);
        EXPECT_NE(BuildMapHTML(profile, tree).find(row.written), std::string::npos) << row.text;
    }
}

TEST(MapHtml, CharacterReferencesForNonAscii) {
    const std::pair<std::string, std::string> rows[] = {
        {"plain <ascii> &amp;", "plain <ascii> &amp;"},
        {"Caf\xC3\xA9", "Caf&#233;"},
        {"\xE2\x82\xAC 5", "&#8364; 5"},
        {"\xF0\x9F\x98\x80", "&#128512;"},
        {"bad \xC3 end", "bad &#65533; end"},
        {"\xED\xA0\x80", "&#65533;&#65533;&#65533;"},
        {"\xC0\xAF", "&#65533;&#65533;"},
    };
    for (const auto& [text, written] : rows)
        EXPECT_EQ(WithCharacterReferences(text), written) << text;
}

// The user's own page may declare any encoding: what goes into it is ASCII,
// the other characters as references; the map's own page is UTF-8 and says so.
TEST(MapHtml, TheInsertDestinationGetsAsciiAndTheMapPageDeclaresUtf8) {
    TSiteTree tree;
    TDataRec home;
    home.LinkText = "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                    "e";
    TSiteTree::Node* top = tree.addItem(nullptr, home, iconFolder);
    TDataRec page;
    page.LinkText = "Caf\xC3\xA9 & \xE2\x82\xAC";
    page.LinkURL = "caf\xC3\xA9.html";
    tree.addItem(top, page, iconPage);
    TMapProfile profile;
    profile.setAddImages(false);
    profile.setClassAttribs(false);
    profile.setSpiderType(mstLocal);
    profile.setOutputType(moutInsert);
    const std::string inserted = BuildMapHTML(profile, tree);
    EXPECT_TRUE(std::all_of(inserted.begin(), inserted.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_NE(inserted.find("<b>Cr&#232;me br&#251;l&#233;e</b>"), std::string::npos) << inserted;
    EXPECT_NE(inserted.find("<a href=\"caf&#233;.html\">Caf&#233; &amp; &#8364;</a>"),
              std::string::npos)
        << inserted;

    profile.setOutputType(moutFile);
    const std::string written = BuildMapPage(profile, BuildMapHTML(profile, tree));
    EXPECT_NE(written.find("<head>\r\n  <meta charset=\"utf-8\">\r\n"), std::string::npos);
    EXPECT_NE(written.find("Caf\xC3\xA9 &amp; \xE2\x82\xAC"), std::string::npos);
    std::string inPlace = BuildMapHTML(profile, tree);
    MakeMapPage(profile, inPlace);
    EXPECT_EQ(inPlace, written);
}
