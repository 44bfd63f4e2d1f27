// The client against a real server: nginx started with a configuration of
// our own on 127.0.0.1, serving a fixture folder. It shows real
// Last-Modified and Content-Type headers and keep-alive connections.

#include "HttpTestSupport.h"
#include "NginxServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

class HttpClientNginx : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_Nginx = std::make_unique<NginxServer>();
        s_Error = s_Nginx->Start();
        if (!s_Error.empty())
            return;
        const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
        WriteSiteFile(s_Nginx->Site("index.html"), "<html><title>Home</title></html>", modified);
        WriteSiteFile(s_Nginx->Site("notes.txt"), "plain notes", modified);
        WriteSiteFile(s_Nginx->Site("map.png"), QByteArray("\x89PNG\r\n\x1a\n", 8), modified);
    }
    static void TearDownTestSuite() { s_Nginx.reset(); }
    void SetUp() override {
        ASSERT_TRUE(s_Error.empty()) << s_Error;
        client.SetAgent("");
        client.Timeouts().ConnectTimeout = 2000;
        client.Timeouts().ReceiveTimeout = 3000;
    }
    void Fetch(const std::string& path) {
        rec.events.clear();
        client.SetURL(s_Nginx->Url(path));
        ASSERT_TRUE(client.BeginDownload());
        ASSERT_TRUE(WaitForOutcome(rec));
    }

    static std::unique_ptr<NginxServer> s_Nginx;
    static std::string s_Error;
    THttpClient client;
    HttpRecorder rec{client};
};

std::unique_ptr<NginxServer> HttpClientNginx::s_Nginx;
std::string HttpClientNginx::s_Error;

} // namespace

TEST_F(HttpClientNginx, Page_CarriesTypeAndLastModifiedInLocalTime) {
    Fetch("/index.html");
    EXPECT_EQ(rec.events, (std::vector<std::string>{"HeaderInfo", "Done"}));
    EXPECT_EQ(rec.contentType, "text/html");
    EXPECT_EQ(rec.body, "<html><title>Home</title></html>");
    const std::time_t modified =
        QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc()).toSecsSinceEpoch();
    EXPECT_EQ(DateTimeToUnix(rec.lastModified),
              DateTimeToUnix(UTCToLocal(UnixToDateTime(modified))));
    EXPECT_NE(rec.date, 0.0);
    EXPECT_FALSE(rec.etag.empty());

    Fetch("/map.png");
    EXPECT_EQ(rec.contentType, "image/png");
    Fetch("/missing.html");
    EXPECT_EQ(rec.events, (std::vector<std::string>{"HeaderInfo", "AnyError", "HTTPError 404"}));
}

TEST_F(HttpClientNginx, Connections_AreKeptAcrossTransfersOfOneClient) {
    const size_t before = s_Nginx->Connections().size();
    for (const char* path : {"/index.html", "/notes.txt", "/index.html", "/map.png"})
        Fetch(path);
    auto all = s_Nginx->Connections();
    ASSERT_EQ(all.size(), before + 4);
    std::set<std::string> used(all.begin() + before, all.end());
    EXPECT_EQ(used.size(), 1u) << "each transfer opened a connection of its own";

    // Without keep-alive every transfer has a connection of its own.
    client.SetInternetOptions(0);
    for (const char* path : {"/index.html", "/notes.txt", "/index.html"})
        Fetch(path);
    all = s_Nginx->Connections();
    ASSERT_EQ(all.size(), before + 7);
    std::set<std::string> separate(all.begin() + before + 4, all.end());
    EXPECT_EQ(separate.size(), 3u);
}
