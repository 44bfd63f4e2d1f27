// What the fetcher reads of a page's signals to crawlers, against nginx:
// robots words of the head's meta elements and of X-Robots-Tag header
// lines, canonical targets of the head's link elements and of Link header
// lines (resolved as the page's links are), and links left out for a rel
// that holds nofollow.
#include "FileFetcher.h"
#include "NginxServer.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <memory>

using namespace tessaly;
using Strings = std::vector<std::string>;

namespace {

class FetchSignals : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_Nginx = std::make_unique<NginxServer>();
        s_Error = s_Nginx->Start(R"(
            location = /hdr.html {
                add_header X-Robots-Tag "googlebot: noindex";
                add_header X-Robots-Tag "Tessaly: nofollow";
                add_header Link '</h.html?v=1>; rel="canonical"';
            }
            location = /agent.html { add_header X-Robots-Tag "mybot: noindex"; }
            location = /notes.txt { add_header X-Robots-Tag "none"; }
            location = /both.html { add_header Link '<http://127.0.0.1/other.html>; rel=canonical'; }
        )");
        if (!s_Error.empty())
            return;
        const QDateTime modified(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
        auto write = [&](const char* name, const std::string& text) {
            const std::string bytes = [&] {
                std::string out = text;
                const std::string p = s_Nginx->Url("/");
                for (size_t at = 0; (at = out.find("%P%", at)) != std::string::npos;)
                    out.replace(at, 3, p);
                return out;
            }();
            ASSERT_TRUE(
                WriteSiteFile(s_Nginx->Site(name), QByteArray::fromStdString(bytes), modified))
                << name;
        };
        write("head.html", "<html><head><meta name=\"robots\" content=\"noindex\">"
                           "<meta name=\"ROBOTS\" content=\"nofollow\">"
                           "<link rel=\"canonical\" href=\"a.html?x=1#part\"></head></html>");
        write("base.html", "<head><base href=\"%P%dir/\"><link rel=\"canonical\" href=\"b.html\">"
                           "</head><a href=\"c.html\">c</a>");
        write("body.html", "<head><title>t</title></head><p><meta name=\"robots\" content=\"none\">"
                           "<link rel=\"canonical\" href=\"b.html\">");
        write("kinds.html", "<link rel=\"canonical\" href=\"mailto:me@example.com\">"
                            "<link rel=\"canonical\" href=\"\">"
                            "<link rel=\"canonical\" href=\"#top\">"
                            "<link rel=\"canonical\" href=\"file.pdf\">"
                            "<link rel=\"canonical\" href=\"list.php?sort=name\">"
                            "<link rel=\"stylesheet\" href=\"style.css\">");
        write("hdr.html", "<title>headers</title>");
        write("agent.html", "<title>agent</title>");
        write("notes.txt", "notes");
        write("both.html", "<link rel=\"canonical\" href=\"/mine.html\">");
        write("rel.html", "<a rel=\"nofollow\" href=\"1.html\">1</a>"
                          "<a rel=\"NoFollow noopener\" href=\"2.html\">2</a>"
                          "<a rel=\"external\" href=\"3.html\">3</a>"
                          "<a rel=\"me\tnofollow\" href=\"4.html\">4</a>"
                          "<a rel=\"nofollowing\" href=\"5.html\">5</a>"
                          "<area rel=\"nofollow\" href=\"6.html\">");
    }
    static void TearDownTestSuite() { s_Nginx.reset(); }
    void SetUp() override {
        ASSERT_TRUE(s_Error.empty()) << s_Error;
        fetcher.LinkTypes = (1u << ltA_href) | (1u << ltAREA_href);
        fetcher.ConnectTimeout = 2000;
        fetcher.ReceiveTimeout = 3000;
    }
    static std::string Url(const std::string& path) { return s_Nginx->Url(path); }

    static std::unique_ptr<NginxServer> s_Nginx;
    static std::string s_Error;
    TFileFetcher fetcher;
};

std::unique_ptr<NginxServer> FetchSignals::s_Nginx;
std::string FetchSignals::s_Error;

} // namespace

TEST_F(FetchSignals, RobotsWordsAndCanonicalTargets) {
    struct Case {
        const char* path;
        const char* agent; // nullptr: the program's own
        TRobotsDirectives robots;
        Strings canonicals; // "full | bare | followed", "P/" for the site
    };
    const Case cases[] = {
        // Two meta elements add up; the target keeps its query, not its
        // fragment.
        {"/head.html", nullptr, {true, true}, {"P/a.html?x=1 | P/a.html | 1"}},
        // Resolved against the base element, as the links are.
        {"/base.html", nullptr, {}, {"P/dir/b.html | P/dir/b.html | 1"}},
        // After the head has ended nothing counts.
        {"/body.html", nullptr, {}, {}},
        // Only http and https targets; an empty target or a fragment alone
        // is the page itself; targets a link would not follow are marked.
        {"/kinds.html",
         nullptr,
         {},
         {"P/file.pdf | P/file.pdf | 0", "P/list.php?sort=name | P/list.php | 0"}},
        // Every header line counts that names no crawler or ours; a Link
        // target resolves against the page's address.
        {"/hdr.html", nullptr, {false, true}, {"P/h.html?v=1 | P/h.html | 1"}},
        {"/agent.html", nullptr, {}, {}},
        {"/agent.html", "MyBot/2.0 (+https://example.com/bot)", {true, false}, {}},
        // A page that is not HTML has its headers.
        {"/notes.txt", nullptr, {true, true}, {}},
        // Element first, then header, each kept as it is.
        {"/both.html",
         nullptr,
         {},
         {"P/mine.html | P/mine.html | 1",
          "http://127.0.0.1/other.html | http://127.0.0.1/other.html | 1"}},
    };
    fetcher.FollowQueryParts = {"sort="};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + (c.agent ? c.agent : ""));
        fetcher.Agent = c.agent ? c.agent : TessalyAgent();
        fetcher.FetchPage(Url(c.path));
        ASSERT_EQ(fetcher.Response, 200);
        EXPECT_EQ(fetcher.Robots, c.robots);
        Strings canonicals;
        for (const TCanonicalTarget& t : fetcher.Canonicals) {
            std::string line = t.Full + " | " + t.Bare + " | " + (t.Followed ? "1" : "0");
            for (size_t at = 0; (at = line.find(Url("/"), at)) != std::string::npos;)
                line.replace(at, Url("/").size(), "P/");
            canonicals.push_back(line);
        }
        EXPECT_EQ(canonicals, c.canonicals);
    }
    // The next fetch starts without the last one's signals.
    fetcher.Agent = TessalyAgent();
    fetcher.FetchPage(Url("/base.html"));
    EXPECT_EQ(fetcher.Robots, TRobotsDirectives());
    EXPECT_EQ(fetcher.Canonicals.size(), 1u);
}

TEST_F(FetchSignals, LinksWhoseRelHoldsNofollowAreLeftOutUnlessFollowed) {
    const struct {
        bool followNofollow;
        Strings followed;
    } cases[] = {
        {false, {"3.html", "5.html"}},
        {true, {"1.html", "2.html", "3.html", "4.html", "5.html", "6.html"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.followNofollow);
        fetcher.FollowNofollow = c.followNofollow;
        // A fetcher that takes the settings of another takes this one too.
        TFileFetcher copy;
        copy.CopySettings(fetcher);
        copy.FetchPage(Url("/rel.html"));
        Strings followed;
        for (const std::string& bare : copy.FollowList())
            followed.push_back(bare.substr(Url("/").size()));
        EXPECT_EQ(followed, c.followed);
    }
}
