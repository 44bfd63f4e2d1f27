#include "ProfileFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace {
// The program beside this test binary: the run below needs it built, but the
// library's tests do not depend on it otherwise.
QString TessalyExe() {
    return QCoreApplication::applicationDirPath() + "/tessaly";
}
} // namespace
#define TESSALY_EXE TessalyExe()
#include "RunTessaly.h"

using namespace tessaly;

namespace {

// Builds expected bytes from readable pieces.
struct Bytes {
    std::string s;
    Bytes& raw(std::initializer_list<int> b) {
        for (int c : b)
            s += char(c);
        return *this;
    }
    Bytes& str(const std::string& t) {
        s += t;
        return *this;
    }
    Bytes& shortStr(const std::string& t) { return raw({int(t.size())}).str(t); }
};

std::string u8(const char8_t* s) {
    return reinterpret_cast<const char*>(s);
}

} // namespace

TEST(ProfileFile, SettingsWorkedExampleIsByteExact) {
    TSiteMapSettings s;
    s.LastFile = "C:\\a.qvt";
    s.LoadLast = true;
    s.SettingFile = "C:\\P\\SiteMap.dat";
    Bytes want;
    want.str("TPF0").shortStr("TSiteMapSettings").raw({0});
    want.shortStr("LastFile").raw({0x06, 8}).str("C:\\a.qvt");
    want.shortStr("LoadLast").raw({0x09});
    want.shortStr("SettingFile").raw({0x06, 16}).str("C:\\P\\SiteMap.dat");
    want.raw({0, 0});
    EXPECT_EQ(SettingsToBytes(s), want.s);

    TSiteMapSettings back;
    SettingsFromBytes(want.s, back);
    EXPECT_EQ(back.LastFile, s.LastFile);
    EXPECT_TRUE(back.LoadLast);
    EXPECT_EQ(back.SettingFile, s.SettingFile);
}

TEST(ProfileFile, DefaultProfileWorkedExampleIsByteExact) {
    TMapProfile p;
    p.setOutputFileName("/home/u/Desktop/sitemap.html");
    p.Modified = false;
    Bytes want;
    want.str("TPF0").shortStr("TMapProfile").raw({0});
    want.shortStr("AddImages").raw({0x09});
    want.shortStr("NoFolderImages").raw({0x08});
    want.shortStr("NoFolderLinks").raw({0x09});
    want.shortStr("ClassAttribs").raw({0x09});
    for (auto [name, colour] : {std::pair{"clrBackground", "clWhite"},
                                {"clrText", "clBlack"},
                                {"clrLink", "clBlue"},
                                {"clrVisited", "clPurple"},
                                {"clrActive", "clRed"}})
        want.shortStr(name).raw({0x07}).shortStr(colour);
    want.shortStr("ConfirmDelete").raw({0x09});
    want.shortStr("FileName").raw({0x06, 12}).str("Untitled.qvt");
    want.shortStr("Modified").raw({0x08});
    want.shortStr("OutputType").raw({0x07}).shortStr("moutFile");
    want.shortStr("OutputFormat").raw({0x07}).shortStr("mfmtList");
    want.shortStr("OutputFileName").raw({0x06, 28}).str("/home/u/Desktop/sitemap.html");
    want.shortStr("Untitled").raw({0x09});
    want.shortStr("UsePageTitles").raw({0x09});
    want.shortStr("MakeGoogleSM").raw({0x09});
    want.shortStr("SpiderType").raw({0x07}).shortStr("mstWebsite");
    want.shortStr("FtpFiles").raw({0x08});
    want.shortStr("DefFreq").raw({0x07}).shortStr("cfMonthly");
    want.shortStr("DefPri").raw({0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x3F});
    want.raw({0, 0});
    EXPECT_EQ(ProfileToBytes(p), want.s);
}

