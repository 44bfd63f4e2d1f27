#include "ItemProperties.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {
struct Fixture {
    TMapProfile profile;
    TSiteTree tree;
    TSiteTree::Node *home, *a, *a1, *a1x, *b;
    Fixture() {
        auto rec = [](const char* text, ChangeFreqType f, double p) {
            TDataRec r;
            r.LinkText = text;
            r.FilePath = std::string("/www/") + text;
            r.LinkURL = std::string("http://x/") + text;
            r.ChangeFreq = f;
            r.Priority = p;
            return r;
        };
        home = tree.addItem(nullptr, rec("home", cfMonthly, 0.5), iconFolder);
        a = tree.addItem(home, rec("a", cfMonthly, 0.5), iconFolder);
        a1 = tree.addItem(a, rec("a1", cfMonthly, 0.9), iconFolder); // default frequency only
        a1x = tree.addItem(a1, rec("a1x", cfDaily, 0.5), iconPage);  // default priority only
        b = tree.addItem(home, rec("b", cfNever, 0.1), iconPage);
    }
};
} // namespace

TEST(ItemProperties, OneItemTakesTheEditAndAFolderAddressMakesAFolderItem) {
    Fixture f;
    std::string shownLabel;
    bool changed = EditItemProperties(f.tree, f.profile, f.b, {f.b},
                                      [&](const std::string& label, const std::string&,
                                          const std::string&, ChangeFreqType, double) {
                                          shownLabel = label;
                                          return ItemEdit{"B page", "http://x/b/", cfDaily, 0.7,
                                                          false,    false,         false};
                                      });
    EXPECT_TRUE(changed);
    EXPECT_EQ(shownLabel, "/www/b");
    EXPECT_EQ(f.b->data.LinkText, "B page");
    EXPECT_EQ(f.b->data.LinkURL, "http://x/b/");
    EXPECT_EQ(f.b->data.ChangeFreq, cfDaily);
    EXPECT_DOUBLE_EQ(f.b->data.Priority, 0.7);
    EXPECT_EQ(f.b->icon, iconFolder);
}

TEST(ItemProperties, ACrawledPageKeepsItsAddressAsPathWhenItsLinkIsEdited) {
    // A crawled page holds its address once, as its link; the path shown
    // must stay the address it was found under after the link changes.
    Fixture f;
    f.b->data.FilePath.clear();
    f.b->data.LinkURL = "http://x/b.html";
    std::string shownLabel;
    EditItemProperties(f.tree, f.profile, f.b, {f.b}, [&](const std::string& label, auto&&...) {
        shownLabel = label;
        return ItemEdit{"b", "http://x/moved.html", cfDaily, 0.7, false, false, false};
    });
    EXPECT_EQ(shownLabel, "http://x/b.html");
    EXPECT_EQ(f.b->data.Path(), "http://x/b.html");
    EXPECT_EQ(f.b->data.LinkURL, "http://x/moved.html");
}

TEST(ItemProperties, CancelChangesNothing) {
    Fixture f;
    EXPECT_FALSE(EditItemProperties(f.tree, f.profile, f.b, {f.b},
                                    [](auto&&...) { return std::optional<ItemEdit>(); }));
    EXPECT_EQ(f.b->data.LinkText, "b");
    EXPECT_EQ(f.b->icon, iconPage);
}

TEST(ItemProperties, ApplyToSubitemsWithAndWithoutOnlyIfDefault) {
    struct Case {
        bool onlyIfDefault;
        // frequency and priority of a1, a1x afterwards
        ChangeFreqType a1f, a1xf;
        double a1p, a1xp;
    };
    const Case cases[] = {
        {false, cfYearly, cfYearly, 0.2, 0.2},
        {true, cfYearly, cfDaily, 0.9, 0.2},
    };
    for (const auto& c : cases) {
        Fixture f;
        EditItemProperties(f.tree, f.profile, f.a, {f.a}, [&](auto&&...) {
            return std::optional(
                ItemEdit{"a", "http://x/a", cfYearly, 0.2, true, c.onlyIfDefault, false});
        });
        EXPECT_EQ(f.a->data.ChangeFreq, cfYearly);
        EXPECT_EQ(f.a1->data.ChangeFreq, c.a1f);
        EXPECT_EQ(f.a1x->data.ChangeFreq, c.a1xf);
        EXPECT_DOUBLE_EQ(f.a1->data.Priority, c.a1p);
        EXPECT_DOUBLE_EQ(f.a1x->data.Priority, c.a1xp);
        EXPECT_EQ(f.b->data.ChangeFreq, cfNever); // not a subitem
    }
}

TEST(ItemProperties, SeveralItemsTakeOnlyFrequencyAndPriority) {
    Fixture f;
    std::vector<std::string> shown;
    EditItemProperties(
        f.tree, f.profile, nullptr, {f.b, f.a1x},
        [&](const std::string& label, const std::string& text, const std::string& url,
            ChangeFreqType freq, double pri) {
            shown = {label, text, url, ChangeFreqName(freq), std::to_string(pri)};
            return std::optional(ItemEdit{label, url, cfHourly, 1.0, false, false, false});
        });
    EXPECT_EQ(shown, (std::vector<std::string>{kMultipleFilesSelected, kMultipleFilesSelected,
                                               kMultipleFilesSelected, "cfNever", "0.100000"}));
    for (auto* n : {f.b, f.a1x}) {
        EXPECT_EQ(n->data.ChangeFreq, cfHourly);
        EXPECT_DOUBLE_EQ(n->data.Priority, 1.0);
    }
    EXPECT_EQ(f.b->data.LinkText, "b");
    EXPECT_EQ(f.b->data.LinkURL, "http://x/b");
    EXPECT_FALSE(EditItemProperties(f.tree, f.profile, nullptr, {},
                                    [](auto&&...) { return std::optional(ItemEdit{}); }));
}

// Items the crawl left out of the maps: the dialog is told why, and its
// check box takes the edited items back in; other items keep their flag.
TEST(ItemProperties, IncludeInMapsTakesLeftOutItemsBackIn) {
    for (bool several : {false, true}) {
        SCOPED_TRACE(several);
        Fixture f;
        f.a1->data.LeftOut = TLeftOut::Canonical;
        f.b->data.LeftOut = TLeftOut::NoIndex;
        f.a1x->data.LeftOut = TLeftOut::NoIndex;
        std::vector<TSiteTree::Node*> selected{f.a, f.b};
        TSiteTree::Node* item = several ? nullptr : f.b;
        EXPECT_EQ(LeftOutReasonOf(item, selected), LeftOutReason(TLeftOut::NoIndex));
        EXPECT_EQ(LeftOutReasonOf(nullptr, {f.a}), "");
        EditItemProperties(f.tree, f.profile, item, selected, [](auto&&...) {
            ItemEdit edit{"b", "http://x/b", cfDaily, 0.5, false, false, true};
            return std::optional(edit);
        });
        EXPECT_EQ(f.b->data.LeftOut, TLeftOut::None);
        EXPECT_EQ(f.a1->data.LeftOut, TLeftOut::Canonical); // not edited
        EXPECT_EQ(f.a1x->data.LeftOut, TLeftOut::NoIndex);  // not edited
    }
}
