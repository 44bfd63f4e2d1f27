#include "LocalScan.h"
#include "DateStamp.h"
#include "FileFinder.h"
#include "SharedFolderPaths.h"
#include "TextRoutines.h"

#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;
namespace fs = std::filesystem;

namespace {

struct Recorder : TScanReporter {
    std::vector<std::string> lines;
    std::vector<std::string> found;
    std::string folder;
    int count = 0;
    std::function<void()> onEvents;
    void lookingIn(const std::string& f) override { folder = f; }
    void fileFound(const std::string& p) override { found.push_back(p); }
    void fileCount(int c) override { count = c; }
    void logLine(const std::string& l) override { lines.push_back(l); }
    void letEventsRun() override {
        if (onEvents)
            onEvents();
    }
};

// A copy of the fixture site with what git cannot hold added: empty folders, a
// link back to the site's own folder, a link that leads nowhere (no page) and
// a pipe named like a page.
class LocalSite : public ::testing::Test {
  protected:
    void SetUp() override {
        site = dir.path().toStdString() + "/site/";
        fs::copy(TESSALY_TEST_DATA "/localsite", site, fs::copy_options::recursive);
        fs::create_directories(site + "empty/deeper");
        fs::create_directory_symlink(site, site + "docs/loop");
        fs::create_symlink(site + "nowhere.html", site + "dead.html");
        ASSERT_EQ(::mkfifo((site + "pipe.html").c_str(), 0644), 0);

        profile.setFileTypes("*.htm;*.html;*.txt;*.jpg;*.png;");
        profile.setWebsite("http://www.example.com/");
        profile.setOutputFileName(site + "sitemap.html");
        ignoreFolders = {site + "DOCS/drafts/"};
        ignoreFiles = {site + "secret.html"};
    }

    void scan(const std::string& location = {}) {
        TLocalScan s(profile, tree, ignoreFolders, ignoreFiles, rec, found);
        s.Run(location.empty() ? site : location);
    }

    // The tree as indented lines "text | icon | address"; siblings keep their
    // order but are listed files first, then folders, each group sorted, since
    // the file system decides the order within a group.
    std::string dump() {
        std::string out;
        std::function<void(TSiteTree::Node*, int)> walk = [&](TSiteTree::Node* n, int depth) {
            out += std::string(depth * 2, ' ') + n->data.LinkText + " | " +
                   std::to_string(n->icon) + " | " + n->data.LinkURL + "\n";
            std::vector<TSiteTree::Node*> kids;
            for (auto& c : n->children)
                kids.push_back(c.get());
            std::stable_sort(kids.begin(), kids.end(), [](auto* a, auto* b) {
                return std::pair(a->data.IsFolder, a->data.FilePath) <
                       std::pair(b->data.IsFolder, b->data.FilePath);
            });
            for (auto* k : kids)
                walk(k, depth + 1);
        };
        if (tree.firstItem())
            walk(tree.firstItem(), 0);
        return out;
    }

    QTemporaryDir dir;
    std::string site;
    TMapProfile profile;
    TSiteTree tree;
    std::vector<std::string> ignoreFolders, ignoreFiles;
    Recorder rec;
    int found = 0;
};

} // namespace

TEST_F(LocalSite, BuildsTheTreeOfTheSite) {
    scan();
    RemoveEmptyFolders(tree);
    EXPECT_EQ(dump(), "Home | 0 | http://www.example.com/index.html\n"
                      "  About\r\nUs | 1 | http://www.example.com/about.HTML\n"
                      "  image.JPG | 2 | http://www.example.com/image.JPG\n"
                      "    My Page  | 1 | http://www.example.com/index.html\n"
                      "  notes.txt | 1 | http://www.example.com/notes.txt\n"
                      "  pipe.html | 1 | http://www.example.com/pipe.html\n"
                      "  docs | 0 | http://www.example.com/docs/index.htm\n"
                      "    guide.html | 1 | http://www.example.com/docs/guide.html\n"
                      "    Docs & <b>Guides</b> | 1 | http://www.example.com/docs/index.htm\n"
                      "  pics | 0 | http://www.example.com/\n"
                      "    photo.png | 2 | http://www.example.com/pics/photo.png\n");
    EXPECT_EQ(found, 8);
    EXPECT_EQ(rec.count, 8);
    EXPECT_TRUE(FolderPathsAreShared(tree));
}

