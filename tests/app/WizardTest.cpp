#include "MainWindowFixture.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QImageReader>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTimer>
#include <fstream>

using namespace tessaly;
using namespace tessaly::test;

namespace {
struct StepView {
    QString page, title, next, cancel;
    bool backEnabled, nextEnabled;
};
} // namespace

class Wizard : public MainWindowTest {
  protected:
    StepView view() {
        return {find<QStackedWidget>("pcMain")->currentWidget()->objectName(),
                text("lblHeader"),
                button("btnNext")->text(),
                button("btnCancel")->text(),
                button("btnBack")->isEnabled(),
                button("btnNext")->isEnabled()};
    }
    void expectView(const StepView& want) {
        StepView v = view();
        EXPECT_EQ(v.page, want.page);
        EXPECT_EQ(v.title, want.title);
        EXPECT_EQ(v.next, want.next);
        EXPECT_EQ(v.cancel, want.cancel);
        EXPECT_EQ(v.backEnabled, want.backEnabled);
        EXPECT_EQ(v.nextEnabled, want.nextEnabled);
    }
    void typeWebsite(const QString& t) {
        auto* edit = find<QLineEdit>("editWebsite");
        edit->clear();
        QTest::keyClicks(edit, t);
    }
};

TEST_F(Wizard, StartsOnTheInformationPage) {
    auto& w = open();
    expectView({"tsInformation", "Gathering Information", "&Next", "&Close", false, true});
    EXPECT_EQ(w.windowTitle(), "Quorvane Google Tessaly 4.5 - Untitled.qvt");
    EXPECT_EQ(find<QLineEdit>("editWebsite")->text(), "http://");
    EXPECT_TRUE(find<QRadioButton>("optWebsite")->isChecked());
    EXPECT_FALSE(find<QLineEdit>("editIndex")->isEnabled());
    EXPECT_EQ(find<QAction>("miFTP")->isEnabled(), false);
    EXPECT_EQ(text("lblStatusBar"),
              QString::fromUtf8("The Google name is a registered trademark of Google\u00AE"));
}

TEST_F(Wizard, WebsiteAddressChecksAtNext) {
    struct Case {
        QString typed;
        std::string message; // empty: the search runs
        QString after;       // the address text afterwards
    };
    // The addresses that pass lead to a site the test serves.
    const QString host = QString::fromStdString(siteAddress()).mid(7).chopped(1);
    const Case cases[] = {
        {host, "", "http://" + host + "/"},
        {"abc.com", "The website address must begin with \"http://\" or \"https://\".", "abc.com"},
        {"HTTP://EXAMPLE.COM", "The website address must begin with \"http://\" or \"https://\".",
         "HTTP://EXAMPLE.COM"},
        {"http://", "Please enter your website address.", "http://"},
        {"   ", "Please enter your website address.", "   "},
        {"http://" + host + "/docs", "", "http://" + host + "/docs"},
        {"http://" + host, "", "http://" + host + "/"},
    };
    for (const auto& c : cases) {
        open();
        prompts.messages.clear();
        typeWebsite(c.typed);
        click("btnNext");
        QCoreApplication::processEvents();
        if (c.message.empty()) {
            // The search ends on the results page.
            EXPECT_EQ(window->Step, 2) << c.typed.toStdString();
            EXPECT_TRUE(prompts.messages.empty()) << c.typed.toStdString();
        } else {
            ASSERT_EQ(prompts.messages.size(), 1u) << c.typed.toStdString();
            EXPECT_EQ(prompts.messages[0].text, c.message);
            EXPECT_EQ(prompts.messages[0].caption, kAppTitle);
            EXPECT_EQ(prompts.messages[0].icon, PromptIcon::None);
            EXPECT_EQ(prompts.messages[0].buttons, Ok);
            EXPECT_EQ(window->Step, 0);
            EXPECT_TRUE(find<QLineEdit>("editWebsite")->hasFocus());
        }
        EXPECT_EQ(find<QLineEdit>("editWebsite")->text(), c.after) << c.typed.toStdString();
        window.reset();
    }
}

