// The crawl's limits and manners against a site without end: a calendar
// whose every day links the next (and itself with a query), and folders
// that go ever deeper. Each limit ends the crawl as a finished search with
// its line in the log; the request rate and the requests in flight are
// measured at the server; a busy server's Retry-After is waited out once.
#include "CrawlTestSupport.h"
#include "FileRoutines.h"
#include "GeneratedSite.h"
#include "ProfileFile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

using namespace tessaly;
using namespace tessaly::test;
using Answer = GeneratedSite::Answer;

namespace {

Answer Page(const std::string& body, int holdMs = 0) {
    Answer a;
    a.body = QByteArray::fromStdString(body);
    a.holdMs = holdMs;
    return a;
}

Answer NotFound() {
    Answer a;
    a.status = "404 Not Found";
    return a;
}

// "/" links the calendar and the folders; "/cal/N.html" links day N + 1 and
// itself with a query; "/a/.../a/" links "a/" below it.
Answer Endless(const std::string& target, int holdMs = 0) {
    if (target == "/")
        return Page("<title>Home</title><a href=\"cal/1.html\">cal</a><a href=\"a/\">a</a>",
                    holdMs);
    if (target.rfind("/cal/", 0) == 0) {
        const int day = std::atoi(target.c_str() + 5);
        if (day <= 0)
            return NotFound();
        const std::string n = std::to_string(day);
        return Page("<title>Day " + n + "</title><a href=\"" + std::to_string(day + 1) +
                        ".html\">next</a><a href=\"?d=" + n + "\">again</a>",
                    holdMs);
    }
    if (target.rfind("/a/", 0) == 0)
        return Page("<title>A</title><a href=\"a/\">deeper</a>", holdMs);
    return NotFound();
}

class SpiderLimits : public ::testing::Test {
  protected:
    void SetUp() override {
        Clock::setFixed(TestNow());
        profile.setFileTypes("*.htm;*.html;");
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }
    qint64 Crawl(GeneratedSite& site) {
        QElapsedTimer t;
        t.start();
        spider.RunSpider(site.Url("/"));
        return t.elapsed();
    }
    int Count(const std::string& line) const {
        return static_cast<int>(std::count(reporter.log.begin(), reporter.log.end(), line));
    }
    // The addresses of the items, the site's address written "P/".
    std::vector<std::string> Items(const GeneratedSite& site) const {
        std::vector<std::string> items;
        tree.forEachWithLevel([&](TSiteTree::Node& n, int) {
            items.push_back(Replaced(n.data.Path(), site.Url("/"), "P/"));
        });
        return items;
    }

    UtcZone zone;
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider{profile, tree, {}, {}, reporter, found};
};

} // namespace

TEST_F(SpiderLimits, ThePageLimitStopsTheCrawlAsAFinishedSearch) {
    GeneratedSite site([](const std::string& target, int) { return Endless(target); });
    profile.setMaxPages(1000);
    Crawl(site);
    EXPECT_EQ(found, 1000);
    EXPECT_EQ(spider.LimitReached(), TCrawlLimit::Pages);
    EXPECT_EQ(spider.LimitLine(), "Stopped at the page limit (1,000)");
    EXPECT_EQ(Count("Stopped at the page limit (1,000)"), 1);
    EXPECT_FALSE(spider.SpiderCancel());
    EXPECT_FALSE(spider.SpiderRunning());
    EXPECT_TRUE(spider.StartPageError().empty());
    // No page beyond the limit was asked for, ahead of its turn or not.
    EXPECT_LE(site.requests.size(), 1u + 1000u) << "robots.txt and the pages";
    // What the queue holds is what the pages found gave it: a link or two
    // a page, never growing of itself.
    EXPECT_LE(spider.Queue().Size(), 2000u);
}

TEST_F(SpiderLimits, PagesAtTheDepthLimitAreListedAndTheirLinksNotFollowed) {
    GeneratedSite site([](const std::string& target, int) { return Endless(target); });
    profile.setMaxDepth(3);
    Crawl(site);
    // Levels 0 to 3, a query link being a page of its own (resolved as the
    // address class resolves a reference of a query alone); the links of
    // level 3 were not followed.
    std::vector<std::string> asked;
    for (const auto& request : site.requests)
        asked.push_back(request.target);
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"/", "/a/", "/a/a/", "/a/a/a/", "/cal/1.html",
                                               "/cal/2.html", "/cal/3.html", "/cal/?d=1",
                                               "/cal/?d=2", "/robots.txt"}));
    const std::vector<std::string> items = Items(site);
    for (const char* page : {"P/cal/3.html", "P/a/a/a/"})
        EXPECT_NE(std::find(items.begin(), items.end(), page), items.end()) << page;
    EXPECT_EQ(spider.LimitReached(), TCrawlLimit::Depth);
    EXPECT_EQ(Count("Links below the depth limit (3) were not followed"), 1);
    EXPECT_FALSE(spider.SpiderCancel());
}