TEST_F(LocalSite, LogsEveryFolderAndMatchingFile) {
    scan();
    std::vector<std::string> lines = rec.lines;
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> want = {
        "  " + site + "about.HTML",
        "  " + site + "docs/guide.html",
        "  " + site + "docs/index.htm",
        "  " + site + "image.JPG",
        "  " + site + "index.html",
        "  " + site + "notes.txt",
        "  " + site + "pics/photo.png",
        "  " + site + "pipe.html",
        "  " + site + "secret.html",  // logged, ignored
        "  " + site + "sitemap.html", // the output file: logged, never an item
        "Ignoring Folder: " + site + "docs/Drafts/",
        "Scanning Folder: " + site,
        "Scanning Folder: " + site + "docs/",
        "Scanning Folder: " + site + "empty/",
        "Scanning Folder: " + site + "empty/deeper/",
        "Scanning Folder: " + site + "pics/",
    };
    std::sort(want.begin(), want.end());
    EXPECT_EQ(lines, want);
    // Files of other types are shown as found but not logged; dot files never.
    EXPECT_NE(std::find(rec.found.begin(), rec.found.end(), site + "style.css"), rec.found.end());
    for (const auto& f : rec.found)
        EXPECT_EQ(f.find("/."), std::string::npos) << f;
}

TEST_F(LocalSite, FoldersComeBeforeTheirFilesAndFilesBeforeSubfolders) {
    scan();
    std::vector<std::string> events;
    for (const auto& l : rec.lines)
        events.push_back(l);
    auto at = [&](const std::string& line) {
        return std::find(events.begin(), events.end(), line) - events.begin();
    };
    EXPECT_LT(at("Scanning Folder: " + site), at("  " + site + "index.html"));
    for (const char* file : {"index.html", "about.HTML", "notes.txt", "pipe.html"})
        for (const char* sub : {"docs/", "pics/", "empty/"})
            EXPECT_LT(at("  " + site + file), at("Scanning Folder: " + site + sub));
    EXPECT_LT(at("Scanning Folder: " + site + "empty/"),
              at("Scanning Folder: " + site + "empty/deeper/"));
}

TEST_F(LocalSite, EmptyFoldersAndAnEmptyHomeDisappear) {
    scan();
    std::string before = dump();
    EXPECT_NE(before.find("empty"), std::string::npos);
    RemoveEmptyFolders(tree);
    EXPECT_EQ(dump().find("empty"), std::string::npos);

    // A site with no matching file at all ends with an empty tree.
    profile.setFileTypes("*.none;");
    tree.clear();
    found = 0;
    scan();
    RemoveEmptyFolders(tree);
    EXPECT_TRUE(tree.isEmpty());
    EXPECT_EQ(found, 0);
}

TEST_F(LocalSite, TitlesAreOffWhenTheProfileSaysSo) {
    profile.setUsePageTitles(false);
    scan();
    EXPECT_NE(dump().find("  index.html | 1 |"), std::string::npos);
}

TEST_F(LocalSite, StopEndsTheScanAtTheNextEntry) {
    int events = 0;
    TLocalScan s(profile, tree, ignoreFolders, ignoreFiles, rec, found);
    rec.onEvents = [&] {
        if (++events == 3)
            s.Stop();
    };
    s.Run(site);
    // Nothing happens after the third entry: at most the home folder and two
    // files are items, and no subfolder is entered.
    EXPECT_EQ(events, 3);
    EXPECT_GE(tree.count(), 1u);
    EXPECT_LE(tree.count(), 3u);
    EXPECT_EQ(rec.lines.front(), "Scanning Folder: " + site);
    for (std::size_t i = 1; i < rec.lines.size(); ++i)
        EXPECT_EQ(rec.lines[i].rfind("Scanning", 0), std::string::npos) << rec.lines[i];
}

