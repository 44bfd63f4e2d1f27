// Takes screenshots of the main window's three pages and of the About window,
// offscreen, into the folder given as the first argument.
#include "AboutDialog.h"
#include "MainWindow.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeView>
#include <cstdio>

using namespace tessaly;

namespace {

void save(QWidget* w, const QString& folder, const char* name) {
    QCoreApplication::processEvents();
    QString file = folder + "/" + name;
    if (!w->grab().save(file))
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
}

TDataRec item(const char* text, const char* path, const char* folder, ChangeFreqType f,
              double pri) {
    TDataRec r;
    r.LinkText = text;
    r.FilePath = path;
    r.FolderPath = folder;
    r.ChangeFreq = f;
    r.Priority = pri;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString folder = argc > 1 ? argv[1] : ".";
    ScriptedPrompts prompts; // nobody answers here

    TfrmSiteMapMain w;
    w.show();
    QCoreApplication::processEvents();
    w.findChild<QRadioButton*>("optLocal")->click();
    w.findChild<QLineEdit*>("editIndex")->setText("/srv/www/lakeside/index.html");
    w.findChild<QLineEdit*>("editWebsite")->setText("http://www.lakeside-pottery.example/");
    save(&w, folder, "information.png");

    auto* pages = w.findChild<QStackedWidget*>("pcMain");
    pages->setCurrentIndex(1);
    w.findChild<QLabel*>("lblHeader")->setText("Processing Files");
    auto buttons = [&](const char* next, bool nextOn, bool backOn, const char* cancel) {
        w.findChild<QPushButton*>("btnNext")->setText(next);
        w.findChild<QPushButton*>("btnNext")->setEnabled(nextOn);
        w.findChild<QPushButton*>("btnBack")->setEnabled(backOn);
        w.findChild<QPushButton*>("btnCancel")->setText(cancel);
    };
    buttons("&Next", false, false, "&Cancel");
    w.findChild<QLabel*>("lblStatusTitle")->setText("Searching for files, please wait....");
    w.findChild<QLabel*>("lblLookingIn")->setText("/srv/www/lakeside/products/");
    w.findChild<QLabel*>("lblFileFound")->setText("bowls.html");
    w.findChild<QLabel*>("lblFileCount")->setText("5");
    w.findChild<QPlainTextEdit*>("memoFiles")
        ->setPlainText(
            "/srv/www/lakeside/index.html\n/srv/www/lakeside/about/index.html\n"
            "/srv/www/lakeside/about/contact.html\n"
            "/srv/www/lakeside/products/index.html\n/srv/www/lakeside/products/bowls.html");
    save(&w, folder, "search.png");

    TSiteTree& t = w.tree();
    auto* home = t.addItem(
        nullptr, item("Home", "/srv/www/lakeside/index.html", "/srv/www/lakeside/", cfDaily, 1.0),
        iconFolder);
    auto* about = t.addItem(
        home, item("about", "/srv/www/lakeside/about/", "/srv/www/lakeside/about/", cfMonthly, 0.5),
        iconFolder);
    t.addItem(about,
              item("About Us", "/srv/www/lakeside/about/index.html", "/srv/www/lakeside/about/",
                   cfMonthly, 0.5),
              iconPage);
    t.addItem(about,
              item("Contact", "/srv/www/lakeside/about/contact.html", "/srv/www/lakeside/about/",
                   cfYearly, 0.3),
              iconPage);
    auto* products = t.addItem(home,
                               item("products", "/srv/www/lakeside/products/",
                                    "/srv/www/lakeside/products/", cfMonthly, 0.5),
                               iconFolder);
    auto* mugs = t.addItem(products,
                           item("Hand-thrown Mugs", "/srv/www/lakeside/products/mugs.html",
                                "/srv/www/lakeside/products/", cfWeekly, 0.8),
                           iconPage);
    t.addItem(products,
              item("Serving Bowls", "/srv/www/lakeside/products/bowls.html",
                   "/srv/www/lakeside/products/", cfWeekly, 0.8),
              iconPage);
    t.addItem(products,
              item("kiln.png", "/srv/www/lakeside/products/kiln.png", "/srv/www/lakeside/products/",
                   cfMonthly, 0.5),
              iconImage);
    pages->setCurrentIndex(2);
    w.findChild<QLabel*>("lblHeader")->setText("Site Map Results");
    buttons("&Save", true, true, "&Close");
    auto* view = w.findChild<QTreeView*>("tvMap");
    view->expandAll();
    view->setCurrentIndex(t.indexOf(mugs));
    w.findChild<QLabel*>("lblTotalFiles")->setText("Total Files Found: 8");
    w.findChild<QLineEdit*>("editOutputFile")->setText("/srv/www/lakeside/sitemap.html");
    save(&w, folder, "results.png");

    TfrmSiteMapAbout aboutBox(&w);
    aboutBox.show();
    save(&aboutBox, folder, "about.png");
    return 0;
}
