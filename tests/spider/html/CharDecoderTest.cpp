// UTF-8 is decoded without iconv; every byte sequence must come out as
// iconv reads it (a character and its length, or U+FFFD and one byte).
#include "CharSetTable.h"
#include "IconvReference.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <vector>

using namespace tessaly::html;

TEST(CharDecoder, Utf8DecodesEverySequenceAsIconvDoes) {
    const TCharDecoder* utf8 = FindCharSet(u"Utf-8");
    ASSERT_NE(utf8, nullptr);
    iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    const std::vector<std::vector<unsigned char>> tails = {
        {}, {0x80}, {0x80, 0x80}, {0xBF, 0xBF}, {0x41, 0x41}, {0x80, 0x41}, {0x9F, 0xBF}};
    int differences = 0;
    for (unsigned lead = 0x80; lead <= 0xFF; ++lead)
        for (unsigned second = 0; second <= 0xFF; ++second)
            for (const auto& tail : tails) {
                std::vector<unsigned char> bytes = {static_cast<unsigned char>(lead),
                                                    static_cast<unsigned char>(second)};
                bytes.insert(bytes.end(), tail.begin(), tail.end());
                for (size_t avail = 1; avail <= bytes.size(); ++avail) {
                    char32_t want = 0xFFFD;
                    size_t wantUsed = 1;
                    if (!IconvOne(cd, bytes.data(), avail, want, wantUsed)) {
                        want = 0xFFFD;
                        wantUsed = 1;
                    }
                    size_t used = 0;
                    const char32_t got =
                        utf8->DecodeOne(reinterpret_cast<iconv_t>(-1), bytes.data(), avail, used);
                    if ((got != want || used != wantUsed) && ++differences <= 5)
                        ADD_FAILURE() << std::hex << lead << " " << second << " avail " << avail
                                      << ": " << unsigned(got) << "/" << used << " want "
                                      << unsigned(want) << "/" << wantUsed;
                }
            }
    EXPECT_EQ(differences, 0);
    iconv_close(cd);
}
