// The client against a scripted server: outcome events and their order,
// the requests on the wire, authentication, stops and waits.

#include "HttpTestSupport.h"
#include "ScriptedHttpServer.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

using Events = std::vector<std::string>;

namespace {

QByteArray Ok(const QByteArray& body, const QByteArray& type = "text/html") {
    return HttpReply("200 OK", "Content-Type: " + type + "\r\n", body);
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A port nothing listens on.
quint16 ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class HttpClientScripted : public ::testing::Test {
  protected:
    void SetUp() override {
        client.SetAgent("");
        client.Timeouts().ConnectTimeout = 2000;
        client.Timeouts().ReceiveTimeout = 3000;
    }
    void Fetch(const std::string& url) {
        client.SetURL(url);
        ASSERT_TRUE(client.BeginDownload());
        ASSERT_TRUE(WaitForOutcome(rec)) << "no outcome; events so far: " << rec.events.size();
    }

    ScriptedHttpServer server;
    THttpClient client;
    HttpRecorder rec{client};
};

struct OutcomeCase {
    const char* name;
    std::vector<ScriptedHttpServer::Reply> replies;
    Events expected;
};

} // namespace

TEST_F(HttpClientScripted, Outcomes_ArriveInOrderOnTheUiThread) {
    using R = ScriptedHttpServer;
    R::Reply trickleCut =
        R::Plain("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", true);
    trickleCut.trickleFrom = trickleCut.bytes.size() - 10;
    trickleCut.trickleEveryMs = 5;
    const std::vector<OutcomeCase> cases = {
        {"page", {R::Plain(Ok("<p>hello</p>"))}, {"HeaderInfo", "Done"}},
        {"not found",
         {R::Plain(HttpReply("404 Not Found", "Content-Type: text/html\r\n",
                             "<html><body>missing</body></html>"))},
         {"HeaderInfo", "AnyError", "HTTPError 404"}},
        {"body shorter than announced",
         {R::Plain("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort", true)},
         {"HeaderInfo", "AnyError", "ConnLost"}},
        {"dropped after the headers",
         {R::Plain("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 50\r\n\r\n",
                   true)},
         {"HeaderInfo", "AnyError", "ConnLost"}},
        {"dropped while trickling", {trickleCut}, {"HeaderInfo", "AnyError", "ConnLost"}},
        {"password without handler",
         {R::Plain(
             HttpReply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"Secret\"\r\n", "no"))},
         {"HeaderInfo", "AnyError", "HTTPError 401"}},
        {"no length, body until close",
         {R::Plain("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil close", true)},
         {"HeaderInfo", "Done"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = "/case" + std::to_string(&c - cases.data());
        server.Script(path, c.replies);
        rec.events.clear();
        Fetch(server.Url(path));
        EXPECT_EQ(rec.events, c.expected);
        EXPECT_EQ(rec.offUiThread, 0);
        EXPECT_FALSE(client.TransferActive());
    }
}

TEST_F(HttpClientScripted, Done_HandsOverBodyTypeAndSize) {
    server.Script("/p",
                  {ScriptedHttpServer::Plain(Ok("<p>hello</p>", "text/html; charset=utf-8"))});
    Fetch(server.Url("/p"));
    EXPECT_EQ(rec.body, "<p>hello</p>");
    EXPECT_EQ(rec.fileSize, 12);
    EXPECT_EQ(rec.contentType, "text/html; charset=utf-8");
    EXPECT_EQ(rec.headerLength, 12);
    EXPECT_EQ(client.HTTPStatus(), 200);
    EXPECT_TRUE(client.Succeeded());
}

TEST_F(HttpClientScripted, NotFound_BodyGoesToTheErrorEvent) {
    server.Script("/gone", {ScriptedHttpServer::Plain(HttpReply(
                               "404 Not Found", "Content-Type: text/html\r\n", "<h1>404</h1>"))});
    Fetch(server.Url("/gone"));
    EXPECT_EQ(rec.status, 404);
    EXPECT_EQ(rec.body, "<h1>404</h1>");
}

TEST_F(HttpClientScripted, HostUnreachable_ForClosedPortAndUnknownHost) {
    for (const std::string& url :
         {"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/",
          std::string("http://no-such-host.invalid/"), std::string("ftp://127.0.0.1/file")}) {
        SCOPED_TRACE(url);
        rec.events.clear();
        Fetch(url);
        EXPECT_EQ(rec.events, (Events{"AnyError", "HostUnreachable"}));
        EXPECT_EQ(rec.offUiThread, 0);
    }
}

TEST_F(HttpClientScripted, Redirects_AreReportedAndFollowed) {
    using R = ScriptedHttpServer;
    server.Script("/r1", {R::Plain(HttpReply("301 Moved", "Location: /r2\r\n", "moved"))});
    server.Script(
        "/r2", {R::Plain(HttpReply(
                   "302 Found",
                   "Location: " + QByteArray::fromStdString(server.Url("/final")) + "\r\n", ""))});
    server.Script("/final", {R::Plain(Ok("arrived"))});
    Fetch(server.Url("/r1"));
    EXPECT_EQ(rec.events, (Events{"Redirected", "Redirected", "HeaderInfo", "Done"}));
    EXPECT_EQ(rec.redirects, (std::vector<std::string>{server.Url("/r2"), server.Url("/final")}));
    EXPECT_EQ(rec.body, "arrived");
}

TEST_F(HttpClientScripted, RedirectLoop_EndsWithTheRedirectStatus) {
    server.Script("/loop",
                  {ScriptedHttpServer::Plain(HttpReply("302 Found", "Location: /loop\r\n", ""))});
    Fetch(server.Url("/loop"));
    Events expected(THttpClient::MaxRedirects, "Redirected");
    expected.insert(expected.end(), {"HeaderInfo", "AnyError", "HTTPError 302"});
    EXPECT_EQ(rec.events, expected);
}

TEST_F(HttpClientScripted, NoAutoRedirect_GivesTheRedirectAnswer) {
    server.Script("/r",
                  {ScriptedHttpServer::Plain(HttpReply("302 Found", "Location: /x\r\n", ""))});
    client.SetInternetOptions(SetOf(ioKeepConnection, ioNoAutoRedirect));
    Fetch(server.Url("/r"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "AnyError", "HTTPError 302"}));
    EXPECT_EQ(rec.location, "/x");
}

TEST_F(HttpClientScripted, HeaderHandlerClearingContinue_EndsWithDoneInterruptedOnly) {
    using R = ScriptedHttpServer;
    server.Script("/img.png", {R::Plain(Ok(QByteArray(20000, 'x'), "image/png"))});
    rec.onHeader = [this](bool& cont) { cont = rec.contentType.rfind("text/", 0) == 0; };
    Fetch(server.Url("/img.png"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "DoneInterrupted"}));
    EXPECT_TRUE(rec.progressRead.empty()) << "the body was read after all";
    EXPECT_EQ(rec.contentType, "image/png");
}

