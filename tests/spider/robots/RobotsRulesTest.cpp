#include "RobotsRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace tessaly {
namespace {

// A robots.txt body, the product token it is read for, an address and
// whether the address may be requested.
struct TDecision {
    const char* Name;
    const char* Robots;
    const char* Token;
    const char* Path;
    bool Allowed;
};

std::ostream& operator<<(std::ostream& os, const TDecision& c) {
    return os << c.Name << ": " << c.Token << " asks " << c.Path;
}

class RobotsDecision : public ::testing::TestWithParam<TDecision> {};

TEST_P(RobotsDecision, AnswersAsTheFileSays) {
    const TDecision& c = GetParam();
    const TRobotsRules rules = TRobotsRules::Parse(c.Robots, c.Token);
    EXPECT_EQ(rules.IsAllowed(c.Path), c.Allowed) << c.Robots;
}

std::string CaseName(const ::testing::TestParamInfo<TDecision>& info) {
    return info.param.Name;
}

// Groups for several crawlers, with a "*" group and one group without rules.
constexpr const char* ManyCrawlers = "User-Agent: *\n"
                                     "Disallow: *.gif$\n"
                                     "Disallow: /example/\n"
                                     "Allow: /publications/\n"
                                     "\n"
                                     "User-Agent: foobot\n"
                                     "Disallow:/\n"
                                     "Allow:/example/page.html\n"
                                     "Allow:/example/allowed.gif\n"
                                     "\n"
                                     "User-Agent: barbot\n"
                                     "User-Agent: bazbot\n"
                                     "Disallow: /example/page.html\n"
                                     "\n"
                                     "User-Agent: quxbot\n";

constexpr const char* SmallGroups = "user-agent: a\n"
                                    "disallow: /c\n"
                                    "\n"
                                    "user-agent: b\n"
                                    "disallow: /d\n"
                                    "\n"
                                    "user-agent: e\n"
                                    "user-agent: f\n"
                                    "disallow: /g\n"
                                    "\n"
                                    "user-agent: h\n";

constexpr const char* SplitGroups = "user-agent: ExampleBot\n"
                                    "disallow: /foo\n"
                                    "disallow: /bar\n"
                                    "\n"
                                    "user-agent: *\n"
                                    "disallow: /other\n"
                                    "\n"
                                    "user-agent: examplebot\n"
                                    "disallow: /baz\n";

const TDecision kExampleCases[] = {
    {"FoobotOwnAllow", ManyCrawlers, "foobot", "/example/page.html", true},
    {"FoobotOwnAllowGif", ManyCrawlers, "foobot", "/example/allowed.gif", true},
    {"FoobotRestDisallowed", ManyCrawlers, "foobot", "/example/other.html", false},
    {"FoobotStarAllowNotApplied", ManyCrawlers, "foobot", "/publications/a.html", false},
    {"BarbotSharedGroup", ManyCrawlers, "barbot", "/example/page.html", false},
    {"BazbotSharedGroup", ManyCrawlers, "bazbot", "/example/page.html", false},
    {"BarbotElsewhereAllowed", ManyCrawlers, "barbot", "/example/other.html", true},
    {"BarbotStarGifRuleNotApplied", ManyCrawlers, "barbot", "/a.gif", true},
    {"QuxbotEmptyGroupAllowsAll", ManyCrawlers, "quxbot", "/example/page.html", true},
    {"QuxbotEmptyGroupGif", ManyCrawlers, "quxbot", "/image.gif", true},
    {"OthersStarGif", ManyCrawlers, "Tessaly", "/images/a.gif", false},
    {"OthersStarGifWithQueryNotAnchored", ManyCrawlers, "Tessaly", "/a.gif?size=2", true},
    {"OthersStarDirectory", ManyCrawlers, "Tessaly", "/example/page.html", false},
    {"OthersStarPublications", ManyCrawlers, "Tessaly", "/publications/", true},
    {"OthersStarElsewhere", ManyCrawlers, "Tessaly", "/index.html", true},
    {"LongestMatchDisallow",
     "User-Agent: foobot\nAllow: /example/page/\n"
     "Disallow: /example/page/disallowed.gif\n",
     "foobot", "/example/page/disallowed.gif", false},
    {"LongestMatchAllow",
     "User-Agent: foobot\nAllow: /example/page/\n"
     "Disallow: /example/page/disallowed.gif\n",
     "foobot", "/example/page/other.gif", true},
    {"SmallGroupA", SmallGroups, "a", "/c", false},
    {"SmallGroupAOthersRules", SmallGroups, "a", "/d", true},
    {"SmallGroupE", SmallGroups, "e", "/g", false},
    {"SmallGroupF", SmallGroups, "f", "/g", false},
    {"SmallGroupHWithoutRules", SmallGroups, "h", "/c", true},
    {"SmallGroupsNoMatchNoStar", SmallGroups, "Tessaly", "/c", true},
    {"SplitGroupsCombinedFoo", SplitGroups, "ExampleBot", "/foo", false},
    {"SplitGroupsCombinedBar", SplitGroups, "ExampleBot", "/bar", false},
    {"SplitGroupsCombinedBaz", SplitGroups, "EXAMPLEBOT", "/baz", false},
    {"SplitGroupsStarNotApplied", SplitGroups, "examplebot", "/other", true},
    {"EscapedStarIsLiteral", "User-agent: *\nDisallow: /path/file-with-a-%2A.html\n", "Tessaly",
     "/path/file-with-a-*.html", false},
    {"EscapedStarIsNoWildcard", "User-agent: *\nDisallow: /path/file-with-a-%2A.html\n", "Tessaly",
     "/path/file-with-a-x.html", true},
    {"EscapedDollarIsLiteral", "User-agent: *\nDisallow: /path/foo-%24\n", "Tessaly", "/path/foo-$",
     false},
    {"EscapedDollarIsNoAnchor", "User-agent: *\nDisallow: /path/foo-%24\n", "Tessaly", "/path/foo-",
     true},
    {"QueryCompared", "User-agent: *\nDisallow: /foo/bar?baz=quz\n", "Tessaly", "/foo/bar?baz=quz",
     false},
    {"ReservedPlain", "User-agent: *\nDisallow: /foo/bar?baz=https://foo.bar\n", "Tessaly",
     "/foo/bar?baz=https://foo.bar", false},
    {"ReservedEscapedHexCase", "User-agent: *\nDisallow: /foo/bar?baz=https%3A%2F%2Ffoo.bar\n",
     "Tessaly", "/foo/bar?baz=https%3a%2f%2ffoo.bar", false},
    {"RawUtf8PatternEscapedPath", "User-agent: *\nDisallow: /foo/bar/\xE3\x83\x84\n", "Tessaly",
     "/foo/bar/%E3%83%84", false},
    {"RawUtf8PatternLowerHexPath", "User-agent: *\nDisallow: /foo/bar/\xE3\x83\x84\n", "Tessaly",
     "/foo/bar/%e3%83%84", false},
    {"EscapedPatternRawUtf8Path", "User-agent: *\nDisallow: /foo/bar/%E3%83%84\n", "Tessaly",
     "/foo/bar/\xE3\x83\x84", false},
    {"EscapedUnreservedPattern", "User-agent: *\nDisallow: /foo/bar/%62%61%7A\n", "Tessaly",
     "/foo/bar/baz", false},
    {"EscapedUnreservedPath", "User-agent: *\nDisallow: /foo/bar/baz\n", "Tessaly",
     "/foo/bar/%62%61%7a", false},
};
INSTANTIATE_TEST_SUITE_P(Examples, RobotsDecision, ::testing::ValuesIn(kExampleCases), CaseName);

const TDecision kGroupCases[] = {
    {"AgentCaseIgnored", "User-agent: TESSALY\nDisallow: /p\n", "Tessaly", "/p", false},
    {"AgentVersionIgnored", "User-agent: Tessaly/4.5\nDisallow: /p\n", "tessaly", "/p", false},
    {"TokenVersionIgnored", "User-agent: Tessaly\nDisallow: /p\n", "Tessaly/4.5", "/p", false},
    {"OtherAgentWithOurNameInIt", "User-agent: tessaly-bot\nDisallow: /p\n", "Tessaly", "/p", true},
    {"AgentPrefixOfOurs", "User-agent: Tess\nDisallow: /p\n", "Tessaly", "/p", true},
    {"FallbackToStar", "User-agent: other\nDisallow: /\n\nUser-agent: *\nDisallow: /p\n", "Tessaly",
     "/p", false},
    {"FallbackToStarOnlyItsRules",
     "User-agent: other\nDisallow: /\n\nUser-agent: *\nDisallow: /p\n", "Tessaly", "/q", true},
    {"OwnGroupHidesStar", "User-agent: *\nDisallow: /p\n\nUser-agent: Tessaly\nDisallow: /q\n",
     "Tessaly", "/p", true},
    {"StarGroupsCombined",
     "User-agent: *\nDisallow: /p\n\nUser-agent: x\nDisallow: /\n\n"
     "User-agent: *\nDisallow: /q\n",
     "Tessaly", "/q", false},
    {"StarAndOursInOneGroup", "User-agent: *\nUser-agent: Tessaly\nDisallow: /p\n", "Tessaly", "/p",
     false},
    {"EmptyTokenOnlyStar", "User-agent: Tessaly\nDisallow: /p\nUser-agent: *\nDisallow: /q\n", "",
     "/q", false},
    {"RulesBeforeAnyAgentIgnored", "Disallow: /\nAllow: /x\nUser-agent: *\nDisallow: /p\n",
     "Tessaly", "/a", true},
    {"AgentLinesAcrossBlankLine", "User-agent: other\n\nUser-agent: Tessaly\nDisallow: /p\n",
     "Tessaly", "/p", false},
    {"AgentAfterRuleStartsGroup",
     "User-agent: Tessaly\nDisallow: /p\nUser-agent: other\n"
     "Disallow: /q\n",
     "Tessaly", "/q", true},
    {"UnknownLineEndsNoGroup",
     "User-agent: other\nCrawl-delay: 5\nUser-agent: Tessaly\n"
     "Disallow: /p\n",
     "Tessaly", "/p", false},
    {"SitemapLineEndsNoGroup", "User-agent: Tessaly\nSitemap: https://h/s.xml\nDisallow: /p\n",
     "Tessaly", "/p", false},
    {"EmptyDisallowEndsAgents", "User-agent: Tessaly\nDisallow:\nUser-agent: other\nDisallow: /\n",
     "Tessaly", "/p", true},
    {"OwnGroupWithoutRules", "User-agent: *\nDisallow: /\n\nUser-agent: Tessaly\n", "Tessaly", "/p",
     true},
    {"EmptyFile", "", "Tessaly", "/p", true},
    {"OnlyComments", "# nothing here\n\n   # at all\n", "Tessaly", "/p", true},
};
INSTANTIATE_TEST_SUITE_P(Groups, RobotsDecision, ::testing::ValuesIn(kGroupCases), CaseName);

const TDecision kSyntaxCases[] = {
    {"KeysAnyCase", "USER-AGENT: *\nDISALLOW: /p\n", "Tessaly", "/p", false},
    {"BlanksAroundColon", "User-agent :  *  \n  Disallow\t:\t/p  \n", "Tessaly", "/p", false},
    {"NoBlankAfterColon", "User-agent:*\nDisallow:/p\n", "Tessaly", "/p", false},
    {"CommentAfterValue", "User-agent: * # all\nDisallow: /p # private\n", "Tessaly", "/p", false},
    {"CommentAfterValueNotInPattern", "User-agent: *\nDisallow: /p$ # exact\n", "Tessaly", "/p",
     false},
    {"CommentedRuleIgnored", "User-agent: *\n# Disallow: /p\n", "Tessaly", "/p", true},
    {"CarriageReturnLines", "User-agent: *\rDisallow: /p\rAllow: /p/q\r", "Tessaly", "/p/q", true},
    {"CarriageReturnLinesRule", "User-agent: *\rDisallow: /p\rAllow: /p/q\r", "Tessaly", "/p/r",
     false},
    {"CrLfLines", "User-agent: *\r\nDisallow: /p\r\n", "Tessaly", "/p", false},
    {"NoFinalLineEnd", "User-agent: *\nDisallow: /p", "Tessaly", "/p", false},
    {"ByteOrderMark", "\xEF\xBB\xBFUser-agent: *\nDisallow: /p\n", "Tessaly", "/p", false},
    {"UnknownKeysIgnored", "User-agent: *\nFoo: /p\nCrawl-delay: 9\n", "Tessaly", "/p", true},
    {"LineWithoutColonIgnored", "User-agent: *\nDisallow /p\n", "Tessaly", "/p", true},
    {"PatternWithoutSlashIgnored", "User-agent: *\nDisallow: p\n", "Tessaly", "/p", true},
    {"PatternStartingWithStar", "User-agent: *\nDisallow: *p\n", "Tessaly", "/ap", false},
    {"InnerBlankIsEscaped", "User-agent: *\nDisallow: /a b\n", "Tessaly", "/a%20b", false},
    {"InnerBlankMatchesRawBlank", "User-agent: *\nDisallow: /a b\n", "Tessaly", "/a b", false},
};
INSTANTIATE_TEST_SUITE_P(Syntax, RobotsDecision, ::testing::ValuesIn(kSyntaxCases), CaseName);

const TDecision kMatchCases[] = {
    {"PrefixSame", "User-agent: *\nDisallow: /tmp\n", "Tessaly", "/tmp", false},
    {"PrefixLonger", "User-agent: *\nDisallow: /tmp\n", "Tessaly", "/tmp.html", false},
    {"PrefixDirectory", "User-agent: *\nDisallow: /tmp/\n", "Tessaly", "/tmp", true},
    {"PrefixNotInside", "User-agent: *\nDisallow: /tmp\n", "Tessaly", "/a/tmp", true},
    {"CaseSensitive", "User-agent: *\nDisallow: /Tmp\n", "Tessaly", "/tmp", true},
    {"WildcardInside", "User-agent: *\nDisallow: /this/*/exactly\n", "Tessaly",
     "/this/a/b/exactly/c", false},
    {"WildcardEmptyRun", "User-agent: *\nDisallow: /a*b\n", "Tessaly", "/ab", false},
    {"WildcardsInOrder", "User-agent: *\nDisallow: /*a*b*c\n", "Tessaly", "/cba", true},
    {"WildcardQuery", "User-agent: *\nDisallow: /*?sessionid=\n", "Tessaly", "/p?sessionid=2&x=1",
     false},
    {"AnchorMatches", "User-agent: *\nDisallow: /*.php$\n", "Tessaly", "/a/b.php", false},
    {"AnchorQuery", "User-agent: *\nDisallow: /*.php$\n", "Tessaly", "/a/b.php?x", true},
    {"AnchorLonger", "User-agent: *\nDisallow: /*.php$\n", "Tessaly", "/a/b.phps", true},
    {"AnchorLastOccurrence", "User-agent: *\nDisallow: /*.php$\n", "Tessaly", "/x.php/y.php",
     false},
    {"AnchorNoOverlapWithPrefix", "User-agent: *\nDisallow: /a*a$\n", "Tessaly", "/a", true},
    {"AnchorExact", "User-agent: *\nDisallow: /a$\n", "Tessaly", "/a", false},
    {"AnchorExactLonger", "User-agent: *\nDisallow: /a$\n", "Tessaly", "/ab", true},
    {"AnchorAfterWildcardOnly", "User-agent: *\nDisallow: /a*$\n", "Tessaly", "/abc", false},
    {"DollarInsideIsLiteral", "User-agent: *\nDisallow: /a$b\n", "Tessaly", "/a$b", false},
    {"StarRun", "User-agent: *\nDisallow: /a***b\n", "Tessaly", "/axxb", false},
    {"LongestWins", "User-agent: *\nAllow: /p\nDisallow: /p/q\n", "Tessaly", "/p/q/r", false},
    {"LongestWinsAllow", "User-agent: *\nDisallow: /p\nAllow: /p/q\n", "Tessaly", "/p/q/r", true},
    {"LongerWildcardWins", "User-agent: *\nAllow: /\nDisallow: /*\n", "Tessaly", "/", false},
    {"AllowWinsTie", "User-agent: *\nDisallow: /p\nAllow: /p\n", "Tessaly", "/p", true},
    {"AllowWinsTieOtherPatterns", "User-agent: *\nDisallow: /p*\nAllow: /p$\n", "Tessaly", "/p",
     true},
    {"EscapedFormWeighsAsPlain", "User-agent: *\nDisallow: /bar\nAllow: /%62ar\n", "Tessaly",
     "/bar", true},
    {"EscapedSlashIsNoSlash", "User-agent: *\nDisallow: /a%2fb\n", "Tessaly", "/a/b", true},
    {"SlashIsNoEscapedSlash", "User-agent: *\nDisallow: /a/b\n", "Tessaly", "/a%2Fb", true},
    {"EscapedSlashHexCase", "User-agent: *\nDisallow: /a%2fb\n", "Tessaly", "/a%2Fb", false},
    {"EscapedTildePath", "User-agent: *\nDisallow: /~user\n", "Tessaly", "/%7Euser/x", false},
    {"EscapedTildePattern", "User-agent: *\nDisallow: /%7euser\n", "Tessaly", "/~user/x", false},
    {"ReservedPlainIsNotEscaped", "User-agent: *\nDisallow: /a:b\n", "Tessaly", "/a%3Ab", true},
    {"StrayPercent", "User-agent: *\nDisallow: /100%\n", "Tessaly", "/100%25", false},
    {"EmptyPathIsRoot", "User-agent: *\nDisallow: /$\n", "Tessaly", "", false},
    {"PathWithoutSlash", "User-agent: *\nDisallow: /p\n", "Tessaly", "p", false},
    {"RobotsTxtAlwaysAllowed", "User-agent: *\nDisallow: /\n", "Tessaly", "/robots.txt", true},
    {"RobotsTxtEscapedForm", "User-agent: *\nDisallow: /\n", "Tessaly", "/robots%2Etxt", true},
    {"RobotsTxtOnlyItself", "User-agent: *\nDisallow: /\n", "Tessaly", "/robots.txt.bak", false},
};
INSTANTIATE_TEST_SUITE_P(Matching, RobotsDecision, ::testing::ValuesIn(kMatchCases), CaseName);

// Filler comment lines up to exactly size bytes, each ending in a newline.
std::string Filler(size_t size) {
    std::string text;
    while (text.size() < size) {
        const size_t line = std::min<size_t>(80, size - text.size());
        text.append(line - 1, '#');
        text.push_back('\n');
    }
    return text;
}

TEST(RobotsLimit, RulesPastTheLimitAreIgnored) {
    const std::string head = "User-agent: *\nDisallow: /early\n";
    const size_t limit = TRobotsRules::MaxParsedBytes;

    // A rule that ends exactly at the limit is read.
    const std::string lastKept = "Disallow: /kept\n";
    std::string body = head + Filler(limit - head.size() - lastKept.size()) + lastKept;
    ASSERT_EQ(body.size(), limit);
    body += "Disallow: /late\n";
    TRobotsRules rules = TRobotsRules::Parse(body, "Tessaly");
    EXPECT_FALSE(rules.IsAllowed("/early"));
    EXPECT_FALSE(rules.IsAllowed("/kept"));
    EXPECT_TRUE(rules.IsAllowed("/late"));

    // Also when only the newline of its line falls past the limit.
    body = head + Filler(limit - head.size() - lastKept.size() + 1) + "Disallow: /kept";
    ASSERT_EQ(body.size(), limit);
    body += "\nDisallow: /late\n";
    EXPECT_FALSE(TRobotsRules::Parse(body, "Tessaly").IsAllowed("/kept"));

    // A line the limit cuts through is not read as its beginning: the cut
    // "Allow: /privat" would let /privat through.
    const std::string cut = "Allow: /private";
    body = head + "Disallow: /priv\n";
    body += Filler(limit - body.size() - 14) + cut + "\n";
    ASSERT_LT(body.size() - cut.size() - 1, limit);
    ASSERT_GT(body.size(), limit);
    rules = TRobotsRules::Parse(body, "Tessaly");
    EXPECT_FALSE(rules.IsAllowed("/privat"));
    EXPECT_FALSE(rules.IsAllowed("/private"));
}

struct TAnswerCase {
    int Status;
    const char* Body;
    bool PathAllowed;
    bool DisallowsAll;
};

std::ostream& operator<<(std::ostream& os, const TAnswerCase& c) {
    return os << "status " << c.Status;
}

class RobotsAnswer : public ::testing::TestWithParam<TAnswerCase> {};

TEST_P(RobotsAnswer, StatusDecides) {
    const TAnswerCase& c = GetParam();
    const TRobotsRules rules = TRobotsRules::FromAnswer(c.Status, c.Body, "Tessaly");
    EXPECT_EQ(rules.IsAllowed("/p"), c.PathAllowed);
    EXPECT_EQ(rules.IsAllowed("/"), c.PathAllowed);
    EXPECT_EQ(rules.DisallowsAll(), c.DisallowsAll);
    EXPECT_TRUE(rules.IsAllowed("/robots.txt"));
}

const char* const kDisallowP = "User-agent: *\nDisallow: /p\nDisallow: /$\n";
const TAnswerCase kAnswerCases[] = {
    {200, kDisallowP, false, false},
    {206, kDisallowP, false, false},
    {204, "", true, false},
    {200, "User-agent: *\nDisallow: /\n", false, true},
    // Redirects left unfollowed count as no robots.txt.
    {301, kDisallowP, true, false},
    {400, kDisallowP, true, false},
    {404, kDisallowP, true, false},
    {410, kDisallowP, true, false},
    {499, kDisallowP, true, false},
    {500, kDisallowP, false, true},
    {503, kDisallowP, false, true},
    {599, kDisallowP, false, true},
    // No answer: a network failure or a time-out.
    {0, kDisallowP, false, true},
    // Not a status a server can give.
    {-1, kDisallowP, false, true},
    {100, kDisallowP, false, true},
    {600, kDisallowP, false, true},
};
INSTANTIATE_TEST_SUITE_P(Statuses, RobotsAnswer, ::testing::ValuesIn(kAnswerCases));

TEST(RobotsDisallowsAll, OnlyWhenNoPathCanBeAllowed) {
    struct TCase {
        const char* Robots;
        bool Expected;
    };
    const TCase cases[] = {
        {"User-agent: *\nDisallow: /\n", true},
        {"User-agent: *\nDisallow: *\n", true},
        {"User-agent: *\nDisallow: /**$\n", true},
        {"User-agent: *\nAllow: /\nDisallow: /*\n", true},
        {"User-agent: *\nDisallow: /\nAllow: /public/\n", false},
        {"User-agent: *\nDisallow: /*\nAllow: /$\n", false},
        {"User-agent: *\nDisallow: /$\n", false},
        {"User-agent: *\nDisallow: /a\n", false},
        {"User-agent: *\nDisallow: /\nUser-agent: Tessaly\n", false},
        {"", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TRobotsRules::Parse(c.Robots, "Tessaly").DisallowsAll(), c.Expected) << c.Robots;
    EXPECT_TRUE(TRobotsRules::DisallowAll().DisallowsAll());
    EXPECT_FALSE(TRobotsRules::AllowAll().DisallowsAll());
    EXPECT_FALSE(TRobotsRules::DisallowAll().IsAllowed("/"));
    EXPECT_TRUE(TRobotsRules::DisallowAll().IsAllowed("/robots.txt"));
    EXPECT_TRUE(TRobotsRules::AllowAll().IsAllowed("/anything?at=all"));
}

TEST(RobotsSitemaps, CollectedFromTheWholeFileInOrderOnce) {
    const char* robots = "Sitemap: https://h/first.xml\n"
                         "User-agent: other\n"
                         "Disallow: /\n"
                         "SITEMAP:https://h/second.xml # the news\n"
                         "sitemap: https://h/first.xml\n"
                         "Sitemap:\n"
                         "User-agent: *\n"
                         "Sitemap: https://h/third.xml?part=1\n";
    const TRobotsRules rules = TRobotsRules::Parse(robots, "Tessaly");
    const std::vector<std::string> expected = {"https://h/first.xml", "https://h/second.xml",
                                               "https://h/third.xml?part=1"};
    EXPECT_EQ(rules.Sitemaps(), expected);
    EXPECT_TRUE(TRobotsRules::FromAnswer(404, robots, "Tessaly").Sitemaps().empty());
    EXPECT_TRUE(TRobotsRules::FromAnswer(500, robots, "Tessaly").Sitemaps().empty());
}

TEST(RobotsProductToken, FirstWordOfTheAgent) {
    EXPECT_EQ(TRobotsRules::ProductToken("Tessaly/4.5 (+https://example.com/bot)"), "Tessaly");
    EXPECT_EQ(TRobotsRules::ProductToken("  my_crawler-2 extra"), "my_crawler-2");
    EXPECT_EQ(TRobotsRules::ProductToken("Mozilla/5.0 (compatible; Tessaly)"), "Mozilla");
    EXPECT_EQ(TRobotsRules::ProductToken(""), "Tessaly");
    EXPECT_EQ(TRobotsRules::ProductToken("/4.5"), "Tessaly");
}

TEST(RobotsRules, DuplicateRulesKeptOnce) {
    const TRobotsRules rules = TRobotsRules::Parse(
        "User-agent: *\nDisallow: /a\nDisallow: /%61\nDisallow: /a\nAllow: /a\nDisallow: /a**b\n"
        "Disallow: /a*b\n",
        "Tessaly");
    EXPECT_EQ(rules.RuleCount(), 3u);
    EXPECT_TRUE(rules.IsAllowed("/a"));
    EXPECT_FALSE(rules.IsAllowed("/axb"));
}

// Matches pattern against path by trying every split, the plain way: "*"
// any run, a final "$" the end of the path, otherwise a prefix match.
bool ReferenceMatch(const std::string& pattern, const std::string& path) {
    std::string p = pattern;
    const bool anchored = !p.empty() && p.back() == '$';
    if (anchored)
        p.pop_back();
    // reach[j]: the pattern read so far can end at path[j].
    std::vector<bool> reach(path.size() + 1, false);
    reach[0] = true;
    for (char c : p) {
        std::vector<bool> next(path.size() + 1, false);
        for (size_t j = 0; j <= path.size(); ++j) {
            if (c == '*')
                next[j] = reach[j] || (j > 0 && next[j - 1]);
            else
                next[j] = j > 0 && reach[j - 1] && path[j - 1] == c;
        }
        reach.swap(next);
    }
    return anchored ? reach[path.size()]
                    : std::find(reach.begin(), reach.end(), true) != reach.end();
}

TEST(RobotsRules, WildcardMatchAgreesWithTryingEverySplit) {
    std::mt19937 random(9309);
    const std::string patternChars = "/ab**";
    const std::string pathChars = "/ab";
    auto text = [&](const std::string& chars, size_t maxLength) {
        std::string s;
        const size_t length = random() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i)
            s.push_back(chars[random() % chars.size()]);
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string pattern = (random() % 4 == 0 ? "*" : "/") + text(patternChars, 7);
        if (random() % 2 == 0)
            pattern.push_back('$');
        const std::string path = "/" + text(pathChars, 9);
        const TRobotsRules rules =
            TRobotsRules::Parse("User-agent: *\nDisallow: " + pattern + "\n", "Tessaly");
        ASSERT_EQ(rules.IsAllowed(path), !ReferenceMatch(pattern, path))
            << "pattern " << pattern << " path " << path;
    }
}

// Rules read from a hostile file and an address they do not disallow.
struct TAsking {
    TRobotsRules Rules;
    std::string Path;
};

double SecondsAsking(const TAsking& asking, int repeats) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) {
        if (!asking.Rules.IsAllowed(asking.Path))
            ADD_FAILURE() << "disallowed";
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How much longer asking takes at eight times the size: about 8 when the
// work grows with the size, about 64 when it grows with its square. Asking
// is repeated to last a few milliseconds at the small size, and the two
// sizes are timed in turns, keeping the best of each, so that other
// programs running meanwhile weigh on both alike.
double GrowthAtEightTimes(const std::function<TAsking(size_t)>& make, size_t n) {
    const TAsking small = make(n);
    const TAsking large = make(8 * n);
    int repeats = 1;
    while (SecondsAsking(small, repeats) < 0.005 && repeats < (1 << 20))
        repeats *= 2;
    double smallSeconds = 1e9;
    double largeSeconds = 1e9;
    for (int round = 0; round < 5; ++round) {
        smallSeconds = std::min(smallSeconds, SecondsAsking(small, repeats));
        largeSeconds = std::min(largeSeconds, SecondsAsking(large, repeats));
    }
    return largeSeconds / smallSeconds;
}

TEST(RobotsHostile, AskingGrowsWithTheSizeNotFaster) {
    // Many "*": a matcher that tries every split takes exponential time.
    const auto manyStars = [](size_t n) {
        std::string robots = "User-agent: *\nDisallow: /";
        for (size_t i = 0; i < n; ++i)
            robots += "*a";
        robots += "*b\n";
        return TAsking{TRobotsRules::Parse(robots, "Tessaly"), "/" + std::string(2 * n, 'a')};
    };
    EXPECT_LT(GrowthAtEightTimes(manyStars, 20000), 24.0);

    // One long piece searched in a long path: a plain search compares the
    // piece again at every place.
    const auto longPiece = [](size_t n) {
        const std::string robots = "User-agent: *\nDisallow: /*" + std::string(n, 'a') + "b\n";
        return TAsking{TRobotsRules::Parse(robots, "Tessaly"), "/" + std::string(2 * n, 'a')};
    };
    EXPECT_LT(GrowthAtEightTimes(longPiece, 10000), 24.0);

    // Thousands of rules, each with a piece to look for.
    const auto manyRules = [](size_t n) {
        std::string robots = "User-agent: *\n";
        for (size_t i = 0; i < n; ++i)
            robots += "Disallow: /*x" + std::to_string(i) + "y\n";
        return TAsking{TRobotsRules::Parse(robots, "Tessaly"), "/" + std::string(200, 'x')};
    };
    EXPECT_LT(GrowthAtEightTimes(manyRules, 1000), 24.0);
}

TEST(RobotsHostile, GiantLinesAreRead) {
    const size_t size = TRobotsRules::MaxParsedBytes - 100;
    TRobotsRules rules = TRobotsRules::Parse(
        "User-agent: *\nDisallow: /" + std::string(size, '*') + "\n", "Tessaly");
    EXPECT_EQ(rules.RuleCount(), 1u);
    EXPECT_FALSE(rules.IsAllowed("/anything"));

    rules =
        TRobotsRules::Parse("User-agent: " + std::string(size, 'T') + "\nDisallow: /\n", "Tessaly");
    EXPECT_TRUE(rules.IsAllowed("/anything"));

    // A path far longer than addresses are.
    rules = TRobotsRules::Parse("User-agent: *\nDisallow: /*%E3%83%84$\n", "Tessaly");
    EXPECT_FALSE(rules.IsAllowed("/" + std::string(1 << 20, 'a') + "\xE3\x83\x84"));
    EXPECT_TRUE(rules.IsAllowed("/" + std::string(1 << 20, 'a')));
}

} // namespace
} // namespace tessaly
