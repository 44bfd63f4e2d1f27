// The fetcher against a scripted server, for what a real server will not do
// on request: lies, stalls, drops and endless answers. Every fetch ends, with
// the outcome code the crawl reads, and holds no more than a page's worth of
// memory.
#include "FileFetcher.h"
#include "ScriptedHttpServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace tessaly;
using R = ScriptedHttpServer;

namespace {

QByteArray Ok(const QByteArray& body, const QByteArray& type = "text/html") {
    return HttpReply("200 OK", "Content-Type: " + type + "\r\n", body);
}

long PeakKilobytes() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

class FetcherFailures : public ::testing::Test {
  protected:
    void SetUp() override {
        fetcher.ConnectTimeout = 2000;
        fetcher.ReceiveTimeout = 500;
        fetcher.OnStatusMessage = [this](TFileFetcher*, const std::string& text) {
            status.push_back(text);
        };
    }
    // Fetches and returns the milliseconds it took.
    qint64 Fetch(const std::string& path) {
        status.clear();
        QElapsedTimer t;
        t.start();
        fetcher.FetchPage(server.Url(path));
        return t.elapsed();
    }
    ScriptedHttpServer server;
    TFileFetcher fetcher;
    std::vector<std::string> status;
};

} // namespace

TEST_F(FetcherFailures, EachEndsWithItsOutcome) {
    R::Reply dropped =
        R::Plain(HttpReply("200 OK", "Content-Type: text/html\r\nContent-Length: 1000\r\n",
                           "<title>Cut</title>", false),
                 true);
    R::Reply silent;
    silent.silent = true;
    server.Script("/dropped", {dropped});
    server.Script("/silent", {silent});
    server.Script("/auth",
                  {R::Plain(HttpReply("401 Unauthorized",
                                      "WWW-Authenticate: Basic realm=\"Members\"\r\nContent-Type: "
                                      "text/html\r\n",
                                      "<title>Denied</title>"))});
    server.Script("/loop", {R::Plain(HttpReply("302 Found", "Location: /loop\r\n", ""))});
    server.Script("/gone.bin",
                  {R::Plain(HttpReply("404 Not Found", "Content-Type: application/octet-stream\r\n",
                                      "nothing"))});
    static const char kPng[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR<title>\xff\xfe</tit";
    const QByteArray png(kPng, sizeof kPng - 1);
    server.Script("/photo", {R::Plain(Ok(png + QByteArray(5000, '\0')))});

    struct Case {
        const char* path;
        int response;
        bool parsed;
        std::string lastStatus;
    };
    const Case cases[] = {
        {"/dropped", -3, false, "Connection with remote host lost."},
        {"/silent", 0, false, "Host Unreachable."},
        {"/auth", 401, false, "401: Unauthorized"},
        {"/loop", 302, false, "Done, but Interrupted."}, // no content type
        // An error whose body is not wanted is still that error.
        {"/gone.bin", 404, false, "Done, but Interrupted."},
        // Binary bytes called HTML are parsed as such, harmlessly.
        {"/photo", 200, true, "Successfully Downloaded File: 5030 bytes."},
    };
    for (const auto& c : cases) {
        const qint64 ms = Fetch(c.path);
        EXPECT_LT(ms, 5000) << c.path;
        EXPECT_EQ(fetcher.Response, c.response) << c.path;
        EXPECT_EQ(fetcher.Parsed, c.parsed) << c.path;
        EXPECT_EQ(fetcher.LinkCount(), 0) << c.path;
        ASSERT_FALSE(status.empty()) << c.path;
        EXPECT_EQ(status.back(), c.lastStatus) << c.path;
    }
    Fetch("/auth");
    EXPECT_TRUE(fetcher.PasswordRequired);
    EXPECT_NE(std::find(status.begin(), status.end(), "Password Required: Members"), status.end());
    Fetch("/loop");
    EXPECT_TRUE(fetcher.Redirected);
    EXPECT_EQ(fetcher.FinalURL, server.Url("/loop"));
}

TEST_F(FetcherFailures, EndlessBodyIsReadUpToTheLimitAndParsed) {
    R::Reply endless;
    endless.bytes = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<title>Endless</title>"
                    "<a href=\"first.html\">first</a>";
    endless.endless = true;
    server.Script("/endless", {endless});
    const long before = PeakKilobytes();
    const qint64 ms = Fetch("/endless");
    EXPECT_LT(ms, 20000);
    EXPECT_EQ(fetcher.Response, 200);
    EXPECT_EQ(static_cast<std::int64_t>(fetcher.PageContent.size()),
              TFileFetcher::DefaultMaxPageSize);
    EXPECT_TRUE(fetcher.Parsed);
    EXPECT_EQ(fetcher.Title, "Endless");
    EXPECT_EQ(fetcher.FollowList(), std::vector<std::string>{server.Url("/first.html")});
    // A page's worth of memory, a few times over at most.
    EXPECT_LT(PeakKilobytes() - before, 6 * 15 * 1024);
}

TEST_F(FetcherFailures, CancelEndsTheWaitAtOnceAndTheNextFetchWorks) {
    R::Reply silent;
    silent.silent = true;
    server.Script("/silent", {silent});
    server.Script("/page", {R::Plain(Ok("<title>Next</title>"))});
    fetcher.ReceiveTimeout = 30000;
    QTimer::singleShot(100, [this] {
        ASSERT_TRUE(fetcher.Busy());
        fetcher.CancelFetch();
    });
    EXPECT_LT(Fetch("/silent"), 2000);
    EXPECT_FALSE(fetcher.Busy());
    EXPECT_LT(Fetch("/page"), 5000);
    EXPECT_EQ(fetcher.Response, 200);
    EXPECT_EQ(fetcher.Title, "Next");
}

TEST_F(FetcherFailures, ClosedPortIsHostUnreachable) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/";
    probe.close();
    fetcher.FetchPage(url);
    EXPECT_EQ(fetcher.Response, 0);
    EXPECT_EQ(status.back(), "Host Unreachable.");
    EXPECT_EQ(fetcher.URL, url);
}