// The outcome handler may start the next transfer itself (the client is
// free again by then); it runs to its own outcome.
TEST_F(HttpClientScripted, OutcomeHandler_StartsTheNextTransfer) {
    using R = ScriptedHttpServer;
    server.Script("/img.png", {R::Plain(Ok(QByteArray(2000, 'x'), "image/png"))});
    server.Script("/p", {R::Plain(Ok("<p>next</p>"))});
    rec.onHeader = [this](bool& cont) { cont = rec.contentType.rfind("text/", 0) == 0; };
    bool started = false;
    client.OnDoneInterrupted = [&](TCustomHttpClient*) {
        rec.Note("DoneInterrupted");
        client.SetURL(server.Url("/p"));
        started = client.BeginDownload();
    };
    Fetch(server.Url("/img.png"));
    ASSERT_TRUE(started);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.events.size() == 4; }, 5000));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "DoneInterrupted", "HeaderInfo", "Done"}));
    EXPECT_EQ(rec.body, "<p>next</p>");
    EXPECT_EQ(rec.offUiThread, 0);
}

TEST_F(HttpClientScripted, Request_CarriesTheClientsHeaders) {
    server.Script("/q?a=1", {ScriptedHttpServer::Plain(Ok("x"))});
    client.SetAddHeaders({"X-One: 1", "X-Two: 2"});
    client.SetReferer("http://example.org/from");
    client.SetCacheOptions(SetOf(coAlwaysReload, coPragmaNoCache));
    client.SetURL("127.0.0.1:" + std::to_string(server.Port()) + "/q?a=1"); // no scheme
    ASSERT_TRUE(client.BeginDownload(10, 20));
    ASSERT_TRUE(WaitForOutcome(rec));
    ASSERT_EQ(server.requests.size(), 1u);
    const QByteArray& req = server.requests[0];
    EXPECT_TRUE(req.startsWith("GET /q?a=1 HTTP/1.1\r\n")) << req.toStdString();
    EXPECT_TRUE(req.contains("\r\nAccept: text/html, */*\r\n"));
    EXPECT_TRUE(req.contains("\r\nX-One: 1\r\nX-Two: 2\r\n"));
    EXPECT_TRUE(req.contains("\r\nRANGE: bytes=10-20\r\n"));
    EXPECT_TRUE(req.contains("\r\nReferer: http://example.org/from\r\n"));
    EXPECT_TRUE(req.contains("\r\nPragma: no-cache\r\n"));
    // An empty agent text sends no agent header at all.
    EXPECT_FALSE(req.toLower().contains("user-agent"));
}

