#include "XmlSitemap.h"
#include "FileRoutines.h"

#include <QLocale>
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
