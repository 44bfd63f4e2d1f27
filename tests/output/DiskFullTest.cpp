// Writes of the page, the sitemap, the insert file and the profile on a disk
// that fills up part way: the old file stays whole, no temporary file is left,
// and the error names the file and the reason.
#include "FileRoutines.h"
#include "MapHtml.h"
#include "OutputRun.h"
#include "PageTree.h"
#include "ProfileFile.h"
#include "ScriptedPrompts.h"
#include "XmlSitemap.h"

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tessaly;

namespace {
const std::string kOld = "the old, whole file\r\n";

struct Limits {
    ~Limits() {
        setDiskSpaceForTests(std::nullopt);
        setSyncFailureForTests(false);
    }
};

std::string filesIn(const QString& folder) {
    return QDir(folder)
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)
        .join(",")
        .toStdString();
}

TSiteTree& bigTree() {
    static TSiteTree tree;
    // About 1.3 MB of sitemap, so it goes out in several writes.
    if (tree.count() == 0)
        FillPageTree(tree, 10000, "http://www.example.com/folder/page");
    return tree;
}
} // namespace

TEST(DiskFull, EveryWriteFailsWholeAtEveryFillLevel) {
    struct Target {
        const char* what;
        const char* file; // the file that must stay as it was
        // Writes it; the folder and profile are prepared by the test.
        std::function<void(const TMapProfile&)> write;
        std::size_t size; // fewer bytes than the new file has
    };
    ScriptedPrompts prompts;
    std::string map = "\r\nMAP";
    std::vector<std::string> gsm;
    const std::string sitemapBytes = BuildGoogleSiteMap(bigTree(), SitemapFormatOf(TMapProfile()));
    const std::string pageBytes = [&] {
        std::string page = map;
        MakeMapPage(TMapProfile(), page);
        return page;
    }();
    const Target targets[] = {
        {"page", "map.html",
         [&](const TMapProfile& p) {
             std::string m = map;
             SaveMapToFile(p, bigTree(), m, gsm);
         },
         pageBytes.size()},
        {"sitemap", "map.xml", [&](const TMapProfile& p) { WriteGoogleSiteMap(p, bigTree(), gsm); },
         sitemapBytes.size()},
        {"sitemap on its own thread", "map.xml",
         [&](const TMapProfile& p) {
             SitemapJob job(p, bigTree());
             job.finish(gsm);
         },
         sitemapBytes.size()},
        {"insert file", "insert.html", [&](const TMapProfile& p) { InsertMapIntoFile(p, map); },
         40},
        {"profile", "site.qvt",
         [&](const TMapProfile& p) { WriteFileText(ProfileToBytes(p), p.FileName()); }, 400},
    };
    for (const Target& t : targets) {
        // Nothing left; a little; most of the file; one byte short; and a
        // disk that takes every byte but fails the final sync.
        const std::int64_t levels[] = {
            0, 1, 4096, std::int64_t(t.size) / 2, std::int64_t(t.size) - 1, -1};
        for (std::int64_t level : levels) {
            if (level >= std::int64_t(t.size))
                continue;
            SCOPED_TRACE(std::string(t.what) + " with " + std::to_string(level) + " bytes left");
            QTemporaryDir dir;
            auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
            TMapProfile p;
            p.setWebsite("http://www.example.com/");
            p.setOutputFileName(path("map.html"));
            p.setOutputInsert(path("insert.html"));
            p.setAddImages(false);
            p.setFileName(path("site.qvt"));
            // Files an earlier run wrote, which this one may replace.
            WriteFileText(BuildMapPage(TMapProfile(), kOld), path("map.html"));
            WriteFileText("<?xml version=\"1.0\"?>\r\n<urlset>" + kOld + "</urlset>",
                          path("map.xml"));
            WriteFileText(kOld, path("site.qvt"));
            WriteFileText("<p><!-- sitemap --><!-- sitemap end --></p>", path("insert.html"));
            const std::string before = ReadFileText(path(t.file));
            const std::string filesBefore = filesIn(dir.path());

            Limits limits;
            if (level >= 0)
                setDiskSpaceForTests(level);
            else
                setSyncFailureForTests(true);
            std::string error;
            try {
                t.write(p);
            } catch (const EFileError& e) {
                error = e.what();
            }
            setDiskSpaceForTests(std::nullopt);
            setSyncFailureForTests(false);
            EXPECT_EQ(error,
                      "Cannot create file \"" + path(t.file) + "\". No space left on device");
            EXPECT_EQ(ReadFileText(path(t.file)), before);
            EXPECT_EQ(filesIn(dir.path()), filesBefore);
        }
    }
}

TEST(AtomicFileWriter, AReplacedFileKeepsItsOwnerGroupModeAndLinks) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("site.qvt").toStdString();
    WriteFileText("old", file);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    // Only root can give a file to another user; as root, the user's file
    // must stay the user's.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    }
    WriteFileText("new", file);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) { // NOLINT
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
    EXPECT_EQ(ReadFileText(file), "new");

    // A new file gets the usual mode: read and write for all, less the umask.
    const std::string fresh = dir.filePath("fresh.html").toStdString();
    mode_t mask = ::umask(022);
    WriteFileText("x", fresh);
    ::umask(mask);
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    // A symbolic link stays a link; the file it names is replaced.
    const std::string link = dir.filePath("link.qvt").toStdString();
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
    WriteFileText("through the link", link);
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFileText(file), "through the link");
}

TEST(ReadFileText, OnlyRegularFilesOfBoundedSizeAreRead) {
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("pipe.qvt").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.filePath("big.qvt").toStdString();
    WriteFileText(std::string(2048, 'x'), big);
    struct Case {
        std::string file;
        std::int64_t limit;
        std::string error;
    };
    const Case cases[] = {
        {fifo, 1 << 20, "Cannot open file \"" + fifo + "\". It is not a regular file."},
        {"/dev/zero", 1 << 20, "Cannot open file \"/dev/zero\". It is not a regular file."},
        {dir.path().toStdString(), 1 << 20,
         "Cannot open file \"" + dir.path().toStdString() + "\". Is a directory"},
        {big, 1024,
         "Cannot open file \"" + big + "\". The file is too large (more than 1024 bytes)."},
    };
    for (const Case& c : cases) {
        try {
            ReadFileText(c.file, c.limit);
            ADD_FAILURE() << c.file << " was read";
        } catch (const EFileError& e) {
            EXPECT_EQ(e.what(), c.error);
        }
    }
    EXPECT_EQ(ReadFileText(big, 2048).size(), 2048u);
}
