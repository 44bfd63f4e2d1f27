#include "XmlSitemap.h"
#include "FileRoutines.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessaly;

namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                          "<urlset xmlns=\"http://www.google.com/schemas/sitemap/0.84\"\r\n"
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
                          "xsi:schemaLocation=\"http://www.google.com/schemas/sitemap/0.84\r\n"
                          "http://www.google.com/schemas/sitemap/0.84/sitemap.xsd\">\r\n"
                          "\r\n";
const std::string kTail = "</urlset>\r\n";

std::string url(const std::string& loc, const std::string& lastmod, const std::string& freq,
                const std::string& pri) {
    return "  <url>\r\n    <loc>" + loc + "</loc>\r\n    <lastmod>" + lastmod +
           "</lastmod>\r\n    <changefreq>" + freq + "</changefreq>\r\n    <priority>" + pri +
           "</priority>\r\n  </url>\r\n";
}

TDataRec rec(const std::string& address, ChangeFreqType f = cfMonthly, double p = 0.5,
             const std::string& lastmod = "2024-01-02T03:04:05+00:00") {
    TDataRec r;
    r.LinkURL = address;
    r.ChangeFreq = f;
    r.Priority = p;
    r.LastMod = lastmod;
    return r;
}

} // namespace

TEST(XmlSitemap, EmptyTreeAndOneFolderNode) {
    TSiteTree t;
    EXPECT_EQ(BuildGoogleSiteMap(t, kGoogle084), kHead + kTail);
    t.addItem(nullptr, rec("http://x/"), iconFolder);
    EXPECT_EQ(BuildGoogleSiteMap(t, kGoogle084),
              kHead + url("http://x/", "2024-01-02T03:04:05+00:00", "monthly", "0.5") + kTail);
}

TEST(XmlSitemap, WrittenItemsFoldersDuplicatesAndEncoding) {
    TSiteTree t;
    auto* home = t.addItem(nullptr, rec("http://x/index.html"), iconFolder);
    auto* docs = t.addItem(home, rec("http://x/docs/index.html"), iconFolder);
    t.addItem(docs, rec("http://x/docs/a b/\xE9&c.html", cfNothing, 1.0, ""), iconPage);
    t.addItem(docs, rec("http://x/INDEX.html"), iconPage); // the home page again
    t.addItem(home, rec("http://x/%20\t<x>.png", cfNever, 0.8), iconImage);
    EXPECT_EQ(BuildGoogleSiteMap(t, kGoogle084),
              kHead + url("http://x/index.html", "2024-01-02T03:04:05+00:00", "monthly", "0.5") +
                  url("http://x/docs/a%20b/%E9&amp;c.html", "", "", "1") +
                  url("http://x/%20%09&lt;x&gt;.png", "2024-01-02T03:04:05+00:00", "never", "0.8") +
                  kTail);
}

// A page left out by the crawl is in neither map, the home page included;
// a later item with the same address is written.
TEST(XmlSitemap, LeftOutPagesAreNotWritten) {
    TSiteTree t;
    TDataRec homeRec = rec("http://x/");
    homeRec.LeftOut = TLeftOut::NoIndex;
    auto* home = t.addItem(nullptr, homeRec, iconFolder);
    TDataRec dup = rec("http://x/a.html");
    dup.LeftOut = TLeftOut::Canonical;
    t.addItem(home, dup, iconPage);
    t.addItem(home, rec("http://x/b.html"), iconPage);
    t.addItem(home, rec("http://x/a.html"), iconPage);
    EXPECT_EQ(BuildGoogleSiteMap(t, kGoogle084),
              kHead + url("http://x/b.html", "2024-01-02T03:04:05+00:00", "monthly", "0.5") +
                  url("http://x/a.html", "2024-01-02T03:04:05+00:00", "monthly", "0.5") + kTail);
}

