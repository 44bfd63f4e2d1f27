#include "UnicodeText.h"

#include <gtest/gtest.h>

namespace tessaly::html {
namespace {

TEST(UnicodeText, Utf8RoundTripAndReplacement) {
    EXPECT_EQ(Utf8ToUtf16("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), u"aé€😀");
    EXPECT_EQ(Utf16ToUtf8(u"aé€😀"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    // Overlong forms, encoded surrogates, truncated and stray bytes.
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF|\xED\xA0\x80|\xE2\x82|\x80"),
              u"\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD|\uFFFD");
    // Unpaired surrogates from numeric references.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b', 0xDC00}), "a\xEF\xBF\xBD"
                                                                       "b\xEF\xBF\xBD");
    // The longest outcome a unit can give, a high surrogate last, nothing.
    EXPECT_EQ(Utf16ToUtf8(u"\u20AC\u20AC"), "\xE2\x82\xAC\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', 0xD83D}), "x\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(UnicodeText, CaseInsensitiveAsciiComparison) {
    EXPECT_TRUE(SameTextAscii(u"Content-TYPE", "content-type"));
    EXPECT_FALSE(SameTextAscii(u"content-typ", "content-type"));
    EXPECT_FALSE(SameTextAscii(u"\u0130", "i"));
    EXPECT_EQ(FindTextAscii(u"text/html; CHARSET=x", "charset"), 11u);
    EXPECT_EQ(FindTextAscii(u"chars", "charset"), std::u16string_view::npos);
}

} // namespace
} // namespace tessaly::html
