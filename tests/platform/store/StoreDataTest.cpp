// The store's keys and values in memory and in their text form.
#include "StoreData.h"
#include "StoreText.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

const char* const kSite = "Software\\Quorvane Software\\Internet\\Profiles\\My Site";

TEST(StoreData, TextRoundTripKeepsAwkwardNamesAndValues) {
    struct Case {
        std::string key, name, value;
    } cases[] = {
        {kSite, "HostName", "ftp.example.com"},
        {kSite, "Comment", "say \"hi\"\\back\\slash\r\nnext line\tend"},
        {"Root\\a [b] %41 c", "na\"me", "x"},
        {"Root\\Überseite", "Wert", "grüße ✓"},
        {"Root\\bad utf8 \xff\xfe", "v\x01", std::string("nul\0byte", 8)},
        {"Root\\empty", "", ""},
        {"Root\\semi", ";name", "; not a comment"},
    };
    StoreData data;
    for (const Case& c : cases)
        ASSERT_TRUE(data.SetValue(c.key, c.name, c.value)) << c.key;
    std::string text = data.ToText();
    StoreData back;
    std::string error;
    ASSERT_TRUE(back.FromText(text, error)) << error << "\n" << text;
    EXPECT_TRUE(back == data);
    for (const Case& c : cases)
        EXPECT_EQ(back.Value(c.key, c.name), c.value) << c.key;
    // Every line of the file is one key or one value, whatever the values hold.
    EXPECT_NE(text.find("\"Comment\"=\"say \\\"hi\\\"\\\\back\\\\slash\\r\\nnext line\\tend\""),
              std::string::npos);
    EXPECT_NE(text.find("[Root\\a %5Bb%5D %2541 c]"), std::string::npos);
}

TEST(StoreData, NamesKeepCaseButLookupsIgnoreIt) {
    StoreData data;
    data.SetValue("Software\\Sites\\My Site", "Port", "21");
    data.SetValue("software\\SITES\\my site", "port", "2121");
    data.SetValue("Software\\Sites\\Ärger", "x", "1");
    EXPECT_EQ(data.Value("SOFTWARE\\sites\\MY SITE", "PORT"), "2121");
    EXPECT_EQ(data.Value("Software\\Sites\\ärger", "X"), "1");
    EXPECT_EQ(data.SubKeys("Software\\Sites"), (std::vector<std::string>{"My Site", "Ärger"}));
    // The first spelling of the value name stays.
    EXPECT_EQ(data.Values("Software\\Sites\\My Site").front().first, "Port");
}

TEST(StoreData, SubKeysAreInCaseBlindAlphabeticalOrder) {
    StoreData data;
    for (const char* name : {"beta", "Alpha", "gamma", "Delta"})
        data.CreateKey(std::string("K\\") + name);
    data.CreateKey("K\\beta\\child");
    EXPECT_EQ(data.SubKeys("K"), (std::vector<std::string>{"Alpha", "beta", "Delta", "gamma"}));
    EXPECT_TRUE(data.SubKeys("Missing").empty());
}

TEST(StoreData, AbsentDiffersFromEmpty) {
    StoreData data;
    data.SetValue("K", "empty", "");
    EXPECT_EQ(data.Value("K", "empty"), "");
    EXPECT_EQ(data.Value("K", "other"), std::nullopt);
    EXPECT_EQ(data.Value("Missing", "empty"), std::nullopt);
}

TEST(StoreData, DeleteValueAndTree) {
    StoreData data;
    data.SetValue("A\\B", "v", "1");
    data.SetValue("A\\B\\C", "v", "2");
    data.SetValue("A\\BB", "v", "3");
    data.DeleteValue("A\\B", "V");
    EXPECT_EQ(data.Value("A\\B", "v"), std::nullopt);
    EXPECT_TRUE(data.HasKey("A\\B"));
    data.DeleteTree("a\\b");
    EXPECT_FALSE(data.HasKey("A\\B"));
    EXPECT_FALSE(data.HasKey("A\\B\\C"));
    EXPECT_EQ(data.Value("A\\BB", "v"), "3"); // a sibling with the same start stays
}

TEST(StoreData, PathsWithAnEmptyNameAreRefused) {
    StoreData data;
    data.SetValue("A\\B", "v", "1");
    for (const char* bad : {"", "A\\", "\\A", "A\\\\B"}) {
        EXPECT_FALSE(data.DeleteTree(bad)) << bad;
        EXPECT_FALSE(data.SetValue(bad, "v", "x")) << bad;
    }
    EXPECT_EQ(data.Value("A\\B", "v"), "1");
}

TEST(StoreData, DamagedTextIsRefusedWithItsLine) {
    struct Case {
        const char* text;
        const char* line;
    } cases[] = {
        {"something else\n", "line 1"},
        {"Tessaly user store 1\n\"v\"=\"x\"\n", "line 2"},
        {"Tessaly user store 1\n[A]\n\"v\"=\"unterminated\n", "line 3"},
        {"Tessaly user store 1\n[A]\n\"v\"=\"bad \\q escape\"\n", "line 3"},
        {"Tessaly user store 1\n[A]\n\"v\"=\"x\" trailing\n", "line 3"},
        {"Tessaly user store 1\n[A\\\\B]\n", "line 2"},
        {"Tessaly user store 1\n[A%ZZ]\n", "line 2"},
        {"Tessaly user store 1\n[A%5CB]\n", "line 2"},
        {"Tessaly user store 1\n[A]\n\"v\"=\"\\x4\"\n", "line 3"},
        {"Tessaly user store 1\n[A]\nv=x\n", "line 3"},
    };
    for (const Case& c : cases) {
        StoreData data;
        data.SetValue("Kept", "v", "1");
        std::string error;
        EXPECT_FALSE(data.FromText(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.line), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(data.Value("Kept", "v"), "1"); // unchanged
    }
}

TEST(StoreData, ReadsCrLfAndCommentsAndAnEmptyFile) {
    StoreData data;
    std::string error;
    ASSERT_TRUE(
        data.FromText("Tessaly user store 1\r\n; note\r\n\r\n[A]\r\n\"v\"=\"1\"\r\n", error))
        << error;
    EXPECT_EQ(data.Value("A", "v"), "1");
    ASSERT_TRUE(data.FromText("", error));
    EXPECT_FALSE(data.HasKey("A"));
}

} // namespace
} // namespace tessaly
