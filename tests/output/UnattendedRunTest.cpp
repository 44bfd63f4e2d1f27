// Runs the program itself, unattended and offscreen, over the fixture site.
#include "FileRoutines.h"
#include "MapHtml.h"
#include "ProfileFile.h"
#include "RunTessaly.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;
namespace fs = std::filesystem;

namespace {
class Unattended : public ::testing::Test {
  protected:
    void SetUp() override {
        site = dir.path().toStdString() + "/site/";
        fs::copy(TESSALY_TEST_DATA "/localsite", site, fs::copy_options::recursive);
        // The fixture's old map stands for one an earlier run wrote: it
        // holds the credit line, so a run may replace it.
        WriteFileText(BuildMapPage(TMapProfile(), "\r\nOld map"), site + "sitemap.html");
        profile.setSpiderType(mstLocal);
        profile.setIndexPage(site + "index.html");
        profile.setWebsite("http://www.example.com/");
        profile.setFileTypes("*.htm;*.html;*.png;*.jpg;");
        profile.setIgnoreFiles(site + "secret.html\r\n");
        profile.setIgnoreFolders(site + "docs/Drafts/\r\n");
        profileFile = dir.path().toStdString() + "/site.qvt";
    }
    RunResult runProfile() {
        profile.setFileName(profileFile);
        WriteFileText(ProfileToBytes(profile), profileFile);
        return RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path());
    }
    QTemporaryDir dir;
    std::string site, profileFile;
    TMapProfile profile;
};
} // namespace

TEST_F(Unattended, WritesThePageTheSitemapAndTheImages) {
    profile.setOutputFileName(site + "sitemap.html");
    RunResult r = runProfile();
    EXPECT_EQ(r.status, 0) << r.err;
    std::string page = ReadFileText(site + "sitemap.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE HTML PUBLIC", 0), 0u);
    EXPECT_NE(page.find(">  My Page </a></dt>"), std::string::npos);
    EXPECT_EQ(page.find("Secret"), std::string::npos);
    std::string xml = ReadFileText(site + "sitemap.xml");
    EXPECT_NE(xml.find("<loc>http://www.example.com/docs/guide.html</loc>"), std::string::npos);
    EXPECT_EQ(xml.find("sitemap.html</loc>"), std::string::npos); // never its own output
    for (const char* img : {"smfolder.gif", "smfile.gif", "smimg.gif"})
        EXPECT_TRUE(FileExists(site + img)) << img;

    // The sitemap is valid against the sitemaps.org 0.9 schema.
    int rc =
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.9.xsd",
                                      QString::fromStdString(site + "sitemap.xml")});
    EXPECT_EQ(rc, 0);
}

TEST_F(Unattended, AMissingOutputFolderFailsWithTheFileError) {
    std::string out = site + "no/such/folder/sitemap.html";
    profile.setOutputFileName(out);
    RunResult r = runProfile();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Cannot create file \"" + out + "\""), std::string::npos) << r.err;
}

TEST_F(Unattended, AProfileThatWillNotOpenFails) {
    WriteFileText("not a profile", profileFile);
    RunResult r = RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path());
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Invalid stream format"), std::string::npos) << r.err;
}

namespace {
// A small file system of its own, so that a run can fill it for real.
struct SmallDisk {
    explicit SmallDisk(const std::string& where) : path(where) {
        fs::create_directories(path);
        mounted =
            ::geteuid() == 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1M", "tmpfs",
                                                            QString::fromStdString(path)}) == 0;
    }
    ~SmallDisk() {
        if (mounted)
            QProcess::execute("umount", {QString::fromStdString(path)});
    }
    // Fills the disk with a filler file until only about `left` bytes are free.
    void leave(std::int64_t left) {
        std::string filler = path + "/filler";
        fs::remove(filler);
        {
            std::ofstream out(filler, std::ios::binary);
            std::string block(4096, '\0');
            while (out.write(block.data(), std::streamsize(block.size())))
                ;
        }
        std::uintmax_t full = fs::file_size(filler);
        fs::resize_file(filler, full > std::uintmax_t(left) ? full - std::uintmax_t(left) : 0);
    }
    std::string path;
    bool mounted = false;
};
} // namespace

