#include "MainWindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>

using namespace tessaly;
using namespace tessaly::test;
namespace fs = std::filesystem;

class LocalSearch : public MainWindowTest {
  protected:
    void startLocal(const std::string& site) {
        open();
        QTest::mouseClick(find<QRadioButton>("optLocal"), Qt::LeftButton);
        find<QLineEdit>("editIndex")->setText(QString::fromStdString(site + "index.html"));
        find<QLineEdit>("editWebsite")->setText("http://www.example.com/");
    }
};

TEST_F(LocalSearch, ScansTheSiteAndShowsTheResults) {
    std::string site = path("site/");
    fs::copy(TESSALY_TEST_DATA "/localsite", site, fs::copy_options::recursive);
    startLocal(site);
    window->profile().setOutputFileName(site + "sitemap.html");
    click("btnNext");
    EXPECT_EQ(find<QStackedWidget>("pcMain")->currentWidget()->objectName(), "tsResults");
    // Default file types: the seven pages and notes.txt, less the output file.
    EXPECT_EQ(window->FoundCount, 7);
    EXPECT_EQ(text("lblTotalFiles"), "Total Files Found: 7");
    EXPECT_EQ(text("lblFileCount"), "7");
    EXPECT_EQ(text("lblLookingIn"), "");
    QString log = find<QPlainTextEdit>("memoFiles")->toPlainText();
    EXPECT_TRUE(log.startsWith(QString::fromStdString("Scanning Folder: " + site + "\n")));
    EXPECT_TRUE(log.endsWith("Total Files: 7"));
    // The first item is expanded and selected; the pics folder had no page and
    // is gone.
    TSiteTree::Node* home = window->tree().firstItem();
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->data.LinkText, "Home");
    EXPECT_TRUE(find<QTreeView>("tvMap")->isExpanded(window->tree().indexOf(home)));
    EXPECT_EQ(text("lblLinkFileName").toStdString(), site + "  [Change Freq: Monthly Pri: 0.5]");
    bool pics = false;
    window->tree().forEach([&](TSiteTree::Node& n) { pics |= n.data.LinkText == "pics"; });
    EXPECT_FALSE(pics);
}

TEST_F(LocalSearch, CancelShowsWhatWasFoundSoFar) {
    std::string site = path("big/");
    for (int d = 0; d < 100; ++d) {
        std::string folder = site + "f" + std::to_string(d) + "/";
        fs::create_directories(folder);
        for (int i = 0; i < 200; ++i)
            std::ofstream(folder + "p" + std::to_string(i) + ".html")
                << "<html><title>Page " << i << "</title></html>";
    }
    std::ofstream(site + "index.html") << "<title>Big</title>";
    startLocal(site);
    // Cancel is pressed as soon as the running scan lets window events run.
    QTimer cancel;
    cancel.setInterval(5);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (window->FoundCount > 0) {
            cancel.stop();
            click("btnCancel");
        }
    });
    cancel.start();
    click("btnNext");
    EXPECT_EQ(find<QStackedWidget>("pcMain")->currentWidget()->objectName(), "tsResults");
    EXPECT_GT(window->FoundCount, 0);
    EXPECT_LT(window->FoundCount, 20001);
    EXPECT_EQ(int(window->tree().count()) > 0, true);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->AutoRun);
}

class ItemDialog : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        openOnResultsPage();
        auto rec = [](const char* text, ChangeFreqType f, double p) {
            TDataRec r;
            r.LinkText = text;
            r.FilePath = std::string("/www/") + text;
            r.LinkURL = std::string("http://example.com/") + text;
            r.ChangeFreq = f;
            r.Priority = p;
            return r;
        };
        TSiteTree& t = window->tree();
        home = t.addItem(nullptr, rec("home", cfMonthly, 0.5), iconFolder);
        page = t.addItem(home, rec("page.html", cfWeekly, 0.8), iconPage);
        other = t.addItem(home, rec("other.html", cfDaily, 0.3), iconPage);
        find<QTreeView>("tvMap")->expandAll();
    }
    void select(std::initializer_list<TSiteTree::Node*> nodes) {
        auto* view = find<QTreeView>("tvMap");
        view->clearSelection();
        for (auto* n : nodes)
            view->selectionModel()->select(window->tree().indexOf(n), QItemSelectionModel::Select);
    }
    // Opens the dialog with Alt+Enter and runs check on it.
    void withDialog(const std::function<void(QDialog*)>& check) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            check(dlg);
            ran = true;
        });
        QTest::keyClick(find<QTreeView>("tvMap"), Qt::Key_Return, Qt::AltModifier);
        EXPECT_TRUE(ran);
    }
    TSiteTree::Node *home, *page, *other;
};

