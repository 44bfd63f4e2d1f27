// The website search through the real window: the status page while the
// crawl runs, Cancel, the results page and Save.
#include "MainWindowFixture.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTimer>

using namespace tessaly;
using namespace tessaly::test;

namespace {

// A site whose pages each take about 150 ms to arrive, so the status page
// can be watched; "/stall.html" never answers.
std::unique_ptr<ScriptedHttpServer> SlowSite() {
    auto server = std::make_unique<ScriptedHttpServer>();
    auto slow = [](const QByteArray& body) {
        ScriptedHttpServer::Reply r =
            ScriptedHttpServer::Plain(HttpReply("200 OK", "Content-Type: text/html\r\n", body));
        r.trickleFrom = r.bytes.size() - 5;
        r.trickleEveryMs = 30;
        return r;
    };
    server->Script("/", {slow("<title>Home</title><a href=\"a.html\">A</a>"
                              "<a href=\"docs/b.html\">B</a><a href=\"stall.html\">S</a>"
                              "<a href=\"c.html\">C</a>")});
    server->Script("/a.html", {slow("<title>Page A</title>")});
    server->Script("/docs/b.html", {slow("<title>Page B</title>")});
    server->Script("/c.html", {slow("<title>Page C</title>")});
    ScriptedHttpServer::Reply stall;
    stall.silent = true;
    server->Script("/stall.html", {stall});
    return server;
}

struct Seen {
    QString page, header, next, cancel, count, file;
    bool nextEnabled, backEnabled;
    bool operator==(const Seen&) const = default;
};

class SpiderSearch : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        server = SlowSite();
        open();
        find<QLineEdit>("editWebsite")->setText(QString::fromStdString(server->Url("/")));
        // What the window shows, noted whenever it changes.
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [this] {
            Seen s{find<QStackedWidget>("pcMain")->currentWidget()->objectName(),
                   text("lblHeader"),
                   button("btnNext")->text(),
                   button("btnCancel")->text(),
                   text("lblFileCount"),
                   text("lblFileFound"),
                   button("btnNext")->isEnabled(),
                   button("btnBack")->isEnabled()};
            if (seen.empty() || !(seen.back() == s))
                seen.push_back(s);
            if (onWatch)
                onWatch(s);
        });
        watch.start();
    }
    std::string url(const std::string& path) { return server->Url(path); }

    std::unique_ptr<ScriptedHttpServer> server;
    QTimer watch;
    std::vector<Seen> seen;
    std::function<void(const Seen&)> onWatch;
};

} // namespace

TEST_F(SpiderSearch, CancelDuringAFetchShowsTheResultsFoundSoFar) {
    // Cancel is pressed while the stalled page is being fetched.
    onWatch = [this](const Seen& s) {
        if (s.file == QString::fromStdString(url("/stall.html")) && s.page == "tsStatus") {
            onWatch = nullptr;
            click("btnCancel");
        }
    };
    click("btnNext");
    watch.stop();
    // While the crawl ran: the status page, counting, Next and Back off.
    std::vector<QString> counts;
    for (const Seen& s : seen)
        if (s.page == "tsStatus") {
            EXPECT_EQ(s.header, "Processing Files");
            EXPECT_EQ(s.cancel, "&Cancel");
            EXPECT_FALSE(s.nextEnabled);
            if (counts.empty() || counts.back() != s.count)
                counts.push_back(s.count);
        }
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.back(), "4");
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    // Then the results page with what was found before the stalled page.
    EXPECT_EQ(find<QStackedWidget>("pcMain")->currentWidget()->objectName(), "tsResults");
    EXPECT_EQ(window->FoundCount, 4);
    EXPECT_EQ(text("lblTotalFiles"), "Total Files Found: 4");
    EXPECT_EQ(find<QPlainTextEdit>("memoFiles")->toPlainText().toStdString(),
              url("/a.html") + "\n" + url("/docs/b.html") + "\nTotal Files: 4");
    std::vector<std::string> texts;
    window->tree().forEach([&](TSiteTree::Node& n) { texts.push_back(n.data.LinkText); });
    EXPECT_EQ(texts, (std::vector<std::string>{"Home", "Page A", "docs", "Page B"}));
    EXPECT_TRUE(find<QTreeView>("tvMap")->isExpanded(
        window->tree().indexOf(window->tree().firstItem()->children[1].get())));
    EXPECT_TRUE(button("btnBack")->isEnabled());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SpiderSearch, ClosingTheWindowDuringAFetchEndsTheSearch) {
    onWatch = [this](const Seen& s) {
        if (s.file == QString::fromStdString(url("/stall.html")) && s.page == "tsStatus") {
            onWatch = nullptr;
            prompts.answer(No); // the close query: leave the profile unsaved
            window->close();
        }
    };
    QElapsedTimer took;
    took.start();
    click("btnNext");
    // The stalled page is given up at once, not after the fetch's time-out,
    // and nothing more is fetched or written once the window is gone.
    EXPECT_LT(took.elapsed(), 10000);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->FoundCount, 4);
    EXPECT_NE(button("btnNext")->text(), "Done");
}