TEST(ProfileFile, EveryPropertyRoundTrips) {
    TMapProfile p;
    p.setAddImages(false);
    p.setNoFolderImages(true);
    p.setNoFolderLinks(false);
    p.setClassAttribs(false);
    p.setclrBackground(0x123456);
    p.setclrText(-1);
    p.setclrLink(200);
    p.setclrVisited(int32_t(0x8000000F)); // clBtnFace
    p.setclrActive(-30000);
    p.setConfirmDelete(false);
    p.setFileName("/srv/profiles/site.qvt");
    p.setFileTypes("*.htm;*.html;");
    p.setIgnoreFolders("/srv/www/tmp/\r\n/srv/www/old/");
    p.setIgnoreFiles("/srv/www/x.html");
    p.setIndexPage("/srv/www/index.html");
    p.setOutputType(moutInsert);
    p.setOutputFormat(mfmtParagraph);
    p.setOutputFileName("/srv/www/sitemap.html");
    p.setOutputInsert("/srv/www/map.html");
    p.setUsePageTitles(false);
    p.setMakeGoogleSM(false);
    p.setWebsite("http://example.com/");
    p.setSpiderType(mstLocal);
    p.setServerName("My FTP");
    p.setServerDir("/public_html");
    p.FtpFiles = true;
    p.setDefFreq(cfNever);
    p.setDefPri(0.3);
    p.setFollowQueryPartsText("id=\nsort=\n" + u8(u8"é=1"));
    p.setSitemapProtocol(spGoogle084);
    p.setLastModWhenKnown(false);
    p.setSitemapAddress("http://cdn.example.com/maps/sitemap.xml");
    p.setUserAgent("ExampleBot/2.0 (+https://example.com/bot)");
    p.setObeyRobotsTxt(false);
    p.setLeaveOutNoindex(false);
    p.setLeaveOutCanonical(false);
    p.setFollowNofollow(true);
    p.setMaxPages(0);
    p.setMaxDepth(3);
    p.setMaxMinutes(90000);
    p.setMaxRate(0.25);
    p.setConnections(16);

    TMapProfile q;
    ProfileFromBytes(ProfileToBytes(p), q);
    EXPECT_EQ(ProfileToBytes(q), ProfileToBytes(p));
    EXPECT_EQ(q.clrText(), -1);
    EXPECT_EQ(q.clrVisited(), int32_t(0x8000000F));
    EXPECT_EQ(q.clrActive(), -30000);
    EXPECT_DOUBLE_EQ(q.DefPri(), 0.3);
    EXPECT_EQ(q.DefFreq(), cfNever);
    EXPECT_EQ(q.SpiderType(), mstLocal);
    EXPECT_EQ(q.FollowQueryParts(), (std::vector<std::string>{"id=", "sort=", u8(u8"é=1")}));
    EXPECT_FALSE(q.Untitled);
    EXPECT_TRUE(q.FtpFiles);
    EXPECT_EQ(q.SitemapProtocol(), spGoogle084);
    EXPECT_FALSE(q.LastModWhenKnown());
    EXPECT_EQ(q.SitemapAddress(), "http://cdn.example.com/maps/sitemap.xml");
    EXPECT_EQ(q.UserAgent(), "ExampleBot/2.0 (+https://example.com/bot)");
    EXPECT_FALSE(q.ObeyRobotsTxt());
    EXPECT_FALSE(q.LeaveOutNoindex());
    EXPECT_FALSE(q.LeaveOutCanonical());
    EXPECT_TRUE(q.FollowNofollow());
    EXPECT_EQ(q.MaxPages(), 0);
    EXPECT_EQ(q.MaxDepth(), 3);
    EXPECT_EQ(q.MaxMinutes(), 90000);
    EXPECT_DOUBLE_EQ(q.MaxRate(), 0.25);
    EXPECT_EQ(q.Connections(), 16);
    // The sitemap settings are written only when they are not the defaults,
    // so a profile that keeps them is what older programs write and read.
    TMapProfile defaults = p;
    defaults.setSitemapProtocol(spSitemaps09);
    defaults.setLastModWhenKnown(true);
    defaults.setSitemapAddress({});
    defaults.setUserAgent({});
    defaults.setObeyRobotsTxt(true);
    defaults.setLeaveOutNoindex(true);
    defaults.setLeaveOutCanonical(true);
    defaults.setFollowNofollow(false);
    defaults.setMaxPages(TMapProfile::DefaultMaxPages);
    defaults.setMaxDepth(0);
    defaults.setMaxMinutes(0);
    defaults.setMaxRate(0);
    defaults.setConnections(TMapProfile::DefaultConnections);
    const std::string bytes = ProfileToBytes(defaults);
    for (const char* name :
         {"SitemapProtocol", "LastModWhenKnown", "SitemapAddress", "UserAgent", "ObeyRobotsTxt",
          "LeaveOutNoindex", "LeaveOutCanonical", "FollowNofollow", "MaxPages", "MaxDepth",
          "MaxMinutes", "MaxRate", "Connections"})
        EXPECT_EQ(bytes.find(name), std::string::npos) << name;
}