TEST(XmlSitemap, EachAddressOnceInTreeOrderAcrossALargeTree) {
    // Addresses are looked up a few at a time; repeats right after their
    // first, far from it, and in other letter case must still go, and the
    // order must stay the tree's.
    TSiteTree t;
    auto* home = t.addItem(nullptr, rec("http://x/"), iconFolder);
    std::vector<std::string> added, expected = {"http://x/"};
    for (int i = 0; i < 60; ++i)
        added.push_back("http://x/p" + std::to_string(i) + ".html");
    added[16] = added[15];
    added[17] = added[16];
    added[33] = "HTTP://X/P32.HTML";
    added[47] = added[3];
    added[59] = "http://x/";
    for (std::size_t i = 0; i < added.size(); ++i) {
        t.addItem(home, rec(added[i]), iconPage);
        if (i != 16 && i != 17 && i != 33 && i != 47 && i != 59)
            expected.push_back(added[i]);
    }
    const std::string xml = BuildGoogleSiteMap(t, kGoogle084);
    std::vector<std::string> written;
    for (std::size_t at = xml.find("<loc>"); at != std::string::npos;
         at = xml.find("<loc>", at + 1))
        written.push_back(xml.substr(at + 5, xml.find("</loc>", at) - at - 5));
    EXPECT_EQ(written, expected);
}

TEST(XmlSitemap, PriorityTextIgnoresTheLocale) {
    std::string old = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German));
    for (auto [p, text] : {std::pair{0.8, "0.8"},
                           {1.0, "1"},
                           {0.0, "0"},
                           {0.1 + 0.2, "0.3"},
                           {0.123456789012345678, "0.123456789012346"},
                           // A profile may hold anything: the protocol's range is kept.
                           {-0.5, "0"},
                           {2.5, "1"},
                           {std::nan(""), "0.5"}})
        EXPECT_EQ(PriorityText(p), text) << p;
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, old.c_str());
}

TEST(XmlSitemap, FileNameAndWhenNothingIsWritten) {
    EXPECT_EQ(GoogleSiteMapFileName("/www/sitemap.html"), "/www/sitemap.xml");
    EXPECT_EQ(GoogleSiteMapFileName("/www/map"), "/www/map.xml");
    EXPECT_EQ(GoogleSiteMapFileName("/www/v1.0/map"), "/www/v1.0/map.xml");

    QTemporaryDir dir;
    std::string page = dir.filePath("sitemap.html").toStdString();
    std::string xml = dir.filePath("sitemap.xml").toStdString();
    WriteFileText("earlier", xml);
    TSiteTree t;
    t.addItem(nullptr, rec("http://x/"), iconFolder);
    struct Case {
        bool make;
        std::string website;
        bool written;
    };
    for (const auto& c : {Case{false, "http://example.com/", false}, Case{true, "http://", false},
                          Case{true, "", false}, Case{true, "http://x", true}}) {
        TMapProfile p;
        p.setOutputFileName(page);
        p.setMakeGoogleSM(c.make);
        p.setWebsite(c.website);
        std::vector<std::string> files = {"unchanged"};
        EXPECT_EQ(WriteGoogleSiteMap(p, t, files), c.written) << c.website;
        EXPECT_EQ(files, std::vector<std::string>{c.written ? xml : "unchanged"});
        EXPECT_EQ(ReadFileText(xml) == "earlier", !c.written);
    }
}

