// The crawl against a scripted server: Cancel at its three moments, and
// pages whose fetch fails in each way a server can make it fail. Every crawl
// ends, soon, with the outcome the rules give.
#include "CrawlTestSupport.h"
#include "HttpRequestOptions.h"
#include "ScriptedHttpServer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <map>

using namespace tessaly;
using namespace tessaly::test;
using R = ScriptedHttpServer;

namespace {

QByteArray Page(const QByteArray& body) {
    return HttpReply("200 OK", "Content-Type: text/html\r\n", body);
}

R::Reply Silent() {
    R::Reply r;
    r.silent = true;
    return r;
}

class SpiderScripted : public ::testing::Test {
  protected:
    void SetUp() override {
        Clock::setFixed(TestNow());
        profile.setFileTypes("*.htm;*.html;");
        spider.Fetcher().ConnectTimeout = 2000;
        spider.Fetcher().ReceiveTimeout = 500;
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }
    // Runs the crawl from "/" and returns the milliseconds it took.
    qint64 Crawl(const std::string& start = "/") {
        QElapsedTimer t;
        t.start();
        spider.RunSpider(server.Url(start));
        return t.elapsed();
    }
    std::string Dump() { return DumpTree(tree, server.Url("/")); }
    // The request targets a server received, in order.
    static std::vector<std::string> Asked(const ScriptedHttpServer& site) {
        std::vector<std::string> asked;
        for (const QByteArray& head : site.requests)
            asked.push_back(head.split(' ').value(1).toStdString());
        return asked;
    }
    // The crawl's log, a line each, the server's address written "P/".
    std::string Log() const {
        std::string log;
        for (const auto& line : reporter.log)
            log += Replaced(line, server.Url("/"), "P/") + "\n";
        return log;
    }

    UtcZone zone;
    ScriptedHttpServer server;
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider{profile, tree, {}, {}, reporter, found};
};

const std::string N = kNowStamp;

} // namespace

TEST_F(SpiderScripted, CancelDuringTheFirstFetchLeavesTheTreeEmpty) {
    server.Script("/", {Silent()});
    spider.Fetcher().ReceiveTimeout = 30000;
    QTimer::singleShot(100, [this] { spider.Cancel(); });
    EXPECT_LT(Crawl(), 3000);
    EXPECT_EQ(Dump(), "");
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(spider.SpiderCancel());
    EXPECT_FALSE(spider.SpiderRunning());
}

TEST_F(SpiderScripted, CancelDuringALaterFetchKeepsWhatWasFound) {
    server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"p1.html\">1</a>"
                                      "<a href=\"slow.html\">2</a><a href=\"p3.html\">3</a>"))});
    server.Script("/p1.html", {R::Plain(Page("<title>One</title>"))});
    server.Script("/slow.html", {Silent()});
    server.Script("/p3.html", {R::Plain(Page("<title>Three</title>"))});
    spider.Fetcher().ReceiveTimeout = 30000;
    reporter.onEvents = [this] {
        if (!reporter.found.empty() && reporter.found.back() == server.Url("/slow.html"))
            QTimer::singleShot(100, [this] { spider.Cancel(); });
    };
    EXPECT_LT(Crawl(), 3000);
    EXPECT_EQ(Dump(),
              "[0] Home | P/ | P/ | folder | " + N + "\n  [1] One | P/p1.html | P/ | " + N + "\n");
    EXPECT_EQ(found, 3);
}

TEST_F(SpiderScripted, CancelBetweenFetchesEndsTheLoopAtItsNextTest) {
    server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"a/x.html\">x</a>"
                                      "<a href=\"b.html\">b</a>"))});
    server.Script("/a/x.html", {R::Plain(Page("<title>X</title>"))});
    server.Script("/b.html", {R::Plain(Page("<title>B</title>"))});
    // Pressed while the folder node for a/ is being made.
    reporter.onEvents = [this] {
        if (tree.count() == 2 && !spider.SpiderCancel())
            spider.Cancel();
    };
    Crawl();
    EXPECT_EQ(Dump(), "[0] Home | P/ | P/ | folder | " + N + "\n  [0] a | P/a/ | P/a/ | folder | " +
                          N + "\n    [1] X | P/a/x.html | P/a/ | " + N + "\n");
    EXPECT_EQ(found, 2);
}

