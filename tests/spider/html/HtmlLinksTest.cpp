#include "HtmlParserError.h"
#include "HtmlTestPage.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tessaly::html::test {
namespace {

using Links = std::vector<std::string>;

struct TLinkCase {
    const char* Name;
    std::string_view Html;
    Links Expected;
};

std::ostream& operator<<(std::ostream& os, const TLinkCase& c) {
    return os << c.Name;
}

class HtmlLinks : public ::testing::TestWithParam<TLinkCase> {};

TEST_P(HtmlLinks, ReportsExpectedLinks) {
    THtmlTestPage page;
    page.Parse(GetParam().Html);
    EXPECT_EQ(page.Found, GetParam().Expected) << GetParam().Html;
}

// Attribute reading: quotes, blanks, letter case, references.
const TLinkCase kAttributeCases[] = {
    {"CapitalsSingleQuotes", "<A HREF='page.html'>", {"page.html"}},
    {"LowerCaseUnquoted", "<a href=page.html>", {"page.html"}},
    {"BlanksAroundEqualsAndInsideQuotes", "<a href = \"  page.html \t\">", {"page.html"}},
    {"BlanksInsideValueKept", "<a href=\" a b \">", {"a b"}},
    {"UnquotedEndsAtBlank", "<a href=page.html target=_top>", {"page.html"}},
    {"UnquotedEndsAtGreater", "<a href=page.html>text", {"page.html"}},
    {"UnquotedKeepsSlashBeforeGreater", "<a href=dir/>", {"dir/"}},
    {"QuotedHoldsGreaterAndOtherQuote", "<a title='1 > 0' href=\"it's.html\">", {"it's.html"}},
    {"NoEqualsGivesEmptyValue", "<a href>", {""}},
    {"EqualsThenGreaterGivesEmptyValue", "<a href=>", {""}},
    {"NoHrefReportsNothing", "<a name=top>", {}},
    {"FirstOfTwoHrefs", "<a href=one href=two>", {"one"}},
    {"UnknownAttributesSkipped", "<a data-x=\"y\" onclick='f()' href=p>", {"p"}},
    {"StrayCharactersBetweenAttributes", "<a \"junk\" , href=p>", {"p"}},
    {"EmptyElement", "<a href=\"p\"/>", {"p"}},
    {"AmpReferenceWithSemicolon", "<a href=\"a?b=1&amp;c=2\">", {"a?b=1&c=2"}},
    {"AmpReferenceWithoutSemicolon", "<a href=\"a?b=1&amp c=2\">", {"a?b=1&amp c=2"}},
    {"DecimalAndHexReferences", "<a href='&#65;&#x42;&#X43;'>", {"ABC"}},
    {"NumericLimit", "<a href='&#65535;|&#65536;|&#x10000;'>", {"\uFFFF|&#65536;|&#x10000;"}},
    {"NumericWithoutDigits", "<a href='&#;&#x;&#xG;'>", {"&#;&#x;&#xG;"}},
    {"NamedReferencesMatchCase", "<a href='&eacute;&Eacute;&EACUTE;'>", {"éÉ&EACUTE;"}},
    {"AposIsKnown", "<a href='&apos;'>", {"'"}},
    {"UnknownNameStays", "<a href='&bogus;'>", {"&bogus;"}},
    {"AmpersandAtEnd", "<a href=x&>", {"x&"}},
    {"ReferenceInUnquotedValue", "<a href=a&lt;b>", {"a<b"}},
    {"ReferenceBlankNotTrimmed", "<a href=\"x&#32;\">", {"x "}},
    {"LongReferenceNameStays",
     "<a href='&averyveryverylongreferencename;'>",
     {"&averyveryverylongreferencename;"}},
};
INSTANTIATE_TEST_SUITE_P(Attributes, HtmlLinks, ::testing::ValuesIn(kAttributeCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Piece recognition: links are reported only from real start tags.
const TLinkCase kPieceCases[] = {
    {"InsideComment", "<!-- <a href=no> --><a href=yes>", {"yes"}},
    {"CommentEndWithExtraDashes", "<!-- x ---><a href=yes>", {"yes"}},
    {"CommentDashesWithoutGreater", "<!-- -- <a href=no> -- --><a href=yes>", {"yes"}},
    {"UnterminatedComment", "<!-- <a href=no>", {}},
    {"DocType", "<!DOCTYPE html><a href=yes>", {"yes"}},
    {"DocTypeLowerCase", "<!doctype html><a href=yes>", {"yes"}},
    {"CData", "<![CDATA[<a href=no>]]><a href=yes>", {"yes"}},
    {"CDataLowerCaseLongEnd", "<![cdata[ ]] <a href=no> ]]]><a href=yes>", {"yes"}},
    {"XmlDeclaration", "<?xml version=\"1.0\" x=\"<a href=no>\"?><a href=yes>", {"yes"}},
    {"ProcessingInstruction", "<?php echo 1 ><a href=yes>", {"yes"}},
    {"EndTag", "</a ><A href=yes></A>", {"yes"}},
    {"LessThanAsText", "1 < 2 <3 <a href=yes>", {"yes"}},
    {"BangOtherwiseIsText", "<!foo <a href=yes>", {"yes"}},
    {"NameFollowedByOtherCharIsText", "<a\"href=no\"><a href=yes>", {"yes"}},
    {"EndTagFollowedByOtherCharIsText", "</a/><a href=yes>", {"yes"}},
    {"UnknownTagSkipped", "<a:b href=no><blink href=no><a href=yes>", {"yes"}},
    {"UnwantedTagHonoursQuotes", "<p title=\"<a href=no>\"><a href=yes>", {"yes"}},
    {"UnterminatedTagAtEnd", "<a href=\"yes", {"yes"}},
    {"InsideScriptText", "<script>document.write('<a href=\"no\">')</script><a href=yes>", {"yes"}},
    {"ScriptEndTagInString", "<script>s=\"</script><a href=no>\";</script><a href=yes>", {"yes"}},
    {"ScriptLineCommentEndsAtLineEnd", "<script>// '\n'</script>'</script><a href=yes>", {"yes"}},
    {"ScriptEndTagEndsLineComment", "<script>f();//--></script><a href=yes>", {"yes"}},
    {"ScriptEndTagInBlockComment",
     "<script>/* </script><a href=no> */</script><a href=yes>",
     {"yes"}},
    {"ScriptEscapedQuote", "<script>s='\\'</script>';</script><a href=yes>", {"yes"}},
    {"ScriptEndTagCaseAndBlanks", "<SCRIPT>x<y</Script \n><a href=yes>", {"yes"}},
    {"ScriptDivision", "<script>a=b/c;</script><a href=yes>", {"yes"}},
    {"ScriptHtmlCommentMarker", "<script><!--\nf();\n//--></script><a href=yes>", {"yes"}},
    {"ScriptStrayQuoteEndsAtLineEnd", "<script>re=/'/;\n</script><a href=yes>", {"yes"}},
    {"UnterminatedScript", "<script>'<a href=no>'", {}},
    {"StyleEndTagInString", "<style>p{content:\"</style>\"}</style><a href=yes>", {"yes"}},
    {"StyleUrlWithDoubleSlash",
     "<style>b{background:url(http://h/i.png)}</style><a href=yes>",
     {"yes"}},
    {"InsideTitle", "<title><a href=no></title><a href=yes>", {"yes"}},
    {"SelfClosingScriptStillHasContent",
     "<script src=s.js /><a href=no></script><a href=yes>",
     {"s.js", "yes"}},
};
INSTANTIATE_TEST_SUITE_P(Pieces, HtmlLinks, ::testing::ValuesIn(kPieceCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// Each switch asks for one tag and names the attribute that holds its link.
struct TSwitchCase {
    const char* Name;
    bool THtmlLinksPlugin::*Switch;
    std::string_view Html;
};

std::ostream& operator<<(std::ostream& os, const TSwitchCase& c) {
    return os << c.Name;
}

class HtmlLinkSwitch : public ::testing::TestWithParam<TSwitchCase> {};

TEST_P(HtmlLinkSwitch, ReportsOnlyWhenSwitchedOn) {
    const TSwitchCase& c = GetParam();
    THtmlTestPage page;
    page.SetAllLinkSwitches(false);
    page.Links.*c.Switch = true;
    // The same tag carrying every other link attribute reports nothing more.
    std::string html(c.Html);
    page.Parse(html);
    EXPECT_EQ(page.Found, Links{"link"});

    page.SetAllLinkSwitches(true);
    page.Links.*c.Switch = false;
    page.Parse(html);
    EXPECT_EQ(page.Found, Links{});
}

const TSwitchCase kSwitchCases[] = {
    {"A", &THtmlLinksPlugin::Link_A_href, "<a src=x code=x href=link>"},
    {"APPLET", &THtmlLinksPlugin::Link_APPLET_code, "<applet href=x code=link>"},
    {"AREA", &THtmlLinksPlugin::Link_AREA_href, "<AREA src=x href=link>"},
    {"BGSOUND", &THtmlLinksPlugin::Link_BGSOUND_src, "<bgsound href=x src=link>"},
    {"BODY", &THtmlLinksPlugin::Link_BODY_background, "<body src=x background=link>"},
    {"FRAME", &THtmlLinksPlugin::Link_FRAME_src, "<frame href=x src=link>"},
    {"IFRAME", &THtmlLinksPlugin::Link_IFRAME_src, "<iframe href=x src=link></iframe>"},
    {"IMG", &THtmlLinksPlugin::Link_IMG_src, "<img href=x src=link>"},
    {"INPUT", &THtmlLinksPlugin::Link_INPUT_src, "<input href=x src=link>"},
    {"LINK", &THtmlLinksPlugin::Link_LINK_href, "<link src=x href=link>"},
    {"OBJECT", &THtmlLinksPlugin::Link_OBJECT_data, "<object src=x data=link>"},
    {"SCRIPT", &THtmlLinksPlugin::Link_SCRIPT_src, "<script href=x src=link></script>"},
    {"TABLE", &THtmlLinksPlugin::Link_TABLE_background, "<table src=x background=link>"},
    {"TD", &THtmlLinksPlugin::Link_TD_background, "<td src=x background=link>"},
    {"TH", &THtmlLinksPlugin::Link_TH_background, "<th src=x background=link>"},
};
INSTANTIATE_TEST_SUITE_P(Switches, HtmlLinkSwitch, ::testing::ValuesIn(kSwitchCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(HtmlLinksPlugin, BaseSetsBaseUriAsWrittenAndReportsNothing) {
    THtmlTestPage page;
    page.Links.BaseUri = u"http://page/";
    page.Parse("<base target=_top><a href=a><base href=\"../other/\"><a href=b>");
    EXPECT_EQ(page.Found, (Links{"a", "b"}));
    EXPECT_EQ(page.Links.BaseUri, u"../other/");

    page.Links.BASE_href = false;
    page.Links.BaseUri = u"http://page/";
    page.Parse("<base href=x>");
    EXPECT_EQ(page.Links.BaseUri, u"http://page/");
}

TEST(HtmlLinksPlugin, DisabledPluginIsNotAsked) {
    THtmlTestPage page;
    page.Links.Enabled = false;
    page.Parse("<a href=x><img src=y>");
    EXPECT_TRUE(page.Found.empty());
}

TEST(HtmlLinksPlugin, HandlerSeesTagAndItsChangeIsWrittenBack) {
    THtmlTestPage page;
    std::vector<std::u16string> list;
    page.Links.SetLinkList(&list);
    std::vector<std::string> tags;
    page.Links.OnLink = [&](THtmlLinksPlugin& sender, std::u16string& link, bool& addToVector,
                            bool& show) {
        EXPECT_TRUE(show);
        EXPECT_TRUE(addToVector);
        const THtmlStartTag* tag = sender.CurrentTag();
        ASSERT_NE(tag, nullptr);
        const THtmlAttribute* rel = tag->Find(THtmlAttrId::rel);
        if (rel && rel->Value == u"nofollow")
            addToVector = false;
        if (size_t hash = link.find(u'#'); hash != std::u16string::npos)
            link.resize(hash);
        tags.push_back(Utf16ToUtf8(tag->Html()));
    };
    page.Parse("<A HREF='p.html#top' Rel=x>"
               "<a href=q.html rel=nofollow>"
               "<a href=\"p.html\" title='say \"hi\" &amp; go'/>");
    EXPECT_EQ(tags, (Links{"<A HREF=\"p.html\" Rel=\"x\">", "<a href=\"q.html\" rel=\"nofollow\">",
                           "<a href=\"p.html\" title=\"say &quot;hi&quot; &amp; go\" />"}));
    EXPECT_EQ(list, (std::vector<std::u16string>{u"p.html"}));
    EXPECT_EQ(page.Links.CurrentTag(), nullptr);

    page.Parse("");
    EXPECT_TRUE(list.empty()) << "a new document empties the plug-in's own list";
}

TEST(HtmlLinksPlugin, UnrequestedTagIsAProgrammingFault) {
    THtmlLinksPlugin links;
    THtmlStartTag tag;
    tag.Name = u"Img";
    tag.Id = THtmlTagId::IMG;
    try {
        links.StartTag(tag);
        FAIL() << "no error raised";
    } catch (const EHtmlParserError& e) {
        EXPECT_STREQ(e.what(), "Unrequested tag ('Img') encountered. This should not happen and "
                               "might indicate a bug in THtmlParser.");
    }
}

TEST(HtmlParser, PluginsDetachWhenEitherSideGoes) {
    auto parser = std::make_unique<THtmlParser>();
    THtmlTitlePlugin title;
    {
        THtmlLinksPlugin links;
        links.SetHtmlParser(parser.get());
        title.SetHtmlParser(parser.get());
        EXPECT_EQ(parser->Plugins().size(), 2u);
    }
    EXPECT_EQ(parser->Plugins(), std::vector<THtmlParserPlugin*>{&title});
    parser.reset();
    EXPECT_EQ(title.HtmlParser(), nullptr);
}

} // namespace
} // namespace tessaly::html::test