TEST_F(Unattended, AFullDiskFailsTheRunAndLeavesEveryFileWhole) {
    SmallDisk disk(dir.path().toStdString() + "/disk");
    if (!disk.mounted)
        GTEST_SKIP() << "mounting a small tmpfs needs root; the disk-full cases of the writer "
                        "are covered by DiskFull.EveryWriteFailsWholeAtEveryFillLevel";
    // Enough pages for a page and a sitemap of some hundred kilobytes.
    for (int i = 0; i < 1500; ++i)
        WriteFileText("<title>Page " + std::to_string(i) + "</title>",
                      site + "page" + std::to_string(i) + ".html");
    const std::string page = disk.path + "/sitemap.html", xml = disk.path + "/sitemap.xml";
    profileFile = disk.path + "/site.qvt";
    profile.setOutputFileName(page);
    profile.setAddImages(false);
    profile.setFileName(profileFile);
    const std::string oldProfile = ProfileToBytes(profile);
    // An earlier run's files, which this one may replace.
    const std::string oldPage = BuildMapPage(profile, "old page");
    const std::string oldXml = "<?xml version=\"1.0\"?>\r\n<urlset>old sitemap</urlset>\r\n";

    for (std::int64_t left : {0, 8 << 10, 100 << 10, 250 << 10, 400 << 10}) {
        SCOPED_TRACE(std::to_string(left) + " bytes left");
        WriteFileText(oldPage, page);
        WriteFileText(oldXml, xml);
        WriteFileText(oldProfile, profileFile);
        disk.leave(left);
        RunResult r = RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path());
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
        // Each file is either the old one or a whole new one, never cut.
        const std::string newPage = ReadFileText(page), newXml = ReadFileText(xml);
        EXPECT_TRUE(newPage == oldPage || newPage.ends_with("</html>")) << newPage.size();
        EXPECT_TRUE(newXml == oldXml || newXml.ends_with("</urlset>\r\n")) << newXml.size();
        TMapProfile back;
        EXPECT_NO_THROW(ProfileFromBytes(ReadFileText(profileFile), back));
        fs::remove(disk.path + "/filler");
    }
}

TEST_F(Unattended, OddNamesAndTitlesGiveTheirOwnAddressesAndNoMarkup) {
    const char* names[] = {"a b.html", "50%off.html", "c#d.html", "e?f.html",
                           "q\" onmouseover=\"alert(1).html"};
    for (const char* name : names)
        WriteFileText("<html></html>", site + name);
    WriteFileText("<title>A </a><script>alert(1)</script> &amp; &eacute; AT&T\x01 &#233;</title>",
                  site + "t.html");
    profile.setOutputFileName(site + "sitemap.html");
    RunResult r = runProfile();
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string xml = ReadFileText(site + "sitemap.xml");
    for (const char* loc :
         {"<loc>http://www.example.com/a%20b.html</loc>",
          "<loc>http://www.example.com/50%25off.html</loc>",
          "<loc>http://www.example.com/c%23d.html</loc>",
          "<loc>http://www.example.com/e%3Ff.html</loc>",
          "<loc>http://www.example.com/q&quot;%20onmouseover=&quot;alert(1).html</loc>"})
        EXPECT_NE(xml.find(loc), std::string::npos) << loc;
    EXPECT_EQ(
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.9.xsd",
                                      QString::fromStdString(site + "sitemap.xml")}),
        0);

    const std::string page = ReadFileText(site + "sitemap.html");
    EXPECT_NE(
        page.find("<a href=\"http://www.example.com/q&quot; onmouseover=&quot;alert(1).html\""),
        std::string::npos);
    // The title is held decoded, and escaped once as the page is written.
    EXPECT_NE(page.find(">A &lt;/a&gt;&lt;script&gt;alert(1)&lt;/script&gt; &amp; \xC3\xA9 "
                        "AT&amp;T \xC3\xA9</a>"),
              std::string::npos);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_EQ(page.find('\x01'), std::string::npos);
}

TEST_F(Unattended, AFileWhoseAddressNoSitemapCanHoldIsLeftOutAndTheSitemapStaysValid) {
    // A path of some 600 bytes whose loc is longer than 2,048 characters:
    // "'" is "&apos;" there.
    const std::string deep = site + std::string(250, 'd') + "/" + std::string(250, '\'') + "/";
    fs::create_directories(deep);
    WriteFileText("<title>Deep</title>", deep + std::string(100, '\'') + ".html");
    profile.setOutputFileName(site + "sitemap.html");
    RunResult r = runProfile();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Left out (address longer than 2,048 characters): "
                         "http://www.example.com/" +
                         std::string(77, 'd')),
              std::string::npos)
        << r.err;
    const std::string xml = ReadFileText(site + "sitemap.xml");
    EXPECT_EQ(xml.find(std::string(250, 'd')), std::string::npos);
    EXPECT_NE(xml.find("<loc>http://www.example.com/docs/guide.html</loc>"), std::string::npos);
    EXPECT_EQ(
        QProcess::execute("xmllint", {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.9.xsd",
                                      QString::fromStdString(site + "sitemap.xml")}),
        0);
}

