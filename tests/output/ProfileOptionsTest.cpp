#include "ProfileOptions.h"

#include "MapHtml.h"

#include <functional>
#include <gtest/gtest.h>

using namespace tessaly;

namespace {
TMapProfile aProfile() {
    TMapProfile p;
    p.setclrBackground(0x112233);
    p.setFileTypes("*.html;");
    p.setIgnoreFolders("/www/a/\r\n/www/b/\r\n");
    p.setIgnoreFiles("/www/x.html\n");
    p.setServerName("Home Site");
    p.setServerDir("public_html/");
    p.setDefPri(0.55);
    p.setFollowQueryPartsText("sort=\r\n");
    p.Modified = false;
    return p;
}
} // namespace

TEST(ProfileOptions, EveryValueIsLoadedAndWrittenBackAndOnlyChangesMarkTheProfile) {
    struct Case {
        const char* value;
        std::function<void(ProfileOptions&)> change;
        std::function<bool(const TMapProfile&)> written;
    };
    const Case cases[] = {
        {"colours", [](ProfileOptions& o) { o.colors[3] = -1; },
         [](const TMapProfile& p) {
             return p.clrVisited() == -1 && p.clrBackground() == 0x112233;
         }},
        {"file types", [](ProfileOptions& o) { o.fileTypes = "*.php;"; },
         [](const TMapProfile& p) { return p.FileTypes() == "*.php;"; }},
        {"ignored folders", [](ProfileOptions& o) { o.ignoreFolders.pop_back(); },
         [](const TMapProfile& p) { return p.IgnoreFolders() == "/www/a/\r\n"; }},
        {"ignored files", [](ProfileOptions& o) { o.ignoreFiles.push_back("/www/y.html"); },
         [](const TMapProfile& p) { return p.IgnoreFiles() == "/www/x.html\r\n/www/y.html\r\n"; }},
        {"page titles", [](ProfileOptions& o) { o.usePageTitles = false; },
         [](const TMapProfile& p) { return !p.UsePageTitles(); }},
        {"priority", [](ProfileOptions& o) { o.defPri = 0.9; },
         [](const TMapProfile& p) { return p.DefPri() == 0.9; }},
        {"frequency", [](ProfileOptions& o) { o.defFreq = cfNothing; },
         [](const TMapProfile& p) { return p.DefFreq() == cfNothing; }},
        {"site", [](ProfileOptions& o) { o.serverName = "Other"; },
         [](const TMapProfile& p) { return p.ServerName() == "Other"; }},
        {"remote folder", [](ProfileOptions& o) { o.serverDir = "maps/"; },
         [](const TMapProfile& p) { return p.ServerDir() == "maps/"; }},
        {"images", [](ProfileOptions& o) { o.addImages = false; },
         [](const TMapProfile& p) { return !p.AddImages(); }},
        {"folder images", [](ProfileOptions& o) { o.noFolderImages = true; },
         [](const TMapProfile& p) { return p.NoFolderImages(); }},
        {"queries",
         [](ProfileOptions& o) {
             o.followQueryParts = {"sort=", "page="};
         },
         [](const TMapProfile& p) {
             return p.FollowQueryParts() == std::vector<std::string>{"sort=", "page="};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TMapProfile p = aProfile();
        ProfileOptions o = LoadProfileOptions(p, true);
        c.change(o);
        EXPECT_TRUE(WriteProfileOptions(o, p)); // LoadLast comes back as it went in
        EXPECT_TRUE(c.written(p));
        EXPECT_TRUE(p.Modified);
    }
    // The thirteenth value belongs to the settings.
    TMapProfile p = aProfile();
    ProfileOptions o = LoadProfileOptions(p, false);
    o.loadLast = true;
    EXPECT_TRUE(WriteProfileOptions(o, p));
    EXPECT_FALSE(p.Modified);

    // Nothing changed, nothing picked: the profile stays as it was, its site
    // name included (a site this machine's store may not know).
    p = aProfile();
    WriteProfileOptions(LoadProfileOptions(p, false), p);
    EXPECT_FALSE(p.Modified);
    EXPECT_EQ(p.ServerName(), "Home Site");
    EXPECT_EQ(p.IgnoreFiles(), "/www/x.html\n");
}

TEST(ProfileOptions, IgnoredFilesAreAddedLowerCasedOnce) {
    std::vector<std::string> list = {"/www/old.html"};
    EXPECT_EQ(AddIgnoredFiles(list, {"/www/New.HTML", "/WWW/OLD.html", "/www/b.html"}), 2u);
    EXPECT_EQ(list, (std::vector<std::string>{"/www/old.html", "/www/new.html", "/www/b.html"}));
    EXPECT_EQ(FindListEntry(list, "/WWW/B.HTML"), 2u);
    EXPECT_EQ(FindListEntry(list, "/www/c.html"), std::nullopt);
}

TEST(ProfileOptions, ThePreviewPageCarriesTheFiveColours) {
    EXPECT_EQ(
        ColorPreviewPage({0xFFFFFF, 0, 0xFF0000, -1, 0x0000FF}),
        "<html>\r\n"
        "<body bgcolor=\"#FFFFFF\"text=\"#000000\"link=\"#0000FF\"vlink=\"\"alink=\"#FF0000\">\r\n"
        "\r\n"
        "Page Text will look like this!<BR><BR>\r\n"
        "<font color=\"#0000FF\"><u>Links will look like this!</u></font><BR>\r\n"
        "<font color=\"\"><U>Visited Links will look like this!</U></font><BR>\r\n"
        "<font color=\"#FF0000\"><U>Active Links will look like this!</U></font><BR><BR>\r\n"
        "</body>\r\n"
        "</html>\r\n");
}