TEST_F(SpiderLimits, ADepthLimitNoPageReachesSaysNothing) {
    GeneratedSite site([](const std::string& target, int) {
        return target == "/"         ? Page("<a href=\"x.html\">x</a>")
               : target == "/x.html" ? Page("<a href=\"/\">home</a>")
                                     : NotFound();
    });
    profile.setMaxDepth(1);
    Crawl(site);
    EXPECT_EQ(found, 2);
    EXPECT_EQ(spider.LimitReached(), TCrawlLimit::None);
    EXPECT_EQ(spider.LimitLine(), "");
}

TEST_F(SpiderLimits, TheTimeLimitStopsTheCrawl) {
    GeneratedSite site([](const std::string& target, int) { return Endless(target, 10); });
    spider.SetTimeLimit(std::chrono::seconds(2));
    const qint64 took = Crawl(site);
    EXPECT_GE(took, 1900);
    EXPECT_LT(took, 30000);
    EXPECT_EQ(spider.LimitReached(), TCrawlLimit::Time);
    EXPECT_EQ(Count("Stopped at the time limit (2 seconds)"), 1);
    EXPECT_FALSE(spider.SpiderCancel());
    EXPECT_GT(found, 5);
    // The profile's limit is in minutes.
    spider.SetTimeLimit(std::nullopt);
    profile.setMaxMinutes(10);
    profile.setMaxPages(3);
    Crawl(site);
    EXPECT_EQ(spider.LimitLine(), "Stopped at the page limit (3)");
}

// 20 requests a second: never more than 25 in any second at the server
// (the margin is for a loaded machine), and the crawl takes at least the
// time the gaps add up to.
TEST_F(SpiderLimits, TheRequestRateIsKept) {
    GeneratedSite site([](const std::string& target, int) { return Endless(target); });
    profile.setMaxRate(20);
    profile.setMaxPages(50);
    const qint64 took = Crawl(site);
    EXPECT_EQ(found, 50);
    ASSERT_GE(site.requests.size(), 51u);
    EXPECT_LE(site.MostWithin(1000), 25);
    EXPECT_GE(took, 50 * 1000 / 20 - 100);
}

// Each answer is held 200 ms: the requests open at the server at once are
// as many as the setting, never more.
TEST_F(SpiderLimits, TheConnectionsSettingIsTheRequestsInFlight) {
    for (const int connections : {1, 2, 5}) {
        GeneratedSite site([](const std::string& target, int) {
            if (target == "/") {
                std::string links;
                for (int i = 0; i < 12; ++i)
                    links += "<a href=\"p" + std::to_string(i) + ".html\">p</a>";
                return Page(links);
            }
            return target.rfind("/p", 0) == 0 ? Page("<title>P</title>", 200) : NotFound();
        });
        // A crawl of its own, as the window makes one for each search.
        profile.setConnections(connections);
        TSiteTree pages;
        int count = 0;
        TSpider crawl{profile, pages, {}, {}, reporter, count};
        crawl.RunSpider(site.Url("/"));
        EXPECT_EQ(count, 13) << connections;
        EXPECT_EQ(site.mostOpen, connections);
    }
}

