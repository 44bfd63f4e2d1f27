// The crawl's queue and visited list: the answers of the entry-by-entry
// searches they replace, from their indexes.
#include "SpiderQueue.h"
#include "CaseKey.h"
#include "SpiderTree.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(SpiderQueue, WaitingEntriesMatchExactlyVisitedOnesWithoutCase) {
    TSpiderQueue q;
    auto on = std::make_shared<const std::string>("http://h/");
    EXPECT_EQ(q.QueueURL("http://h/A.html", "http://h/A.html", on), 0);
    // Differs in case only: queued, as both are fetched when queued before
    // either is taken.
    EXPECT_EQ(q.QueueURL("http://h/a.html", "http://h/a.html", on), 1);
    EXPECT_EQ(q.QueueURL("http://h/A.html", "http://h/A.html", on), -1);
    EXPECT_EQ(q.QueueURL("http://h/b.html?x=1", "http://h/b.html", on), 2);

    AURLItem first = q.TakeFront();
    EXPECT_EQ(first.FullURL, "http://h/A.html");
    EXPECT_EQ(*first.FoundOn, "http://h/");
    q.AddVisited(first.FullURL);
    // Taken: no longer waiting, but visited, in any letter case.
    EXPECT_EQ(q.QueueURL("http://h/A.html", "http://h/A.html", on), -1);
    EXPECT_EQ(q.QueueURL("HTTP://H/A.HTML", "HTTP://H/A.HTML", on), -1);
    EXPECT_EQ(q.Size(), 2u);
    EXPECT_EQ(q.TakeFront().FullURL, "http://h/a.html");
    EXPECT_EQ(q.TakeFront().BareURL, "http://h/b.html");
    EXPECT_TRUE(q.Empty());
    // The same address found again after it was taken (and not visited:
    // another host's links are taken without a visit) is queued anew.
    EXPECT_EQ(q.QueueURL("http://h/b.html?x=1", "http://h/b.html", on), 0);
}

TEST(SpiderQueue, CaseKeysAgreeForEveryText) {
    struct Case {
        std::string a, b;
        bool equal;
    };
    const Case cases[] = {
        {"http://h/Caf\xC3\xA9", "HTTP://H/CAF\xC3\x89", true}, // é and É
        {"http://h/K", "http://h/\xE2\x84\xAA", true},          // the Kelvin sign folds to k
        {"http://h/a", "http://h/b", false},
        {"http://h/\xC3\xA9", "http://h/e", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TCaseEqual()(c.a, c.b), c.equal) << c.a << " / " << c.b;
        if (c.equal) {
            EXPECT_EQ(TCaseHash()(c.a), TCaseHash()(c.b)) << c.a << " / " << c.b;
        }
    }
}

TEST(SpiderTree, SegmentsAndTitles) {
    EXPECT_EQ(LastURLSegment("http://h/a/b.php?id=5"), "b.php?id=5");
    EXPECT_EQ(LastURLSegment("http://h/a/"), "");
    EXPECT_EQ(LastURLSegment("nothing"), "");
    EXPECT_EQ(TitleAsHtml("Tom & Jerry <live> \"now\""), "Tom &amp; Jerry &lt;live&gt; \"now\"");
}