TEST_F(ItemDialog, EditsOneItem) {
    select({page});
    withDialog([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Edit Site Map Item");
        EXPECT_EQ(d->findChild<QLabel*>("lblLinkFileName")->text(), "/www/page.html");
        EXPECT_EQ(d->findChild<QComboBox*>("cboChangeFreq")->currentText(), "weekly");
        EXPECT_DOUBLE_EQ(d->findChild<QDoubleSpinBox*>("spinPriority")->value(), 0.8);
        auto* text = d->findChild<QLineEdit*>("editLinkText");
        text->selectAll();
        QTest::keyClicks(text, "Our Page");
        QTest::keyClick(text, Qt::Key_Return); // to the address
        auto* url = d->findChild<QLineEdit*>("editLinkURL");
        EXPECT_EQ(d->focusWidget(), url);
        url->setText("http://example.com/section/");
        d->findChild<QComboBox*>("cboChangeFreq")->setCurrentIndex(0);
        d->findChild<QDoubleSpinBox*>("spinPriority")->setValue(1.0);
        QTest::keyClick(url, Qt::Key_Return); // OK
    });
    EXPECT_EQ(page->data.LinkText, "Our Page");
    EXPECT_EQ(page->data.ChangeFreq, cfNothing);
    EXPECT_DOUBLE_EQ(page->data.Priority, 1.0);
    EXPECT_EQ(page->icon, iconFolder); // an address ending in "/" is a folder's
    EXPECT_EQ(text("lblLinkFileName"), "/www/page.html  [Change Freq: Nothing Pri: 1]");
}

TEST_F(ItemDialog, CancelChangesNothing) {
    select({page});
    withDialog([](QDialog* d) {
        d->findChild<QLineEdit*>("editLinkText")->setText("changed");
        d->findChild<QLineEdit*>("editLinkURL")->setText("http://changed/");
        d->findChild<QComboBox*>("cboChangeFreq")->setCurrentIndex(1);
        QTest::mouseClick(d->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(page->data.LinkText, "page.html");
    EXPECT_EQ(page->data.LinkURL, "http://example.com/page.html");
    EXPECT_EQ(page->data.ChangeFreq, cfWeekly);
}

TEST_F(ItemDialog, SeveralItemsShareFrequencyAndPriority) {
    select({page, other});
    withDialog([](QDialog* d) {
        for (const char* name : {"editLinkText", "editLinkURL"}) {
            auto* e = d->findChild<QLineEdit*>(name);
            EXPECT_EQ(e->text(), "Multiple Files Selected");
            EXPECT_FALSE(e->isEnabled());
        }
        EXPECT_EQ(d->findChild<QLabel*>("lblLinkFileName")->text(), "Multiple Files Selected");
        d->findChild<QComboBox*>("cboChangeFreq")->setCurrentIndex(int(cfYearly));
        QTest::mouseClick(d->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    for (auto* n : {page, other})
        EXPECT_EQ(n->data.ChangeFreq, cfYearly);
    EXPECT_EQ(page->data.LinkText, "page.html");
    EXPECT_DOUBLE_EQ(other->data.Priority, 0.8); // the first selected item's priority
}

TEST_F(ItemDialog, OnlyIfDefaultIsEnabledWithApplyToSubitems) {
    select({home});
    withDialog([](QDialog* d) {
        auto* apply = d->findChild<QCheckBox*>("chkApplySubProp");
        auto* onlyDef = d->findChild<QCheckBox*>("chkApplySubPropDef");
        EXPECT_FALSE(onlyDef->isEnabled());
        QTest::mouseClick(apply, Qt::LeftButton);
        EXPECT_TRUE(onlyDef->isEnabled());
        d->findChild<QComboBox*>("cboChangeFreq")->setCurrentIndex(int(cfHourly));
        QTest::mouseClick(d->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    EXPECT_EQ(page->data.ChangeFreq, cfHourly);
    EXPECT_EQ(other->data.ChangeFreq, cfHourly);
}