// A 429 or 503 answer with a short Retry-After is waited out and the page
// asked once more; a long wait or none named fails the page at once.
TEST_F(SpiderLimits, ABusyServerIsAskedOnceMoreAfterTheWaitItNames) {
    struct Case {
        const char* name;
        QByteArray status, headers;
        bool busyTwice;
        int asked;
        qint64 leastGapMs;
        bool listed;
        std::string logged;
    };
    const Case cases[] = {
        {"seconds", "429 Too Many Requests", "Retry-After: 2\r\n", false, 2, 1900, true, ""},
        {"date", "503 Service Unavailable", "Retry-After: %DATE%\r\n", false, 2, 1500, true, ""},
        {"busy again", "503 Service Unavailable", "Retry-After: 1\r\n", true, 2, 900, false,
         "Cannot fetch P/p.html: HTTP 503 Service Unavailable"},
        {"too long", "429 Too Many Requests", "Retry-After: 121\r\n", false, 1, 0, false,
         "Cannot fetch P/p.html: HTTP 429 Too Many Requests (the server asked for a wait of 121 "
         "seconds)"},
        {"no wait named", "429 Too Many Requests", "", false, 1, 0, false,
         "Cannot fetch P/p.html: HTTP 429 Too Many Requests"},
    };
    for (const Case& c : cases) {
        // A date three seconds on: the wait is two to three seconds.
        QByteArray headers = c.headers;
        headers.replace("%DATE%", QLocale::c()
                                      .toString(QDateTime::currentDateTimeUtc().addSecs(3),
                                                "ddd, dd MMM yyyy hh:mm:ss 'GMT'")
                                      .toLatin1());
        GeneratedSite site([&c, &headers](const std::string& target, int asked) {
            if (target == "/")
                return Page("<title>Home</title><a href=\"p.html\">p</a>");
            if (target != "/p.html")
                return NotFound();
            if (asked > 0 && !c.busyTwice)
                return Page("<title>P</title>");
            Answer busy;
            busy.status = c.status;
            busy.headers = "Content-Type: text/html\r\n" + headers;
            return busy;
        });
        reporter.log.clear();
        Crawl(site);
        const std::vector<qint64> times = site.TimesOf("/p.html");
        ASSERT_EQ(times.size(), static_cast<std::size_t>(c.asked)) << c.name;
        if (c.asked == 2) {
            EXPECT_GE(times[1] - times[0], c.leastGapMs) << c.name;
        }
        const std::vector<std::string> items = Items(site);
        EXPECT_EQ(std::find(items.begin(), items.end(), "P/p.html") != items.end(), c.listed)
            << c.name;
        if (!c.logged.empty()) {
            std::vector<std::string> log;
            for (const std::string& line : reporter.log)
                log.push_back(Replaced(line, site.Url("/"), "P/"));
            EXPECT_NE(std::find(log.begin(), log.end(), c.logged), log.end()) << c.name;
        }
    }
}

TEST_F(SpiderLimits, CancelEndsTheWaitForABusyServer) {
    GeneratedSite site([](const std::string& target, int) {
        if (target == "/")
            return Page("<title>Home</title><a href=\"p.html\">p</a>");
        if (target != "/p.html")
            return NotFound();
        Answer busy;
        busy.status = "503 Service Unavailable";
        busy.headers = "Retry-After: 100\r\n";
        return busy;
    });
    // Cancel comes from the window's event, in whatever wait the crawl is in.
    QTimer poll;
    poll.callOnTimeout([&] {
        if (!site.TimesOf("/p.html").empty() && !spider.SpiderCancel()) {
            poll.stop();
            QTimer::singleShot(300, [this] { spider.Cancel(); });
        }
    });
    poll.start(20);
    EXPECT_LT(Crawl(site), 10000);
    EXPECT_TRUE(spider.SpiderCancel());
    EXPECT_EQ(site.TimesOf("/p.html").size(), 1u);
}

// The program run unattended on a profile with a page limit: the maps of
// what was found are written, standard error says which limit stopped the
// crawl, and the run succeeds.
TEST_F(SpiderLimits, AnUnattendedRunStoppedByALimitSucceeds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    GeneratedSite site([](const std::string& target, int) { return Endless(target); });
    const std::string out = dir.path().toStdString() + "/";
    const std::string profileFile = out + "site.qvt";
    TMapProfile p;
    p.setSpiderType(mstWebsite);
    p.setFileTypes("*.htm;*.html;");
    p.setOutputFileName(out + "sitemap.html");
    p.setMakeGoogleSM(true);
    p.setMaxPages(20);
    p.setWebsite(site.Url("/"));
    p.setFileName(profileFile);
    WriteFileText(ProfileToBytes(p), profileFile);

    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    env.insert("XDG_DATA_HOME", dir.path() + "/data");
    run.setProcessEnvironment(env);
    // The site answers from this process: events run while the program does.
    QEventLoop wait;
    QObject::connect(&run, &QProcess::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(60000, &wait, &QEventLoop::quit);
    run.start(TESSALY_EXE, {"-auto", QString::fromStdString(profileFile)});
    wait.exec();
    if (run.state() != QProcess::NotRunning) {
        run.kill();
        run.waitForFinished();
        FAIL() << "the run did not end";
    }
    const std::string err = run.readAllStandardError().toStdString();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << err;
    EXPECT_NE(err.find("Stopped at the page limit (20)"), std::string::npos) << err;
    const std::string xml = ReadFileText(out + "sitemap.xml");
    std::size_t locs = 0;
    for (std::size_t at = xml.find("<loc>"); at != std::string::npos;
         at = xml.find("<loc>", at + 1))
        ++locs;
    // The pages found (a query page shares its folder's item).
    EXPECT_GE(locs, 10u) << xml;
    EXPECT_LE(locs, 20u) << xml;
    for (const char* path : {"/", "/cal/1.html", "/a/a/"})
        EXPECT_NE(xml.find("<loc>" + site.Url(path) + "</loc>"), std::string::npos) << path;
}
