#include "SiteTree.h"

#include <gtest/gtest.h>

using namespace tessaly;

namespace {
TDataRec rec(const std::string& text) {
    TDataRec r;
    r.LinkText = text;
    return r;
}

std::string order(const TSiteTree& t) {
    std::string s;
    t.forEach([&](TSiteTree::Node& n) { s += n.data.LinkText + " "; });
    return s;
}
} // namespace

TEST(SiteTree, TreeOrderIsParentsBeforeChildren) {
    TSiteTree t;
    auto* home = t.addItem(nullptr, rec("Home"), iconFolder);
    auto* a = t.addItem(home, rec("a"), iconFolder);
    t.addItem(a, rec("a1"), iconPage);
    t.addItem(home, rec("b"), iconImage);
    EXPECT_EQ(order(t), "Home a a1 b ");
    EXPECT_EQ(t.count(), 4u);
    EXPECT_EQ(t.firstItem(), home);
    EXPECT_EQ(t.rowCount(t.indexOf(home)), 2);
    EXPECT_EQ(t.parent(t.indexOf(a)), t.indexOf(home));
}

TEST(SiteTree, DeletingMarkedItemsTakesTheirSubitems) {
    struct Case {
        std::vector<std::string> marked;
        std::string left;
    };
    const Case cases[] = {
        {{"a"}, "Home b c "}, {{"a1", "c"}, "Home a a2 b "}, {{"a", "a1"}, "Home b c "},
        {{"Home"}, ""},       {{"b"}, "Home a a1 a2 c "},
    };
    for (const auto& c : cases) {
        TSiteTree t;
        auto* home = t.addItem(nullptr, rec("Home"), iconFolder);
        auto* a = t.addItem(home, rec("a"), iconFolder);
        t.addItem(a, rec("a1"), iconPage);
        t.addItem(a, rec("a2"), iconPage);
        t.addItem(home, rec("b"), iconPage);
        t.addItem(home, rec("c"), iconPage);
        t.forEach([&](TSiteTree::Node& n) {
            for (const auto& m : c.marked)
                n.data.DeleteMark |= n.data.LinkText == m;
        });
        t.deleteMarked();
        EXPECT_EQ(order(t), c.left);
        // Rows stay consistent with positions after deletions.
        t.forEach([&](TSiteTree::Node& n) {
            EXPECT_EQ(t.index(n.row, 0, t.parent(t.indexOf(&n))).internalPointer(), &n);
        });
    }
}

TEST(SiteTree, InPlaceEditChangesTheItemTextAndIsReported) {
    TSiteTree t;
    auto* home = t.addItem(nullptr, rec("Home"), iconFolder);
    TSiteTree::Node* edited = nullptr;
    QObject::connect(&t, &TSiteTree::itemEdited, [&](TSiteTree::Node* n) { edited = n; });
    EXPECT_TRUE(t.setData(t.indexOf(home), QString("Start"), Qt::EditRole));
    EXPECT_EQ(home->data.LinkText, "Start");
    EXPECT_EQ(edited, home);
    EXPECT_EQ(t.data(t.indexOf(home), TSiteTree::IconRole).toInt(), iconFolder);
}

TEST(SiteTree, AVeryLongTextIsShownCutAndEditedWhole) {
    TSiteTree t;
    // Multi-byte characters, so the cut must fall between characters.
    std::string title;
    for (int i = 0; i < 200000; ++i)
        title += "\xC3\xA9";
    auto* item = t.addItem(nullptr, rec(title), iconPage);
    QString shown = t.data(t.indexOf(item), Qt::DisplayRole).toString();
    EXPECT_LE(shown.size(), 1001);
    EXPECT_EQ(shown.back(), QChar(0x2026));
    EXPECT_EQ(shown.left(3), QString::fromUtf8("\xC3\xA9\xC3\xA9\xC3\xA9"));
    EXPECT_FALSE(shown.contains(QChar::ReplacementCharacter));
    EXPECT_EQ(t.data(t.indexOf(item), Qt::EditRole).toString().size(), 200000);
    auto* shortItem = t.addItem(nullptr, rec("Home"), iconFolder);
    EXPECT_EQ(t.data(t.indexOf(shortItem), Qt::DisplayRole).toString(), "Home");
}