TEST_F(LocalSite, AFileWhoseAddressNoSitemapCanHoldIsLeftOutAndLogged) {
    // The address as the sitemap writes it counts: "é" is "%C3%A9" and "&"
    // is "&amp;" there, so these names of a few hundred bytes make a loc of
    // exactly 2,048 characters, and one more.
    std::string e, amps(200, '&');
    for (int i = 0; i < 120; ++i)
        e += "\xC3\xA9";
    const std::string folder = site + "amp/" + e + "/" + amps + "/";
    const std::string fits = std::string(58, '&') + "abcd.html";
    const std::string over = std::string(58, '&') + "abcde.html";
    fs::create_directories(folder);
    for (const std::string& name : {fits, over})
        std::ofstream(folder + name) << "<title>Deep</title>";
    const std::string base = "http://www.example.com/amp/" + e + "/" + amps + "/";
    ASSERT_EQ(EncodeURLForXML(base + fits).size(), kMaxSitemapLocLength);
    scan();

    std::vector<std::string> addresses;
    tree.forEach([&](TSiteTree::Node& n) { addresses.push_back(n.data.LinkURL); });
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), base + fits), addresses.end());
    EXPECT_EQ(std::find(addresses.begin(), addresses.end(), base + over), addresses.end());
    EXPECT_EQ(found, 9); // the site's eight and the one that fits
    EXPECT_EQ(rec.count, 9);
    // Logged once, with its first 100 characters: the cut falls between
    // two-byte characters, never inside one.
    std::string shown = "http://www.example.com/amp/";
    for (int i = 0; i < 73; ++i)
        shown += "\xC3\xA9";
    EXPECT_EQ(
        std::count(rec.lines.begin(), rec.lines.end(),
                   "Left out (address longer than 2,048 characters): " + shown + "\xE2\x80\xA6"),
        1);
}

TEST(FileFinder, PropertyErrors) {
    TFileFinder f;
    try {
        f.setFilename("sub/*.html");
        ADD_FAILURE();
    } catch (const EFindFileError& e) {
        EXPECT_STREQ(e.what(), "sub/*.html\n\rInvalid filename specified");
    }
    try {
        f.setLocation("/no/such/folder/");
        ADD_FAILURE();
    } catch (const EFindFileError& e) {
        EXPECT_STREQ(e.what(), "/no/such/folder\n\rdirectory does not exists");
    }
    f.setLocation("/tmp/");
    EXPECT_EQ(f.Location(), "/tmp");
    f.setLocation("/");
    EXPECT_EQ(f.Location(), "/");
}

TEST(FileFinder, ReadOnlyFilesFollowTheAttributeFilter) {
    QTemporaryDir dir;
    std::string root = dir.path().toStdString() + "/";
    fs::create_directory(root + "sub");
    std::ofstream(root + "plain.txt") << "x";
    std::ofstream(root + "locked.txt") << "x";
    fs::permissions(root + "locked.txt", fs::perms::owner_read);
    struct Case {
        TFileAttributes attrs;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {ffNormal | ffReadonly, {"locked.txt", "plain.txt"}},
        {ffNormal, {"plain.txt"}},
        {ffReadonly, {"locked.txt"}},
        {ffNormal | ffDirectory, {"plain.txt", "sub"}},
    };
    for (const auto& c : cases) {
        TFileFinder f;
        f.Attributes = c.attrs;
        f.Subfolders = false;
        f.setLocation(root);
        std::vector<std::string> got;
        f.OnFound = [&](TFileFinder&, const std::string&, const TFileInfo& i) {
            got.push_back(i.Name);
        };
        f.Search();
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, c.want) << c.attrs;
    }
}

namespace {
// Makes a chain of folders whose whole path is far longer than the system
// allows for one path, by walking relative to open folders, and puts a page
// at the bottom. Removes it the same way.
struct DeepTree {
    static constexpr int kLevels = 30;
    const std::string segment = std::string(200, 'd');
    std::string root;
    explicit DeepTree(const std::string& where) : root(where) {
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < kLevels; ++i) {
            ::mkdirat(fd, segment.c_str(), 0755);
            int next = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        int page = ::openat(fd, "index.html", O_WRONLY | O_CREAT, 0644);
        std::string text = "<title>Deep down</title>";
        EXPECT_EQ(::write(page, text.data(), text.size()), ssize_t(text.size()));
        ::close(page);
        ::close(fd);
    }
    ~DeepTree() { removeBelow(::open(root.c_str(), O_RDONLY | O_DIRECTORY)); }
    void removeBelow(int fd) {
        ::unlinkat(fd, "index.html", 0);
        int next = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
        if (next >= 0) {
            removeBelow(next);
            ::unlinkat(fd, segment.c_str(), AT_REMOVEDIR);
        }
        ::close(fd);
    }
    std::string relativeFolder() const {
        std::string path;
        for (int i = 0; i < kLevels; ++i)
            path += segment + "/";
        return path;
    }
};
} // namespace

