#include "HtmlTestPage.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tessaly::html::test {
namespace {

struct TTitleCase {
    const char* Name;
    std::string_view Html;
    std::vector<std::string> Reported; // titles raised through OnTitle
};

std::ostream& operator<<(std::ostream& os, const TTitleCase& c) {
    return os << c.Name;
}

class HtmlTitle : public ::testing::TestWithParam<TTitleCase> {};

TEST_P(HtmlTitle, ReportsFirstTitle) {
    THtmlTestPage page;
    page.Parse(GetParam().Html);
    EXPECT_EQ(page.Titles, GetParam().Reported);
    std::string expected = GetParam().Reported.empty() ? "" : GetParam().Reported[0];
    EXPECT_EQ(page.TitleText(), expected);
}

const TTitleCase kTitleCases[] = {
    {"Plain", "<html><head><title>Home</title></head>", {"Home"}},
    {"BlanksFoldedNotTrimmed", "<title>  My   Page </title>", {" My Page "}},
    {"ControlCharactersAreBlanks", "<title>\r\n\tMy\x01\x1FPage\n</title>", {" My Page "}},
    {"SecondTitleIgnored", "<title>One</title><title>Two</title>", {"One"}},
    {"EmptyTitleReported", "<title></title>", {""}},
    {"NoTitle", "<p>text</p>", {}},
    {"MarkupStaysText", "<title>a <b>bold</b> < c</title>", {"a <b>bold</b> < c"}},
    {"References", "<title>A &amp; B &amp C &#169;</title>", {"A & B &amp C \u00A9"}},
    {"ReferenceBlankNotFolded", "<title>a &#32; b</title>", {"a   b"}},
    {"EndTagCaseAndBlanks", "<TITLE>x</TiTlE \n >y", {"x"}},
    {"EndTagWithAttributeIsText", "<title>x</title id=1>y</title>", {"x</title id=1>y"}},
    {"Unterminated", "<title>Cut off", {"Cut off"}},
    {"InsideComment", "<!-- <title>No</title> --><title>Yes</title>", {"Yes"}},
    {"InsideScript", "<script>'<title>No</title>'</script><title>Yes</title>", {"Yes"}},
    {"SelfClosingStillHasContent", "<title/>x</title>", {"x"}},
};
INSTANTIATE_TEST_SUITE_P(Cases, HtmlTitle, ::testing::ValuesIn(kTitleCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(HtmlTitlePlugin, EachDocumentStartsWithoutTitle) {
    THtmlTestPage page;
    page.Parse("<title>First page</title>");
    page.Parse("<title>Second page</title>");
    EXPECT_EQ(page.Titles, std::vector<std::string>{"Second page"});
    page.Parse("no title");
    EXPECT_EQ(page.TitleText(), "");
    EXPECT_TRUE(page.Titles.empty());
}

TEST(HtmlTitlePlugin, DisabledPluginCollectsNothing) {
    THtmlTestPage page;
    page.Title.Enabled = false;
    page.Parse("<title>x</title><a href=after>");
    EXPECT_TRUE(page.Titles.empty());
    EXPECT_EQ(page.Found, std::vector<std::string>{"after"});
}

} // namespace
} // namespace tessaly::html::test
