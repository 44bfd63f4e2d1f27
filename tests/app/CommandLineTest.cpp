#include "CommandLine.h"
#include "MainWindowFixture.h"
#include "ProfileFile.h"

#include <QProcess>
#include <QTemporaryDir>

using namespace tessaly;
using namespace tessaly::test;

TEST(CommandLine, EarlyActionsAndTheAutoSwitch) {
    EXPECT_EQ(EarlyCommandLineAction({"--help"}), EarlyAction::Help);
    EXPECT_EQ(EarlyCommandLineAction({"a.qvt", "--version"}), EarlyAction::Version);
    EXPECT_EQ(EarlyCommandLineAction({"a.qvt", "-auto"}), EarlyAction::Run);
    EXPECT_EQ(EarlyCommandLineAction({"--verison"}), EarlyAction::UnknownOption);
    EXPECT_EQ(UnknownOption({"/home/u/x.qvt", "-x", "--dry"}), "--dry");
    EXPECT_EQ(EarlyCommandLineAction({"/home/u/x.qvt"}, false), EarlyAction::NeedsDisplay);
    EXPECT_EQ(EarlyCommandLineAction({"/home/u/x.qvt", "/Auto"}, false), EarlyAction::Run);
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

// The program as a process: options begin with "--" (or are the unattended
// switch); anything else names a profile, so a path that begins with "/"
// stays a path. An unknown option and a window without a display both end at
// once with status 2.
TEST(CommandLineProcess, UnknownOptionsPathsAndNoDisplay) {
    QTemporaryDir home;
    struct Case {
        const char* what;
        QStringList args;
        bool display;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {"misspelt option", {"--verison"}, false, 2, "tessaly: unknown option \"--verison\""},
        {"unknown option with a profile", {"-auto", "--dry", "x.qvt"}, true, 2, "Usage: tessaly"},
        {"no display, no -auto", {}, false, 2, "there is no display"},
        {"no display, a profile only", {"/tmp/x.qvt"}, false, 2, "there is no display"},
        {"-AUTO without a display runs",
         {"-AUTO", "/nowhere/x.qvt"},
         false,
         1,
         "Cannot open file \"/nowhere/x.qvt\""},
        {"/auto is the switch, not a path",
         {"/nowhere/y.qvt", "/auto"},
         false,
         1,
         "Cannot open file \"/nowhere/y.qvt\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
            env.remove(name);
        if (c.display)
            env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        p.setProcessEnvironment(env);
        p.start(TESSALY_EXE, c.args);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), c.status);
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
    }
}