TEST_F(LocalSite, PagesDeeperThanThePathLimitAreReachedAndLeftOutForTheirAddress) {
    DeepTree deep(site);
    ASSERT_GT((site + deep.relativeFolder()).size(), std::size_t(PATH_MAX));
    scan();
    // The walk reaches the page, and its folder finds it as its index page;
    // but an address that long no sitemap can hold, so the page gets no item.
    const std::string path = site + deep.relativeFolder() + "index.html";
    EXPECT_NE(std::find(rec.found.begin(), rec.found.end(), path), rec.found.end());
    const std::string url = "http://www.example.com/" + deep.relativeFolder() + "index.html";
    bool page = false, folder = false;
    tree.forEach([&](TSiteTree::Node& n) {
        if (n.data.LinkURL == url && !n.data.IsFolder)
            page = true;
        if (n.data.IsFolder && n.data.LinkURL == url)
            folder = true;
    });
    EXPECT_FALSE(page);
    EXPECT_TRUE(folder);
    EXPECT_EQ(found, 8);
    EXPECT_NE(std::find(rec.lines.begin(), rec.lines.end(), LeftOutLongAddressLine(url)),
              rec.lines.end());
}

TEST_F(LocalSite, ARelativeFolderIsTakenAsTheAbsoluteNormalisedOne) {
    // However the folder is written, and from whatever folder the program
    // runs, the addresses are the site's own.
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(dir.path().toUtf8().constData()), 0);
    for (const char* location : {"site", "site/", "./site/docs/../", "site//"}) {
        SCOPED_TRACE(location);
        tree.clear();
        found = 0;
        profile.setOutputFileName("site/sitemap.html"); // relative as well
        scan(location);
        std::vector<std::string> urls;
        tree.forEach([&](TSiteTree::Node& n) { urls.push_back(n.data.LinkURL); });
        EXPECT_EQ(urls.front(), "http://www.example.com/index.html");
        EXPECT_NE(std::find(urls.begin(), urls.end(), "http://www.example.com/docs/guide.html"),
                  urls.end());
        for (const std::string& u : urls)
            EXPECT_EQ(u.find("sitemap.html"), std::string::npos) << "the output is never listed";
    }
    ASSERT_EQ(::chdir(cwd), 0);
}

TEST(LocalScan, TitlesAreLookedForInTheFirstMegabyteOnly) {
    QTemporaryDir dir;
    struct Case {
        std::size_t fillerBefore;
        bool closed;
        std::string title;
    };
    const Case cases[] = {
        {100, true, "Found"},
        {(1 << 20) - 100, true, "Found"},
        {(1 << 20) + 100, true, ""}, // past the window: the file name is used
        {3 << 20, false, ""},        // no end marker: not read to the end
    };
    for (const Case& c : cases) {
        std::string file = dir.filePath("p.html").toStdString();
        std::ofstream(file) << std::string(c.fillerBefore, ' ') << "<TITLE>Found"
                            << (c.closed ? "</Title>" : std::string(3 << 20, 'x'));
        EXPECT_EQ(ReadPageTitle(file), c.title) << c.fillerBefore;
    }
}