TEST_F(SpiderScripted, FailingPagesEndAndGiveTheirOutcome) {
    R::Reply endless;
    endless.bytes = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<title>Endless</title>";
    endless.endless = true;
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    server.Script("/", {R::Plain(Page(R"(<title>Home</title>
        <a href="loop">loop</a> <a href="auth">auth</a> <a href="dropped">dropped</a>
        <a href="silent">silent</a> <a href="endless">endless</a> <a href="photo">photo</a>
        <a href="ok.html">ok</a>)"))});
    server.Script("/loop", {R::Plain(HttpReply("302 Found", "Location: /loop\r\n", ""))});
    server.Script("/auth",
                  {R::Plain(HttpReply("401 Unauthorized",
                                      "WWW-Authenticate: Basic realm=\"x\"\r\nContent-Type: "
                                      "text/html\r\n",
                                      "<title>Denied</title><a href=\"secret.html\">s</a>"))});
    server.Script(
        "/dropped",
        {R::Plain(HttpReply("200 OK", "Content-Type: text/html\r\nContent-Length: 500\r\n",
                            "<title>Cut</title>", false),
                  true)});
    server.Script("/silent", {Silent()});
    server.Script("/endless", {endless});
    server.Script("/photo", {R::Plain(Page(png + QByteArray(3000, '\xff')))});
    server.Script("/ok.html", {R::Plain(Page("<title>Fine</title>"))});
    rusage before{};
    getrusage(RUSAGE_SELF, &before);

    EXPECT_LT(Crawl(), 15000);
    // A body cut short of its announced length, no answer, an error status
    // and an endless redirect list no page; a body cut at the size limit does.
    EXPECT_EQ(Dump(), "[0] Home | P/ | P/ | folder | " + N +
                          "\n"
                          "  [1] Endless | P/endless | P/ | " +
                          N +
                          "\n"
                          "  [1] P/photo | P/photo | P/ | " +
                          N +
                          "\n"
                          "  [1] Fine | P/ok.html | P/ | " +
                          N + "\n");
    EXPECT_EQ(found, 8);
    EXPECT_EQ(Log(), "Cannot fetch P/loop: HTTP 302 Found\n"
                     "Cannot fetch P/auth: HTTP 401 Unauthorized\n"
                     "Cannot fetch P/dropped: the connection was lost\n"
                     "Cannot fetch P/silent: no answer from the host\n"
                     "P/endless\n"
                     "P/photo\n"
                     "P/ok.html\n");
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kilobytes";
}

TEST_F(SpiderScripted, ACookieOfTheStartPageGoesWithEveryPageFetchedAhead) {
    std::string links;
    for (int i = 0; i < 12; ++i) {
        const std::string path = "/p" + std::to_string(i) + ".html";
        links += "<a href=\"" + path + "\">p</a>";
        server.Script(path, {R::Plain(Page("<title>P</title>"))});
    }
    server.Script("/",
                  {R::Plain(HttpReply("200 OK",
                                      "Content-Type: text/html\r\n"
                                      "Set-Cookie: session=abc; Path=/\r\n",
                                      QByteArray::fromStdString("<title>Home</title>" + links)))});
    Crawl();
    // robots.txt, the start page and the pages ahead.
    ASSERT_EQ(server.requests.size(), 14u);
    for (size_t i = 2; i < server.requests.size(); ++i)
        EXPECT_TRUE(server.requests[i].contains("\r\nCookie: session=abc\r\n"))
            << server.requests[i].toStdString();
}

TEST_F(SpiderScripted, EveryRequestNamesTheCrawlerAsTheProfileSays) {
    server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"p.html\">p</a>"))});
    server.Script("/p.html", {R::Plain(Page("<title>P</title>"))});
    struct Case {
        std::string profileAgent, sent;
    };
    for (const Case& c :
         {Case{"", TessalyAgent()}, Case{"ExampleBot/2.0 (+x)", "ExampleBot/2.0 (+x)"}}) {
        profile.setUserAgent(c.profileAgent);
        server.requests.clear();
        Crawl();
        ASSERT_EQ(server.requests.size(), 3u); // robots.txt and the two pages
        for (const QByteArray& head : server.requests)
            EXPECT_TRUE(
                head.contains("\r\nUser-Agent: " + QByteArray::fromStdString(c.sent) + "\r\n"))
                << head.toStdString();
    }
}

TEST_F(SpiderScripted, EachAddressIsRequestedOnce) {
    // A start page that redirects, a redirect whose target is linked too (both
    // fetched ahead together), and a redirect to the page itself.
    server.Script("/", {R::Plain(HttpReply("302 Found", "Location: /home.html\r\n", ""))});
    server.Script("/home.html", {R::Plain(Page("<title>Home</title><a href=\"old.html\">o</a>"
                                               "<a href=\"new.html\">n</a><a href=\"/\">r</a>"
                                               "<a href=\"home.html\">h</a>"
                                               "<a href=\"self.html\">s</a>"))});
    server.Script("/old.html", {R::Plain(HttpReply("301 Moved", "Location: /new.html\r\n", ""))});
    server.Script("/new.html", {R::Plain(Page("<title>New</title><a href=\"old.html\">o</a>"))});
    server.Script("/self.html", {R::Plain(HttpReply("302 Found", "Location: /self.html\r\n", ""))});
    for (const int ahead : {0, 8}) {
        SCOPED_TRACE(ahead);
        spider.SetFetchAhead(ahead);
        server.requests.clear();
        reporter.log.clear();
        tree.clear();
        Crawl();
        std::map<std::string, int> asked;
        for (const std::string& target : Asked(server))
            ++asked[target];
        EXPECT_EQ(asked, (std::map<std::string, int>{{"/robots.txt", 1},
                                                     {"/", 1},
                                                     {"/home.html", 1},
                                                     {"/old.html", 1},
                                                     {"/new.html", 1},
                                                     {"/self.html", 1}}));
        EXPECT_EQ(Dump(), "[0] Home | P/home.html | P/home.html | folder | " + N +
                              "\n"
                              "  [1] New | P/new.html | P/ | " +
                              N + "\n");
        EXPECT_EQ(Log(), "P/new.html\nCannot fetch P/self.html: HTTP 302 Found\n");
    }
}

