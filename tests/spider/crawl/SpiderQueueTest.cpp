// The crawl's queue and visited list: the answers of the entry-by-entry
// searches they replace, from their indexes.
#include "SpiderQueue.h"
#include "CaseKey.h"
#include "SpiderTree.h"

#include <deque>
#include <string>

#include <gtest/gtest.h>

using namespace tessaly;

TEST(SpiderQueue, WaitingEntriesMatchExactlyVisitedOnesWithoutCase) {
    TSpiderQueue q;
    const std::string on = "http://h/";
    EXPECT_EQ(q.QueueURL("http://h/A.html", "http://h/A.html", on), 0);
    // Differs in case only: queued, as both are fetched when queued before
    // either is taken.
    EXPECT_EQ(q.QueueURL("http://h/a.html", "http://h/a.html", on), 1);
    EXPECT_EQ(q.QueueURL("http://h/A.html", "http://h/A.html", on), -1);
    EXPECT_EQ(q.QueueURL("http://h/b.html?x=1", "http://h/b.html", on), 2);

    AURLItem first = q.TakeFront();
    EXPECT_EQ(first.FullURL, "http://h/A.html");
    EXPECT_EQ(first.FoundOn, "http://h/");
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

// Entries keep their texts in blocks freed as the front moves on; a long
// crawl with takes between the queueing must hand out every text whole,
// including a page's address shared by its links across blocks and one
// queued again after an entry without a page (run under AddressSanitizer, a
// freed block read here is a failure).
TEST(SpiderQueue, TextsSurviveTheBlocksBeingFreedBehindTheFront) {
    TSpiderQueue q;
    struct Expected {
        std::string full, bare, foundOn;
    };
    std::deque<Expected> expected;
    auto queue = [&](const std::string& full, const std::string& bare, const std::string& on) {
        ASSERT_GE(q.QueueURL(full, bare, on), 0) << full;
        expected.push_back({full, bare, on});
    };
    auto take = [&] {
        AURLItem item = q.TakeFront();
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(item.FullURL, expected.front().full);
        EXPECT_EQ(item.BareURL, expected.front().bare);
        EXPECT_EQ(item.FoundOn, expected.front().foundOn);
        expected.pop_front();
    };
    const std::string longPage = "http://h/" + std::string(70000, 'p') + ".html";
    int n = 0;
    for (int page = 0; page < 400; ++page) {
        const std::string on = page % 97 == 5 ? longPage : "http://h/page" + std::to_string(page);
        for (int link = 0; link < 30; ++link, ++n) {
            const std::string bare = "http://h/" + std::to_string(n) + std::string(n % 50, 'x');
            queue(n % 3 ? bare : bare + "?q=" + std::to_string(n), bare, on);
        }
        if (page % 40 == 7) {
            // No page, then the same page again: its address is kept anew.
            // A long address fills a block of its own.
            const std::string start = "http://h/start" + std::to_string(page) +
                                      std::string(page % 80 == 7 ? 70000 : 0, 's');
            queue(start, start, "");
            queue("http://h/again" + std::to_string(page), "http://h/again" + std::to_string(page),
                  on);
        }
        // Take fewer than were queued, so the queue grows over many blocks.
        for (int i = 0; i < 20; ++i)
            take();
    }
    while (!q.Empty())
        take();
    EXPECT_TRUE(expected.empty());
    // Emptied, it goes on as before.
    queue("http://h/last", "http://h/last", "http://h/page0");
    take();
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

TEST(SpiderTree, Segments) {
    EXPECT_EQ(LastURLSegment("http://h/a/b.php?id=5"), "b.php?id=5");
    EXPECT_EQ(LastURLSegment("http://h/a/"), "");
    EXPECT_EQ(LastURLSegment("nothing"), "");
}