TEST_F(FetcherFailures, ACookieTheSiteSetsGoesBackWithTheNextPage) {
    server.Script("/login", {R::Plain(HttpReply("200 OK",
                                                "Content-Type: text/html\r\n"
                                                "Set-Cookie: session=abc; Path=/\r\n",
                                                "<title>In</title>"))});
    server.Script("/next", {R::Plain(Ok("<title>Next</title>"))});
    Fetch("/login");
    Fetch("/next");
    EXPECT_EQ(fetcher.Title, "Next");
    ASSERT_FALSE(server.requests.empty());
    EXPECT_TRUE(server.requests.back().contains("\r\nCookie: session=abc\r\n"))
        << server.requests.back().toStdString();
}

TEST(FetcherCookieJar, FetchesOfOneJarShareTheirCookies) {
    // The cookie arrives on one connection's fetch and goes back with a
    // fetch by another fetcher of the same jar: the slow page holds a second
    // connection while the cookie arrives, and is the one taken next.
    ScriptedHttpServer server;
    R::Reply slow = R::Plain(Ok("<title>Slow</title>"));
    slow.trickleFrom = 0;
    slow.trickleEveryMs = 2;
    server.Script("/slow", {slow});
    server.Script("/login", {R::Plain(HttpReply("200 OK",
                                                "Content-Type: text/html\r\n"
                                                "Set-Cookie: session=abc; Path=/\r\n",
                                                "<title>In</title>"))});
    server.Script("/next", {R::Plain(Ok("<title>Next</title>"))});
    TFileFetcher slowFetcher, loginFetcher, nextFetcher;
    const auto jar = std::make_shared<THttpCookieJar>();
    for (TFileFetcher* fetcher : {&slowFetcher, &loginFetcher, &nextFetcher})
        fetcher->CookieJar = jar;
    slowFetcher.BeginFetch(server.Url("/slow"));
    loginFetcher.BeginFetch(server.Url("/login"));
    loginFetcher.WaitForOutcome();
    slowFetcher.WaitForOutcome();
    EXPECT_EQ(server.connections, 2);
    nextFetcher.BeginFetch(server.Url("/next"));
    nextFetcher.WaitForOutcome();
    nextFetcher.EndFetch();
    EXPECT_EQ(nextFetcher.Response, 200);
    ASSERT_FALSE(server.requests.empty());
    EXPECT_TRUE(server.requests.back().contains("\r\nCookie: session=abc\r\n"))
        << server.requests.back().toStdString();
}
