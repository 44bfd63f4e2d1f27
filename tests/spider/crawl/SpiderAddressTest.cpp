// The crawl and odd addresses: links megabytes long cost time in proportion
// to their length, addresses no sitemap can hold are left out (and the
// sitemap stays valid), and a site on an IPv6 address is crawled.
#include "CrawlTestSupport.h"
#include "FileRoutines.h"
#include "ScriptedHttpServer.h"
#include "XmlSitemap.h"

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace tessaly;
using namespace tessaly::test;
using R = ScriptedHttpServer;

namespace {

QByteArray Page(const std::string& body) {
    return HttpReply("200 OK", "Content-Type: text/html\r\n", QByteArray::fromStdString(body));
}

std::string Repeated(const std::string& unit, std::size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += unit;
    return out;
}

// A crawl against the scripted server with the window's settings.
struct TCrawl {
    explicit TCrawl(R& server) : server(server) {
        Clock::setFixed(TestNow());
        profile.setFileTypes("*.htm;*.html;");
        spider.Fetcher().ConnectTimeout = 2000;
        spider.Fetcher().ReceiveTimeout = 2000;
    }
    ~TCrawl() { Clock::setFixed(std::nullopt); }
    void Run(const std::string& start = "/") { spider.RunSpider(server.Url(start)); }
    std::vector<std::string> Addresses() const {
        std::vector<std::string> out;
        tree.forEach([&](TSiteTree::Node& n) { out.push_back(n.data.LinkURL); });
        return out;
    }
    // The pages requested, in order (robots.txt, asked first, left out).
    std::vector<std::string> Targets() const {
        std::vector<std::string> out;
        for (const QByteArray& head : server.requests)
            if (head.split(' ').value(1) != "/robots.txt")
                out.push_back(head.split(' ').value(1).toStdString());
        return out;
    }

    R& server;
    UtcZone zone;
    TMapProfile profile;
    TSiteTree tree;
    RecordingReporter reporter;
    int found = -1;
    TSpider spider{profile, tree, {}, {}, reporter, found};
};

const std::string kLeftOut = "Left out (address longer than 2,048 characters): ";

} // namespace

// The processor time this thread has spent, in nanoseconds: the parser,
// the address class, the fetcher's link handling and the crawl's queue all
// run on it; waiting for the network and other programs' load do not count.
qint64 ThreadNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

TEST(SpiderAddress, LinksOfOneAndFourMegabytesCostTimeInProportion) {
    // Working buffers of both sizes come from the heap, reused from run to
    // run: otherwise those of the larger size are mapped afresh for every
    // link and pay for each new page, which is not the work being compared.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    // Each unit has dot segments to remove and a reference to decode; the
    // address it resolves to is served, so that a link that got as far as
    // the site tree would make a folder item of every segment.
    const std::string unit = "a/./b/../&amp;/";
    auto crawl = [&](std::size_t bytes) {
        R server;
        const std::size_t units = bytes / unit.size();
        server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"/" + Repeated(unit, units) +
                                          "\">long</a>"))});
        server.Script("/" + Repeated("a/&/", units), {R::Plain(Page("<title>Deep</title>"))});
        TCrawl c(server);
        const qint64 start = ThreadNanoseconds();
        c.Run();
        const qint64 ns = ThreadNanoseconds() - start;
        EXPECT_EQ(c.Targets(), std::vector<std::string>{"/"});
        EXPECT_EQ(c.found, 1);
        return ns;
    };
    // The least of three runs each, after one that fills the heap, so that
    // a pause of the machine does not decide; linear work gives about 4,
    // work that grows with the square 16.
    crawl(4 << 20);
    qint64 one = INT64_MAX, four = INT64_MAX;
    for (int i = 0; i < 3; ++i) {
        one = std::min(one, crawl(1 << 20));
        four = std::min(four, crawl(4 << 20));
    }
    EXPECT_LT(double(four) / double(one), 12.0) << one << " ns, then " << four << " ns";
}