TEST_F(SpiderSearch, FinishedCrawlIsSavedAsPageAndSitemap) {
    server->Script("/", {ScriptedHttpServer::Plain(
                            HttpReply("200 OK", "Content-Type: text/html\r\n",
                                      "<title>Home</title><a href=\"a.html\">A</a><a "
                                      "href=\"docs/b.html\">B</a><a href=\"c.html\">C</a>"))});
    click("btnNext");
    EXPECT_EQ(find<QStackedWidget>("pcMain")->currentWidget()->objectName(), "tsResults");
    EXPECT_EQ(window->FoundCount, 4);
    EXPECT_EQ(window->tree().count(), 5u);
    EXPECT_EQ(text("lblStatusTitle"), "Search Complete! Press Next to View Results.");
    EXPECT_EQ(text("lblLookingIn"), "");
    prompts.messages.clear();
    click("btnNext");
    EXPECT_EQ(button("btnNext")->text(), "Done");
    const std::string xml = ReadFileText(path("Desktop/sitemap.xml"));
    for (const char* page : {"/", "/a.html", "/docs/b.html", "/c.html"})
        EXPECT_NE(xml.find("<loc>" + url(page) + "</loc>"), std::string::npos) << page;
    // The server sent no Last-Modified dates: no page claims one.
    EXPECT_EQ(xml.find("<lastmod>"), std::string::npos) << xml;
    EXPECT_NE(ReadFileText(path("Desktop/sitemap.html")).find(">Page C</a>"), std::string::npos);
    // A file output ends with "Files to Upload" (the fixture closes it).
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(reqFilesShown, 1);
}

// A crawl stopped by the profile's page limit is a finished search: the
// results page says which limit stopped it, and Save writes the maps of what
// was found without a word more.
TEST_F(SpiderSearch, APageLimitEndsTheSearchAsAFinishedOne) {
    server->Script("/", {ScriptedHttpServer::Plain(
                            HttpReply("200 OK", "Content-Type: text/html\r\n",
                                      "<title>Home</title><a href=\"a.html\">A</a><a "
                                      "href=\"docs/b.html\">B</a><a href=\"c.html\">C</a>"))});
    window->profile().setMaxPages(2);
    click("btnNext");
    EXPECT_EQ(find<QStackedWidget>("pcMain")->currentWidget()->objectName(), "tsResults");
    EXPECT_EQ(window->FoundCount, 2);
    EXPECT_EQ(text("lblSearchNotes"), "Stopped at the page limit (2)");
    EXPECT_TRUE(find<QLabel>("lblSearchNotes")->isVisible());
    prompts.messages.clear();
    click("btnNext");
    EXPECT_EQ(button("btnNext")->text(), "Done");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_NE(ReadFileText(path("Desktop/sitemap.xml")).find("<loc>" + url("/") + "</loc>"),
              std::string::npos);

    // The next search without a limit says nothing of one.
    window->profile().setMaxPages(0);
    click("btnBack");
    click("btnBack");
    click("btnNext");
    EXPECT_EQ(text("lblSearchNotes"), "");
    EXPECT_FALSE(find<QLabel>("lblSearchNotes")->isVisible());
}

// What the crawl left out shows on the results page and in the tree: the
// noindex page greyed and in neither map, the page robots.txt keeps out
// neither requested nor an item.
TEST_F(SpiderSearch, WhatTheCrawlLeftOutIsCountedAndGreyed) {
    server->Script("/robots.txt",
                   {ScriptedHttpServer::Plain(HttpReply("200 OK", "Content-Type: text/plain\r\n",
                                                        "User-agent: *\nDisallow: /docs/\n"))});
    server->Script("/", {ScriptedHttpServer::Plain(
                            HttpReply("200 OK", "Content-Type: text/html\r\n",
                                      "<title>Home</title><a href=\"a.html\">A</a><a "
                                      "href=\"docs/b.html\">B</a><a href=\"c.html\">C</a>"))});
    server->Script("/c.html",
                   {ScriptedHttpServer::Plain(HttpReply(
                       "200 OK", "Content-Type: text/html\r\n",
                       "<html><head><meta name=\"robots\" content=\"NoIndex\"><title>Page "
                       "C</title></head></html>"))});
    click("btnNext");
    EXPECT_EQ(text("lblSearchNotes"), "Left out: 1 blocked by robots.txt, 1 noindex");
    TSiteTree::Node* c = nullptr;
    window->tree().forEach([&](TSiteTree::Node& n) {
        EXPECT_EQ(n.data.LinkURL.find("/docs/b.html"), std::string::npos);
        if (n.data.LinkURL == url("/c.html"))
            c = &n;
    });
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->data.LeftOut, TLeftOut::NoIndex);
    EXPECT_TRUE(window->tree().indexOf(c).data(Qt::ForegroundRole).isValid());
    click("btnNext");
    const std::string xml = ReadFileText(path("Desktop/sitemap.xml"));
    EXPECT_EQ(xml.find("c.html"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<loc>" + url("/a.html") + "</loc>"), std::string::npos) << xml;
    EXPECT_EQ(ReadFileText(path("Desktop/sitemap.html")).find("Page C"), std::string::npos);
}
