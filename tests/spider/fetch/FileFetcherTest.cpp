// The fetcher against a real server: nginx on 127.0.0.1 serving fixture
// pages written by the suite.
#include "FileFetcher.h"
#include "Clock.h"
#include "FetchRoutines.h"
#include "NginxServer.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <memory>

using namespace tessaly;
using Strings = std::vector<std::string>;

namespace {

const QDateTime kModified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());

qint64 Secs(TDateTime localTime) {
    return DateTimeToQt(localTime).toSecsSinceEpoch();
}

class FileFetcherNginx : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_Nginx = std::make_unique<NginxServer>();
        s_Error = s_Nginx->Start(R"(
            location /hdr/ { charset windows-1251; }
            location /list.php { default_type text/html; }
        )");
        if (!s_Error.empty())
            return;
        auto write = [](const char* name, const QByteArray& bytes) {
            ASSERT_TRUE(WriteSiteFile(s_Nginx->Site(name), bytes, kModified)) << name;
        };
        write("links.html", R"html(<html><head><title>Links</title></head><body>
<a href="#top">top</a> <a href="#">lone</a>
<a class="x" href="page.html#part">part</a>
<a href="mailto:me@example.com">mail</a>
<a href="javascript:void(0)">script</a>
<a href="HTTP://127.0.0.1/caps.html">caps</a>
<a href="logo.png">logo</a> <a href="logo.PNG?v=2">logo again</a> <a href="help.chm">help</a>
<a href="list.php?sort=name">sorted</a> <a href="list.php?page=2">page 2</a>
<a rel="nofollow" href="secret.html">secret</a>
<a rel="NoFollow" href="case.html">case</a> <a rel="nofollow noopener" href="two.html">two</a>
<!-- <a href="comment.html">comment</a> -->
<script>var s = '<a href="script.html">';</script>
<a href="http://other.example/x.html">other</a> <a href="//other.example/y.html">other too</a>
<a href="sub/../up.html">up</a> <a href="page.html">again</a>
<img src="img.gif"> <iframe src="frame.html"></iframe> <a>no address</a>
</body></html>)html");
        write("based.html", R"(<html><head><base href="http://127.0.0.1/elsewhere/">
</head><a href="a.html">a</a></html>)");
        write("docs/index.html", "<title>Docs</title><a href=\"guide.html\">guide</a>");
        write("pic.png", QByteArray("\x89PNG\r\n\x1a\n", 8));
        write("notes.txt", "plain <a href=\"x.html\">notes</a>");
        write("hdr/ru.html", "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                             "charset=iso-8859-1\"><title>\xCF\xF0\xE8\xE2\xE5\xF2</title>");
        write("equiv.html", "<meta http-equiv=\"content-type\" content=\"text/html; "
                            "charset=windows-1252\"><title>\x93Quoted\x94</title>");
        write("html5.html",
              "<!DOCTYPE html><meta charset=\"utf-8\"><title>Caf\xC3\xA9 Cr\xC3\xA8me</title>");
        write("bom.html", "\xEF\xBB\xBF<title>Caf\xC3\xA9</title>");
        write("plain.html", "<title>Caf\xC3\xA9</title>");
        write("plain1252.html", "<title>Caf\xE9 \x80 \x93ok\x94</title>");
        write("list.php", "<title>List</title><a href=\"page.html\">p</a>");
    }
    static void TearDownTestSuite() { s_Nginx.reset(); }
    void SetUp() override {
        ASSERT_TRUE(s_Error.empty()) << s_Error;
        Clock::setFixed(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
        fetcher.LinkTypes =
            (1u << ltA_href) | (1u << ltAREA_href) | (1u << ltFRAME_src) | (1u << ltIFRAME_src);
        fetcher.ConnectTimeout = 2000;
        fetcher.ReceiveTimeout = 3000;
        fetcher.OnStatusMessage = [this](TFileFetcher*, const std::string& text) {
            status.push_back(text);
        };
    }
    void TearDown() override { Clock::setFixed(std::nullopt); }
    static std::string Url(const std::string& path) { return s_Nginx->Url(path); }
    void Fetch(const std::string& path) {
        status.clear();
        fetcher.FetchPage(Url(path));
    }
    Strings Followed() {
        Strings out;
        for (int i = 0; i < fetcher.LinkCount(); ++i) {
            std::string full, bare;
            fetcher.GetLink(i, full, bare);
            out.push_back(full + " | " + bare);
        }
        return out;
    }

    static std::unique_ptr<NginxServer> s_Nginx;
    static std::string s_Error;
    TFileFetcher fetcher;
    Strings status;
};

