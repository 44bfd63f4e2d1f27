#include "ItemPropertiesDialog.h"
#include "MainWindowFixture.h"
#include "ModalHelpers.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPalette>

using namespace tessaly;
using namespace tessaly::test;

class ResultsTree : public MainWindowTest {
  protected:
    using Node = TSiteTree::Node;
    // Goes to the results page and fills the tree:
    // Home / docs (folder) / guide.html, logo.png; about.html
    void SetUp() override {
        MainWindowTest::SetUp();
        openOnResultsPage();
        TSiteTree& t = window->tree();
        home = t.addItem(nullptr, item("Home", "/www/", "/www/"), iconFolder);
        docs = t.addItem(home, item("docs", "/www/docs/", "/www/docs/"), iconFolder);
        guide = t.addItem(docs, item("Guide", "/www/docs/Guide.html", "/www/docs/"), iconPage);
        logo = t.addItem(docs, item("logo.png", "/www/docs/logo.png", "/www/docs/"), iconImage);
        about = t.addItem(home, item("About", "/www/About.html", "/www/"), iconPage);
        tree()->expandAll();
        window->profile().Modified = false;
    }
    static TDataRec item(const char* text, const char* file, const char* folder) {
        TDataRec r;
        r.LinkText = text;
        r.FilePath = file;
        r.FolderPath = folder;
        return r;
    }
    QTreeView* tree() { return find<QTreeView>("tvMap"); }
    void select(std::initializer_list<Node*> nodes) {
        tree()->clearSelection();
        for (Node* n : nodes)
            tree()->selectionModel()->select(window->tree().indexOf(n),
                                             QItemSelectionModel::Select);
    }
    // Opens the context menu on a node; returns the enabled state of its items
    // as a string of 1s and 0s in menu order.
    std::string menuOn(Node* n) {
        QRect r = tree()->visualRect(window->tree().indexOf(n));
        emit tree()->customContextMenuRequested(r.center());
        auto* menu = find<QMenu>("pumResults");
        std::string s;
        for (const char* name :
             {"miAddIgnoreFolder", "miIgnoreFile", "miDelete", "miRename", "miProperties"})
            s += menu->findChild<QAction*>(name)->isEnabled() ? '1' : '0';
        menu->hide();
        return s;
    }
    std::string texts() {
        std::string s;
        window->tree().forEach([&](Node& n) { s += n.data.LinkText + " "; });
        return s;
    }
    Node* node(const std::string& text) {
        Node* found = nullptr;
        window->tree().forEach([&](Node& n) {
            if (n.data.LinkText == text)
                found = &n;
        });
        return found;
    }
    Node *home, *docs, *guide, *logo, *about;
};

TEST_F(ResultsTree, ContextMenuEnablesCommandsByItemAndSelection) {
    struct Case {
        const char* on;
        std::vector<const char*> selected;
        std::string enabled; // miAddIgnoreFolder .. miProperties
    };
    const Case cases[] = {
        {"Home", {"Home"}, "00011"},          {"docs", {"docs"}, "10111"},
        {"Guide", {"Guide"}, "01111"},        {"logo.png", {"logo.png"}, "01111"},
        {"docs", {"docs", "About"}, "00101"}, {"About", {"docs", "About"}, "00101"},
        {"Home", {"Home", "About"}, "00001"},
    };
    for (const auto& c : cases) {
        tree()->clearSelection();
        for (const char* s : c.selected)
            tree()->selectionModel()->select(window->tree().indexOf(node(s)),
                                             QItemSelectionModel::Select);
        EXPECT_EQ(menuOn(node(c.on)), c.enabled) << c.on << " with " << c.selected.size();
    }
}

TEST_F(ResultsTree, ContextMenuOnEmptySpaceShowsNothing) {
    emit tree()->customContextMenuRequested(QPoint(5, tree()->viewport()->height() - 2));
    EXPECT_FALSE(find<QMenu>("pumResults")->isVisible());
}

TEST_F(ResultsTree, IgnoreListCommandsStoreThePathsAndRemoveTheItems) {
    select({docs});
    menuOn(docs);
    find<QAction>("miAddIgnoreFolder")->trigger();
    EXPECT_EQ(window->profile().IgnoreFolders(), "/www/docs/\r\n");
    EXPECT_EQ(texts(), "Home About ");
    EXPECT_TRUE(window->profile().Modified);

    select({about});
    menuOn(about);
    find<QAction>("miIgnoreFile")->trigger();
    EXPECT_EQ(window->profile().IgnoreFiles(), "/www/about.html\r\n");
    EXPECT_EQ(texts(), "Home ");
}