namespace {
const std::string kHead09 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                            "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\"\r\n"
                            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
                            "xsi:schemaLocation=\"http://www.sitemaps.org/schemas/sitemap/0.9\r\n"
                            "http://www.sitemaps.org/schemas/sitemap/0.9/sitemap.xsd\">\r\n"
                            "\r\n";

int xmllint(const std::string& schema, const std::string& file) {
    return QProcess::execute("xmllint", {"--noout", "--schema",
                                         QString::fromStdString(TESSALY_TEST_DATA "/" + schema),
                                         QString::fromStdString(file)});
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
} // namespace

TEST(XmlSitemap, Protocol09LeavesOutWhatIsNotKnown) {
    TSiteTree t;
    // The home folder: no date of its own. A page with its file time. A page
    // whose frequency is unspecified.
    TDataRec home = rec("http://x/", cfDaily);
    TDataRec page = rec("http://x/a.html", cfMonthly, 0.8);
    page.LastMod = "2023-05-06T07:08:09+02:00";
    page.LastModKnown = true;
    TDataRec odd = rec("http://x/b.html", cfNothing, 1, "");
    auto* h = t.addItem(nullptr, home, iconFolder);
    t.addItem(h, page, iconPage);
    t.addItem(h, odd, iconPage);
    const std::string homeUrl = "  <url>\r\n    <loc>http://x/</loc>\r\n";
    const std::string pageUrl = "  <url>\r\n    <loc>http://x/a.html</loc>\r\n";
    const std::string oddUrl = "  <url>\r\n    <loc>http://x/b.html</loc>\r\n";
    EXPECT_EQ(
        BuildGoogleSiteMap(t, {spSitemaps09, true}),
        kHead09 + homeUrl +
            "    <changefreq>daily</changefreq>\r\n    <priority>0.5</priority>\r\n  "
            "</url>\r\n" +
            pageUrl +
            "    <lastmod>2023-05-06T07:08:09+02:00</lastmod>\r\n    "
            "<changefreq>monthly</changefreq>\r\n    <priority>0.8</priority>\r\n  </url>\r\n" +
            oddUrl + "    <priority>1</priority>\r\n  </url>\r\n" + kTail);
    // With the setting off every stamp is written, and still no empty element.
    EXPECT_EQ(
        BuildGoogleSiteMap(t, {spSitemaps09, false}),
        kHead09 + homeUrl +
            "    <lastmod>2024-01-02T03:04:05+00:00</lastmod>\r\n    "
            "<changefreq>daily</changefreq>\r\n    <priority>0.5</priority>\r\n  </url>\r\n" +
            pageUrl +
            "    <lastmod>2023-05-06T07:08:09+02:00</lastmod>\r\n    "
            "<changefreq>monthly</changefreq>\r\n    <priority>0.8</priority>\r\n  </url>\r\n" +
            oddUrl + "    <priority>1</priority>\r\n  </url>\r\n" + kTail);
    // Google 0.84 is written as it always was, whatever the profile says.
    TMapProfile p;
    p.setSitemapProtocol(spGoogle084);
    EXPECT_EQ(BuildGoogleSiteMap(t, SitemapFormatOf(p)),
              kHead + url("http://x/", "2024-01-02T03:04:05+00:00", "daily", "0.5") +
                  url("http://x/a.html", "2023-05-06T07:08:09+02:00", "monthly", "0.8") +
                  url("http://x/b.html", "", "", "1") + kTail);
}

TEST(XmlSitemap, LargeSitesGetNumberedFilesAndAnIndex) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString() + "/";
    TMapProfile p;
    p.setSpiderType(mstLocal);
    p.setIndexPage(root + "index.html");
    p.setWebsite("http://www.example.com/");
    p.setOutputFileName(root + "sitemap.html");
    // Numbered files left by an earlier, larger run, and a file of the
    // user's own that only has such a name.
    for (const char* stale : {"sitemap4.xml", "sitemap5.xml"})
        WriteFileText("<?xml version=\"1.0\"?>\r\n<urlset>stale</urlset>", root + stale);
    WriteFileText("my own notes", root + "sitemap7.xml");