TEST(ProfileFile, ColoursUseNamesOrTheSmallestInteger) {
    struct Case {
        TColor colour;
        std::string bytes;
    };
    const Case cases[] = {
        {0xFFFFFF, "\x07\x07"
                   "clWhite"},
        {12639424, "\x07\x0C"
                   "clMoneyGreen"},
        {int32_t(0x8000000F), "\x07\x09"
                              "clBtnFace"},
        {-1, "\x02\xFF"},
        {127, "\x02\x7F"},
        {129, std::string("\x03\x81\x00", 3)},
        {-32768, std::string("\x03\x00\x80", 3)},
        {0x123456, std::string("\x04\x56\x34\x12\x00", 5)},
    };
    for (const auto& c : cases) {
        TMapProfile p;
        p.setclrText(c.colour);
        std::string bytes = ProfileToBytes(p);
        std::string record = "\x07"
                             "clrText" +
                             c.bytes;
        EXPECT_NE(bytes.find(record), std::string::npos) << c.colour;
    }
}

TEST(ProfileFile, TextKindsFollowTheirContent) {
    struct Case {
        std::string text;
        int type;
    };
    const Case cases[] = {
        {"http://example.com/", 0x06},
        {std::string(300, 'a'), 0x0C},
        {u8(u8"/home/u/café/index.html"), 0x14},
        {u8(u8"Карта"), 0x12},
        // One Latin blank among ten Cyrillic letters tips it to UTF-8.
        {u8(u8"Карта сайта"), 0x14},
        {u8(u8"サイトマップ"), 0x12},
    };
    for (const auto& c : cases) {
        TMapProfile p;
        p.setWebsite(c.text);
        std::string bytes = ProfileToBytes(p);
        std::size_t at = bytes.find("\x07Website");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(int(static_cast<unsigned char>(bytes[at + 8])), c.type) << c.text;
        TMapProfile q;
        ProfileFromBytes(bytes, q);
        EXPECT_EQ(q.Website(), c.text);
    }
}

TEST(ProfileFile, QueryListEntriesNeverUseTheWideForm) {
    TMapProfile p;
    p.setFollowQueryPartsText(u8(u8"Карта"));
    std::string bytes = ProfileToBytes(p);
    std::size_t at = bytes.find("FollowQueryParts.Strings\x01");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(bytes[at + 25], '\x14');
}

TEST(ProfileFile, ZeroPriorityIsNotWrittenAndReadsAsTheDefault) {
    TMapProfile p;
    p.setDefPri(0);
    std::string bytes = ProfileToBytes(p);
    EXPECT_EQ(bytes.find("DefPri"), std::string::npos);
    TMapProfile q;
    ProfileFromBytes(bytes, q);
    EXPECT_DOUBLE_EQ(q.DefPri(), 0.5);
}

TEST(ProfileFile, ShortTextsInWindows1252AreReadAsSuch) {
    Bytes b;
    b.str("TPF0").shortStr("TMapProfile").raw({0});
    b.shortStr("IndexPage").raw({0x06, 6}).str("caf\xE9\x80!");
    b.raw({0, 0});
    TMapProfile p;
    ProfileFromBytes(b.s, p);
    EXPECT_EQ(p.IndexPage(), u8(u8"café€!"));
}

TEST(ProfileFile, ReaderAcceptsAnyIntegerSizeAndNamesInAnyCase) {
    Bytes b;
    b.str("TPF0").shortStr("TMapProfile").raw({0});
    b.shortStr("CLRTEXT").raw({0x04, 0x10, 0, 0, 0});
    b.shortStr("clrLink").raw({0x07}).shortStr("CLNAVY");
    b.shortStr("defpri").raw({0x02, 1});
    b.raw({0, 0});
    TMapProfile p;
    ProfileFromBytes(b.s, p);
    EXPECT_EQ(p.clrText(), 0x10);
    EXPECT_EQ(p.clrLink(), 0x800000);
    EXPECT_DOUBLE_EQ(p.DefPri(), 1.0);
}

