// The crawl keeps to one site: the scheme, host and port of the start page's
// final address. Links to another port of the same host are not followed;
// a link to the host's other scheme on that scheme's default port is
// followed, and its page listed only when it moves onto the site.
#include "CrawlTestSupport.h"
#include "TestAuthority.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

class SpiderOrigin : public ::testing::Test {
  protected:
    void SetUp() override {
        Clock::setFixed(TestNow());
        profile.setFileTypes("*.htm;*.html;");
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }

    // The request targets a server logged, joined by spaces, once at least
    // `least` have been logged (nginx logs a request once its answer went).
    static std::string Requests(NginxServer& server, size_t least) {
        std::vector<std::string> logged;
        (void)QTest::qWaitFor([&] { return (logged = server.Requests()).size() >= least; }, 3000);
        std::string out;
        for (const auto& r : logged)
            out += r + " ";
        return out;
    }

    UtcZone zone;
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
};

TEST(SiteOrigin, SchemeHostAndPortOfAnAddress) {
    struct Row {
        const char* address;
        TSiteOrigin origin;
    };
    const Row rows[] = {
        {"http://Example.COM/a", {"http", "example.com", "80"}},
        {"HTTP://example.com:80/", {"http", "example.com", "80"}},
        {"https://example.com", {"https", "example.com", "443"}},
        {"https://user:pw@example.com:8443?q", {"https", "example.com", "8443"}},
        {"http://127.0.0.1:08085#x", {"http", "127.0.0.1", "8085"}},
        {"http://[::1]:8083/p", {"http", "[::1]", "8083"}},
        {"http://[::1]/p", {"http", "[::1]", "80"}},
        {"ftp://example.com/", {}},
        {"mailto:me@example.com", {}},
        {"http:///nohost", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(OriginOf(row.address), row.origin) << row.address;
}

TEST_F(SpiderOrigin, AnotherPortOfTheSameHostIsAnotherSite) {
    FixtureSite other;
    ASSERT_EQ(other.Serve({{"products/mugs.html", "<title>Mugs</title>"}}), "");
    const std::string o = other.Url("/");
    FixtureSite site;
    ASSERT_EQ(site.Serve({{"index.html", "<title>Shop</title><a href=\"" + o +
                                             "products/mugs.html\">Mugs</a>"
                                             "<a href=\"cups.html\">Cups</a>"},
                          {"cups.html", "<title>Cups</title>"}}),
              "");
    const std::string p = site.Url("/");
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.SetFetchAhead(0);
    spider.RunSpider(p);
    EXPECT_EQ(DumpTree(tree, p), "[0] Shop | P/ | P/ | folder | 2021-03-04T05:07:07+00:00\n"
                                 "  [1] Cups | P/cups.html | P/ | 2021-03-04T05:06:07+00:00\n");
    EXPECT_EQ(found, 2);
    EXPECT_EQ(Requests(site.Server(), 3), "/robots.txt / /cups.html ");
    EXPECT_EQ(Requests(other.Server(), 0), "");
}

TEST_F(SpiderOrigin, AStartPageThatMovesToAnotherPortTakesTheSiteThere) {
    FixtureSite site;
    ASSERT_EQ(site.Serve({{"index.html", "<title>Home</title><a href=\"%P%page.html\">Page</a>"},
                          {"page.html", "<title>Page</title>"}}),
              "");
    const std::string p = site.Url("/");
    // The old address's server links back to itself from its own pages.
    FixtureSite old;
    ASSERT_EQ(old.Serve({{"kept.html", "<title>Kept</title>"}},
                        "location = /go { return 301 " + p + "; }"),
              "");
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.SetFetchAhead(0);
    spider.RunSpider(old.Url("/go"));
    EXPECT_EQ(DumpTree(tree, p), "[0] Home | P/ | P/ | folder | 2021-03-04T05:06:07+00:00\n"
                                 "  [1] Page | P/page.html | P/ | 2021-03-04T05:07:07+00:00\n");
    EXPECT_EQ(Requests(old.Server(), 2), "/robots.txt /go ");
}

// The site is http on one port; https on port 443 of the same host serves
// a page that stays there (fetched, neither listed nor followed) and one
// that moves onto the site (listed). https on another port is not followed.
TEST_F(SpiderOrigin, TheOtherSchemeOnItsDefaultPortIsFollowedButListedOnlyOnTheSite) {
    TestAuthority authority;
    ASSERT_EQ(authority.Make(), "");
    TrustOnly trust(authority.AuthorityFile());
    const std::string index = "<title>Home</title>"
                              "<a href=\"https://127.0.0.1/stays.html\">Stays</a>"
                              "<a href=\"https://127.0.0.1/moves.html\">Moves</a>"
                              "<a href=\"%T%other-port.html\">Other port</a>";
    FixtureSite site;
    ASSERT_EQ(site.Serve({{"index.html", index},
                          {"landed.html", "<title>Landed</title>"},
                          {"behind.html", "<title>Behind</title>"}}),
              "");
    const std::string p = site.Url("/");
    NginxServer secure;
    const std::string started =
        secure.StartTls(authority.ServerCertificate(), authority.ServerKey(),
                        "listen 127.0.0.1:443 ssl;\n"
                        "location = /moves.html { return 301 " +
                            p + "landed.html; }");
    if (!started.empty())
        GTEST_SKIP() << "no https server on port 443 here: " << started;
    ASSERT_TRUE(WriteSiteFile(secure.Site("stays.html"),
                              QByteArray::fromStdString("<title>Stays</title><a href=\"" + p +
                                                        "behind.html\">Behind</a>"),
                              QDateTime::currentDateTimeUtc()));
    // The site's page links the secure server's own port too.
    ASSERT_TRUE(WriteSiteFile(site.Server().Site("index.html"),
                              QByteArray::fromStdString(Replaced(index, "%T%", secure.Url("/"))),
                              QDateTime(QDate(2021, 3, 4), QTime(5, 7, 7), QTimeZone::utc())));

    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.SetFetchAhead(0);
    spider.RunSpider(p);
    EXPECT_EQ(DumpTree(tree, p), "[0] Home | P/ | P/ | folder | 2021-03-04T05:07:07+00:00\n"
                                 "  [1] Landed | P/landed.html | P/ | 2021-03-04T05:08:07+00:00\n");
    // robots.txt is asked of each origin followed; the page that stayed on
    // the other scheme gave no links, and the other port was never asked.
    EXPECT_EQ(Requests(secure, 3), "/robots.txt /stays.html /moves.html ");
    EXPECT_EQ(Requests(site.Server(), 3), "/robots.txt / /landed.html ");
}

} // namespace