TEST_F(ResultsTree, DeleteAsksFirstAndTakesSubitems) {
    select({docs});
    prompts.answer(No);
    QTest::keyClick(tree(), Qt::Key_Delete);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Confirm Removal");
    EXPECT_EQ(prompts.messages[0].text,
              "Do you wish to remove the selected site map nodes from the tree?");
    EXPECT_EQ(prompts.messages[0].buttons, Yes | No);
    EXPECT_EQ(texts(), "Home docs Guide logo.png About ");

    prompts.answer(Yes);
    QTest::keyClick(tree(), Qt::Key_Delete);
    EXPECT_EQ(texts(), "Home About ");
    EXPECT_FALSE(window->profile().Modified);
}

TEST_F(ResultsTree, DeleteWithoutConfirmationAndOnTheFirstItemEmptiesTheTree) {
    window->profile().setConfirmDelete(false);
    select({home});
    QTest::keyClick(tree(), Qt::Key_Delete);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(window->tree().isEmpty());
}

TEST_F(ResultsTree, StatusLineDescribesTheOneSelectedItem) {
    QLocale::setDefault(QLocale(QLocale::German));
    guide->data.ChangeFreq = cfWeekly;
    guide->data.Priority = 0.8;
    select({guide});
    EXPECT_EQ(text("lblLinkFileName"), "/www/docs/Guide.html  [Change Freq: Weekly Pri: 0,8]");
    QLocale::setDefault(QLocale::c());
    select({guide, about});
    EXPECT_EQ(text("lblLinkFileName"), "Multiple Files Selected");
    select({});
    EXPECT_EQ(text("lblLinkFileName"), "Multiple Files Selected");
}

// A page the crawl left out stays in the tree, greyed, with its reason in
// the status line and the properties dialog, whose check box takes it back
// into the maps.
TEST_F(ResultsTree, ALeftOutItemIsGreyedAndCanBeTakenBackIn) {
    guide->data.LeftOut = TLeftOut::NoIndex;
    window->tree().itemChanged(guide);
    const QModelIndex index = window->tree().indexOf(guide);
    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    EXPECT_EQ(index.data(Qt::ForegroundRole).value<QBrush>().color(), grey);
    EXPECT_FALSE(window->tree().indexOf(about).data(Qt::ForegroundRole).isValid());
    select({guide});
    EXPECT_EQ(text("lblLinkFileName"),
              "/www/docs/Guide.html  [Change Freq: Monthly Pri: 0.5]  Left out of the site "
              "maps: the page asks not to be indexed (noindex)");

    // Cancel keeps it out; OK with the box ticked takes it in.
    for (bool ok : {false, true}) {
        QString shown;
        bool boxShown = false;
        OnModal<TfrmSiteMapItemProp>([&](TfrmSiteMapItemProp* d) {
            shown = d->findChild<QLabel*>("lblLeftOut")->text();
            auto* box = d->findChild<QCheckBox*>("chkIncludeInMaps");
            boxShown = box->isVisible();
            box->setChecked(true);
            d->findChild<QPushButton*>(ok ? "btnOk" : "btnCancel")->click();
        });
        window->findChild<QAction*>("miProperties")->trigger();
        EXPECT_EQ(shown, "Left out of the site maps: the page asks not to be indexed (noindex).");
        EXPECT_TRUE(boxShown);
        EXPECT_EQ(guide->data.LeftOut, ok ? TLeftOut::None : TLeftOut::NoIndex);
    }
    EXPECT_FALSE(index.data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(text("lblLinkFileName"), "/www/docs/Guide.html  [Change Freq: Monthly Pri: 0.5]");

    // An item that is in the maps shows no such box.
    bool boxShown = true;
    select({about});
    OnModal<TfrmSiteMapItemProp>([&](TfrmSiteMapItemProp* d) {
        boxShown = d->findChild<QCheckBox*>("chkIncludeInMaps")->isVisible();
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    window->findChild<QAction*>("miProperties")->trigger();
    EXPECT_FALSE(boxShown);
}

TEST_F(ResultsTree, InPlaceEditRenamesTheItemAndMakesTheOutputStale) {
    click("btnNext"); // the output run
    ASSERT_EQ(button("btnNext")->text(), "Done");
    select({about});
    QTest::keyClick(tree(), Qt::Key_F2);
    auto* editor = tree()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "About us");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the view commits the edit as a queued call
    EXPECT_EQ(about->data.LinkText, "About us");
    EXPECT_EQ(button("btnNext")->text(), "&Save");
    EXPECT_TRUE(button("btnNext")->isEnabled());
}