TEST(ProfileFile, MalformedFilesGiveAClearError) {
    Bytes good;
    good.str("TPF0").shortStr("TMapProfile").raw({0});
    good.shortStr("Website").raw({0x06, 4}).str("http");
    good.raw({0, 0});

    struct Case {
        std::string name;
        std::string bytes;
        std::string error;
    };
    std::vector<Case> cases = {
        {"empty", "", "Invalid stream format"},
        {"wrong signature", "TPF1" + good.s.substr(4), "Invalid stream format"},
        {"unknown property",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("Colour")
             .raw({0x08, 0, 0})
             .s,
         "Error reading TMapProfile.Colour: Property Colour does not exist"},
        {"wrong value type",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("AddImages")
             .raw({0x06, 1})
             .str("x")
             .raw({0, 0})
             .s,
         "Invalid property value"},
        {"unknown enumeration value",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("OutputType")
             .raw({0x07})
             .shortStr("moutFax")
             .raw({0, 0})
             .s,
         "Invalid property value"},
        {"unknown type byte",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("AddImages")
             .raw({0x33, 0, 0})
             .s,
         "Invalid property value"},
        {"long text length past the end",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("Website")
             .raw({0x0C, 0xFF, 0xFF, 0xFF, 0x7F})
             .str("abc")
             .s,
         "Stream read error"},
        {"wide text length past the end",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("Website")
             .raw({0x12, 0xFF, 0xFF, 0xFF, 0xFF})
             .str("ab")
             .s,
         "Stream read error"},
        {"infinite priority",
         Bytes()
             .str("TPF0")
             .shortStr("TMapProfile")
             .raw({0})
             .shortStr("DefPri")
             .raw({0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F, 0, 0})
             .s,
         "Invalid property value"},
        {"child components", Bytes().str("TPF0").shortStr("TMapProfile").raw({0, 0, 1}).s,
         "Invalid stream format"},
    };
    // Every truncation of a good file fails cleanly too.
    for (std::size_t n = 4; n < good.s.size(); ++n)
        cases.push_back(
            {"truncated at " + std::to_string(n), good.s.substr(0, n), "Stream read error"});

    for (const auto& c : cases) {
        TMapProfile p;
        try {
            ProfileFromBytes(c.bytes, p);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(std::string(e.what()), c.error) << c.name;
        }
    }
}

namespace {
const std::string kNul(1, '\0');

// A profile or settings stream with one record.
std::string OneRecord(const char* className, const std::string& name, const std::string& value) {
    return Bytes().str("TPF0").shortStr(className).raw({0}).shortStr(name).str(value).raw({0, 0}).s;
}
} // namespace

// A NUL would cut a text short wherever it becomes a path or a C string (an
// index page of "/\0..." scans the whole disk), so any text holding one,
// in whichever form it is stored, makes the stream damaged.
TEST(ProfileFile, ATextHoldingANulIsDamage) {
    struct Case {
        std::string name;
        std::string bytes;
        std::string error;
    };
    auto wide = [](const std::u16string& t) {
        std::string b = Bytes().raw({0x12, int(t.size()), 0, 0, 0}).s;
        for (char16_t c : t)
            b += Bytes().raw({c & 0xFF, c >> 8}).s;
        return b;
    };
    auto sized = [](int type, const std::string& t) {
        return Bytes().raw({type, int(t.size()), 0, 0, 0}).str(t).s;
    };
    const std::string index = "/" + kNul + "srv/index.html";
    const Case cases[] = {
        {"short text", OneRecord("TMapProfile", "IndexPage", Bytes().raw({0x06}).shortStr(index).s),
         "Invalid property value"},
        {"short text in Windows-1252",
         OneRecord("TMapProfile", "IndexPage", Bytes().raw({0x06}).shortStr("caf\xE9" + kNul).s),
         "Invalid property value"},
        {"long text", OneRecord("TMapProfile", "IndexPage", sized(0x0C, index)),
         "Invalid property value"},
        {"UTF-8 text", OneRecord("TMapProfile", "IndexPage", sized(0x14, u8(u8"/café/") + kNul)),
         "Invalid property value"},
        {"wide text", OneRecord("TMapProfile", "IndexPage", wide(std::u16string(u"/Карта\0x", 8))),
         "Invalid property value"},
        {"text in a list",
         OneRecord(
             "TMapProfile", "FollowQueryParts.Strings",
             Bytes().raw({0x01, 0x06}).shortStr("id=").raw({0x06}).shortStr("a" + kNul).raw({0}).s),
         "Invalid property value"},
        {"identifier",
         OneRecord("TMapProfile", "OutputType",
                   Bytes().raw({0x07}).shortStr("moutFile" + kNul + "x").s),
         "Invalid property value"},
        {"property name",
         OneRecord("TMapProfile", "IndexPage" + kNul + "x", Bytes().raw({0x06}).shortStr("/a").s),
         "Invalid stream format"},
        {"component name",
         Bytes().str("TPF0").shortStr("TMapProfile").shortStr("My" + kNul + "Map").raw({0, 0}).s,
         "Invalid stream format"},
    };
    for (const auto& c : cases) {
        TMapProfile p;
        try {
            ProfileFromBytes(c.bytes, p);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EStreamError& e) {
            EXPECT_EQ(std::string(e.what()), c.error) << c.name;
        }
        EXPECT_EQ(p.IndexPage(), "") << c.name;
    }
    // The settings file is read by the same reader.
    TSiteMapSettings s;
    EXPECT_THROW(SettingsFromBytes(OneRecord("TSiteMapSettings", "LastFile",
                                             Bytes().raw({0x06}).shortStr("/a.qvt" + kNul).s),
                                   s),
                 EStreamError);
}

