#include "HtmlTestPage.h"
#include "Uri.h"

#include <gtest/gtest.h>

#include <random>

namespace tessaly::html::test {
namespace {

// Sources cut off inside every kind of piece, under each kind of decoder.
TEST(HtmlRobustness, TruncatedPiecesEndAtEndOfSource) {
    const std::string prefixes[] = {"", "<meta http-equiv=content-type content='charset=utf-8'>",
                                    "<meta http-equiv=content-type content='charset=utf-16le'>",
                                    "<meta http-equiv=content-type content='charset=gb18030'>",
                                    "<meta http-equiv=content-type content='charset=cp424'>"};
    const std::string_view bodies[] = {"<",
                                       "<!",
                                       "<!-",
                                       "<!--",
                                       "<!-- --",
                                       "<!DOCTYP",
                                       "<![CDATA[",
                                       "<![CDATA[]]",
                                       "<?",
                                       "<?xml ?",
                                       "</",
                                       "</a",
                                       "<a",
                                       "<a href",
                                       "<a href=",
                                       "<a href='",
                                       "<a href=\"x",
                                       "<a href=x&",
                                       "<a href=x&#",
                                       "<a href=x&#x1",
                                       "<a href=&amp",
                                       "<a /",
                                       "<script>",
                                       "<script>'",
                                       "<script>/*",
                                       "<script>//",
                                       "<script><",
                                       "</script",
                                       "<style>\"\\",
                                       "<title>",
                                       "<title>&",
                                       "<title>  ",
                                       "<title></title",
                                       "\xC3",
                                       "\xF0\x9F\x98"};
    THtmlTestPage page;
    for (const std::string& prefix : prefixes) {
        for (std::string_view body : bodies)
            page.Parse(prefix + std::string(body)); // under ASan, a read past the end fails here
    }
    SUCCEED();
}

std::string Repeat(std::string_view piece, size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

// Inputs that would take quadratic time if a failed match rescanned what
// follows it; the test's time limit catches a regression.
TEST(HtmlRobustness, PathologicalInputsParseInLinearTime) {
    const size_t n = 200000;
    const std::string inputs[] = {
        "<a" + Repeat("b", 5 * n) + "\"",
        Repeat("<a href=", n),
        "<a href='" + Repeat("&#1", n) + "'>",
        "<a href='&" + Repeat("x", 5 * n) + "'>",
        "<title>" + Repeat("</title  ", n),
        "<script>" + Repeat("</script ", n),
        "<script>" + Repeat("'\\", n),
        Repeat("<!-- -", n),
        Repeat("<![CDATA[ ]", n),
        "<meta http-equiv=content-type content='" + Repeat("charse", n) + "'>",
    };
    THtmlTestPage page;
    for (const std::string& html : inputs)
        page.Parse(html);

    std::u16string resolved;
    std::u16string link;
    for (size_t i = 0; i < n; ++i)
        link += u"a/../";
    for (size_t i = 0; i < n; ++i)
        link += u"../b/";
    EXPECT_TRUE(ResolveURI(u"http://h/", link, resolved));
}

// Random markup-heavy bytes: the parse ends and every reported link resolves
// or fails cleanly.
TEST(HtmlRobustness, RandomBytesParseToTheEnd) {
    static constexpr std::string_view kPieces[] = {
        "<",         ">",          "/",
        "!",         "--",         "?",
        "'",         "\"",         "=",
        " ",         "&",          "#",
        ";",         "x",          "a",
        "href",      "<a href=",   "<title>",
        "</title>",  "<script>",   "</script>",
        "<style>",   "<!--",       "-->",
        "<![CDATA[", "]]>",        "<?xml",
        "?>",        "&amp;",      "&#65;",
        "\\",        "//",         "/*",
        "*/",        "\n",         "<meta http-equiv=content-type content='charset=",
        "utf-8'>",   "utf-16be'>", "windows-1251'>",
        "gb18030'>", "cp424'>",    "\xC3",
        "\x80",      "\xFF",       "\0",
        "../",       "./",         "http://",
        "_",         ":",          "@"};
    std::mt19937 random(20261210);
    THtmlTestPage page;
    std::u16string resolved;
    page.Links.OnLink = [&](THtmlLinksPlugin&, std::u16string& link, bool&, bool&) {
        ResolveURI(u"http://u:p@h:80/a/b/c?q#f", link, resolved);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string html;
        size_t count = random() % 60;
        for (size_t i = 0; i < count; ++i)
            html += kPieces[random() % std::size(kPieces)];
        page.Parse(html);
    }
    SUCCEED();
}

} // namespace
} // namespace tessaly::html::test