    TSiteTree t;
    TDataRec r = rec("http://www.example.com/");
    r.LastModKnown = true;
    auto* home = t.addItem(nullptr, r, iconFolder);
    for (int i = 0; i < 120000; ++i) {
        r.LinkURL = "http://www.example.com/p" + std::to_string(i) + ".html";
        t.addItem(home, r, iconPage);
    }
    std::vector<std::string> files;
    ASSERT_TRUE(WriteGoogleSiteMap(p, t, files));
    const std::vector<std::string> numbered = {root + "sitemap1.xml", root + "sitemap2.xml",
                                               root + "sitemap3.xml"};
    EXPECT_EQ(files, (std::vector<std::string>{numbered[0], numbered[1], numbered[2],
                                               root + "sitemap.xml"}));
    const std::size_t want[] = {50000, 50000, 20001};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(count(ReadFileText(numbered[i]), "<url>"), want[i]) << numbered[i];
        EXPECT_EQ(xmllint("sitemap-0.9.xsd", numbered[i]), 0);
    }
    const std::string index = ReadFileText(root + "sitemap.xml");
    EXPECT_EQ(xmllint("siteindex-0.9.xsd", root + "sitemap.xml"), 0);
    EXPECT_EQ(count(index, "<sitemap>"), 3u);
    EXPECT_NE(index.find("<loc>http://www.example.com/sitemap2.xml</loc>"), std::string::npos);
    EXPECT_FALSE(FileExists(root + "sitemap4.xml"));
    EXPECT_FALSE(FileExists(root + "sitemap5.xml"));
    EXPECT_EQ(ReadFileText(root + "sitemap7.xml"), "my own notes");

    // Small again: one file, and the numbered files go.
    TSiteTree small;
    small.addItem(nullptr, rec("http://www.example.com/"), iconFolder);
    ASSERT_TRUE(WriteGoogleSiteMap(p, small, files));
    EXPECT_EQ(files, std::vector<std::string>{root + "sitemap.xml"});
    for (const std::string& f : numbered)
        EXPECT_FALSE(FileExists(f)) << f;
    EXPECT_EQ(xmllint("sitemap-0.9.xsd", root + "sitemap.xml"), 0);
}

TEST(XmlSitemap, AFileFullBySizeIsClosedBeforeItsCount) {
    // Long addresses pass 50 MB long before 50,000 of them.
    QTemporaryDir dir;
    TMapProfile p;
    p.setWebsite("http://www.example.com/");
    p.setOutputFileName(dir.filePath("sitemap.html").toStdString());
    TSiteTree t;
    TDataRec r = rec("http://www.example.com/");
    auto* home = t.addItem(nullptr, r, iconFolder);
    const std::string padding(1200, 'a');
    for (int i = 0; i < 45000; ++i) {
        r.LinkURL = "http://www.example.com/" + padding + std::to_string(i) + ".html";
        t.addItem(home, r, iconPage);
    }
    std::vector<std::string> files;
    ASSERT_TRUE(WriteGoogleSiteMap(p, t, files));
    ASSERT_EQ(files.size(), 3u); // two numbered files and the index
    std::size_t urls = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        std::string text = ReadFileText(files[i]);
        EXPECT_LE(text.size(), 50u * 1024 * 1024);
        EXPECT_TRUE(text.ends_with("</urlset>\r\n"));
        urls += count(text, "<url>");
    }
    EXPECT_EQ(urls, 45001u);
    EXPECT_GT(ReadFileText(files[0]).size(), 50u * 1024 * 1024 - 2000);
}

TEST(XmlSitemap, AnAddressLongerThanALocMayBeIsLeftOutAndCounted) {
    // Items edited by hand may hold any address. Its loc text, escaped as
    // written, decides: "'" is "&apos;", six characters.
    QTemporaryDir dir;
    TMapProfile p;
    p.setWebsite("http://www.example.com/");
    p.setOutputFileName(dir.filePath("sitemap.html").toStdString());
    const std::string base = "http://www.example.com/";
    const std::string fits = base + std::string(2048 - base.size(), 'a');
    const std::string over = base + std::string(2049 - base.size(), 'a');
    const std::string quotes = base + std::string(340, '\'');
    TSiteTree t;
    auto* home = t.addItem(nullptr, rec(base), iconFolder);
    for (const std::string& address : {fits, over, quotes, over})
        t.addItem(home, rec(address), iconPage);
    SitemapWriter writer(p);
    writer.write(t);
    EXPECT_EQ(writer.leftOut(), 2u); // each address once
    const std::vector<std::string> files = writer.commit();
    ASSERT_EQ(files.size(), 1u);
    const std::string xml = ReadFileText(files[0]);
    EXPECT_NE(xml.find("<loc>" + fits + "</loc>"), std::string::npos);
    EXPECT_EQ(count(xml, "<url>"), 2u);
    EXPECT_EQ(xmllint("sitemap-0.9.xsd", files[0]), 0);
}

