// The crawl over a fixture site on nginx, compared byte for byte: the tree
// with its texts, icons, order and folder nodes, the count, the status and
// log lines, and the XML sitemap and the page the output writes from it.
#include "CrawlTestSupport.h"
#include "FileRoutines.h"
#include "MapHtml.h"
#include "OutputRun.h"
#include "SharedFolderPaths.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

const std::map<std::string, std::string> kSite = {
    {"index.html", R"html(<html><head><title>Home &amp; Garden</title></head><body>
<a href="about.html#team">About</a> <a href="docs">Docs</a> <a href="#top">Top</a>
<a href="mailto:me@example.com">Mail</a> <a href="HTTP://127.0.0.1/caps.html">Caps</a>
<a href="http://other.example/page.html">Other host</a> <a href="logo.png?v=2">Logo</a>
<a href="list.php?sort=name">Sorted</a> <a href="list.php?id=5">Script page</a>
<a href="missing.html">Broken</a>
<a rel="NOFOLLOW" href="nofollow.html">Not followed</a> <a href="nofollow.html">Followed</a>
<a rel="nofollow" href="hidden.html">Hidden</a>
<a href="notes.txt">Notes</a> <a href="a+b.html">Plus</a> <a href="space page.html">Space</a>
<a href="SKIP.html">Skip</a> <a href="ignored/">Ignored</a> <a href="notitle/">No title</a>
<!-- <a href="comment.html">Comment</a> -->
<script>document.write('<a href="script.html">Script</a>');</script>
<iframe src="frame.html"></iframe>
<a href="about.html">About again</a> <a href="Case.html">Upper</a> <a href="case.html">lower</a>
</body></html>)html"},
    {"about.html", "<title>About <us></title><a href=\"index.html\">Home</a>"},
    {"docs/index.html",
     "<title>Docs</title><a href=\"guide.html\">Guide</a> <a href=\"sub/\">Sub</a> "
     "<a href=\"../about.html\">About</a>"},
    {"docs/guide.html", "<base href=\"%P%docs/sub/\"><a href=\"deep.html\">Deep</a>"},
    {"docs/sub/index.html", "<title>Sub</title>"},
    {"docs/sub/deep.html", "<title>Deep</title><a href=\"/CASE.HTML\">Case</a>"},
    {"notitle/index.html", "<p>no title here</p>"},
    {"ignored/index.html", "<title>Ignored</title><a href=\"inner/page.html\">Inner</a>"},
    {"ignored/inner/page.html", "<title>Inner</title>"},
    {"list.php", "<title>List</title><a href=\"docs/sub/deep.html\">Deep</a>"},
    {"nofollow.html", "<title>Case of nofollow</title>"},
    {"hidden.html", "<title>Hidden</title>"},
    {"notes.txt", "just notes"},
    {"space page.html", "<title>Space</title>"},
    {"SKIP.html", "<title>Skip</title>"},
    {"frame.html", "<title>Frame</title>"},
    {"Case.html", "<title>Upper</title>"},
    {"case.html", "<title>lower</title>"},
    {"a+b.html", "<title>Plus</title>"},
};

// Run with one fetch at a time, and with pages fetched ahead: the results
// are the same.
class SpiderSite : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        const std::string error =
            site.Serve(kSite, "location /list.php { default_type text/html; }");
        ASSERT_TRUE(error.empty()) << error;
        Clock::setFixed(TestNow());
        profile.setFileTypes(
            "*.htm;*.html;*.shtm;*.shtml;*.txt;*.php;*.php4;*.php5;*.pdf;*.swf;*.asp;*.cfm;");
        profile.setFollowQueryParts({"sort="});
        profile.setDefFreq(cfWeekly);
        profile.setDefPri(0.7);
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }

    UtcZone zone;
    FixtureSite site;
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
};

} // namespace

