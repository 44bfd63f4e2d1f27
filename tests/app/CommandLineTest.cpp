#include "CommandLine.h"
#include "MainWindowFixture.h"
#include "ProfileFile.h"

using namespace tessaly;
using namespace tessaly::test;

TEST(CommandLine, EarlyActionsAndTheAutoSwitch) {
    EXPECT_EQ(EarlyCommandLineAction({"--help"}), EarlyAction::Help);
    EXPECT_EQ(EarlyCommandLineAction({"a.qvt", "--version"}), EarlyAction::Version);
    EXPECT_EQ(EarlyCommandLineAction({"a.qvt", "-auto"}), EarlyAction::Run);
    for (const char* s : {"-auto", "/auto", "/AUTO", "-Auto"})
        EXPECT_TRUE(IsAutoSwitch(s)) << s;
    for (const char* s : {"auto", "--auto", "-autox", "/aut"})
        EXPECT_FALSE(IsAutoSwitch(s)) << s;
}

class StartUp : public MainWindowTest {};

TEST_F(StartUp, AutoSwitchInEitherOrderOpensTheProfileOnceAndRuns) {
    TMapProfile p;
    p.setWebsite(siteAddress());
    std::string file = path("demo.qvt");
    WriteFileText(ProfileToBytes(p), file);
    const QStringList orders[] = {{"-auto", QString::fromStdString(file)},
                                  {QString::fromStdString(file), "/AUTO"}};
    for (const auto& args : orders) {
        auto& w = open(args);
        // The unattended run went from the information page to the finished
        // output and closed the window.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
        EXPECT_EQ(w.profile().FileName(), file);
        EXPECT_EQ(w.settings().LastFile, file);
        EXPECT_EQ(find<QPushButton>("btnNext")->text(), "Done");
        EXPECT_FALSE(w.runFailed());
        EXPECT_TRUE(prompts.messages.empty());
        window.reset();
    }
    // The profile names no site: the target dialog was offered (and
    // cancelled), and the run still succeeded with its maps written.
    EXPECT_EQ(targetDialogsShown, 2);
}

TEST_F(StartUp, AFirstArgumentThatNamesNoFileBecomesTheProfileName) {
    auto& w = open({"/nowhere/new.qvt"});
    EXPECT_EQ(w.profile().FileName(), "/nowhere/new.qvt");
    EXPECT_FALSE(w.profile().Untitled);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "Quorvane Google Tessaly 4.5 - /nowhere/new.qvt");
}

TEST_F(StartUp, UnattendedRunWithAMissingProfileFails) {
    auto& w = open({"-auto", "/nowhere/new.qvt"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_TRUE(w.runFailed());
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{
                  "Cannot open file \"/nowhere/new.qvt\". No such file or directory"});
}