std::unique_ptr<NginxServer> FileFetcherNginx::s_Nginx;
std::string FileFetcherNginx::s_Error;

} // namespace

TEST_F(FileFetcherNginx, Page_GivesTitleDateLinksAndStatusTexts) {
    fetcher.FollowQueryParts = {"sort="};
    Strings tags;
    fetcher.OnLink = [&](TFileFetcher*, const std::string& tag, const std::string& org,
                         const std::string& resolved) {
        tags.push_back(tag + " " + org + " " + resolved);
    };
    Fetch("/links.html");
    EXPECT_EQ(fetcher.Response, 200);
    EXPECT_EQ(fetcher.URL, Url("/links.html"));
    EXPECT_EQ(fetcher.ShortURL, Url("/links.html"));
    EXPECT_EQ(fetcher.ContentType(), "text/html");
    EXPECT_EQ(fetcher.MimeType, mimeText);
    EXPECT_TRUE(fetcher.Parsed);
    EXPECT_TRUE(fetcher.HasTitle);
    EXPECT_EQ(fetcher.Title, "Links");
    EXPECT_EQ(Secs(fetcher.LastModified()), kModified.toSecsSinceEpoch());
    const std::string p = Url("/");
    // Fragments cut or ignored, repeats kept, the links of comments and
    // scripts and of tags the link types leave out not reported, nor those
    // whose rel holds "nofollow" in any letter case.
    EXPECT_EQ(Followed(), (Strings{
                              p + "page.html | " + p + "page.html",
                              p + "list.php?page=2 | " + p + "list.php",
                              "http://other.example/x.html | http://other.example/x.html",
                              "http://other.example/y.html | http://other.example/y.html",
                              p + "up.html | " + p + "up.html",
                              p + "page.html | " + p + "page.html",
                              p + "frame.html | " + p + "frame.html",
                          }));
    EXPECT_EQ(fetcher.FollowList().size(), 7u);
    EXPECT_EQ(fetcher.PageLinks().front(), p + "page.html");
    EXPECT_EQ(fetcher.NonFollowList(), (Strings{
                                           "mailto:me@example.com",
                                           "javascript:void(0)",
                                           "HTTP://127.0.0.1/caps.html",
                                           p + "logo.png",
                                           p + "logo.PNG",
                                           p + "help.chm",
                                           p + "list.php?sort=name",
                                       }));
    ASSERT_FALSE(tags.empty());
    EXPECT_EQ(tags.front(),
              "<a class=\"x\" href=\"page.html\"> " + p + "page.html " + p + "page.html");
    EXPECT_EQ(status, (Strings{"Retrieving: " + Url("/links.html"),
                               "Header Info Received, Content Type: text/html",
                               "Successfully Downloaded File: " +
                                   std::to_string(fetcher.PageContent.size()) + " bytes."}));
    std::string full, bare;
    try {
        fetcher.GetLink(7, full, bare);
        ADD_FAILURE() << "no error";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (7)");
    }
}

TEST_F(FileFetcherNginx, LinkTypesDecideWhichTagsReport) {
    fetcher.LinkTypes = AllLinkTypes;
    Fetch("/links.html");
    const Strings& list = fetcher.NonFollowList();
    EXPECT_NE(std::find(list.begin(), list.end(), Url("/img.gif")), list.end());
    fetcher.LinkTypes = 1u << ltA_href;
    Fetch("/links.html");
    const Strings& follow = fetcher.FollowList();
    EXPECT_EQ(std::find(follow.begin(), follow.end(), Url("/frame.html")), follow.end());
}

TEST_F(FileFetcherNginx, BaseElementAndRedirectDecideWhatLinksResolveAgainst) {
    Fetch("/based.html");
    EXPECT_EQ(fetcher.FollowList(), (Strings{"http://127.0.0.1/elsewhere/a.html"}));
    EXPECT_FALSE(fetcher.Redirected);
    // nginx sends a folder address without its slash to the address with it.
    Fetch("/docs");
    EXPECT_EQ(fetcher.Response, 200);
    EXPECT_TRUE(fetcher.Redirected);
    EXPECT_EQ(fetcher.URL, Url("/docs"));
    EXPECT_EQ(fetcher.FinalURL, Url("/docs/"));
    EXPECT_EQ(fetcher.RedirectedURL, Url("/docs/"));
    EXPECT_EQ(fetcher.FollowList(), (Strings{Url("/docs/guide.html")}));
    EXPECT_EQ(status[1], "Redirected: " + Url("/docs/"));
}

