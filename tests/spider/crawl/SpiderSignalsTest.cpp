// What pages say to crawlers, over a fixture site on nginx: robots words in
// a meta element of the head and in X-Robots-Tag headers, canonical
// addresses in a link element of the head and in Link headers, and rel
// word lists on links. Each case page links to a child page of its own, so
// the server's log shows whether its links were followed. The profile's
// switches, the counts and their line, and a redirect to an origin whose
// robots.txt was not asked yet.
#include "CrawlTestSupport.h"
#include "ScriptedHttpServer.h"

#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace tessaly;
using namespace tessaly::test;

namespace {

// A case page: its head, its body, and a link to "/<name>-child.html".
std::string CasePage(const std::string& name, const std::string& head,
                     const std::string& body = {}) {
    return "<html><head><title>" + name + "</title>" + head + "</head><body>" + body +
           "<a href=\"/" + name + "-child.html\">child</a></body></html>";
}

std::map<std::string, std::string> SignalSite() {
    std::map<std::string, std::string> files = {
        {"robots.txt", "User-agent: *\nDisallow: /private/\n"},
        {"private/target.html", "<title>Private</title>"},
        {"notes.txt", "plain text served with noindex"},
        {"target-a.html", "<title>A</title>"},
        {"target-b.html", "<title>B</title>"},
        {"target-d.html", "<title>D</title>"},
        {"target-e.html", "<title>E</title>"},
        {"target-f.html", "<title>F</title>"},
        {"target-g.html", "<title>G</title>"},
        {"target-h.html", "<title>H</title>"},
        {"target-i.html", "<title>I</title>"},
        {"rel-a.html", "<title>rel a</title>"},
        {"rel-b.html", "<title>rel b</title>"},
        {"rel-c.html", "<title>rel c</title>"},
        {"rel-d.html", "<title>rel d</title>"},
    };
    // By path without ".html"; each page's name is the last segment.
    const std::pair<std::string, std::string> pages[] = {
        {"plain", CasePage("plain", "")},
        {"meta-noindex", CasePage("meta-noindex", "<meta name=\"robots\" content=\"noindex\">")},
        {"meta-nofollow", CasePage("meta-nofollow", "<META NAME=\"ROBOTS\" CONTENT=\"NoFollow\">")},
        {"meta-none", CasePage("meta-none", "<meta name=\"Robots\" content=\" index , NONE \">")},
        {"meta-other", CasePage("meta-other", "<meta name=\"description\" content=\"noindex\">")},
        {"meta-in-body", CasePage("meta-in-body", "",
                                  "<p>text<meta name=\"robots\" content=\"noindex,nofollow\">")},
        {"hdr-noindex", CasePage("hdr-noindex", "")},
        {"hdr-nofollow", CasePage("hdr-nofollow", "")},
        {"hdr-other-bot", CasePage("hdr-other-bot", "")},
        {"hdr-two-lines", CasePage("hdr-two-lines", "")},
        {"canonical-abs",
         CasePage("canonical-abs", "<link rel=\"canonical\" href=\"%P%target-a.html\">")},
        // Resolved against the base, the site's root, not the page's folder.
        {"docs/canonical-base", CasePage("canonical-base", "<base href=\"%P%\">"
                                                           "<link rel=\"alternate Canonical\" "
                                                           "href=\" target-b.html \">")},
        {"canonical-header", CasePage("canonical-header", "")},
        {"canonical-offsite", CasePage("canonical-offsite", "")},
        {"canonical-self",
         CasePage("canonical-self", "<link rel=\"canonical\" href=\"canonical-self.html#top\">")},
        {"canonical-self-case",
         CasePage("canonical-self-case",
                  "<link rel=\"canonical\" href=\"%P%CANONICAL-SELF-CASE.html\">")},
        {"canonical-disagree",
         CasePage("canonical-disagree", "<link rel=\"canonical\" href=\"target-e.html\">")},
        {"canonical-agree",
         CasePage("canonical-agree", "<link rel=\"canonical\" href=\"%P%target-g.html\">")},
        {"canonical-in-body",
         CasePage("canonical-in-body", "", "<div><link rel=\"canonical\" href=\"target-h.html\">")},
        {"canonical-private",
         CasePage("canonical-private", "<link rel=\"canonical\" href=\"private/target.html\">")},
        {"noindex-canonical",
         CasePage("noindex-canonical", "<meta name=\"robots\" content=\"noindex\">"
                                       "<link rel=\"canonical\" href=\"target-i.html\">")},
    };
    std::string index = "<html><head><title>Home</title></head><body>";
    for (const auto& [path, text] : pages) {
        const std::string name = path.substr(path.rfind('/') + 1);
        files[path + ".html"] = text;
        files[name + "-child.html"] = "<title>" + name + " child</title>";
        index += "<a href=\"" + path + ".html\">" + name + "</a>\n";
    }
    index += "<a href=\"notes.txt\">notes</a>\n"
             "<a rel=\"nofollow noopener\" href=\"rel-a.html\">a</a>\n"
             "<a rel=\"NoFollow\" href=\"rel-b.html\">b</a>\n"
             "<a rel=\"noopener\" href=\"rel-c.html\">c</a>\n"
             "<map><area rel=\"external\tNOFOLLOW\" href=\"rel-d.html\"></map>\n"
             "</body></html>";
    files["index.html"] = index;
    return files;
}

const char* kSignalConfig = R"(
    location = /hdr-noindex.html { add_header X-Robots-Tag "noindex"; }
    location = /hdr-nofollow.html { add_header X-Robots-Tag "TESSALY: nofollow"; }
    location = /hdr-other-bot.html { add_header X-Robots-Tag "otherbot: noindex, nofollow"; }
    location = /hdr-two-lines.html {
        add_header X-Robots-Tag "otherbot: noindex";
        add_header X-Robots-Tag "none";
    }
    location = /notes.txt { add_header X-Robots-Tag "noindex"; }
    location = /canonical-header.html { add_header Link '</target-d.html>; rel="canonical"'; }
    location = /canonical-offsite.html {
        add_header Link '<http://other.example/x.html>; rel="canonical"';
    }
    location = /canonical-disagree.html { add_header Link '</target-f.html>; rel=canonical'; }
    location = /canonical-agree.html {
        add_header Link '<style.css>; rel="stylesheet", </target-g.html>; rel="canonical"';
    }
)";

