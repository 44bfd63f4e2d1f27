// Edge cases of the crawl, each over a small site of its own on nginx: where
// pages hang when the start address names a file, starts that end at once,
// redirects, and start pages that cannot be fetched.
#include "CrawlTestSupport.h"

#include <QTcpServer>
#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const std::string kRedirects = R"(
    location = /old.html { return 301 /new.html; }
    location = /away.html { return 302 http://localhost:$server_port/x.html; }
    location = /start { return 301 /home/; }
)";

struct Case {
    const char* name;
    std::map<std::string, std::string> files;
    const char* start;
    std::string tree; // as DumpTree shows it; "N" stands for the present time's stamp
    int found;
    std::string log;
    std::string startError;
};

// Stamps of the site's files, by their place in the sorted file list.
std::string Stamp(int minute) {
    return QDateTime(QDate(2021, 3, 4), QTime(5, 6 + minute, 7))
        .toString("yyyy-MM-ddThh:mm:ss+00:00")
        .toStdString();
}

class SpiderEdge : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override { Clock::setFixed(TestNow()); }
    void TearDown() override { Clock::setFixed(std::nullopt); }
    UtcZone zone;
};

} // namespace

TEST_P(SpiderEdge, TreeCountAndLog) {
    const Case& c = GetParam();
    FixtureSite site;
    const std::string error = site.Serve(c.files, kRedirects);
    ASSERT_TRUE(error.empty()) << error;
    TMapProfile profile;
    profile.setFileTypes("*.htm;*.html;");
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.RunSpider(site.Url(c.start));
    const std::string p = site.Url("/");
    EXPECT_EQ(DumpTree(tree, p), Replaced(c.tree, "|N\n", std::string("| ") + kNowStamp + "\n"));
    EXPECT_EQ(found, c.found);
    std::string log;
    for (const auto& line : reporter.log)
        log += Replaced(line, p, "P/") + "\n";
    EXPECT_EQ(log, c.log);
    EXPECT_EQ(Replaced(spider.StartPageError(), p, "P/"), c.startError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpiderEdge,
    ::testing::Values(
        // A start address on a file in the root: root pages hang under the
        // start page; the first folder looks for the root folder's first
        // node, the first root page placed.
        Case{"StartOnRootFile",
             {{"a.html", "<title>A</title>"},
              {"home.html", "<title>Home</title><a href=\"a.html\">A</a><a "
                            "href=\"sub/b.html\">B</a>"},
              {"sub/b.html", "<title>B</title>"}},
             "/home.html",
             "[0] Home | P/home.html | P/home.html | folder | " + Stamp(1) +
                 "\n"
                 "  [1] A | P/a.html | P/ | " +
                 Stamp(0) +
                 "\n"
                 "    [0] sub | P/sub/ | P/sub/ | folder |N\n"
                 "      [1] B | P/sub/b.html | P/sub/ | " +
                 Stamp(2) + "\n",
             3,
             "P/a.html\nP/sub/b.html\n",
             ""},
        // The same with the folder page first: no root page is placed yet, so
        // a top-level node for the root folder is made for it.
        Case{"StartOnRootFileFolderFirst",
             {{"a.html", "<title>A</title>"},
              {"home.html", "<title>Home</title><a href=\"sub/b.html\">B</a><a "
                            "href=\"a.html\">A</a>"},
              {"sub/b.html", "<title>B</title>"}},
             "/home.html",
             "[0] Home | P/home.html | P/home.html | folder | " + Stamp(1) +
                 "\n"
                 "  [1] A | P/a.html | P/ | " +
                 Stamp(0) +
                 "\n"
                 "[0] P/ | P/ | P/ | folder |N\n"
                 "  [0] sub | P/sub/ | P/sub/ | folder |N\n"
                 "    [1] B | P/sub/b.html | P/sub/ | " +
                 Stamp(2) + "\n",
             3,
             "P/sub/b.html\nP/a.html\n",
             ""},
        // A host with no links to itself: the start page alone, with its
        // title, or with empty text when it has none.
        Case{"LoneStartPage",
             {{"index.html", "<title>Alone</title><a href=\"http://other.example/\">x</a>"}},
             "/",
             "[0] Alone | P/ | P/ | folder | " + Stamp(0) + "\n",
             1,
             "",
             ""},
        Case{"LoneStartPageWithoutTitle",
             {{"index.html", "<p>nothing</p>"}},
             "/",
             "[0]  | P/ | P/ | folder | " + Stamp(0) + "\n",
             1,
             "",
             ""},
        // "+" or a double quote in the start address ends the crawl at once.
        Case{"StartWithPlus", {{"a+b.html", "<title>Plus</title>"}}, "/a+b.html", "", 0, "", ""},
        // A page met again under the address it was redirected to gets no
        // second item, whichever comes first.
        Case{"RedirectAfterItsTarget",
             {{"index.html", "<a href=\"new.html\">n</a><a href=\"old.html\">o</a>"},
              {"new.html", "<title>New</title>"}},
             "/",
             "[0]  | P/ | P/ | folder | " + Stamp(0) +
                 "\n"
                 "  [1] New | P/new.html | P/ | " +
                 Stamp(1) + "\n",
             3,
             "P/new.html\n",
             ""},
        Case{"RedirectBeforeItsTarget",
             {{"index.html", "<a href=\"old.html\">o</a><a href=\"new.html\">n</a>"},
              {"new.html", "<title>New</title>"}},
             "/",
             "[0]  | P/ | P/ | folder | " + Stamp(0) +
                 "\n"
                 "  [1] New | P/new.html | P/ | " +
                 Stamp(1) + "\n",
             3,
             "P/new.html\n",
             ""},
        // A page sent to another host is not part of the site: no item, and
        // its links are not queued.
        Case{"RedirectToAnotherHost",
             {{"index.html", "<a href=\"away.html\">away</a>"},
              {"x.html", "<title>X</title><a href=\"y.html\">y</a>"},
              {"y.html", "<title>Y</title>"}},
             "/",
             "[0]  | P/ | P/ | folder | " + Stamp(0) + "\n",
             2,
             "",
             ""},
        // A redirected start page carries its final address, and its links
        // resolve against it. Its pages are placed as under a start address
        // typed with that folder: below a top-level node of the root folder.
        Case{"RedirectedStartPage",
             {{"home/index.html", "<title>Home</title><a href=\"page.html\">p</a>"},
              {"home/page.html", "<title>Page</title>"}},
             "/start",
             "[0] Home | P/home/ | P/home/ | folder | " + Stamp(0) +
                 "\n"
                 "[0] P/ | P/ | P/ | folder |N\n"
                 "  [0] home | P/home/ | P/home/ | folder |N\n"
                 "    [1] Page | P/home/page.html | P/home/ | " +
                 Stamp(1) + "\n",
             2,
             "P/home/page.html\n",
             ""},
        // A start page with an error status still makes the one item, and
        // says why in the log.
        Case{"StartPageNotFound",
             {{"index.html", "<title>Home</title>"}},
             "/nope.html",
             "[0]  | P/nope.html | P/nope.html | folder |N\n",
             1,
             "Cannot fetch P/nope.html: HTTP 404 Not Found\n",
             "Cannot fetch P/nope.html: HTTP 404 Not Found"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(SpiderStart, UnreachableHostEndsTheCrawlWithTheReason) {
    UtcZone zone;
    Clock::setFixed(TestNow());
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const std::string start = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/";
    probe.close();
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.RunSpider(start);
    // robots.txt is asked first; without an answer nothing of the site is
    // requested, the start page included.
    EXPECT_EQ(DumpTree(tree, start), "");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(spider.StartPageError(),
              "Cannot fetch " + start + ": robots.txt could not be read (no answer from the host)");
    const std::string origin = start.substr(0, start.size() - 1);
    EXPECT_EQ(reporter.log,
              (std::vector<std::string>{"robots.txt of " + origin +
                                            " could not be read (no answer from the host): "
                                            "nothing of that site is fetched",
                                        spider.StartPageError()}));
    Clock::setFixed(std::nullopt);
}