TEST(SpiderAddress, AddressesNoSitemapCanHoldAreNeitherQueuedNorWritten) {
    R server;
    const std::string base = server.Url("/");
    // Loc texts of exactly 2,048 characters and of one more; "&" is "&amp;"
    // in a loc, so the third is too long although it has fewer bytes.
    const std::string fits = base + std::string(2048 - base.size(), 'f');
    const std::string over = base + std::string(2049 - base.size(), 'o');
    const std::string amps = base + "x?" + std::string(500, '&');
    const std::string movedTo = base + std::string(3000, 'm');
    const std::string elsewhere = "http://elsewhere.example/" + std::string(3000, 'e');
    const std::string links = "<a href=\"" + fits + "\">f</a><a href=\"" + over +
                              "\">o</a><a href=\"" + amps + "\">a</a><a href=\"" + elsewhere +
                              "\">e</a><a href=\"moved.html\">m</a>";
    server.Script("/", {R::Plain(Page("<title>Home</title>" + links))});
    const std::string path = [](const std::string& a) { return a.substr(a.find('/', 7)); }(fits);
    server.Script(path, {R::Plain(Page("<title>Fits</title><a href=\"" + over + "\">o</a>"))});
    server.Script(
        "/moved.html",
        {R::Plain(HttpReply("301 Moved", "Location: " + QByteArray::fromStdString(movedTo) + "\r\n",
                            ""))});
    server.Script(movedTo.substr(movedTo.find('/', 7)), {R::Plain(Page("<title>Moved</title>"))});
    TCrawl c(server);
    c.Run();

    // The long links were never asked for; the page moved to a long address
    // was, and got no item.
    const std::vector<std::string> targets = c.Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), over.substr(base.size() - 1)), 0);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), amps.substr(base.size() - 1)), 0);
    EXPECT_EQ(c.Addresses(), (std::vector<std::string>{base, fits}));
    // Each logged once, however often it is met; a link to another host,
    // which would not be fetched anyway, is not.
    std::vector<std::string> leftOut;
    for (const std::string& line : c.reporter.log)
        if (line.starts_with(kLeftOut))
            leftOut.push_back(line);
    EXPECT_EQ(leftOut,
              (std::vector<std::string>{kLeftOut + over.substr(0, 100) + "\xE2\x80\xA6",
                                        kLeftOut + amps.substr(0, 100) + "\xE2\x80\xA6",
                                        kLeftOut + movedTo.substr(0, 100) + "\xE2\x80\xA6"}));

    // The sitemap of the crawl is valid.
    QTemporaryDir dir;
    TMapProfile out;
    out.setSpiderType(mstWebsite);
    out.setWebsite(base);
    out.setOutputFileName(dir.filePath("sitemap.html").toStdString());
    SitemapWriter writer(out);
    writer.write(c.tree);
    EXPECT_EQ(writer.leftOut(), 0u);
    const std::vector<std::string> files = writer.commit();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(ReadFileText(files[0]).find("<loc>" + fits + "</loc>"), std::string::npos);
    EXPECT_EQ(
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.9.xsd",
                                      QString::fromStdString(files[0])}),
        0);
}

TEST(SpiderAddress, AStartAddressTooLongForASitemapEndsTheCrawlUnfetched) {
    R server;
    const std::string start = "/" + std::string(3000, 's');
    server.Script(start, {R::Plain(Page("<title>Start</title>"))});
    TCrawl c(server);
    c.Run(start);
    EXPECT_TRUE(server.requests.empty());
    EXPECT_TRUE(c.tree.isEmpty());
    EXPECT_EQ(c.spider.StartPageError(),
              kLeftOut + server.Url(start).substr(0, 100) + "\xE2\x80\xA6");
}

TEST(SpiderAddress, ASiteOnAnIPv6AddressIsCrawled) {
    R server(R::Loopback::IPv6);
    if (!server.Listening())
        GTEST_SKIP() << "no IPv6 loopback here";
    const std::string base = server.Url("/");
    ASSERT_EQ(base.rfind("http://[::1]:", 0), 0u);
    server.Script("/", {R::Plain(Page("<title>Home</title><a href=\"a.html\">a</a>"
                                      "<a href=\"" +
                                      base + "docs/b.html\">b</a>"))});
    server.Script("/a.html", {R::Plain(Page("<title>A</title>"))});
    server.Script("/docs/b.html", {R::Plain(Page("<title>B</title><a href=\"../a.html\">a</a>"))});
    TCrawl c(server);
    c.Run();
    EXPECT_EQ(c.spider.StartPageError(), "");
    EXPECT_EQ(c.Targets(), (std::vector<std::string>{"/", "/a.html", "/docs/b.html"}));
    EXPECT_EQ(DumpTree(c.tree, base), "[0] Home | P/ | P/ | folder | " + std::string(kNowStamp) +
                                          "\n"
                                          "  [1] A | P/a.html | P/ | " +
                                          kNowStamp +
                                          "\n"
                                          "  [0] docs | P/docs/ | P/docs/ | folder | " +
                                          kNowStamp +
                                          "\n"
                                          "    [1] B | P/docs/b.html | P/docs/ | " +
                                          kNowStamp + "\n");
    for (const QByteArray& head : server.requests)
        EXPECT_TRUE(head.contains("\r\nHost: [::1]:" + QByteArray::number(server.Port()) + "\r\n"))
            << head.toStdString();
}
