#include "TextRoutines.h"
#include "FileRoutines.h"

#include "Folders.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace tessaly;

TEST(TextRoutines, CountOccurrencesAndPosFrom) {
    EXPECT_EQ(CountOccurrences("http://example.com", "/"), 2);
    EXPECT_EQ(CountOccurrences("http://example.com/", "/"), 3);
    EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2);
    EXPECT_EQ(CountOccurrences("abc", ""), 0);

    struct Case {
        const char* text;
        const char* pattern;
        int start;
        int pos;
    };
    for (auto c : {Case{"abcabc", "a", 1, 1}, Case{"abcabc", "a", 2, 3}, Case{"abcabc", "c", 3, 1},
                   Case{"abcabc", "a", 0, 1}, Case{"abcabc", "x", 1, 0}, Case{"abc", "a", 9, 0}})
        EXPECT_EQ(PosFrom(c.text, c.pattern, c.start), c.pos) << c.text << " " << c.start;
}

TEST(TextRoutines, SafeCopy) {
    struct Case {
        const char* text;
        int from, count;
        const char* want;
    };
    const Case cases[] = {
        {"abcdef", 2, 3, "bcd"}, {"abc", 5, 1, "a"}, // from beyond the end restarts at 1
        {"abc", 0, 1, ""},       {"abc", 2, -1, ""}, {"abc", 2, 5, ""},
        {"abc", 3, 1, "c"},      {"abc", 1, 0, ""},  {"", 1, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeCopy(c.text, c.from, c.count), c.want)
            << c.text << " " << c.from << " " << c.count;
}

TEST(TextRoutines, TextBetween) {
    struct Case {
        const char* text;
        bool ignoreCase;
        const char* want;
    };
    const Case cases[] = {
        {"<TITLE>Home</title>", true, "Home"},
        {"<TITLE>Home</title>", false, ""},
        {"</title> x <title>late", true, ""}, // the end marker only before the start
        {"<title></title>", true, ""},
        {"<title>  My Page </title>", true, "  My Page "},
        {"<title>A</title><title>B</title>", true, "A"},
        {"<title>no end", true, ""},
        {"<title>Caf\xC3\xA9 \xC3\x89T\xC3\x89</TITLE>", true, "Caf\xC3\xA9 \xC3\x89T\xC3\x89"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextBetween(c.text, "<title>", "</title>", c.ignoreCase), c.want) << c.text;
}

TEST(TextRoutines, EncodeURLForXML) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a b&c", "a%20b&amp;c"},
        {"/caf\xE9.html", "/caf%E9.html"},
        {"/a%20b/", "/a%20b/"},
        {"/x?a='1'&b=\"2\"", "/x?a=&apos;1&apos;&amp;b=&quot;2&quot;"},
        {"<tag>", "&lt;tag&gt;"},
        {"tab\there", "tab%09here"},
        {"http://Example.com/A-b_c.d~e*f!(g),h;i:j@k$l#m+n",
         "http://Example.com/A-b_c.d~e*f!(g),h;i:j@k$l#m+n"},
        {"{}[]|\\^`", "%7B%7D%5B%5D%7C%5C%5E%60"},
        // Brackets stand only around an IPv6 host.
        {"http://[::1]:8080/a[1].html?b=[2]", "http://[::1]:8080/a%5B1%5D.html?b=%5B2%5D"},
        {"/a[1]", "/a%5B1%5D"},
        {"/go?u=http://[::1]/", "/go?u=http://%5B::1%5D/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeURLForXML(c.in), c.out) << c.in;
}

TEST(TextRoutines, MatchesFileTypes) {
    struct Case {
        const char* name;
        const char* masks;
        bool match;
    };
    const Case cases[] = {
        {"/www/Index.HTML", "*.htm;*.html;", true},
        {"/www/a.htm", "*.html;", false},
        {"/www/a.html", "*.htm;", false},
        {"/www/README", "*.htm;", false},
        {"/www/README", "*;*.htm;", true},
        {"/www/v1.2/README", "*.2/readme;", false}, // the dot must follow the last "/"
        {"/www/archive.tar.gz", "*.gz;", true},
        {"/www/a.PHP", "*.HTM;*.PHP;", true},
        {"/www/a.html", "*.html", false}, // a type counts only with its ";"
        {"/www/a.html", "x*.html;", true},
        {"/www/a.html", "", false},
        {"/www/a.h", "*.htm;*.h;", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesFileTypes(c.name, c.masks), c.match) << c.name << " " << c.masks;
}

TEST(FileRoutines, LowerCaseOfAsciiAndOtherLetters) {
    EXPECT_EQ(LowerCase("/WWW/Index.HTML"), "/www/index.html");
    EXPECT_EQ(LowerCase("/www/\xC3\x89t\xC3\xA9.HTML"), "/www/\xC3\xA9t\xC3\xA9.html"); // Été
    EXPECT_EQ(LowerCase(""), "");
}

TEST(TextRoutines, HasInvalidFileNameCharsAndCopyMax) {
    for (const char* bad : {"a/b", "a\\b", "c:", "*.html", "a?", "\"q\"", "<x>", "a|b"})
        EXPECT_TRUE(HasInvalidFileNameChars(bad)) << bad;
    EXPECT_FALSE(HasInvalidFileNameChars("site map (1).html"));
    EXPECT_EQ(CopyMax(std::string("ab\0cd", 5), 10), "ab");
    EXPECT_EQ(CopyMax("abcdef", 3), "abc");
}

TEST(FileRoutines, ReadWriteAppendAndDelete) {
    QTemporaryDir dir;
    std::string file = dir.filePath("a.txt").toStdString();
    WriteFileText("one", file);
    AppendLine("two", file);
    EXPECT_EQ(ReadFileText(file), "one"
                                  "two\r\n");
    DeleteFileQuietly(file);
    DeleteFileQuietly(file); // a missing file is no error
    EXPECT_FALSE(FileExists(file));

    struct Case {
        std::function<void()> call;
        std::string prefix;
    };
    const Case cases[] = {
        {[&] { ReadFileText(file); }, "Cannot open file \"" + file + "\". No such file"},
        {[&] { AppendLine("x", file); }, "Cannot open file \"" + file + "\". No such file"},
        {[&] { WriteFileText("x", file + "/sub"); }, "Cannot create file \"" + file + "/sub\"."},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << "no error for " << c.prefix;
        } catch (const EFileError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.prefix, 0), 0u) << e.what();
        }
    }
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("/www/"), "/www/");
    EXPECT_EQ(AddBackslash("/www"), "/www/");
}