TEST_P(SpiderSite, CrawlGivesTheTreeTheCountAndTheLog) {
    const std::string p = site.Url("/");
    const std::vector<std::string> ignoreFolders = {p + "ignored/"};
    const std::vector<std::string> ignoreFiles = {p + "skip.html"};
    TSpider spider(profile, tree, ignoreFolders, ignoreFiles, reporter, found);
    spider.SetFetchAhead(GetParam());
    spider.RunSpider(p);

    EXPECT_EQ(
        DumpTree(tree, p),
        "[0] Home & Garden | P/ | P/ | folder | 2021-03-04T05:19:07+00:00\n"
        "  [1] About <us> | P/about.html | P/ | 2021-03-04T05:09:07+00:00\n"
        "  [0] docs | P/docs/ | P/docs/ | folder | 2024-05-06T07:08:09+00:00\n"
        "    [1] Docs | P/docs/ | P/docs/ | folder | 2021-03-04T05:12:07+00:00\n"
        "    [1] P/docs/guide.html | P/docs/guide.html | P/docs/ | 2021-03-04T05:11:07+00:00\n"
        "    [0] sub | P/docs/sub/ | P/docs/sub/ | folder | 2024-05-06T07:08:09+00:00\n"
        "      [1] Sub | P/docs/sub/ | P/docs/sub/ | folder | 2021-03-04T05:14:07+00:00\n"
        "      [1] Deep | P/docs/sub/deep.html | P/docs/sub/ | 2021-03-04T05:13:07+00:00\n"
        "  [1] Case of nofollow | P/nofollow.html | P/ | 2021-03-04T05:21:07+00:00\n"
        "  [1] P/notes.txt | P/notes.txt | P/ | 2021-03-04T05:22:07+00:00\n"
        "  [1] Space | P/space%20page.html | P/ | 2021-03-04T05:24:07+00:00\n"
        "  [0] notitle | P/notitle/ | P/notitle/ | folder | 2024-05-06T07:08:09+00:00\n"
        "    [0] P/notitle/ | P/notitle/ | P/notitle/ | folder | 2021-03-04T05:23:07+00:00\n"
        "  [1] Frame | P/frame.html | P/ | 2021-03-04T05:15:07+00:00\n"
        "  [1] Upper | P/Case.html | P/ | 2021-03-04T05:06:07+00:00\n"
        "  [1] lower | P/case.html | P/ | 2021-03-04T05:10:07+00:00\n"
        "  [0] ignored | P/ignored/ | P/ignored/ | folder | 2024-05-06T07:08:09+00:00\n"
        "    [0] inner | P/ignored/inner/ | P/ignored/inner/ | folder | "
        "2024-05-06T07:08:09+00:00\n"
        "      [1] Inner | P/ignored/inner/page.html | P/ignored/inner/ | "
        "2021-03-04T05:18:07+00:00\n");
    EXPECT_EQ(found, 19);
    EXPECT_EQ(reporter.looking, p);
    EXPECT_EQ(reporter.counts.size(), 19u);
    // The other host and the address with "+" were taken but not counted.
    EXPECT_EQ(Replaced(reporter.found.back(), p, "P/"), "P/ignored/inner/page.html");
    std::string log;
    for (const auto& line : reporter.log)
        log += Replaced(line, p, "P/") + "\n";
    // Accepted pages (ignored ones too: the lists decide only about items)
    // and the broken page with its status.
    EXPECT_EQ(log, "P/about.html\n"
                   "P/docs/\n"
                   "Cannot fetch P/missing.html: HTTP 404 Not Found\n"
                   "P/nofollow.html\n"
                   "P/notes.txt\n"
                   "P/space%20page.html\n"
                   "P/SKIP.html\n"
                   "P/ignored/\n"
                   "P/notitle/\n"
                   "P/frame.html\n"
                   "P/Case.html\n"
                   "P/case.html\n"
                   // Its bytes are the home page's: listed once, as P/.
                   "Listed as P/: P/index.html\n"
                   "P/docs/guide.html\n"
                   "P/docs/sub/\n"
                   "P/docs/sub/deep.html\n"
                   "P/ignored/inner/page.html\n");
    EXPECT_TRUE(spider.StartPageError().empty());
    EXPECT_FALSE(spider.SpiderRunning());
    tree.forEach([](TSiteTree::Node& n) {
        EXPECT_EQ(n.data.LinkURL, n.data.Path());
        EXPECT_EQ(n.data.ChangeFreq, cfWeekly);
        EXPECT_EQ(n.data.Priority, 0.7);
        EXPECT_FALSE(n.data.DeleteMark);
    });
    EXPECT_TRUE(FolderPathsAreShared(tree));
    // Each page requested once, in the order of the queue; the folder
    // address without its slash was sent on to the one with it.
    std::vector<std::string> logged;
    // nginx logs a request once its answer has gone: the last may lag.
    (void)QTest::qWaitFor([&] { return (logged = site.Server().Requests()).size() >= 21; }, 3000);
    // Pages fetched ahead are requested side by side, in any order.
    if (GetParam() > 0)
        std::sort(logged.begin(), logged.end());
    std::string requests;
    for (const auto& r : logged)
        requests += r + " ";
    if (GetParam() > 0)
        EXPECT_EQ(requests, "/ /Case.html /SKIP.html /about.html /case.html /docs /docs/ "
                            "/docs/guide.html /docs/sub/ /docs/sub/deep.html /frame.html "
                            "/ignored/ /ignored/inner/page.html /index.html /list.php?id=5 "
                            "/missing.html /nofollow.html /notes.txt /notitle/ /robots.txt "
                            "/space%20page.html ");
    else
        EXPECT_EQ(
            requests,
            "/robots.txt / /about.html /docs /docs/ /list.php?id=5 /missing.html /nofollow.html "
            "/notes.txt /space%20page.html /SKIP.html /ignored/ /notitle/ /frame.html "
            "/Case.html /case.html /index.html /docs/guide.html /docs/sub/ "
            "/docs/sub/deep.html /ignored/inner/page.html ");

    QTemporaryDir out;
    profile.setAddImages(false);
    profile.setMakeGoogleSM(true);
    profile.setWebsite(p);
    profile.setOutputFileName(out.path().toStdString() + "/sitemap.html");
    // The golden sitemap is in Google's 0.84 protocol, every stamp written.
    profile.setSitemapProtocol(spGoogle084);
    std::string map = BuildMapHTML(profile, tree);
    std::vector<std::string> sitemapFiles;
    SaveMapToFile(profile, tree, map, sitemapFiles);
    ASSERT_EQ(sitemapFiles.size(), 1u);
    const std::string sitemapFile = sitemapFiles[0];
    const std::string golden = TESSALY_TEST_DATA "/spider/";
    const std::string real = "http://127.0.0.1:PORT/";
    EXPECT_EQ(Replaced(ReadFileText(sitemapFile), p, real), ReadFileText(golden + "sitemap.xml"));
    EXPECT_EQ(
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.84.xsd",
                                      QString::fromStdString(sitemapFile)}),
        0);
    EXPECT_EQ(Replaced(ReadFileText(out.path().toStdString() + "/sitemap.html"), p, real),
              ReadFileText(golden + "sitemap.html"));
}

INSTANTIATE_TEST_SUITE_P(FetchAhead, SpiderSite, ::testing::Values(0, 4),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param ? "Ahead" + std::to_string(info.param)
                                               : std::string("OneAtATime");
                         });