TEST_F(Wizard, LocalSearchNeedsAnExistingIndexFolder) {
    open();
    QTest::mouseClick(find<QRadioButton>("optLocal"), Qt::LeftButton);
    EXPECT_TRUE(find<QLineEdit>("editIndex")->isEnabled());
    QTest::keyClicks(find<QLineEdit>("editIndex"), "/no/such/folder/index.html");
    typeWebsite("http://example.com/");
    click("btnNext");
    ASSERT_EQ(prompts.texts(),
              std::vector<std::string>{
                  "The Index Page folder cannot be found, please enter a valid path."});
    EXPECT_EQ(window->Step, 0);

    // Only the folder is tested, not the file; the output file follows the index page.
    prompts.messages.clear();
    find<QLineEdit>("editIndex")->setText(QString::fromStdString(path("index.html")));
    click("btnNext");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(window->Step, 2);
}

TEST_F(Wizard, SearchEndsOnTheResultsPageAndBackSkipsTheSearchPage) {
    open();
    typeWebsite(QString::fromStdString(siteAddress()));
    click("btnNext");
    expectView({"tsResults", "Site Map Results", "&Save", "&Close", true, true});
    EXPECT_EQ(text("lblStatusTitle"), "Search Complete! Press Next to View Results.");
    EXPECT_EQ(text("lblTotalFiles"), "Total Files Found: 1");
    EXPECT_EQ(find<QPlainTextEdit>("memoFiles")->toPlainText(), "Total Files: 1");

    click("btnBack");
    expectView({"tsInformation", "Gathering Information", "&Next", "&Close", false, true});
}

TEST_F(Wizard, SaveOnTheResultsPageCompletesTheRun) {
    open();
    typeWebsite(QString::fromStdString(siteAddress()));
    click("btnNext");
    prompts.messages.clear();
    click("btnNext");
    expectView({"tsResults", "Site Map Results", "Done", "&Close", true, false});
    EXPECT_TRUE(find<QAction>("miFTP")->isEnabled());
    // The file output offers its files for upload.
    EXPECT_EQ(reqFilesShown, 1);
    EXPECT_TRUE(prompts.messages.empty());

    // A change that makes the output stale brings Save back.
    window->MarkOutputStale();
    EXPECT_EQ(button("btnNext")->text(), "&Save");
    EXPECT_TRUE(button("btnNext")->isEnabled());
    EXPECT_FALSE(find<QAction>("miFTP")->isEnabled());
}

TEST_F(Wizard, SwitchingSearchTypeByHandEmptiesTheIgnoreLists) {
    auto& w = open();
    w.profile().setIgnoreFolders("/www/tmp/\r\n");
    w.profile().setIgnoreFiles("/www/a.html\r\n");
    QTest::mouseClick(find<QRadioButton>("optLocal"), Qt::LeftButton);
    EXPECT_EQ(w.profile().SpiderType(), mstLocal);
    EXPECT_EQ(w.profile().IgnoreFolders(), "");
    EXPECT_EQ(w.profile().IgnoreFiles(), "");
}

TEST_F(Wizard, CloseQueryOnEachAnswer) {
    struct Case {
        PromptButton answer;
        std::optional<std::string> saveAs; // the save dialog's answer
        bool closed;
        bool written;
    };
    const Case cases[] = {
        {No, std::nullopt, true, false},
        {PromptButton::Cancel, std::nullopt, false, false},
        {Yes, std::nullopt, false, false}, // the save dialog is cancelled
        {Yes, "saved.qvt", true, true},
    };
    for (const auto& c : cases) {
        auto& w = open();
        prompts.messages.clear();
        typeWebsite("http://changed.example/");
        ASSERT_TRUE(w.profile().Modified);
        prompts.answer(c.answer);
        if (c.answer == Yes)
            prompts.chooseFileNext(c.saveAs ? std::optional(path(*c.saveAs)) : std::nullopt);
        click("btnCancel");
        ASSERT_GE(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].caption, "Save Profile");
        EXPECT_EQ(prompts.messages[0].text, "The settings for the current profile have changed."
                                            "\n\nDo you wish to save this profile?");
        EXPECT_EQ(prompts.messages[0].buttons, Yes | No | PromptButton::Cancel);
        EXPECT_EQ(prompts.messages[0].icon, PromptIcon::Question);
        EXPECT_EQ(w.isVisible(), !c.closed);
        EXPECT_EQ(QFile::exists(QString::fromStdString(path("saved.qvt"))), c.written);
        window.reset();
    }
}