// How a case page comes out: its item's mark (Missing: no item), and
// whether its child page was requested (its links followed).
enum class Listed { Yes, NoIndex, Canonical, Missing };

struct PageCase {
    const char* path;
    Listed listed;
    bool childFollowed;
};

class SpiderSignals : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string error = site.Serve(SignalSite(), kSignalConfig);
        ASSERT_TRUE(error.empty()) << error;
        Clock::setFixed(TestNow());
        profile.setFileTypes("*.html;*.txt;");
        p = site.Url("/");
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }

    void Crawl(std::optional<int> ahead = std::nullopt) {
        tree.clear();
        reporter.log.clear();
        TSpider spider(profile, tree, {}, {}, reporter, found);
        if (ahead)
            spider.SetFetchAhead(*ahead);
        spider.RunSpider(p);
        counts = spider.LeftOutCounts();
        countsLine = spider.LeftOutLine();
        // nginx logs a request once its answer has gone: the last may lag,
        // so the log is read until it stops growing.
        std::vector<std::string> all = site.Server().Requests();
        for (int i = 0; i < 40; ++i) {
            QTest::qWait(50);
            std::vector<std::string> again = site.Server().Requests();
            if (again.size() == all.size())
                break;
            all = std::move(again);
        }
        requests = std::set<std::string>(all.begin() + static_cast<long>(logSeen), all.end());
        logSeen = all.size();
    }
    // The item of an address ("P/" for the site), or nullptr.
    const TDataRec* Item(const std::string& address) const {
        const TDataRec* found = nullptr;
        const std::string url = Replaced(address, "P/", p);
        tree.forEach([&](TSiteTree::Node& n) {
            if (!n.data.IsFolder && n.data.LinkURL == url)
                found = &n.data;
        });
        return found;
    }
    bool Requested(const std::string& path) const { return requests.count(path) > 0; }
    void ExpectPages(const std::vector<PageCase>& cases) const {
        for (const PageCase& c : cases) {
            SCOPED_TRACE(c.path);
            const std::string path = c.path;
            const TDataRec* rec = Item("P/" + path);
            if (c.listed == Listed::Missing) {
                EXPECT_EQ(rec, nullptr);
            } else {
                ASSERT_NE(rec, nullptr);
                EXPECT_EQ(rec->LeftOut, c.listed == Listed::NoIndex     ? TLeftOut::NoIndex
                                        : c.listed == Listed::Canonical ? TLeftOut::Canonical
                                                                        : TLeftOut::None);
            }
            // A case page's child tells whether its links were followed.
            const size_t dot = path.rfind(".html");
            const std::string name = path.substr(path.rfind('/') + 1);
            if (name.find('-') != std::string::npos && dot != std::string::npos &&
                name.rfind("target", 0) != 0 && name.rfind("rel-", 0) != 0) {
                EXPECT_EQ(Requested("/" + name.substr(0, name.size() - 5) + "-child.html"),
                          c.childFollowed);
            }
        }
    }
    std::vector<std::string> LeftOutLog() const {
        std::vector<std::string> lines;
        for (const std::string& line : reporter.log)
            if (line.rfind("Left out (", 0) == 0)
                lines.push_back(Replaced(line, p, "P/"));
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    UtcZone zone;
    FixtureSite site;
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    std::string p;
    // The requests of the last crawl, and how many the server logged before.
    std::set<std::string> requests;
    std::size_t logSeen = 0;
    TLeftOutCounts counts;
    std::string countsLine;
};

} // namespace

