// Site profiles and proxy values in the per-user store.
#include "ServerStore.h"
#include "ProxySettings.h"
#include "SiteList.h"
#include "TempConfigHome.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

std::string SiteKey(const std::string& name) {
    return std::string(kProfilesKey) + "\\" + name;
}

TServerData FullSite() {
    TServerData s;
    s.ItemName = "My \"Home\" Site";
    s.HostName = "ftp.example.com";
    s.Username = "anna";
    s.Password = "pw-\"Secret\"\\1";
    s.HostDirName = "public_html/";
    s.LocalDirName = "/home/anna/site/";
    s.Comment = "line one\nline two";
    s.Port = 2121;
    s.Protocol = 2;
    s.Timeout = 45;
    s.Anonymous = true;
    s.PassiveMode = false;
    s.SavePassword = true;
    s.Secure = true;
    s.UseNoop = true;
    s.Bookmarks = {"/a", "/b;c"};
    return s;
}

class ServerStoreTest : public ::testing::Test {
  protected:
    TempConfigHome home;
    TServerStore sites;

    StoreData Raw() const {
        StoreData d;
        EXPECT_TRUE(sites.Store().Read(d));
        return d;
    }
    void Put(const std::string& key, const std::string& name, const std::string& value) {
        ASSERT_TRUE(
            sites.Store().Write([&](StoreData& d) { return d.SetValue(key, name, value); }));
    }
};

TEST_F(ServerStoreTest, SaveAndLoadKeepEveryField) {
    std::vector<TServerData> list = {FullSite()};
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error)) << error;
    EXPECT_EQ(list[0].LoadedKey, "My \"Home\" Site");
    StoreData raw = Raw();
    std::string key = SiteKey("My \"Home\" Site");
    // Stored as strings, flags "1"/"0", password not in clear.
    EXPECT_EQ(raw.Value(key, "Port"), "2121");
    EXPECT_EQ(raw.Value(key, "PassiveMode"), "0");
    EXPECT_EQ(raw.Value(key, "Anonymous"), "1");
    EXPECT_EQ(raw.Value(key, "Bookmark 1"), "/b;c");
    EXPECT_NE(raw.Value(key, "Password"), FullSite().Password);
    EXPECT_FALSE(raw.Value(key, "Password").value_or("").empty());

    std::vector<TServerData> loaded;
    ASSERT_TRUE(sites.LoadProfiles(loaded));
    ASSERT_EQ(loaded.size(), 1u);
    TServerData want = FullSite();
    const TServerData& got = loaded[0];
    EXPECT_EQ(got.ItemName, want.ItemName);
    EXPECT_EQ(got.HostName, want.HostName);
    EXPECT_EQ(got.Username, want.Username);
    EXPECT_EQ(got.Password, want.Password);
    EXPECT_EQ(got.HostDirName, want.HostDirName);
    EXPECT_EQ(got.LocalDirName, want.LocalDirName);
    EXPECT_EQ(got.Comment, want.Comment);
    EXPECT_EQ(got.Port, want.Port);
    EXPECT_EQ(got.Protocol, want.Protocol);
    EXPECT_EQ(got.Timeout, want.Timeout);
    EXPECT_EQ(got.Anonymous, want.Anonymous);
    EXPECT_EQ(got.PassiveMode, want.PassiveMode);
    EXPECT_EQ(got.SavePassword, want.SavePassword);
    EXPECT_EQ(got.Secure, want.Secure);
    EXPECT_EQ(got.UseNoop, want.UseNoop);
    EXPECT_EQ(got.Bookmarks, want.Bookmarks);

    // LoadServerData: exact name, no bookmarks; another spelling finds nothing.
    TServerData one = sites.LoadServerData("My \"Home\" Site");
    EXPECT_EQ(one.Password, want.Password);
    EXPECT_TRUE(one.Bookmarks.empty());
    EXPECT_TRUE(sites.LoadServerData("my \"home\" site").HostName.empty());
    EXPECT_TRUE(sites.LoadServerData("Nobody").HostName.empty());
}

std::string FileBytes(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("(missing)");
}