TEST_F(Wizard, UnchangedProfileClosesWithoutAQuestion) {
    auto& w = open();
    click("btnCancel");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Wizard, ButtonWithoutCommandCodeReportsItself) {
    auto& w = open();
    QPushButton stray("Stray", &w);
    stray.setObjectName("btnStray");
    stray.setProperty("tag", 0);
    w.ButtonClick(&stray);
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Button Action Undefined for Control \"btnStray\"\n\n"
                                       "Please report this error.\n\nPress CTRL-C to copy this "
                                       "message."});
}

TEST_F(Wizard, HelpOpensTheManualOrSaysWhereItShouldBe) {
    open();
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "File Not Found");
    EXPECT_EQ(prompts.messages[0].text,
              "The help file could not be found:\n\n" + path("Tessaly.html"));

    std::ofstream(path("Tessaly.html")) << "<html></html>";
    find<QAction>("miHelpFile")->trigger();
    EXPECT_EQ(opened, std::vector<std::string>{path("Tessaly.html")});
}

TEST_F(Wizard, AboutWindowShowsTheProductAndClosesWithOk) {
    open();
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), "About");
        EXPECT_EQ(about->size(), QSize(380, 209));
        EXPECT_EQ(about->findChild<QLabel*>("lblAppName")->text(), "Quorvane Google Tessaly");
        EXPECT_EQ(about->findChild<QLabel*>("lblAppVersion")->text(), "Version 4.5");
        EXPECT_FALSE(about->findChild<QLabel*>("imgProduct")->pixmap().isNull());
        QTest::mouseClick(about->findChild<QLabel*>("lblURL"), Qt::LeftButton);
        QTest::mouseClick(about->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
        checked = true;
    });
    find<QAction>("miAbout")->trigger();
    EXPECT_TRUE(checked);
    EXPECT_EQ(opened, std::vector<std::string>{"https://quorvane.example/tessaly/"});
}

TEST(Pictures, JpegPicturesDecode) {
    initResources();
    for (const char* name : {":/images/logo.jpg", ":/images/about.jpg"}) {
        QImageReader reader(name);
        EXPECT_EQ(reader.format(), "jpeg") << name;
        QImage image = reader.read();
        EXPECT_FALSE(image.isNull()) << name << reader.errorString().toStdString();
    }
}

TEST_F(Wizard, ChoosingAnIndexPageOffersToDropIgnoredFoldersOutsideIt) {
    auto& w = open();
    QTest::mouseClick(find<QRadioButton>("optLocal"), Qt::LeftButton);
    w.profile().setIgnoreFolders("/old/site/tmp/\r\n" + path("SITE/drafts/") + "\r\n");
    w.ShowProfile();
    QDir(QString::fromStdString(path(""))).mkpath("site");
    prompts.chooseFileNext(path("site/index.html"));
    prompts.answer(Yes);
    click("btnBrowseIndex");
    EXPECT_EQ(find<QLineEdit>("editIndex")->text().toStdString(), path("site/index.html"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Subfolders Invalid");
    EXPECT_EQ(prompts.messages[0].text,
              "One or more the subfolders in the folder ignore list is no longer valid for the "
              "index file path.\n\nKeeping these in the list won't affect the output.\n\nWould "
              "you like to remove the invalid entries?");
    // Compared without regard to case, so the upper-case entry stays.
    EXPECT_EQ(w.profile().IgnoreFolders(), path("SITE/drafts/") + "\r\n");
}