// Every signal with the profile's defaults: noindex and canonical elsewhere
// leave the page out (its item marked), nofollow keeps its links from being
// followed; a canonical target on the site is queued; signals outside the
// head, for other crawlers, naming the page itself, or disagreeing, change
// nothing. The same with pages fetched ahead.
TEST_F(SpiderSignals, EachSignalInTheHeadAndInHeaders) {
    for (const int ahead : {0, 4}) {
        SCOPED_TRACE(ahead);
        requests.clear();
        Crawl(ahead);
        const std::vector<PageCase> cases = {
            {"plain.html", Listed::Yes, true},
            {"meta-noindex.html", Listed::NoIndex, true},
            {"meta-nofollow.html", Listed::Yes, false},
            {"meta-none.html", Listed::NoIndex, false},
            {"meta-other.html", Listed::Yes, true},
            {"meta-in-body.html", Listed::Yes, true},
            {"hdr-noindex.html", Listed::NoIndex, true},
            {"hdr-nofollow.html", Listed::Yes, false},
            {"hdr-other-bot.html", Listed::Yes, true},
            {"hdr-two-lines.html", Listed::NoIndex, false},
            {"notes.txt", Listed::NoIndex, false},
            {"canonical-abs.html", Listed::Canonical, true},
            {"docs/canonical-base.html", Listed::Canonical, true},
            {"canonical-header.html", Listed::Canonical, true},
            {"canonical-offsite.html", Listed::Canonical, true},
            {"canonical-self.html", Listed::Yes, true},
            {"canonical-self-case.html", Listed::Yes, true},
            {"canonical-disagree.html", Listed::Yes, true},
            {"canonical-agree.html", Listed::Canonical, true},
            {"canonical-in-body.html", Listed::Yes, true},
            {"canonical-private.html", Listed::Canonical, true},
            {"noindex-canonical.html", Listed::NoIndex, true},
            // Canonical targets queued as links of their pages.
            {"target-a.html", Listed::Yes, false},
            {"target-b.html", Listed::Yes, false},
            {"target-d.html", Listed::Yes, false},
            {"target-g.html", Listed::Yes, false},
            {"target-i.html", Listed::Yes, false},
            // Targets of canonicals that were ignored, or kept out.
            {"target-e.html", Listed::Missing, false},
            {"target-f.html", Listed::Missing, false},
            {"target-h.html", Listed::Missing, false},
            {"private/target.html", Listed::Missing, false},
            // Links whose rel holds nofollow, in any case among other words.
            {"rel-a.html", Listed::Missing, false},
            {"rel-b.html", Listed::Missing, false},
            {"rel-c.html", Listed::Yes, false},
            {"rel-d.html", Listed::Missing, false},
        };
        ExpectPages(cases);
        for (const char* never : {"/target-e.html", "/target-f.html", "/target-h.html",
                                  "/private/target.html", "/rel-a.html", "/rel-b.html"})
            EXPECT_FALSE(Requested(never)) << never;

        EXPECT_EQ(LeftOutLog(),
                  (std::vector<std::string>{
                      "Left out (blocked by robots.txt): P/private/target.html",
                      "Left out (canonical elsewhere: P/private/target.html): "
                      "P/canonical-private.html",
                      "Left out (canonical elsewhere: P/target-a.html): P/canonical-abs.html",
                      "Left out (canonical elsewhere: P/target-b.html): P/docs/canonical-base.html",
                      "Left out (canonical elsewhere: P/target-d.html): P/canonical-header.html",
                      "Left out (canonical elsewhere: P/target-g.html): P/canonical-agree.html",
                      "Left out (canonical elsewhere: http://other.example/x.html): "
                      "P/canonical-offsite.html",
                      "Left out (noindex): P/hdr-noindex.html",
                      "Left out (noindex): P/hdr-two-lines.html",
                      "Left out (noindex): P/meta-noindex.html",
                      "Left out (noindex): P/meta-none.html",
                      "Left out (noindex): P/noindex-canonical.html",
                      "Left out (noindex): P/notes.txt",
                  }));
        EXPECT_EQ(counts, (TLeftOutCounts{1, 6, 6}));
        EXPECT_EQ(countsLine,
                  "Left out: 1 blocked by robots.txt, 6 noindex, 6 canonical elsewhere");
        // The line closes the log (the reporter's default also writes it
        // to standard error).
        ASSERT_FALSE(reporter.log.empty());
        EXPECT_EQ(reporter.log.back(), countsLine);
        // A page left out is not logged as listed.
        EXPECT_EQ(std::count(reporter.log.begin(), reporter.log.end(), p + "meta-noindex.html"), 0);
        EXPECT_EQ(std::count(reporter.log.begin(), reporter.log.end(), p + "plain.html"), 1);
    }
}