// The certificate trust and the TLS notice are new values: a record without
// them is written exactly as before, and they round-trip when set, through
// a full save and through the upload's own narrow write.
TEST_F(ServerStoreTest, SecurityValuesAreWrittenOnlyWhenSet) {
    TServerData plain = FullSite();
    plain.SavePassword = false; // the sealed password differs from save to save
    std::vector<TServerData> list = {plain};
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error)) << error;
    const std::string key = SiteKey(plain.ItemName);
    EXPECT_FALSE(Raw().Value(key, "TrustedCertificate").has_value());
    EXPECT_FALSE(Raw().Value(key, "TlsOffered").has_value());
    const std::string before = FileBytes(sites.Store().File());
    std::vector<TServerData> loaded;
    ASSERT_TRUE(sites.LoadProfiles(loaded));
    ASSERT_TRUE(sites.SaveProfiles(loaded, error)) << error;
    EXPECT_EQ(FileBytes(sites.Store().File()), before);

    const std::string fingerprint =
        "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:"
        "45:67:89";
    TServerData learned = loaded[0];
    learned.TrustedCertificate = fingerprint;
    learned.TlsOffered = true;
    learned.Comment = "not written by the narrow save";
    ASSERT_TRUE(sites.SaveSecurityValues(learned.LoadedKey, learned, error)) << error;
    TServerData back = sites.LoadServerData(plain.ItemName);
    EXPECT_EQ(back.TrustedCertificate, fingerprint);
    EXPECT_TRUE(back.TlsOffered);
    EXPECT_EQ(back.Comment, plain.Comment);

    // Cleared again, the record is as it was.
    back.TrustedCertificate.clear();
    back.TlsOffered = false;
    back.Bookmarks = plain.Bookmarks; // LoadServerData leaves them out
    std::vector<TServerData> again = {back};
    ASSERT_TRUE(sites.SaveProfiles(again, error)) << error;
    EXPECT_EQ(FileBytes(sites.Store().File()), before);

    EXPECT_FALSE(sites.SaveSecurityValues("Nobody", learned, error));
    EXPECT_NE(error.find("Nobody"), std::string::npos);
}

TEST(DefaultPort, FollowsTheConnectionKindButKeepsAChosenPort) {
    struct Case {
        int protocol, current, want;
    } cases[] = {
        {kProtocolFtpImplicit, 21, 990}, {kProtocolFtpImplicit, 0, 990},
        {kProtocolFtp, 990, 21},         {kProtocolFtpTls, 990, 21},
        {kProtocolFtpTlsData, 21, 21},   {kProtocolSftp, 21, 22},
        {kProtocolFtp, 22, 21},          {kProtocolFtpImplicit, 2121, 2121},
        {kProtocolFtp, 8021, 8021},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DefaultPortFor(c.protocol, c.current), c.want)
            << c.protocol << " from " << c.current;
}

TEST_F(ServerStoreTest, AbsentValuesTakeTheirDefaults) {
    Put(SiteKey("Bare"), "HostName", "bare.example.com");
    Put(SiteKey("Bare"), "port", "2200"); // another program's spelling
    TServerData s = sites.LoadServerData("Bare");
    EXPECT_EQ(s.ItemName, "bare.example.com"); // listed under its host name
    EXPECT_EQ(s.Port, 2200);
    EXPECT_EQ(s.Timeout, 60);
    EXPECT_EQ(s.Protocol, 0);
    EXPECT_FALSE(s.PassiveMode); // an absent flag is False
    EXPECT_EQ(s.Password, "");
}

TEST_F(ServerStoreTest, AnUnreadableNumberFallsBackForThatValueAlone) {
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {{"Port", "twenty"}, {"Port", "0"},      {"Port", "70000"}, {"Timeout", "6O"},
                 {"Protocol", "9"},  {"Protocol", "-1"}, {"Port", " 21"}};
    for (const Case& c : cases) {
        Put(SiteKey("Odd"), "HostName", "odd.example.com");
        Put(SiteKey("Odd"), "Port", "2121");
        Put(SiteKey("Odd"), "Timeout", "30");
        Put(SiteKey("Odd"), "Protocol", "1");
        Put(SiteKey("Fine"), "HostName", "fine.example.com");
        Put(SiteKey("Odd"), c.name, c.value);
        std::string before = Raw().ToText();
        std::vector<TServerData> list;
        ASSERT_TRUE(sites.LoadProfiles(list));
        ASSERT_EQ(list.size(), 2u) << c.name;
        const TServerData& odd = list[1];
        EXPECT_EQ(odd.Port, std::string(c.name) == "Port" ? 21 : 2121) << c.value;
        EXPECT_EQ(odd.Timeout, std::string(c.name) == "Timeout" ? 60 : 30) << c.value;
        EXPECT_EQ(odd.Protocol, std::string(c.name) == "Protocol" ? 0 : 1) << c.value;
        EXPECT_EQ(Raw().ToText(), before); // reading never rewrites
    }
}