TEST_F(HttpClientScripted, Request_RangeAndPostFromProperties) {
    server.Script("/form", {ScriptedHttpServer::Plain(Ok("posted"))});
    client.Range().StartRange = 5;
    client.SetPOSTData("a=1&b=2");
    client.SetAgent("Probe/1.0");
    Fetch(server.Url("/form"));
    ASSERT_EQ(server.requests.size(), 1u);
    const QByteArray& req = server.requests[0];
    EXPECT_TRUE(req.startsWith("POST /form HTTP/1.1\r\n"));
    EXPECT_TRUE(req.contains("\r\nRANGE: bytes=5-\r\n"));
    EXPECT_TRUE(req.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
    EXPECT_TRUE(req.contains("\r\nUser-Agent: Probe/1.0\r\n"));
    EXPECT_TRUE(req.endsWith("\r\n\r\na=1&b=2"));
}

TEST_F(HttpClientScripted, PasswordRequest_HandlerSuppliesCredentialsAndTriesAgain) {
    using R = ScriptedHttpServer;
    server.Script(
        "/secret",
        {R::Plain(HttpReply("401 Unauthorized", "WWW-Authenticate: Basic realm=\"Secret Area\"\r\n",
                            "denied")),
         R::Plain(Ok("inside"))});
    std::vector<std::string> realms;
    client.OnPasswordRequest = [&](TCustomHttpClient* c, const std::string& realm, bool& tryAgain) {
        rec.Note("PasswordRequest");
        realms.push_back(realm);
        c->SetUsername("ann");
        c->SetPassword("s3cret");
        tryAgain = true;
    };
    Fetch(server.Url("/secret"));
    EXPECT_EQ(rec.events, (Events{"PasswordRequest", "HeaderInfo", "Done"}));
    EXPECT_EQ(realms, (std::vector<std::string>{"Secret Area"}));
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_TRUE(server.requests[1].contains("Authorization: Basic YW5uOnMzY3JldA=="));
    EXPECT_EQ(rec.body, "inside");
}

TEST_F(HttpClientScripted, PasswordRequest_LeftAloneEndsWith401) {
    server.Script("/secret", {ScriptedHttpServer::Plain(HttpReply(
                                 "401 Unauthorized", "WWW-Authenticate: Basic\r\n", "denied"))});
    std::string realm = "unset";
    client.OnPasswordRequest = [&](TCustomHttpClient*, const std::string& r, bool&) { realm = r; };
    Fetch(server.Url("/secret"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "AnyError", "HTTPError 401"}));
    EXPECT_EQ(realm, "");
    EXPECT_EQ(server.requests.size(), 1u);
}

class HttpClientProxy407 : public HttpClientScripted {
  protected:
    void SetUp() override {
        HttpClientScripted::SetUp();
        client.Proxy().AccessType = atUseProxy;
        client.Proxy().ProxyServer = "127.0.0.1";
        client.Proxy().ProxyPort = server.Port();
        client.Proxy().ProxyBypass = "";
        client.Proxy().ProxyUsername = "px";
        client.Proxy().ProxyPassword = "one";
        using R = ScriptedHttpServer;
        R::Reply denied = R::Plain(HttpReply("407 Proxy Authentication Required",
                                             "Proxy-Authenticate: Basic realm=\"p\"\r\n", "no"));
        server.Script("http://site.test/page", {denied, denied, R::Plain(Ok("via proxy"))});
    }
};