TEST_F(Unattended, AnUnreadableFolderIsReportedAndTheRunStillSucceeds) {
    fs::create_directories(site + "locked");
    WriteFileText("<title>Hidden</title>", site + "locked/page.html");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path().toStdString()))
        fs::permissions(entry.path(), fs::perms::all);
    fs::permissions(dir.path().toStdString(), fs::perms::all);
    fs::permissions(site + "locked", fs::perms::none);
    profile.setOutputFileName(site + "sitemap.html");
    profile.setFileName(profileFile);
    WriteFileText(ProfileToBytes(profile), profileFile);
    fs::permissions(profileFile, fs::perms::all);
    RunResult r =
        RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path(), 60000, true);
    fs::permissions(site + "locked", fs::perms::all);
    if (r.err.find("Unreadable Folder") == std::string::npos && ::geteuid() == 0 &&
        QProcess::execute("setpriv", {"--version"}) != 0)
        GTEST_SKIP() << "cannot run as another user here";
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Unreadable Folder: " + site + "locked/ (Permission denied)"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(FileExists(site + "sitemap.xml"));
}

namespace {
std::string filesIn(const std::string& folder) {
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)
        .join(",")
        .toStdString();
}
} // namespace

TEST_F(Unattended, AProfileAimedAtAFileOfTheUsersFailsAndWritesNothing) {
    const std::string home = dir.path().toStdString() + "/";
    const std::string text = "alias ll='ls -l'\n";
    for (const char* name : {".bashrc", ".ssh/id_rsa"}) {
        SCOPED_TRACE(name);
        const std::string file = home + name;
        fs::create_directories(ExtractFilePath(file));
        WriteFileText(text, file);
        profile.setOutputFileName(file);
        profile.setFileName(profileFile);
        WriteFileText(ProfileToBytes(profile), profileFile);
        const std::string before = filesIn(ExtractFilePath(file));
        RunResult r = runProfile();
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("Cannot replace \"" + file +
                             "\": it does not look like a site map. Nothing was written."),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadFileText(file), text);
        EXPECT_EQ(filesIn(ExtractFilePath(file)), before); // no sitemap, no images
    }
    // The run's own files are replaced run after run.
    profile.setOutputFileName(site + "sitemap.html");
    for (int run = 0; run < 2; ++run) {
        RunResult r = runProfile();
        EXPECT_EQ(r.status, 0) << r.err;
    }
}

TEST_F(Unattended, LinksAreFollowedOnlyAsTheProtectedSymlinksRuleAllows) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting a link as another user needs root";
    const std::string root = dir.path().toStdString() + "/";
    // Others may pass through to the folders below, as through /.
    ASSERT_EQ(::chmod(root.c_str(), 0711), 0);
    struct Case {
        const char* what;
        mode_t folderMode;
        bool folderIsNobodys;
        const char* linkName; // in the output folder, beside sitemap.html
        bool linkIsNobodys;
        bool followed;
    };
    const Case cases[] = {
        {"another user's link as the page, in a shared folder", 01777, false, "sitemap.html", true,
         false},
        {"another user's link as the sitemap", 01777, false, "sitemap.xml", true, false},
        {"another user's link where an image goes", 01777, false, "smfolder.gif", true, false},
        {"the user's own link in a shared folder", 01777, false, "sitemap.html", false, true},
        {"another user's link in a folder without the sticky bit", 0777, false, "sitemap.html",
         true, true},
        {"a link of the shared folder's owner", 01777, true, "sitemap.html", true, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string out = root + "out" + std::to_string(++n) + "/";
        const std::string target = root + "target" + std::to_string(n) + "/" + c.linkName;
        fs::create_directories(out);
        fs::create_directories(ExtractFilePath(target));
        ASSERT_EQ(::chmod(out.c_str(), c.folderMode), 0);
        if (c.folderIsNobodys) {
            ASSERT_EQ(::chown(out.c_str(), 65534, 65534), 0);
        }
        // What the link would overwrite: the user's own file, or (for an
        // image, which is only ever added) a file it would make.
        const bool victimExists = !c.followed && std::string(c.linkName) != "smfolder.gif";
        if (victimExists)
            WriteFileText("precious", target);
        const std::string link = out + c.linkName;
        if (c.linkIsNobodys) {
            ASSERT_EQ(
                QProcess::execute("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                              "--", "ln", "-s", QString::fromStdString(target),
                                              QString::fromStdString(link)}),
                0);
        } else {
            ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        }
        profile.setOutputFileName(out + "sitemap.html");
        RunResult r = runProfile();
        EXPECT_TRUE(r.ended);
        struct stat st {};
        ASSERT_EQ(::lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
        if (c.followed) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(ReadFileText(target).find("Made with Quorvane"), std::string::npos);
            EXPECT_EQ(filesIn(out), "sitemap.html,sitemap.xml,smfile.gif,smfolder.gif,smimg.gif");
        } else {
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_NE(r.err.find(link + " is a symbolic link that another user made in a folder "
                                        "open to everyone; it is not followed."),
                      std::string::npos)
                << r.err;
            EXPECT_EQ(filesIn(out), c.linkName); // nothing but the planted link
            if (victimExists) {
                EXPECT_EQ(ReadFileText(target), "precious");
            } else {
                EXPECT_FALSE(fs::exists(target));
            }
        }
    }
}

