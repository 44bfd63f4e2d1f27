// Unattended runs always end: with a message on standard error and a
// non-zero status when they cannot do their work, never waiting for a person,
// and never writing over a file that failed to open as a profile.
#include "MainWindowFixture.h"
#include "ProfileFile.h"
#include "RunTessaly.h"

#include <QAction>
#include <QFile>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace tessaly;
using namespace tessaly::test;
namespace fs = std::filesystem;

namespace {
// A profile whose first property has a text where a flag belongs.
std::string wrongValueTypeProfile() {
    using namespace std::string_literals;
    return "TPF0\x0bTMapProfile\0\x09"s + "AddImages\x06\x01x\0\0"s;
}

std::string goodProfileBytes() {
    TMapProfile p;
    p.setSpiderType(mstLocal);
    p.setIndexPage("/nonexistent/index.html");
    p.setWebsite("http://www.example.com/");
    return ProfileToBytes(p);
}

struct BadFile {
    const char* what;
    std::string bytes;
    std::string error; // the reason the message ends with
};

std::vector<BadFile> badProfiles() {
    std::string good = goodProfileBytes();
    return {
        {"a page passed by mistake", "<html><title>Home</title></html>\n", "Invalid stream format"},
        {"an empty file", "", "Invalid stream format"},
        {"a truncated profile", good.substr(0, good.size() / 2), "Stream read error"},
        {"a profile with a wrong value type", wrongValueTypeProfile(), "Invalid property value"},
    };
}

std::string readAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}
} // namespace

class FailedOpen : public MainWindowTest {};

TEST_F(FailedOpen, AFileThatFailsToOpenIsNeverWrittenOver) {
    for (const BadFile& bad : badProfiles()) {
        SCOPED_TRACE(bad.what);
        const std::string file = path("site.qvt");
        writeAll(file, bad.bytes);
        const std::string message = "Cannot read the profile \"" + file + "\". " + bad.error;

        // Unattended: the run fails and ends.
        RunResult r = RunTessaly({"-auto", QString::fromStdString(file)}, dir.path(), 30000);
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Save Profile"), std::string::npos) << r.err;
        EXPECT_EQ(readAll(file), bad.bytes);

        // Named on the command line of the window, then closed.
        prompts.messages.clear();
        open({QString::fromStdString(file)});
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{message});
        EXPECT_FALSE(window->profile().Modified);
        EXPECT_NE(window->profile().FileName(), file);
        window->close();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(prompts.messages.size(), 1u) << "no close query";
        EXPECT_EQ(readAll(file), bad.bytes);

        // Opened from the File menu, then closed.
        prompts.messages.clear();
        open();
        prompts.chooseFileNext(file);
        window->findChild<QAction*>("miOpen")->trigger();
        window->close();
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{message});
        EXPECT_EQ(readAll(file), bad.bytes);
    }
}

class UnattendedEnds : public ::testing::Test {
  public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString() + "/";
        // Open to the program when it runs as another user.
        fs::permissions(root, fs::perms::all);
        fs::create_directories(root + "site");
        fs::create_directories(root + "profiles");
        writeAll(root + "site/index.html", "<html><title>Home</title></html>");
        profile.setSpiderType(mstLocal);
        profile.setIndexPage(root + "site/index.html");
        profile.setWebsite("http://www.example.com/");
        profile.setOutputFileName(root + "site/sitemap.html");
        profile.setAddImages(false);
        profileFile = root + "profiles/site.qvt";
    }
    void TearDown() override {
        // Give everything back to the test so the folder can be removed.
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (!entry.is_symlink())
                ::chmod(entry.path().c_str(), 0777);
    }
    // Writes the profile, lets fix spoil it, runs it and hands back the result.
    RunResult run(const std::function<void()>& fix = {}) {
        WriteFileText(ProfileToBytes(profile), profileFile);
        for (const auto& entry : fs::recursive_directory_iterator(root))
            ::chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
        if (fix)
            fix();
        return RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path(), 30000, true);
    }
    QTemporaryDir dir;
    std::string root, profileFile;
    TMapProfile profile;
};

TEST_F(UnattendedEnds, EveryRunThatCannotDoItsWorkEndsWithAMessageAndAFailure) {
    struct Case {
        const char* what;
        std::function<void(TMapProfile&)> change;
        std::function<void(UnattendedEnds&)> spoil;
        std::string message;
    };
    const Case cases[] = {
        {"empty website address",
         [](TMapProfile& p) {
             p.setSpiderType(mstWebsite);
             p.setWebsite("");
         },
         {},
         "Please enter your website address."},
        {"malformed website address",
         [](TMapProfile& p) {
             p.setSpiderType(mstWebsite);
             p.setWebsite("ftp://x");
         },
         {},
         "The website address must begin with \"http://\" or \"https://\"."},
        {"index page folder missing",
         [](TMapProfile& p) { p.setIndexPage("/no/such/folder/index.html"); },
         {},
         "The Index Page folder cannot be found, please enter a valid path."},
        // A profile that cannot be written back is no failure: a run writes
        // it only after it has done its work, and then warns.
        {"profile unreadable",
         {},
         [](UnattendedEnds& t) { ::chmod(t.profileFile.c_str(), 0); },
         "Cannot open file \"PROFILE\". Permission denied"},
        {"profile is a pipe",
         {},
         [](UnattendedEnds& t) {
             fs::remove(t.profileFile);
             ::mkfifo(t.profileFile.c_str(), 0666);
         },
         "Cannot open file \"PROFILE\". It is not a regular file."},
        {"profile is a device",
         {},
         [](UnattendedEnds& t) {
             fs::remove(t.profileFile);
             fs::create_symlink("/dev/zero", t.profileFile);
         },
         "Cannot open file \"PROFILE\". It is not a regular file."},
        {"output goes to the editor",
         [](TMapProfile& p) { p.setOutputType(moutEditor); },
         {},
         "The profile \"PROFILE\" shows its site map in the editor, which an unattended run "
         "cannot do."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMapProfile saved = profile;
        if (c.change)
            c.change(profile);
        RunResult r = run([&] {
            if (c.spoil)
                c.spoil(*this);
        });
        profile = saved;
        std::string message = c.message;
        if (auto at = message.find("PROFILE"); at != std::string::npos)
            message.replace(at, 7, profileFile);
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        fs::remove(profileFile);
    }
}

TEST_F(UnattendedEnds, DamagedSettingsAreAWarningNotAFailure) {
    fs::create_directories(root + "config/Quorvane Software/Tessaly");
    writeAll(root + "config/Quorvane Software/Tessaly/SiteMap.dat", "TPF0 damaged");
    RunResult r = run();
    EXPECT_TRUE(r.ended);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("could not be read; the default settings are used."), std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::exists(root + "site/sitemap.html"));
}