TEST(TextRoutines, Utf8IsTellsWellFormedText) {
    const std::pair<std::string, bool> rows[] = {
        {"plain", true},
        {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true},
        {"Caf\xE9", false},          // windows-1252
        {"\xC3", false},             // cut short
        {"\xC0\xAF", false},         // overlong
        {"\xE0\x80\xAF", false},     // overlong, three bytes
        {"\xED\xA0\x80", false},     // a surrogate
        {"\xF4\x90\x80\x80", false}, // past U+10FFFF
        {"\xC3\xA9\x80", false},     // a lone continuation byte
    };
    for (const auto& [bytes, valid] : rows)
        EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes;
}

TEST(TextRoutines, UndeclaredTextIsUtf8ElseWindows1252) {
    EXPECT_EQ(UndeclaredToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(UndeclaredToUtf8("Caf\xE9 \x80 \x93x\x94 \x81"),
              "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xEF\xBF\xBD");
}

TEST(TextRoutines, CharacterReferencesAreDecoded) {
    const std::pair<std::string, std::string> rows[] = {
        {"Tom &amp; Jerry &lt;live&gt; &quot;now&quot;", "Tom & Jerry <live> \"now\""},
        {"Cr&egrave;me br&ucirc;l&eacute;e", "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                                             "e"},
        {"&#233;&#xE9;&#XE9; &#8364; &#128512;",
         "\xC3\xA9\xC3\xA9\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"&mdash;&hellip;&nbsp;", "\xE2\x80\x94\xE2\x80\xA6\xC2\xA0"},
        // As browsers read them: 0x80 to 0x9F are windows-1252's, nothing
        // and surrogates are U+FFFD.
        {"&#150; &#0; &#xD800; &#99999999;", "\xE2\x80\x93 \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD"},
        // Not references: they stand as written.
        {"AT&T &bogus; & ; &#; &#x; &amp", "AT&T &bogus; & ; &#; &#x; &amp"},
        {"&Eacute;&eacute;&EACUTE;", "\xC3\x89\xC3\xA9&EACUTE;"},
    };
    for (const auto& [text, decoded] : rows)
        EXPECT_EQ(DecodeCharacterReferences(text), decoded) << text;
}