// An unattended run of such a profile fails at once, with the damaged-profile
// error: no scan, no sitemap, and the profile is left as it was.
TEST(ProfileFile, AnUnattendedRunRefusesAProfileWithANul) {
    if (!QFileInfo(TessalyExe()).isExecutable())
        GTEST_SKIP() << "the program " << TessalyExe().toStdString() << " is not built";
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string site = root + "/site/";
    std::filesystem::create_directories(site);
    WriteFileText("<html><body><a href=\"a.html\">A</a></body></html>", site + "index.html");
    WriteFileText("<html><body>A</body></html>", site + "a.html");

    TMapProfile p;
    p.setSpiderType(mstLocal);
    // Cut at the NUL, the index page would be the site's folder.
    p.setIndexPage(site + kNul + "index.html");
    p.setWebsite("http://www.example.com/");
    p.setFileTypes("*.html;");
    p.setOutputFileName(site + "map.html");
    const std::string profileFile = root + "/site.qvt";
    p.setFileName(profileFile);
    const std::string bytes = ProfileToBytes(p);
    WriteFileText(bytes, profileFile);

    RunResult r = RunTessaly({"-auto", QString::fromStdString(profileFile)}, dir.path(), 20000);
    ASSERT_TRUE(r.ended) << "the run did not end within the time limit";
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Cannot read the profile \"" + profileFile + "\". Invalid property value"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadFileText(profileFile), bytes);
    EXPECT_FALSE(FileExists(site + "map.html"));
    EXPECT_FALSE(FileExists(site + "sitemap.xml"));
}

TEST(ProfileFile, SettersTrackChanges) {
    TMapProfile p;
    p.setWebsite(p.Website());
    EXPECT_FALSE(p.Modified);
    p.setWebsite("http://a/");
    EXPECT_TRUE(p.Modified);

    p.Modified = false;
    p.setFileName("/x/y.qvt");
    EXPECT_FALSE(p.Modified);
    EXPECT_FALSE(p.Untitled);

    p.setFollowQueryPartsText("a\r\nb\r\n");
    EXPECT_TRUE(p.Modified);
    p.Modified = false;
    p.setFollowQueryPartsText("a\r\nb\r\n");
    EXPECT_FALSE(p.Modified);
}

TEST(ProfileFile, AtomicWriteKeepsTheOldFileWhenItCannotWrite) {
    QTemporaryDir dir;
    std::string path = dir.filePath("p.qvt").toStdString();
    WriteFileText("old", path);
    EXPECT_EQ(ReadFileText(path), "old");
    WriteFileText("new", path);
    EXPECT_EQ(ReadFileText(path), "new");

    std::string missing = dir.filePath("no/such/folder/p.qvt").toStdString();
    try {
        WriteFileText("x", missing);
        ADD_FAILURE() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + missing + "\"", 0), 0u)
            << e.what();
    }
    EXPECT_THROW(ReadFileText(missing), EFileError);
}