// robots.txt is asked once per origin, before anything else of it, and
// nothing it disallows is requested: not as a link, not as a redirect's
// target. Its Sitemap lines are logged.
TEST_F(SpiderScripted, RobotsTxtIsAskedFirstAndObeyed) {
    server.Script("/robots.txt",
                  {R::Plain(HttpReply("200 OK", "Content-Type: text/plain\r\n",
                                      "User-agent: OtherBot\nDisallow: /\n\n"
                                      "User-agent: *\nDisallow: /private/\nAllow: /private/ok\n"
                                      "Sitemap: http://example.com/sm.xml\n"))});
    server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"a.html\">a</a>"
                                      "<a href=\"private/b.html\">b</a>"
                                      "<a href=\"private/ok.html\">ok</a>"
                                      "<a href=\"go.html\">go</a>"))});
    server.Script("/a.html", {R::Plain(Page("<title>A</title>"))});
    server.Script("/private/ok.html", {R::Plain(Page("<title>Ok</title>"))});
    server.Script("/go.html",
                  {R::Plain(HttpReply("302 Found", "Location: /private/c.html\r\n", ""))});
    for (const int ahead : {0, 8}) {
        SCOPED_TRACE(ahead);
        spider.SetFetchAhead(ahead);
        server.requests.clear();
        reporter.log.clear();
        tree.clear();
        Crawl();
        std::vector<std::string> asked = Asked(server);
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.front(), "/robots.txt");
        std::sort(asked.begin(), asked.end());
        EXPECT_EQ(asked, (std::vector<std::string>{"/", "/a.html", "/go.html", "/private/ok.html",
                                                   "/robots.txt"}));
        const std::string origin = server.Url("");
        EXPECT_EQ(Log(), "robots.txt of " + origin +
                             " lists the sitemap http://example.com/sm.xml\n" +
                             "P/a.html\n"
                             "Left out (blocked by robots.txt): P/private/b.html\n"
                             "P/private/ok.html\n"
                             "Left out (blocked by robots.txt): P/private/c.html\n"
                             "Left out: 2 blocked by robots.txt\n");
        EXPECT_EQ(spider.RobotsBlocked(), 2);
    }
}

TEST_F(SpiderScripted, RobotsTxtAnswersDecideWhatIsFetched) {
    server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"a.html\">a</a>"))});
    server.Script("/a.html", {R::Plain(Page("<title>A</title>"))});
    struct Case {
        const char* name;
        QByteArray robots; // empty: not scripted (the server answers 404)
        bool obey;
        std::vector<std::string> asked;
        std::string startError;
    };
    const Case cases[] = {
        {"missing", "", true, {"/robots.txt", "/", "/a.html"}, ""},
        {"server error",
         HttpReply("503 Service Unavailable", "", "busy"),
         true,
         {"/robots.txt"},
         ": robots.txt could not be read (HTTP 503)"},
        {"everything disallowed",
         HttpReply("200 OK", "", "User-agent: *\nDisallow: /\n"),
         true,
         {"/robots.txt"},
         ": blocked by robots.txt"},
        {"not obeyed",
         HttpReply("200 OK", "", "User-agent: *\nDisallow: /\n"),
         false,
         {"/", "/a.html"},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer site;
        site.Script("/", {R::Plain(Page("<title>Home</title><a href=\"a.html\">a</a>"))});
        site.Script("/a.html", {R::Plain(Page("<title>A</title>"))});
        if (!c.robots.isEmpty())
            site.Script("/robots.txt", {R::Plain(c.robots)});
        profile.setObeyRobotsTxt(c.obey);
        tree.clear();
        spider.RunSpider(site.Url("/"));
        EXPECT_EQ(Asked(site), c.asked);
        EXPECT_EQ(spider.StartPageError(),
                  c.startError.empty() ? "" : "Cannot fetch " + site.Url("/") + c.startError);
    }
}