// Titles are held as people read them: a page that declares nothing is
// read as UTF-8 when it is valid UTF-8, else as windows-1252, and character
// references are decoded. The root takes the home page's file time.
TEST(LocalScan, TitlesAreTextAndTheRootHasTheHomePagesDate) {
    QTemporaryDir dir;
    const std::string site = dir.path().toStdString() + "/";
    const std::pair<const char*, std::string> files[] = {
        {"index.html", "<title>Caf\xC3\xA9 &amp; Bar</title>"},
        {"latin.html", "<title>Caf\xE9 \x80 5</title>"},
        {"refs.html", "<title>Cr&egrave;me br&#251;l&#xE9;e &lt;b&gt; AT&T</title>"},
    };
    for (const auto& [name, text] : files)
        std::ofstream(site + name, std::ios::binary) << text;
    const std::time_t homeTime = 1600000000;
    const struct timespec times[2] = {{homeTime, 0}, {homeTime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (site + "index.html").c_str(), times, 0), 0);

    TMapProfile profile;
    profile.setFileTypes("*.html;");
    profile.setWebsite("http://www.example.com/");
    TSiteTree tree;
    Recorder rec;
    int found = 0;
    TLocalScan scan(profile, tree, {}, {}, rec, found);
    scan.Run(site);
    std::map<std::string, std::string> titles;
    tree.forEach([&](TSiteTree::Node& n) { titles[n.data.LinkURL] = n.data.LinkText; });
    EXPECT_EQ(titles["http://www.example.com/index.html"], "Caf\xC3\xA9 & Bar");
    EXPECT_EQ(titles["http://www.example.com/latin.html"], "Caf\xC3\xA9 \xE2\x82\xAC 5");
    EXPECT_EQ(titles["http://www.example.com/refs.html"], "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                                          "e <b> AT&T");
    const TSiteTree::Node* root = tree.firstItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->data.LinkURL, "http://www.example.com/index.html");
    EXPECT_EQ(root->data.LastMod.str(), W3CDateTime(homeTime));
    EXPECT_TRUE(root->data.LastModKnown);
}

TEST_F(LocalSite, LinksAreFollowedOnlyToPlacesInsideTheSite) {
    // A folder beside the site, whose titles must not be published.
    const std::string outside = dir.path().toStdString() + "/private/";
    fs::create_directories(outside + "letters");
    std::ofstream(outside + "secret.html") << "<title>Outside Secret</title>";
    std::ofstream(outside + "letters/letter.html") << "<title>Outside Letter</title>";
    std::ofstream(site + "docs/hop.html") << "<title>Hop</title>";
    struct Case {
        const char* link; // below the site
        std::string target;
        bool folder, followed;
    };
    const Case cases[] = {
        {"out.html", outside + "secret.html", false, false},
        {"letters", outside + "letters", true, false},
        {"relative.html", "../private/secret.html", false, false},
        // Through a link inside the site to one that leads out.
        {"chain.html", "docs/onward.html", false, false},
        {"docs/onward.html", "../../private/secret.html", false, false},
        {"guide-again.html", "docs/guide.html", false, true},
        {"absolute-inside.html", site + "docs/guide.html", false, true},
        {"docs/up.html", "../index.html", false, true},
        {"pictures", "pics", true, true},
        {"back", site + "docs/loop", true, true}, // to a link back to the site: no hang
    };
    for (const Case& c : cases) {
        if (c.folder)
            fs::create_directory_symlink(c.target, site + c.link);
        else
            fs::create_symlink(c.target, site + c.link);
    }
    scan();

    std::string titles;
    tree.forEach([&](TSiteTree::Node& n) { titles += n.data.LinkText + "\n"; });
    EXPECT_EQ(titles.find("Outside"), std::string::npos) << titles;
    for (const Case& c : cases) {
        const std::string path = site + c.link + (c.folder ? "/" : "");
        const bool leftOut =
            std::find(rec.lines.begin(), rec.lines.end(), LeftOutLinkLine(path)) != rec.lines.end();
        EXPECT_EQ(leftOut, !c.followed) << c.link;
        if (!c.folder && c.followed) {
            EXPECT_NE(std::find(rec.found.begin(), rec.found.end(), path), rec.found.end())
                << c.link;
        }
    }
    EXPECT_EQ(LeftOutLinkLine(site + "out.html"),
              "Left out (link to a place outside the site's folder): " + site + "out.html");
    // The links that stay inside give their pages, under the link's name.
    std::vector<std::string> urls;
    tree.forEach([&](TSiteTree::Node& n) { urls.push_back(n.data.LinkURL); });
    for (const char* url :
         {"http://www.example.com/guide-again.html", "http://www.example.com/absolute-inside.html",
          "http://www.example.com/docs/up.html"})
        EXPECT_NE(std::find(urls.begin(), urls.end(), url), urls.end()) << url;
}

TEST_F(LocalSite, ItemsTakeTheDefaultPriorityAsASitemapTakesIt) {
    for (auto [defPri, want] : {std::pair{0.3, 0.3}, {-1.0, 0.0}, {4.0, 1.0}, {NAN, 0.5}}) {
        profile.setDefPri(defPri);
        tree.clear();
        scan();
        tree.forEach([&](TSiteTree::Node& n) { EXPECT_EQ(n.data.Priority, want) << defPri; });
    }
}