TEST_F(ServerStoreTest, NamesAndKeysFollowTheStoreRules) {
    std::vector<TServerData> list(3);
    list[0].HostName = "a.example.com"; // empty name: "Untitled 0"
    list[1].ItemName = "beta";
    list[1].HostName = "b1";
    list[2].ItemName = "Beta"; // same key as "beta": the later one wins
    list[2].HostName = "b2";
    list[2].Password = "kept out";
    list[2].SavePassword = false;
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error)) << error;
    EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"beta", "Untitled 0"}));
    EXPECT_EQ(sites.LoadServerData("beta").HostName, "b2");
    EXPECT_EQ(Raw().Value(SiteKey("beta"), "Password"), ""); // not saved
    EXPECT_EQ(sites.LoadServerData("Untitled 0").HostName, "a.example.com");
}

TEST_F(ServerStoreTest, ASiteWhoseNameCannotBeAKeyStaysUnderItsOwnKey) {
    Put(SiteKey("Odd"), "HostName", "h");
    Put(SiteKey("Odd"), "ItemName", "two\nlines\\nested");
    std::vector<TServerData> list;
    ASSERT_TRUE(sites.LoadProfiles(list));
    TServerData fresh;
    fresh.ItemName = "Fresh";
    list.push_back(fresh);
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error)) << error;
    EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"Fresh", "Odd"}));
    EXPECT_EQ(Raw().Value(SiteKey("Odd"), "ItemName"), "two\nlines\\nested");
    // A new site with such a name has no key to fall back on: refused whole.
    list.push_back(TServerData());
    list.back().ItemName = "a\\b";
    EXPECT_FALSE(sites.SaveProfiles(list, error));
    EXPECT_NE(error.find("a\\b"), std::string::npos) << error;
}

TEST_F(ServerStoreTest, BookmarksEndAtTheFirstGapAndASaveReplacesTheLeadingRun) {
    Put(SiteKey("S"), "HostName", "h");
    Put(SiteKey("S"), "ItemName", "S");
    Put(SiteKey("S"), "Bookmark 0", "zero");
    Put(SiteKey("S"), "Bookmark 1", "one");
    Put(SiteKey("S"), "Bookmark 3", "three");
    std::vector<TServerData> list;
    ASSERT_TRUE(sites.LoadProfiles(list));
    EXPECT_EQ(list[0].Bookmarks, (std::vector<std::string>{"zero", "one"}));
    list[0].Bookmarks = {"only"};
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error));
    StoreData raw = Raw();
    EXPECT_EQ(raw.Value(SiteKey("S"), "Bookmark 0"), "only");
    EXPECT_EQ(raw.Value(SiteKey("S"), "Bookmark 1"), std::nullopt);
    EXPECT_EQ(raw.Value(SiteKey("S"), "Bookmark 3"), "three");
}

TEST_F(ServerStoreTest, DeleteActsOnTheLoadedKeyAndNeverOnAllSites) {
    std::vector<TServerData> list(2);
    list[0].ItemName = "One";
    list[1].ItemName = "Two";
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error));
    // The name was edited in memory; the key it came from is what goes.
    list[0].ItemName = "Changed";
    ASSERT_TRUE(sites.DeleteProfile(list[0], error)) << error;
    EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"Two"}));
    for (const char* blank : {"", "   "}) {
        TServerData s;
        s.LoadedKey = blank;
        s.ItemName = blank;
        sites.DeleteProfile(s, error);
        EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"Two"})) << "'" << blank << "'";
    }
}

TEST_F(ServerStoreTest, RenameMovesTheSiteAndAFailedOneLosesNothing) {
    TSiteList list(sites);
    TWizardAnswers a;
    a.Name = "Old";
    a.Host = "h";
    a.Password = "pw";
    list.AddWizardProfile(a);
    a.Name = "Other";
    list.AddWizardProfile(a);
    std::string message;
    ASSERT_TRUE(list.Save(message)) << message;
    ASSERT_TRUE(list.Rename(0, "New", message)) << message;
    EXPECT_EQ(sites.ServerNames(), (std::vector<std::string>{"New", "Other"}));
    EXPECT_EQ(sites.LoadServerData("New").Password, "pw");

    struct Refusal {
        const char* name;
        const char* message;
    } refusals[] = {{"other", kDuplicateSiteName},
                    {"New", kDuplicateSiteName}, // finds itself
                    {"", "Please enter a name for the site."},
                    {"  ", "Please enter a name for the site."},
                    {"a\\b", "A site name cannot contain \"\\\"."}};
    for (const Refusal& r : refusals) {
        EXPECT_FALSE(list.Rename(0, r.name, message));
        EXPECT_EQ(message, r.message);
        EXPECT_EQ(list.Items()[0].ItemName, "New");
    }
    // A store that cannot be written: the rename fails whole.
    QFile f(QString::fromStdString(sites.Store().File()));
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("garbage line\n");
    f.close();
    EXPECT_FALSE(list.Rename(0, "Newer", message));
    EXPECT_EQ(message.rfind(kSaveProfilesError, 0), 0u) << message;
    EXPECT_NE(message.find("damaged"), std::string::npos) << message;
    EXPECT_EQ(list.Items()[0].ItemName, "New");
    EXPECT_EQ(list.Items()[0].LoadedKey, "New");
}