TEST(XmlSitemap, TheIndexNamesTheFilesWhereTheSitemapIsServed) {
    struct Case {
        const char* what;
        TMapSpiderType type;
        std::string website, index, output, own, base;
    };
    const Case cases[] = {
        {"local site, output in a subfolder", mstLocal, "http://www.example.com/",
         "/srv/site/index.html", "/srv/site/maps/sitemap.html", "", "http://www.example.com/maps/"},
        {"local site, output beside the index", mstLocal, "http://www.example.com",
         "/srv/site/index.html", "/srv/site/sitemap.html", "", "http://www.example.com/"},
        {"local site, output elsewhere", mstLocal, "http://www.example.com/",
         "/srv/site/index.html", "/home/me/sitemap.html", "", "http://www.example.com/"},
        {"spidered site", mstWebsite, "http://www.example.com/shop/start.html", "",
         "/home/me/sitemap.html", "", "http://www.example.com/shop/"},
        {"spidered host", mstWebsite, "https://example.com", "", "/home/me/sitemap.html", "",
         "https://example.com/"},
        {"the user's own address", mstWebsite, "http://www.example.com/", "",
         "/home/me/sitemap.html", "http://cdn.example.com/sm/sitemap.xml",
         "http://cdn.example.com/sm/"},
    };
    for (const Case& c : cases) {
        TMapProfile p;
        p.setSpiderType(c.type);
        p.setWebsite(c.website);
        p.setIndexPage(c.index);
        p.setOutputFileName(c.output);
        p.setSitemapAddress(c.own);
        EXPECT_EQ(SitemapBaseAddress(p), c.base) << c.what;
    }
    EXPECT_EQ(NumberedSitemapFileName("/a/map.xml", 12), "/a/map12.xml");
}

TEST(XmlSitemap, EveryItemCarriesItsPriorityWhateverCameBefore) {
    // Neighbours that share a priority share its text; no value, the first
    // included, may leave an item without one.
    struct Case {
        std::vector<double> priorities;
        std::vector<std::string> written;
    };
    const Case cases[] = {
        {{-1}, {"0"}},
        {{-1, -1}, {"0", "0"}},
        {{0.5, -1, -1, 0.5}, {"0.5", "0", "0", "0.5"}},
        {{std::nan(""), std::nan(""), 1}, {"0.5", "0.5", "1"}},
        {{2, -1, 0.25}, {"1", "0", "0.25"}},
    };
    QTemporaryDir dir;
    const std::string file = dir.filePath("sitemap.xml").toStdString();
    for (const Case& c : cases) {
        TSiteTree t;
        TSiteTree::Node* home = nullptr;
        for (std::size_t i = 0; i < c.priorities.size(); ++i) {
            TDataRec r =
                rec("http://www.example.com/" + std::to_string(i), cfMonthly, c.priorities[i]);
            TSiteTree::Node* n = t.addItem(home, r, home ? iconPage : iconFolder);
            if (!home)
                home = n;
        }
        const std::string xml = BuildGoogleSiteMap(t, SitemapFormat());
        std::vector<std::string> written;
        for (std::size_t at = xml.find("<priority>"); at != std::string::npos;
             at = xml.find("<priority>", at + 1))
            written.push_back(xml.substr(at + 10, xml.find("</priority>", at) - at - 10));
        EXPECT_EQ(written, c.written) << xml;
        WriteFileText(xml, file);
        EXPECT_EQ(xmllint("sitemap-0.9.xsd", file), 0) << xml;
    }
}