TEST_F(FileFetcherNginx, OutcomesOfPagesThatAreNotHtml) {
    struct Case {
        const char* path;
        int response;
        std::string contentType;
        TMimeType mime;
        bool parsed;
        std::string lastStatus;
    };
    const Case cases[] = {
        // A 404 with an HTML body: no content, no links, no title.
        {"/missing.html", 404, "text/html", mimeText, false, "404: Not Found"},
        // An image is not downloaded at all.
        {"/pic.png", 200, "image/png", mimeImage, false, "Done, but Interrupted."},
        // Plain text is text: read and parsed.
        {"/notes.txt", 200, "text/plain", mimeText, true,
         "Successfully Downloaded File: 32 bytes."},
    };
    for (const auto& c : cases) {
        Fetch(c.path);
        EXPECT_EQ(fetcher.Response, c.response) << c.path;
        EXPECT_EQ(fetcher.ContentType(), c.contentType) << c.path;
        EXPECT_EQ(fetcher.MimeType, c.mime) << c.path;
        EXPECT_EQ(fetcher.Parsed, c.parsed) << c.path;
        EXPECT_EQ(fetcher.PageContent.empty(), !c.parsed) << c.path;
        EXPECT_EQ(fetcher.Title, "") << c.path;
        EXPECT_FALSE(fetcher.HasTitle) << c.path;
        EXPECT_EQ(fetcher.LinkCount(), c.parsed ? 1 : 0) << c.path;
        EXPECT_EQ(status.back(), c.lastStatus) << c.path;
    }
}

TEST_F(FileFetcherNginx, EachFetchAsksTheServerOnce) {
    // A page, an error, a redirect, a type whose body is not wanted, plain
    // text: each address is asked for once (and the redirect's target once).
    const std::vector<std::string> before = s_Nginx->Requests();
    for (const char* path : {"/links.html", "/missing.html", "/docs", "/pic.png", "/notes.txt"})
        Fetch(path);
    const Strings expected = {"/links.html", "/missing.html", "/docs",
                              "/docs/",      "/pic.png",      "/notes.txt"};
    Strings asked;
    // nginx logs a request once its answer has gone: the last may lag.
    (void)QTest::qWaitFor(
        [&] {
            const Strings all = s_Nginx->Requests();
            asked.assign(all.begin() + static_cast<std::ptrdiff_t>(before.size()), all.end());
            return asked.size() >= expected.size();
        },
        3000);
    EXPECT_EQ(asked, expected);
}

TEST_F(FileFetcherNginx, CharacterSetOfThePage) {
    struct Case {
        const char* path;
        std::string title;
    };
    const Case cases[] = {
        // The HTTP header wins over the page's own META element.
        {"/hdr/ru.html", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"/equiv.html", "\xE2\x80\x9CQuoted\xE2\x80\x9D"},
        {"/html5.html", "Caf\xC3\xA9 Cr\xC3\xA8me"},
        {"/bom.html", "Caf\xC3\xA9"},
        // Without any declaration, as browsers read it: UTF-8 when the
        // bytes are valid UTF-8, else windows-1252.
        {"/plain.html", "Caf\xC3\xA9"},
        {"/plain1252.html", "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cok\xE2\x80\x9D"},
    };
    for (const auto& c : cases) {
        Fetch(c.path);
        EXPECT_EQ(fetcher.Title, c.title) << c.path;
    }
}

TEST_F(FileFetcherNginx, SecondFetchKeepsNothingOfTheFirst) {
    Fetch("/links.html");
    ASSERT_NE(Secs(fetcher.LastModified()), Clock::now().toSecsSinceEpoch());
    // nginx sends no Last-Modified for its 404 page: the present time stands.
    Fetch("/missing.html");
    EXPECT_EQ(DateTimeToQt(fetcher.LastModified()), Clock::now());
    EXPECT_EQ(fetcher.LinkCount(), 0);
    EXPECT_TRUE(fetcher.FollowList().empty());
    EXPECT_TRUE(fetcher.NonFollowList().empty());
    EXPECT_TRUE(fetcher.PageLinks().empty());
    EXPECT_EQ(fetcher.Title, "");
    EXPECT_FALSE(fetcher.HasTitle);
    EXPECT_FALSE(fetcher.Redirected);
}