TEST_F(ServerStoreTest, ProxyValuesRoundTripAndAMissingKeyReadsEmpty) {
    TProxySettings p;
    std::string error;
    ASSERT_TRUE(LoadProxySettings(p, sites.Store(), &error));
    EXPECT_EQ(p.ProxyHostName, "");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(sites.Store().File()))); // nothing made
    p = {"proxy.example.com", "me", "", "8080", "Web Standard"};
    ASSERT_TRUE(SaveProxySettings(p, sites.Store(), &error)) << error;
    // The empty password is stored enciphered and reads back empty.
    EXPECT_FALSE(Raw().Value(kProxyKey, "proxypassword").value_or("").empty());
    TProxySettings back;
    ASSERT_TRUE(LoadProxySettings(back, sites.Store(), &error));
    EXPECT_EQ(back.ProxyHostName, "proxy.example.com");
    EXPECT_EQ(back.ProxyLogin, "me");
    EXPECT_EQ(back.ProxyPassword, "");
    EXPECT_EQ(back.ProxyPort, "8080");
    EXPECT_EQ(back.ProxyType, "Web Standard");
    EXPECT_EQ(ProxyTypeIndex("socks4"), 0);
    EXPECT_EQ(ProxyTypeIndex("SOCKS4A"), 4);
    EXPECT_EQ(ProxyTypeIndex("http"), -1);
}

// When the store or the key cannot be used, every way of reading a site says
// so with the store's message, rather than reading as "no such site" or "no
// password saved"; a site whose password was never saved needs no key.
TEST_F(ServerStoreTest, AStoreOrKeyThatCannotBeUsedReachesEveryReader) {
    TServerData saved = FullSite();
    TServerData noPassword = FullSite();
    noPassword.ItemName = "Open";
    noPassword.SavePassword = false;
    std::vector<TServerData> list = {saved, noPassword};
    std::string error;
    ASSERT_TRUE(sites.SaveProfiles(list, error)) << error;
    TProxySettings proxy;
    proxy.ProxyPassword = "proxy-pw";
    ASSERT_TRUE(SaveProxySettings(proxy, sites.Store(), &error)) << error;

    const std::string store = sites.Store().File(), key = sites.Store().KeyFile();
    struct Case {
        std::string file;
        std::string message;
    } cases[] = {
        {key,
         "The key file \"" + key + "\" can be read by other users; run: chmod 600 \"" + key + "\""},
        {store, "The store file \"" + store +
                    "\" can be changed by other users; run: chmod 600 \"" + store + "\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(::chmod(c.file.c_str(), c.file == key ? 0640 : 0620), 0);
        bool keyCase = c.file == key;

        std::string why;
        TServerData site = sites.LoadServerData(saved.ItemName, &why);
        EXPECT_EQ(why, c.message);
        EXPECT_EQ(site.Password, "");
        // The site itself is still read when only its password is out of reach.
        EXPECT_EQ(site.HostName, keyCase ? saved.HostName : "");
        why.clear();
        site = sites.LoadServerData("Open", &why);
        EXPECT_EQ(why, keyCase ? "" : c.message);

        why.clear();
        std::vector<std::string> names = sites.ServerNames(&why);
        EXPECT_EQ(why, keyCase ? "" : c.message);
        EXPECT_EQ(names.size(), keyCase ? 2u : 0u);

        why.clear();
        std::vector<TServerData> loaded;
        EXPECT_FALSE(sites.LoadProfiles(loaded, &why));
        EXPECT_EQ(why, c.message);
        EXPECT_TRUE(loaded.empty());

        why.clear();
        TProxySettings back;
        EXPECT_FALSE(LoadProxySettings(back, sites.Store(), &why));
        EXPECT_EQ(why, c.message);

        ASSERT_EQ(::chmod(c.file.c_str(), 0600), 0);
    }
    // Mended, everything reads again.
    error.clear();
    EXPECT_EQ(sites.LoadServerData(saved.ItemName, &error).Password, saved.Password);
    EXPECT_EQ(error, "");
}

} // namespace
} // namespace tessaly
