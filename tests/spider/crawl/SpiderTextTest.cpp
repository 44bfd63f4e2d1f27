// Titles of crawled pages are held as people read them: a page that
// declares no character set is read as UTF-8 when its bytes are valid
// UTF-8, else as windows-1252, as browsers read it; character references
// are decoded. The page writer escapes once, as it writes.
#include "CrawlTestSupport.h"
#include "MapHtml.h"

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

TEST(SpiderText, UndeclaredPagesAndReferencesGiveTheTitlesPeopleRead) {
    UtcZone zone;
    FixtureSite site;
    // nginx names no character set, and the pages declare none.
    ASSERT_EQ(
        site.Serve({{"index.html", "<title>Caf\xC3\xA9 &amp; Bar</title>"
                                   "<a href=\"latin.html\">L</a><a href=\"refs.html\">R</a>"
                                   "<a href=\"declared.html\">D</a>"},
                    {"latin.html", "<title>Cr\xE8me br\xFBl\xE9"
                                   "e \x80</title>"},
                    {"refs.html", "<title>Home &amp; Garden &eacute; &#x263A; &lt;b&gt;</title>"},
                    // A page that says what it is in a META element.
                    {"declared.html", "<meta charset=\"iso-8859-2\"><title>\xB1</title>"}}),
        "");
    TMapProfile profile;
    profile.setFileTypes("*.htm;*.html;");
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.SetFetchAhead(0);
    const std::string p = site.Url("/");
    spider.RunSpider(p);
    std::map<std::string, std::string> titles;
    tree.forEach([&](TSiteTree::Node& n) { titles[n.data.LinkURL] = n.data.LinkText; });
    EXPECT_EQ(titles[p], "Caf\xC3\xA9 & Bar");
    EXPECT_EQ(titles[p + "latin.html"], "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                        "e \xE2\x82\xAC");
    EXPECT_EQ(titles[p + "refs.html"], "Home & Garden \xC3\xA9 \xE2\x98\xBA <b>");
    EXPECT_EQ(titles[p + "declared.html"], "\xC4\x85");

    profile.setAddImages(false);
    profile.setClassAttribs(false);
    const std::string page = BuildMapPage(profile, BuildMapHTML(profile, tree));
    EXPECT_NE(page.find("<a href=\"" + p + "\">Caf\xC3\xA9 &amp; Bar</a>"), std::string::npos)
        << page;
    EXPECT_NE(page.find(">Home &amp; Garden \xC3\xA9 \xE2\x98\xBA &lt;b&gt;</a>"),
              std::string::npos)
        << page;
}
