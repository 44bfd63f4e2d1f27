#include "OutputRun.h"
#include "FileRoutines.h"
#include "Folders.h"
#include "PageTree.h"
#include "ScriptedPrompts.h"
#include "XmlSitemap.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessaly;

namespace {
const std::string S = "<!-- sitemap -->", E = "<!-- sitemap end -->";
// A sitemap an earlier run wrote, which a run may replace.
const std::string kOldSitemap = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<urlset "
                                "xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\r\n"
                                "</urlset>\r\n";
} // namespace

TEST(OutputRun, InsertingTheMapBetweenTheMarkers) {
    struct Case {
        const char* name;
        std::string before, after;
    };
    const Case cases[] = {
        {"nothing between", "<p>" + S + E + "</p>", "<p>" + S + "MAP\r\n" + E + "</p>"},
        {"old map replaced", "a" + S + "old" + E + "z", "a" + S + "MAP\r\n" + E + "z"},
        {"markers twice", S + "1" + E + S + "2" + E, S + "MAP\r\n" + E + S + "2" + E},
        {"start marker in capitals first", "<!-- SITEMAP -->x" + S + "y" + E,
         "<!-- SITEMAP -->x" + S + "y" + E},
        // The first end marker stands before the start: nothing is found to replace.
        {"end marker first", E + "x" + S + "y" + E, E + "x" + S + "y" + E},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextWithMapInserted(c.before, "MAP"), c.after) << c.name;
}

TEST(OutputRun, InsertReportsAMissingFileOrMissingMarkersAndLeavesTheFile) {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    TMapProfile p;
    p.setAddImages(false);
    p.setOutputInsert(dir.filePath("none.html").toStdString());
    EXPECT_FALSE(InsertMapIntoFile(p, "MAP"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "File Not Found");
    EXPECT_EQ(prompts.messages[0].text, "Could not locate the following file:\n\n" +
                                            p.OutputInsert() +
                                            "\n\nPlease check the Output Settings.");

    std::string page = dir.filePath("page.html").toStdString();
    WriteFileText("<html>" + S + "</html>", page);
    p.setOutputInsert(page);
    EXPECT_FALSE(InsertMapIntoFile(p, "MAP"));
    EXPECT_EQ(prompts.messages[1].caption, "Site Map Tags Missing");
    EXPECT_EQ(ReadFileText(page), "<html>" + S + "</html>");

    WriteFileText("<html>" + S + E + "</html>", page);
    EXPECT_TRUE(InsertMapIntoFile(p, "\r\nMAP"));
    EXPECT_EQ(ReadFileText(page), "<html>" + S + "\r\nMAP\r\n" + E + "</html>");
}

TEST(OutputRun, MapImagesAreCopiedWithoutReplacingAndListedForUpload) {
    QTemporaryDir program, site;
    setProgramFolderForTests(program.path().toStdString());
    QDir(program.path()).mkdir("smimages");
    for (const char* n : {"smfolder.gif", "smfile.gif", "smimg.gif"})
        WriteFileText(std::string("shipped ") + n,
                      program.filePath(QString("smimages/") + n).toStdString());
    std::string page = site.filePath("sitemap.html").toStdString();
    WriteFileText("mine", site.filePath("smfile.gif").toStdString());

    TMapProfile p;
    p.setAddImages(false);
    CopyMapImages(p, page);
    EXPECT_FALSE(FileExists(site.filePath("smfolder.gif").toStdString()));

    p.setAddImages(true);
    CopyMapImages(p, page);
    EXPECT_EQ(ReadFileText(site.filePath("smfolder.gif").toStdString()), "shipped smfolder.gif");
    EXPECT_EQ(ReadFileText(site.filePath("smfile.gif").toStdString()), "mine");
    EXPECT_EQ(ReadFileText(site.filePath("smimg.gif").toStdString()), "shipped smimg.gif");

    p.setOutputFileName(page);
    std::string images = program.path().toStdString() + "/smimages/";
    EXPECT_EQ(UploadFileList(p, {}),
              (std::vector<std::string>{page, "", images + "smfolder.gif", images + "smfile.gif",
                                        images + "smimg.gif"}));
    setProgramFolderForTests({});
}

TEST(OutputRun, AFailedPageWriteLeavesTheOldPageWhole) {
    QTemporaryDir dir;
    TMapProfile p;
    TSiteTree t;
    std::string map = "\r\nMAP";
    std::vector<std::string> gsm;
    p.setOutputFileName(dir.filePath("missing/sitemap.html").toStdString());
    try {
        SaveMapToFile(p, t, map, gsm);
        ADD_FAILURE() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("Cannot create file \"" + p.OutputFileName() + "\"", 0),
            0u);
    }
    EXPECT_TRUE(gsm.empty());
}

namespace {
// A tree of a few thousand pages, enough for the sitemap to go out in
// several pieces.
void fillTree(TSiteTree& t) {
    FillPageTree(t, 8000, "http://www.example.com/page");
}

std::string leftovers(const QTemporaryDir& dir) {
    return QDir(dir.path())
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
        .join(",")
        .toStdString();
}
} // namespace

TEST(OutputRun, SitemapWrittenAlongsideThePage) {
    TSiteTree t;
    fillTree(t);
    const std::string expected = BuildGoogleSiteMap(t, SitemapFormatOf(TMapProfile()));
    struct Case {
        const char* what;
        bool pageFails, sitemapFails, finish;
    };
    const Case cases[] = {
        {"both written", false, false, true},
        {"page fails: the old sitemap stays", true, false, true},
        {"sitemap fails after the page", false, true, true},
        {"job dropped unfinished", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const std::string page = dir.filePath("map.html").toStdString();
        const std::string xml = dir.filePath("map.xml").toStdString();
        TMapProfile p;
        p.setWebsite("http://www.example.com/");
        p.setOutputFileName(page);
        p.setAddImages(false);
        if (c.pageFails)
            QDir(dir.path()).mkdir("map.html"); // a folder where the page should go
        if (c.sitemapFails)
            QDir(dir.path()).mkdir("map.xml");
        else
            WriteFileText(kOldSitemap, xml);
        std::string map = "\r\nMAP", error;
        std::vector<std::string> gsm;
        {
            SitemapJob job(p, t);
            if (c.finish) {
                try {
                    SaveMapToFile(p, t, map, gsm, &job);
                } catch (const EFileError& e) {
                    error = e.what();
                }
            }
        }
        if (c.pageFails)
            EXPECT_EQ(error.rfind("Cannot create file \"" + page + "\"", 0), 0u) << error;
        else if (c.sitemapFails)
            EXPECT_EQ(error.rfind("Cannot create file \"" + xml + "\"", 0), 0u) << error;
        else
            EXPECT_EQ(error, "");
        if (!c.sitemapFails) {
            EXPECT_EQ(ReadFileText(xml), c.finish && !c.pageFails ? expected : kOldSitemap);
        }
        if (c.finish && !c.pageFails) {
            EXPECT_NE(ReadFileText(page).find("MAP"), std::string::npos);
        }
        // No temporary file is left behind, whatever happened.
        QStringList want;
        if (!c.pageFails && c.finish)
            want << "map.html";
        if (!c.sitemapFails)
            want << "map.xml";
        EXPECT_EQ(leftovers(dir), want.join(",").toStdString());
    }
}
