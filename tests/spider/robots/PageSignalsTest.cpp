// What a page says to crawlers: robots meta words, X-Robots-Tag values for
// us or for others, canonical Link headers and rel word lists.

#include "PageSignals.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {

struct DirectiveCase {
    const char* text;
    bool noIndex;
    bool noFollow;
};

TEST(PageSignals, RobotsMetaContent) {
    const DirectiveCase cases[] = {
        {"noindex", true, false},
        {"NoIndex, NOFOLLOW", true, true},
        {" nofollow ,index", false, true},
        {"none", true, true},
        {"all", false, false},
        {"index, follow", false, false},
        {"noindexx, nofollowing", false, false},
        {"noindex nofollow", false, false}, // one word that is neither
        {"", false, false},
        {",,noindex,,", true, false},
        {"max-snippet:-1, noindex", true, false},
    };
    for (const DirectiveCase& c : cases) {
        SCOPED_TRACE(c.text);
        const TRobotsDirectives d = ParseRobotsContent(c.text);
        EXPECT_EQ(d.NoIndex, c.noIndex);
        EXPECT_EQ(d.NoFollow, c.noFollow);
    }
}

TEST(PageSignals, XRobotsTagForUsOrForEveryone) {
    const DirectiveCase cases[] = {
        {"noindex", true, false},
        {"noindex, nofollow", true, true},
        {"none", true, true},
        {"Tessaly: noindex", true, false},
        {"tessaly:nofollow", false, true},
        {"googlebot: noindex", false, false},
        {"otherbot: none", false, false},
        {"unavailable_after: 25 Jun 2010 15:00:00 PST", false, false},
        {"noindex, unavailable_after: 25 Jun 2010 15:00:00 PST", true, false},
        {"max-snippet: 20", false, false},
        {"  NOINDEX  ", true, false},
        {"", false, false},
    };
    for (const DirectiveCase& c : cases) {
        SCOPED_TRACE(c.text);
        const TRobotsDirectives d = ParseXRobotsTag(c.text, "Tessaly");
        EXPECT_EQ(d.NoIndex, c.noIndex);
        EXPECT_EQ(d.NoFollow, c.noFollow);
    }
    // Another agent text makes another token ours.
    EXPECT_TRUE(ParseXRobotsTag("mybot: noindex", "MyBot").NoIndex);
    EXPECT_FALSE(ParseXRobotsTag("tessaly: noindex", "MyBot").NoIndex);
}

TEST(PageSignals, CanonicalLinkHeaders) {
    struct Case {
        const char* header;
        std::vector<std::string> targets;
    };
    const Case cases[] = {
        {"<https://example.com/a>; rel=\"canonical\"", {"https://example.com/a"}},
        {"</a>; rel=canonical", {"/a"}},
        {"</a>; REL=\"Canonical\"", {"/a"}},
        {"</a>; rel=\"alternate canonical\"", {"/a"}},
        {"</style.css>; rel=preload, </b>; rel=\"canonical\"", {"/b"}},
        {"</a>; title=\"x, y\"; rel=\"canonical\", </c>; rel=\"next\"", {"/a"}},
        {"</a>; rel=\"canonical\", </b>; rel=\"canonical\"", {"/a", "/b"}},
        {"</a>; rel=\"next\"", {}},
        {"</a,b>; rel=canonical", {"/a,b"}},
        {"<unclosed; rel=canonical", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(CanonicalLinks(c.header), c.targets);
    }
}

TEST(PageSignals, RelWordLists) {
    struct Case {
        const char16_t* rel;
        bool nofollow;
    };
    const Case cases[] = {
        {u"nofollow", true},           {u"NoFollow", true},   {u"nofollow noopener", true},
        {u"noopener\tnofollow", true}, {u" nofollow ", true}, {u"nofollowed", false},
        {u"no follow", false},         {u"", false},          {u"sponsored", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelHasWord(std::u16string_view(c.rel), u"nofollow"), c.nofollow)
            << std::string(std::u16string_view(c.rel).begin(), std::u16string_view(c.rel).end());
    }
    EXPECT_TRUE(RelHasWord(std::string_view("Canonical"), "canonical"));
}

} // namespace
