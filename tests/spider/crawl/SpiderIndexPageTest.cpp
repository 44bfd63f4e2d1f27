// A folder's address and its index page, both linked and fetched with the
// same bytes, are one page: listed once, under the folder's address, with
// no request made to find that out. Different bytes, or only the index
// page linked, and both stay as they are.
#include "CrawlTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

struct Case {
    const char* name;
    std::map<std::string, std::string> files;
    std::string serverConfig;
    std::string tree; // as DumpTree shows it
    std::string requests;
};

class SpiderIndexPage : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override { Clock::setFixed(TestNow()); }
    void TearDown() override { Clock::setFixed(std::nullopt); }
    UtcZone zone;
};

TEST_P(SpiderIndexPage, TreeAndRequests) {
    const Case& c = GetParam();
    FixtureSite site;
    ASSERT_EQ(site.Serve(c.files, c.serverConfig), "");
    TMapProfile profile;
    profile.setFileTypes("*.htm;*.html;");
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.SetFetchAhead(0);
    const std::string p = site.Url("/");
    spider.RunSpider(p);
    EXPECT_EQ(DumpTree(tree, p), c.tree);
    const size_t count = std::count(c.requests.begin(), c.requests.end(), ' ');
    std::vector<std::string> logged;
    (void)QTest::qWaitFor([&] { return (logged = site.Server().Requests()).size() >= count; },
                          3000);
    std::string requests;
    for (const auto& r : logged)
        requests += r + " ";
    EXPECT_EQ(requests, c.requests);
}

const std::string kNow = std::string("| ") + kNowStamp + "\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, SpiderIndexPage,
    ::testing::Values(
        Case{"SameBytesFolderFirst",
             {{"index.html", "<title>Home</title><a href=\"index.html\">Home</a>"}},
             {},
             "[0] Home | P/ | P/ | folder | 2021-03-04T05:06:07+00:00\n",
             "/robots.txt / /index.html "},
        Case{"DifferentBytes",
             {{"index.html", "<title>Home</title><a href=\"index.html\">Home</a>"}},
             "location = / { default_type text/html;"
             " return 200 '<title>Root</title><a href=\"index.html\">Home</a>'; }",
             "[0] Root | P/ | P/ | folder " + kNow +
                 "  [1] Home | P/index.html | P/ | 2021-03-04T05:06:07+00:00\n",
             "/robots.txt / /index.html "},
        Case{"OnlyTheIndexPageLinked",
             {{"index.html", "<title>Home</title><a href=\"docs/index.html\">Docs</a>"},
              {"docs/index.html", "<title>Docs</title>"}},
             {},
             "[0] Home | P/ | P/ | folder | 2021-03-04T05:07:07+00:00\n"
             "  [0] docs | P/docs/ | P/docs/ | folder " +
                 kNow + "    [1] Docs | P/docs/index.html | P/docs/ | 2021-03-04T05:06:07+00:00\n",
             "/robots.txt / /docs/index.html "},
        Case{"SameBytesIndexPageFirst",
             {{"index.html", "<title>Home</title><a href=\"docs/index.html\">Docs</a>"
                             "<a href=\"a.html\">A</a>"},
              {"a.html", "<title>A</title><a href=\"docs/\">Docs folder</a>"},
              {"docs/index.html", "<title>Docs</title>"}},
             {},
             "[0] Home | P/ | P/ | folder | 2021-03-04T05:08:07+00:00\n"
             "  [0] docs | P/docs/ | P/docs/ | folder " +
                 kNow +
                 "    [1] Docs | P/docs/ | P/docs/ | folder | 2021-03-04T05:07:07+00:00\n"
                 "  [1] A | P/a.html | P/ | 2021-03-04T05:06:07+00:00\n",
             "/robots.txt / /docs/index.html /a.html /docs/ "}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