// Each crawl setting apart from the others: set to something else it is
// written and reads back; set back to its default the profile is what it was.
TEST(ProfileFile, CrawlSettingsAreWrittenOnlyWhenChanged) {
    const std::string plain = ProfileToBytes(TMapProfile());
    const std::vector<std::pair<const char*, std::function<void(TMapProfile&)>>> changes = {
        {"LeaveOutNoindex", [](TMapProfile& p) { p.setLeaveOutNoindex(false); }},
        {"LeaveOutCanonical", [](TMapProfile& p) { p.setLeaveOutCanonical(false); }},
        {"FollowNofollow", [](TMapProfile& p) { p.setFollowNofollow(true); }},
        {"MaxPages", [](TMapProfile& p) { p.setMaxPages(1); }},
        {"MaxDepth", [](TMapProfile& p) { p.setMaxDepth(70000); }},
        {"MaxMinutes", [](TMapProfile& p) { p.setMaxMinutes(10); }},
        {"MaxRate", [](TMapProfile& p) { p.setMaxRate(20); }},
        {"Connections", [](TMapProfile& p) { p.setConnections(1); }},
    };
    for (const auto& [name, change] : changes) {
        TMapProfile p;
        change(p);
        const std::string bytes = ProfileToBytes(p);
        EXPECT_NE(bytes.find(name), std::string::npos) << name;
        TMapProfile q;
        ProfileFromBytes(bytes, q);
        EXPECT_EQ(ProfileToBytes(q), bytes) << name;
        EXPECT_EQ(ProfileToBytes(TMapProfile()), plain);
    }
}

// A limit out of its range, whatever the size it is stored in, is brought
// into range as it is read; a value of the wrong kind is damage, as for
// every other property.
TEST(ProfileFile, CrawlLimitsOutOfRangeAreBroughtIntoRange) {
    auto extended = [](double value) {
        TPropertyWriter w("TMapProfile", "");
        w.writeExtended("X", value);
        const std::string bytes = w.finish();
        // The record's value: after the signature, the names and "X".
        return bytes.substr(bytes.find("\x01X") + 2, 11);
    };
    struct Case {
        const char* name;
        std::string value;
        std::function<double(const TMapProfile&)> read;
        double want;
    };
    auto connections = [](const TMapProfile& p) { return double(p.Connections()); };
    auto pages = [](const TMapProfile& p) { return double(p.MaxPages()); };
    auto depth = [](const TMapProfile& p) { return double(p.MaxDepth()); };
    auto minutes = [](const TMapProfile& p) { return double(p.MaxMinutes()); };
    auto rate = [](const TMapProfile& p) { return p.MaxRate(); };
    const Case cases[] = {
        {"Connections", Bytes().raw({0x02, 0}).s, connections, 1},
        {"Connections", Bytes().raw({0x02, 0xFF}).s, connections, 1},
        {"Connections", Bytes().raw({0x02, 17}).s, connections, 16},
        {"Connections", Bytes().raw({0x04, 0xFF, 0xFF, 0xFF, 0x7F}).s, connections, 16},
        {"Connections", Bytes().raw({0x02, 7}).s, connections, 7},
        {"Connections", extended(2.6), connections, 3},
        {"MaxPages", Bytes().raw({0x04, 0, 0, 0, 0x80}).s, pages, 0},
        {"MaxPages", extended(1e300), pages, std::numeric_limits<int>::max()},
        {"MaxDepth", Bytes().raw({0x03, 0xFF, 0xFF}).s, depth, 0},
        {"MaxMinutes", extended(-5), minutes, 0},
        {"MaxRate", extended(-1), rate, 0},
        {"MaxRate", extended(1e9), rate, TMapProfile::MaxRateLimit},
        {"MaxRate", Bytes().raw({0x02, 3}).s, rate, 3},
    };
    for (const auto& c : cases) {
        TMapProfile p;
        ProfileFromBytes(OneRecord("TMapProfile", c.name, c.value), p);
        EXPECT_DOUBLE_EQ(c.read(p), c.want) << c.name << " " << testing::PrintToString(c.value);
    }
    for (const char* name : {"MaxPages", "Connections", "MaxRate"}) {
        TMapProfile p;
        EXPECT_THROW(ProfileFromBytes(OneRecord("TMapProfile", name, "\x06\x01x"), p), EStreamError)
            << name;
        EXPECT_THROW(ProfileFromBytes(OneRecord("TMapProfile", name, "\x08"), p), EStreamError)
            << name;
    }
}