TEST_F(HttpClientProxy407, RepeatedWithoutHandler_OneRetryThen407) {
    Fetch("http://site.test/page");
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "AnyError", "HTTPError 407"}));
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_FALSE(server.requests[0].contains("Proxy-Authorization"));
    EXPECT_TRUE(server.requests[1].contains("Proxy-Authorization: Basic cHg6b25l")); // px:one
}

TEST_F(HttpClientProxy407, HandlerChangesCredentialsAndTriesAgain) {
    client.OnProxyAuthenticationRequest = [&](TCustomHttpClient*, std::string& user,
                                              std::string& password, bool& tryAgain) {
        rec.Note("ProxyAuthenticationRequest");
        EXPECT_EQ(user, "px");
        password = "two";
        tryAgain = true;
    };
    Fetch("http://site.test/page");
    EXPECT_EQ(rec.events, (Events{"ProxyAuthenticationRequest", "HeaderInfo", "Done"}));
    ASSERT_EQ(server.requests.size(), 3u);
    EXPECT_TRUE(server.requests[2].contains("Proxy-Authorization: Basic cHg6dHdv")); // px:two
    EXPECT_EQ(client.Proxy().ProxyPassword, "two");
    EXPECT_EQ(rec.offUiThread, 0);
}

class HttpClientSlow : public HttpClientScripted {
  protected:
    void SetUp() override {
        HttpClientScripted::SetUp();
        ScriptedHttpServer::Reply slow = ScriptedHttpServer::Plain(Ok(QByteArray(400, 'x')));
        slow.trickleFrom = slow.bytes.size() - 400;
        slow.trickleEveryMs = 20;
        server.Script("/slow", {slow});
        server.Script("/fast", {ScriptedHttpServer::Plain(Ok("fast"))});
        client.SetURL(server.Url("/slow"));
    }
    // The next transfer runs to its end, so a stray event of the stopped
    // one would have shown up by then.
    void FetchAnother() {
        rec.events.clear();
        rec.onProgress = nullptr;
        Fetch(server.Url("/fast"));
        EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Done"}));
    }
};

TEST_F(HttpClientSlow, SecondBeginDownload_IsRefusedWhileOneRuns) {
    ASSERT_TRUE(client.BeginDownload());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rec.progressRead.empty(); }, 3000));
    client.SetURL(server.Url("/fast"));
    EXPECT_FALSE(client.BeginDownload());
    EXPECT_TRUE(client.TransferActive());
    client.CancelTransfer(false, false);
    ASSERT_TRUE(WaitForOutcome(rec));
    EXPECT_EQ(server.requests.size(), 1u);
}

TEST_F(HttpClientSlow, CancelWithoutWaiting_EndsWithAbortedOnly) {
    rec.onProgress = [this] {
        if (rec.progressRead.size() == 3)
            client.CancelTransfer(false, false);
    };
    ASSERT_TRUE(client.BeginDownload());
    ASSERT_TRUE(WaitForOutcome(rec));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Aborted"}));
    EXPECT_EQ(rec.progressRead.size(), 3u) << "blocks were read after the stop";
    EXPECT_EQ(rec.offUiThread, 0);
    FetchAnother();
}

TEST_F(HttpClientSlow, CancelImmediately_AbortsOnTheCallingThreadAndDeletesTheFile) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("out.bin").toStdString();
    client.SetOutputFileName(file);
    ASSERT_TRUE(client.BeginDownload());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.progressRead.size() >= 2; }, 3000));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(file)));
    client.CancelTransfer(true, true);
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Aborted"}));
    EXPECT_FALSE(client.TransferActive());
    client.SetOutputFileName("");
    FetchAnother();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(file)));
}

TEST_F(HttpClientSlow, WaitTimeout_KillsTheWorkerWhenTheHandlerAgrees) {
    server.Script("/silent", {ScriptedHttpServer::Reply{"", false, -1, 20, true}});
    client.SetURL(server.Url("/silent"));
    client.SetWaitThread(true);
    client.SetWaitTimeout(150);
    client.OnProgress = nullptr;
    int asked = 0;
    client.OnWaitTimeoutExpired = [&](TCustomHttpClient*, bool& terminate) {
        rec.Note("WaitTimeoutExpired");
        EXPECT_TRUE(terminate);
        terminate = ++asked >= 2; // let it go on once
    };
    EXPECT_FALSE(client.BeginDownload());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(rec.events, (Events{"WaitTimeoutExpired", "WaitTimeoutExpired", "Aborted"}));
    client.SetWaitThread(false);
    FetchAnother();
}

