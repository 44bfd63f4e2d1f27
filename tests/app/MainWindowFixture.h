#pragma once
// A main window in a temporary world: its own program and data folders, a
// scripted prompt service and a shell that records what it was asked to open.
#include "FileRoutines.h"
#include "Folders.h"
#include "MainWindow.h"
#include "ReqFilesDialog.h"
#include "ScriptedHttpServer.h"
#include "ScriptedPrompts.h"
#include "Shell.h"
#include "UploadTargetDialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>
#include <memory>

// Readable QStrings in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace tessaly::test {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // The default output file goes to the desktop: a temporary one.
        oldHome = qgetenv("HOME");
        qputenv("HOME", dir.path().toUtf8());
        QDir(dir.path()).mkdir("Desktop");
        setProgramFolderForTests(path(""));
        setDataFolderForTests(path(""));
        setConfigFolderForTests(path(""));
        setShellLauncher([this](const std::string& target) {
            opened.push_back(target);
            return 42;
        });
        // "Files to Upload" follows every file output, and an unattended run
        // whose profile names no site offers the target dialog: both are
        // cancelled unless a test answers them itself (reqFilesCloser.stop()).
        QObject::connect(&reqFilesCloser, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* w = qobject_cast<TwinReqFiles*>(modal)) {
                ++reqFilesShown;
                w->reject();
            } else if (auto* t = qobject_cast<TfrmSiteMapFTP*>(modal)) {
                ++targetDialogsShown;
                t->reject();
            }
        });
        reqFilesCloser.start(5);
    }
    void TearDown() override {
        reqFilesCloser.stop();
        window.reset();
        site.reset();
        qputenv("HOME", oldHome);
        setProgramFolderForTests({});
        setDataFolderForTests({});
        setConfigFolderForTests({});
        setShellLauncher({});
    }

    std::string path(const std::string& name) const {
        return dir.path().toStdString() + "/" + name;
    }

    // Creates and shows the window and waits for its first activation.
    TfrmSiteMapMain& open(QStringList args = {}) {
        window = std::make_unique<TfrmSiteMapMain>(std::move(args));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->Activated(); }, 5000));
        QCoreApplication::processEvents();
        return *window;
    }

    // The address of a one-page website on 127.0.0.1 that the test serves
    // itself (its events run while the window waits for a page).
    std::string siteAddress(const std::string& path = "/") {
        if (!site) {
            site = std::make_unique<ScriptedHttpServer>();
            site->Script("/", {ScriptedHttpServer::Plain(HttpReply(
                                  "200 OK", "Content-Type: text/html\r\n",
                                  "<html><head><title>Home</title></head><body></body></html>"))});
        }
        return site->Url(path);
    }

    // Opens the window and goes through a website search of the one-page
    // site to the results page, then empties the tree for the test to fill.
    void openOnResultsPage() {
        open();
        find<QLineEdit>("editWebsite")->setText(QString::fromStdString(siteAddress()));
        click("btnNext");
        ASSERT_EQ(window->Step, 2);
        ASSERT_EQ(window->tree().count(), 1u);
        window->tree().clear();
    }

    template <class T> T* find(const char* name) {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    QString text(const char* label) { return find<QLabel>(label)->text(); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    QTemporaryDir dir;
    QByteArray oldHome;
    ScriptedPrompts prompts;
    std::vector<std::string> opened;
    std::unique_ptr<TfrmSiteMapMain> window;
    QTimer reqFilesCloser;
    int reqFilesShown = 0;
    int targetDialogsShown = 0;
    std::unique_ptr<ScriptedHttpServer> site;
};

} // namespace tessaly::test
