#include "CharSetTable.h"
#include "HtmlTestPage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

namespace tessaly::html::test {
namespace {

std::string Meta(std::string_view content) {
    return "<meta http-equiv=\"Content-Type\" content=\"" + std::string(content) + "\">";
}

struct TSwitchCase {
    const char* Name;
    std::string Html; // "\xC0" links before and after a META tag
    std::vector<std::string> Links;
};

std::ostream& operator<<(std::ostream& os, const TSwitchCase& c) {
    return os << c.Name;
}

class HtmlCharSetSwitch : public ::testing::TestWithParam<TSwitchCase> {};

TEST_P(HtmlCharSetSwitch, DecodesRestOfPage) {
    THtmlTestPage page;
    page.Parse(GetParam().Html);
    EXPECT_EQ(page.Found, GetParam().Links);
}

const std::string kWin1251 = Meta("text/html; charset=windows-1251");

const TSwitchCase kSwitchCases[] = {
    {"Windows1251AfterMeta", "<a href=\xC0>" + kWin1251 + "<a href=\xC0\xFF>", {"\u00C0", "Ая"}},
    {"NameCaseAndBlanks", Meta("text/html; CharSet = KOI8-r;x") + "<a href=\xC1>", {"а"}},
    {"HttpEquivAnyCase",
     "<META HTTP-EQUIV=content-type CONTENT='text/html;charset=iso-8859-7'><a href=\xC1>",
     {"Α"}},
    {"QuotedNameSelectsLatin1",
     kWin1251 + "<meta http-equiv=Content-Type content='text/html; charset=\"koi8-r\"'>"
                "<a href=\xC1>",
     {"\u00C1"}},
    {"UnknownNameSelectsLatin1",
     kWin1251 + Meta("text/html; charset=x-unknown") + "<a href=\xC0>",
     {"\u00C0"}},
    {"NoEqualsChangesNothing",
     kWin1251 + Meta("text/html; charset utf-8") + "<a href=\xC0>",
     {"А"}},
    {"CharsetAttributeAloneChangesNothing", "<meta charset=windows-1251><a href=\xC0>", {"\u00C0"}},
    {"OtherHttpEquivChangesNothing",
     "<meta http-equiv=refresh content='0; charset=windows-1251'><a href=\xC0>",
     {"\u00C0"}},
    {"EmptyContentChangesNothing",
     "<meta http-equiv=Content-Type content='' charset=windows-1251><a href=\xC0>",
     {"\u00C0"}},
    {"Utf8",
     Meta("text/html; charset=utf-8") + "<a href='\xC3\xA9\xF0\x9F\x98\x80\xFF!'>",
     {"é😀\uFFFD!"}},
    {"Utf8TruncatedAtEnd", Meta("charset=UTF-8") + "<a href=x\xE2\x82", {"x\uFFFD\uFFFD"}},
    {"Gb18030", Meta("charset=gb18030") + "<a href=\xC4\xE3\x81\x30\x81\x30>", {"你\u0080"}},
    {"Utf16Le",
     Meta("charset=utf-16le") + std::string("<\0a\0 \0h\0r\0e\0f\0=\0x\0\xAC\x20>\0", 22),
     {"x€"}},
    {"Utf16BeOddByteAtEnd",
     Meta("charset=utf-16BE") + std::string("\0<\0a\0 \0h\0r\0e\0f\0=\0x\0", 19),
     {"x\uFFFD"}},
    {"Ebcdic424", Meta("charset=cp424") + "\x4C\x81\x40\x88\x99\x85\x86\x7E\xC1\xF1\x6E", {"A1"}},
};
INSTANTIATE_TEST_SUITE_P(Cases, HtmlCharSetSwitch, ::testing::ValuesIn(kSwitchCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(HtmlCharSetPlugin, NextDocumentStartsInLatin1) {
    THtmlTestPage page;
    page.Parse(kWin1251);
    EXPECT_NE(page.Parser.ReadCharFunc(), Latin1Decoder());
    page.Parse("<a href=\xC0>");
    EXPECT_EQ(page.Found, std::vector<std::string>{"\u00C0"});
}

TEST(HtmlCharSetPlugin, HandlerSeesNameAndMayRefuseOrReplace) {
    THtmlTestPage page;
    std::vector<std::u16string> names;
    std::vector<TReadCharFunc> decoders;
    page.CharSet.OnCharSetChange = [&](THtmlCharSetPlugin&, const std::u16string& name,
                                       TReadCharFunc& decoder, bool& allow) {
        names.push_back(name);
        decoders.push_back(decoder);
        if (name == u"windows-1251")
            allow = false;
        else
            decoder = FindCharSet(u"koi8-r");
    };
    page.Parse(kWin1251 + "<a href=\xC1>" + Meta("charset=nonesuch") + "<a href=\xC1>");
    EXPECT_EQ(names, (std::vector<std::u16string>{u"windows-1251", u"nonesuch"}));
    EXPECT_EQ(decoders, (std::vector<TReadCharFunc>{FindCharSet(u"WINDOWS-1251"), nullptr}));
    EXPECT_EQ(page.Found, (std::vector<std::string>{"\u00C1", "а"}));
}

// Every name of the table selects a decoder that iconv can run, with the
// letter case of the name not mattering.
TEST(CharSetTable, EveryNameSelectsAWorkingDecoder) {
    ASSERT_EQ(CharSetTable().size(), 109u);
    for (const TCharSetEntry& entry : CharSetTable()) {
        std::u16string upper;
        for (char c : entry.Name)
            upper.push_back(static_cast<char16_t>(AsciiUpper(static_cast<unsigned char>(c))));
        EXPECT_EQ(FindCharSet(upper), entry.Decoder) << entry.Name;
        iconv_t handle = entry.Decoder->OpenHandle();
        EXPECT_EQ(handle != reinterpret_cast<iconv_t>(-1), entry.Decoder->UsesIconv())
            << entry.Name;
        if (handle != reinterpret_cast<iconv_t>(-1))
            iconv_close(handle);
    }
    EXPECT_EQ(FindCharSet(u"utf8"), nullptr);
    EXPECT_EQ(FindCharSet(u""), nullptr);
}

struct TDecodeCase {
    const char* CharSet;
    std::string_view Bytes;
    const char* Expected; // UTF-8
};

std::ostream& operator<<(std::ostream& os, const TDecodeCase& c) {
    return os << c.CharSet;
}

class CharDecoderDecode : public ::testing::TestWithParam<TDecodeCase> {};

// One telling character per set, from the set's published table.
TEST_P(CharDecoderDecode, FollowsPublishedTable) {
    TReadCharFunc decoder = FindCharSet(Utf8ToUtf16(GetParam().CharSet));
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(Utf16ToUtf8(decoder->Decode(GetParam().Bytes)), GetParam().Expected);
}

const TDecodeCase kDecodeCases[] = {
    {"us", "A\x80", "A\uFFFD"},
    {"l1", "\xE9", "é"},
    {"latin2", "\xB1", "ą"},
    {"latin3", "\xA1\xA5", "Ħ\uFFFD"},
    {"latin4", "\xA2", "ĸ"},
    {"arabic", "\xC7", "ا"},
    {"greek8", "\xE1", "α"},
    {"hebrew", "\xE0", "א"},
    {"latin5", "\xFD", "ı"},
    {"latin6", "\xBD", "―"},
    {"ISO-8859-13", "\xFF", "’"},
    {"iso-celtic", "\xA1", "Ḃ"},
    {"ISO-8859-15", "\xA4", "€"},
    {"ISO-8859-16", "\xA5", "„"},
    {"437", "\x82", "é"},
    {"cp850", "\xD5", "ı"},
    {"IBM852", "\xA5", "ą"},
    {"855", "\xA0", "а"},
    {"857", "\x8D", "ı"},
    {"860", "\x84", "ã"},
    {"861", "\x8B", "Ð"},
    {"862", "\x80", "א"},
    {"863", "\x84", "Â"},
    {"864", "\xC7", "ﺍ"},
    {"865", "\x9B", "ø"},
    {"cp866", "\x80", "А"},
    {"869", "\xD6", "α"},
    {"KOI8-R", "\xC1", "а"},
    {"KOI8-U", "\xA4", "є"},
    {"windows-1250", "\xB9", "ą"},
    {"windows-1251", "\xC0", "А"},
    {"windows-1252", "\x80", "€"},
    {"windows-1253", "\xE1", "α"},
    {"windows-1254", "\xFD", "ı"},
    {"windows-1255", "\xE0", "א"},
    {"windows-1256", "\xC7", "ا"},
    {"windows-1257", "\xE0", "ą"},
    {"windows-1258", "\xD2", "\u0309"},
    {"GB18030", "a\xC4\xE3\x94\x39\xFC\x36", "a你😀"},
    {"cp424", "\xC1\x41", "Aא"},
    {"Utf-16BE", std::string_view("\xD8\x3D\xDE\x00\0A", 6), "😀A"},
    {"Utf-16LE", std::string_view("\x3D\xD8\x00\xDEx", 5), "😀\uFFFD"},
    {"Utf-8", "\xC3\xA9\xC0\x80", "é\uFFFD\uFFFD"},
};
INSTANTIATE_TEST_SUITE_P(Sets, CharDecoderDecode, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param.CharSet; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

} // namespace
} // namespace tessaly::html::test