TEST_F(HttpClientSlow, WaitThread_ReturnsAfterTheOutcome) {
    client.SetURL(server.Url("/fast"));
    ASSERT_TRUE(client.BeginDownload(0, 0, true));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Done"}));
    EXPECT_FALSE(client.TransferActive());
}

TEST_F(HttpClientSlow, ReceiveTimeout_EndsASilentWait) {
    server.Script("/silent", {ScriptedHttpServer::Reply{"", false, -1, 20, true}});
    client.Timeouts().ReceiveTimeout = 200;
    Fetch(server.Url("/silent"));
    EXPECT_EQ(rec.events, (Events{"AnyError", "HostUnreachable"}));
}

TEST_F(HttpClientScripted, Progress_OneEventPerBlockWithItsValues) {
    server.Script("/big", {ScriptedHttpServer::Plain(Ok(QByteArray(10000, 'b')))});
    client.SetTransferBufferSize(4096);
    Fetch(server.Url("/big"));
    ASSERT_FALSE(rec.progressRead.empty());
    std::int64_t previous = 0;
    for (size_t i = 0; i < rec.progressRead.size(); ++i) {
        EXPECT_GT(rec.progressRead[i], previous);
        EXPECT_LE(rec.progressRead[i] - previous, 4096);
        EXPECT_EQ(rec.progressPercents[i], (rec.progressRead[i] * 100 + 5000) / 10000);
        previous = rec.progressRead[i];
    }
    EXPECT_EQ(rec.progressRead.back(), 10000);
    EXPECT_EQ(rec.progressDataSize, 10000);
    EXPECT_EQ(rec.progressStreamMismatch, 0);
    EXPECT_EQ(rec.offUiThread, 0);
}