TEST_F(Unattended, AnyDefaultPriorityGivesAValidSitemap) {
    // A profile may hold any number; the sitemap takes 0.0 to 1.0.
    for (auto [defPri, text] : {std::pair{-1.0, "0"}, {7.0, "1"}, {0.3, "0.3"}}) {
        SCOPED_TRACE(defPri);
        profile.setDefPri(defPri);
        profile.setOutputFileName(site + "sitemap.html");
        RunResult r = runProfile();
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string xml = ReadFileText(site + "sitemap.xml");
        EXPECT_EQ(xml.find("<priority></priority>"), std::string::npos);
        EXPECT_NE(xml.find(std::string("<priority>") + text + "</priority>"), std::string::npos);
        EXPECT_EQ(QProcess::execute("xmllint",
                                    {"--noout", "--schema", TESSALY_TEST_DATA "/sitemap-0.9.xsd",
                                     QString::fromStdString(site + "sitemap.xml")}),
                  0);
    }
}

// An unattended run writes its profile back only when it did its work and
// the run changed something in it (here the website address, which gains
// its slash); a failed run leaves the file as it was, and a profile that
// cannot be written back is a warning once the maps are written.
TEST_F(Unattended, TheProfileIsWrittenBackOnlyAfterASuccessThatChangedIt) {
    struct Case {
        const char* what;
        bool fails;    // the output folder is missing
        bool changes;  // the address lacks its slash
        bool readOnly; // the profile cannot be written (run as another user)
        int status;
        bool rewritten;
    };
    const Case cases[] = {
        {"success with a change", false, true, false, 0, true},
        {"success without a change", false, false, false, 0, false},
        {"failure with a change", true, true, false, 1, false},
        {"read-only profile", false, true, true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir.path().toStdString() + "/config");
        profile.setWebsite(c.changes ? "http://www.example.com" : "http://www.example.com/");
        profile.setOutputFileName(c.fails ? site + "missing/sitemap.html" : site + "sitemap.html");
        profile.setFileName(profileFile);
        const std::string before = ProfileToBytes(profile);
        WriteFileText(before, profileFile);
        // A time in the past: a file written again shows a new one.
        fs::last_write_time(profileFile, fs::file_time_type::clock::now() - std::chrono::hours(1));
        const auto stamp = fs::last_write_time(profileFile);
        if (c.readOnly) {
            if (::geteuid() != 0 || QProcess::execute("setpriv", {"--version"}) != 0)
                continue; // covered only where a second user is at hand
            for (const auto& entry : fs::recursive_directory_iterator(dir.path().toStdString()))
                fs::permissions(entry.path(), fs::perms::all);
            fs::permissions(dir.path().toStdString(), fs::perms::all);
            fs::permissions(profileFile,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            // The folder too: the profile is replaced by renaming a new file over it.
            fs::permissions(dir.path().toStdString(),
                            fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
        }
        RunResult r = RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path(), 60000,
                                 c.readOnly);
        fs::permissions(dir.path().toStdString(), fs::perms::all);
        EXPECT_TRUE(r.ended);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(fs::last_write_time(profileFile) != stamp, c.rewritten);
        if (c.rewritten) {
            EXPECT_NE(ReadFileText(profileFile).find("http://www.example.com/"), std::string::npos);
        } else {
            EXPECT_EQ(ReadFileText(profileFile), before);
        }
        EXPECT_EQ(r.err.find("Warning: the profile was not written back.") != std::string::npos,
                  c.readOnly)
            << r.err;
        if (c.readOnly) {
            EXPECT_TRUE(FileExists(site + "sitemap.xml"));
        }
    }
}