// Each switch of the profile set against its default, alone.
TEST_F(SpiderSignals, TheProfileSwitches) {
    struct Case {
        const char* name;
        bool leaveOutNoindex, leaveOutCanonical, followNofollow;
        std::vector<PageCase> pages;
        TLeftOutCounts counts;
        std::string line;
    };
    const Case cases[] = {
        {"noindex pages listed",
         false,
         true,
         false,
         {{"meta-noindex.html", Listed::Yes, true},
          {"hdr-two-lines.html", Listed::Yes, false},
          {"noindex-canonical.html", Listed::Canonical, true},
          {"canonical-abs.html", Listed::Canonical, true}},
         {1, 0, 7},
         "Left out: 1 blocked by robots.txt, 7 canonical elsewhere"},
        {"canonical elsewhere listed, its target still queued",
         true,
         false,
         false,
         {{"canonical-abs.html", Listed::Yes, true},
          {"target-a.html", Listed::Yes, false},
          {"canonical-header.html", Listed::Yes, true},
          {"target-d.html", Listed::Yes, false},
          {"meta-noindex.html", Listed::NoIndex, true}},
         {1, 6, 0},
         "Left out: 1 blocked by robots.txt, 6 noindex"},
        {"nofollow followed",
         true,
         true,
         true,
         {{"meta-nofollow.html", Listed::Yes, true},
          {"hdr-nofollow.html", Listed::Yes, true},
          {"meta-none.html", Listed::NoIndex, true},
          {"rel-a.html", Listed::Yes, false},
          {"rel-b.html", Listed::Yes, false},
          {"rel-d.html", Listed::Yes, false}},
         {1, 6, 6},
         "Left out: 1 blocked by robots.txt, 6 noindex, 6 canonical elsewhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        profile.setLeaveOutNoindex(c.leaveOutNoindex);
        profile.setLeaveOutCanonical(c.leaveOutCanonical);
        profile.setFollowNofollow(c.followNofollow);
        requests.clear();
        // Fetched ahead as the profile's connections say.
        Crawl();
        ExpectPages(c.pages);
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(countsLine, c.line);
    }
}

// A site that says nothing of the kind leaves nothing out, and the
// reporter hears no line.
TEST(SpiderSignalsCounts, NothingLeftOutSaysNothing) {
    FixtureSite site;
    ASSERT_EQ(site.Serve({{"index.html", "<title>Home</title><a href=\"a.html\">a</a>"},
                          {"a.html", "<title>A</title>"}}),
              "");
    struct Reporter : RecordingReporter {
        std::vector<std::string> leftOut;
        void crawlLeftOut(const std::string& line) override { leftOut.push_back(line); }
    } reporter;
    TMapProfile profile;
    TSiteTree tree;
    int found = 0;
    TSpider spider(profile, tree, {}, {}, reporter, found);
    spider.RunSpider(site.Url("/"));
    EXPECT_EQ(found, 2);
    EXPECT_EQ(spider.LeftOutCounts(), TLeftOutCounts());
    EXPECT_EQ(spider.LeftOutLine(), "");
    EXPECT_TRUE(reporter.leftOut.empty());
}

// A redirect to another origin (here another port of the same host) is
// followed only after robots.txt of that origin was asked, and only where
// it allows the target.
TEST(SpiderSignalsRedirect, ARedirectToAnOriginNotAskedYetAsksItsRobotsTxtFirst) {
    using R = ScriptedHttpServer;
    auto page = [](const QByteArray& body) {
        return R::Plain(HttpReply("200 OK", "Content-Type: text/html\r\n", body));
    };
    struct Case {
        const char* name;
        std::string start;              // on the first server
        const char* moved;              // where it moves, on the second
        std::vector<std::string> asked; // of the second server, in order
        bool blocked;
        bool listed;
    };
    // The second server is another port of the same host: another site. A
    // linked page that moves there is not followed (nothing of that site is
    // asked, robots.txt neither); a start page that moves there takes the
    // crawl's site along.
    const Case cases[] = {
        {"a linked page moved to another site's disallowed address",
         "/",
         "/private/page.html",
         {},
         false,
         false},
        {"a linked page moved to another site's allowed address",
         "/",
         "/open.html",
         {},
         false,
         false},
        {"the start page moved",
         "/start.html",
         "/open.html",
         {"/robots.txt", "/open.html"},
         false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        R first, second;
        second.Script("/robots.txt", {R::Plain(HttpReply("200 OK", "Content-Type: text/plain\r\n",
                                                         "User-agent: *\nDisallow: /private/\n"))});
        second.Script("/open.html", {page("<title>Open</title>")});
        second.Script("/private/page.html", {page("<title>Private</title>")});
        const std::string target = second.Url(c.moved);
        first.Script("/", {page("<title>Home</title><a href=\"/go.html\">go</a>")});
        first.Script(
            "/go.html",
            {R::Plain(HttpReply("302 Found",
                                QByteArray::fromStdString("Location: " + target + "\r\n"), ""))});
        first.Script(
            "/start.html",
            {R::Plain(HttpReply("301 Moved",
                                QByteArray::fromStdString("Location: " + target + "\r\n"), ""))});
        TMapProfile profile;
        profile.setFileTypes("*.html;");
        TSiteTree tree;
        RecordingReporter reporter;
        int found = 0;
        TSpider spider(profile, tree, {}, {}, reporter, found);
        spider.RunSpider(first.Url(c.start));
        std::vector<std::string> asked;
        for (const QByteArray& head : second.requests)
            asked.push_back(head.split(' ').value(1).toStdString());
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(spider.RobotsBlocked(), c.blocked ? 1 : 0);
        const bool loggedBlocked =
            std::find(reporter.log.begin(), reporter.log.end(),
                      "Left out (blocked by robots.txt): " + target) != reporter.log.end();
        EXPECT_EQ(loggedBlocked, c.blocked);
        EXPECT_TRUE(spider.StartPageError().empty()) << spider.StartPageError();
        // The page reached through the redirect is taken: the start page's
        // item, or a page logged as listed (it lies outside the start
        // page's folders, so it has no place in the tree).
        bool listed =
            std::find(reporter.log.begin(), reporter.log.end(), target) != reporter.log.end();
        tree.forEach([&](TSiteTree::Node& n) { listed = listed || n.data.LinkURL == target; });
        EXPECT_EQ(listed, c.listed) << ::testing::PrintToString(reporter.log);
    }
}