TEST_F(HttpClientScripted, OutputFile_ReceivesTheBodyOrIsReportedMissing) {
    using R = ScriptedHttpServer;
    QTemporaryDir dir;
    server.Script("/f", {R::Plain(Ok("file body"))});
    server.Script("/nolength", {R::Plain("HTTP/1.1 200 OK\r\n\r\nstreamed", true)});
    server.Script("/missing", {R::Plain(HttpReply("404 Not Found", "", "gone"))});

    const std::string file = dir.filePath("page.html").toStdString();
    client.SetOutputFileName(file);
    Fetch(server.Url("/f"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Done"}));
    EXPECT_FALSE(rec.doneHadStream);
    EXPECT_EQ(rec.fileSize, 9);
    EXPECT_EQ(ReadFile(file), "file body");

    // An error answer never lands in the file.
    const std::string other = dir.filePath("other.html").toStdString();
    client.SetOutputFileName(other);
    rec.events.clear();
    Fetch(server.Url("/missing"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "AnyError", "HTTPError 404"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(other)));

    // A file that cannot be made: an announced body is not received.
    client.SetOutputFileName(dir.filePath("no/such/folder/x").toStdString());
    rec.events.clear();
    Fetch(server.Url("/f"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "AnyError", "OutputFileError"}));
    // Without a length the body goes to memory instead.
    rec.events.clear();
    Fetch(server.Url("/nolength"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Done"}));
    EXPECT_EQ(rec.body, "streamed");
}

TEST_F(HttpClientScripted, HeaderInfo_ReadsDatesAndFields) {
    server.Script("/h",
                  {ScriptedHttpServer::Plain(HttpReply(
                      "200 OK",
                      "Date: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
                      "Last-Modified: Sunday, 06-Nov-94 08:49:37 GMT\r\n"
                      "Expires: Sun Nov  6 08:49:37 1994\r\n"
                      "ETag: \"abc\"\r\nContent-Language: de\r\nContent-Encoding: identity\r\n"
                      "Content-Type: text/plain\r\n",
                      "dates"))});
    server.Script("/zone",
                  {ScriptedHttpServer::Plain(HttpReply(
                      "200 OK", "Last-Modified: Sun, 06 Nov 1994 09:49:37 +0100\r\n", ""))});
    Fetch(server.Url("/h"));
    const TDateTime expected = UTCToLocal(UnixToDateTime(784111777));
    EXPECT_DOUBLE_EQ(rec.date, expected);
    EXPECT_DOUBLE_EQ(rec.lastModified, expected);
    EXPECT_DOUBLE_EQ(rec.expires, expected);
    EXPECT_EQ(rec.etag, "\"abc\"");
    EXPECT_EQ(rec.language, "de");
    EXPECT_EQ(rec.encoding, "identity");
    EXPECT_TRUE(rec.rawHeaders.rfind("HTTP/1.1 200 OK\r\n", 0) == 0);
    EXPECT_NE(rec.rawHeaders.find("\r\nETag: \"abc\"\r\n"), std::string::npos);

    rec.events.clear();
    Fetch(server.Url("/zone"));
    EXPECT_EQ(DateTimeToUnix(rec.lastModified), DateTimeToUnix(expected));
}

TEST_F(HttpClientScripted, HandlerThatThrows_LeavesTheClientReady) {
    server.Script("/p", {ScriptedHttpServer::Plain(Ok("x"))});
    auto done = client.OnDone;
    client.OnDone = [&](TCustomHttpClient* c, const std::string& t, std::int64_t n, TStream* s) {
        done(c, t, n, s);
        throw std::runtime_error("handler failed");
    };
    Fetch(server.Url("/p"));
    EXPECT_FALSE(client.TransferActive());
    rec.events.clear();
    Fetch(server.Url("/p"));
    EXPECT_EQ(rec.events, (Events{"HeaderInfo", "Done"}));
}

TEST_F(HttpClientScripted, Destruction_StopsARunningTransferQuietly) {
    ScriptedHttpServer::Reply slow = ScriptedHttpServer::Plain(Ok(QByteArray(500, 'x')));
    slow.trickleFrom = 60;
    server.Script("/slow", {slow});
    std::vector<std::string> events;
    {
        THttpClient other;
        HttpRecorder otherRec(other);
        other.SetURL(server.Url("/slow"));
        ASSERT_TRUE(other.BeginDownload());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !otherRec.progressRead.empty(); }, 3000));
        events = otherRec.events;
    }
    EXPECT_EQ(events, (Events{"HeaderInfo"}));
}

// A header filter decides on the worker, with no header event: the outcome
// events find the header's values in HeaderInfo.
TEST_F(HttpClientScripted, HeaderFilter_DecidesOnTheWorkerAndKeepsTheHeader) {
    using R = ScriptedHttpServer;
    server.Script("/img.png",
                  {R::Plain(HttpReply("200 OK",
                                      "Content-Type: image/png\r\nLast-Modified: Sun, 06 Nov "
                                      "1994 08:49:37 GMT\r\n",
                                      QByteArray(20000, 'x')))});
    server.Script("/p", {R::Plain(Ok("<p>text</p>", "text/html; charset=utf-8"))});
    client.OnHeaderInfo = nullptr;
    std::atomic<int> onUiThread{0};
    client.HeaderFilter = [&](int status, const std::string& type) {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++onUiThread;
        return status == 200 && type.rfind("text/", 0) == 0;
    };
    THttpHeaderInfo seen;
    client.OnDoneInterrupted = [&](TCustomHttpClient*) {
        rec.Note("DoneInterrupted");
        seen = client.HeaderInfo();
    };
    rec.events.clear();
    Fetch(server.Url("/img.png"));
    EXPECT_EQ(rec.events, (Events{"DoneInterrupted"}));
    EXPECT_TRUE(seen.Valid);
    EXPECT_EQ(seen.ErrorCode, 200);
    EXPECT_EQ(seen.ContentType, "image/png");
    EXPECT_EQ(seen.ContentLength, 20000);
    EXPECT_EQ(DateTimeToUnix(seen.LastModified),
              DateTimeToUnix(ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT")));
    rec.events.clear();
    Fetch(server.Url("/p"));
    EXPECT_EQ(rec.events, (Events{"Done"}));
    EXPECT_EQ(rec.body, "<p>text</p>");
    EXPECT_EQ(client.HeaderInfo().ContentType, "text/html; charset=utf-8");
    EXPECT_EQ(onUiThread, 0);
}
