// UTF-8 is decoded without iconv; every byte sequence must come out as
// iconv reads it (a character and its length, or U+FFFD and one byte).
#include "CharSetTable.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <vector>

using namespace tessaly::html;

namespace {

// What iconv makes of the start of p: one character and the bytes it took.
bool IconvOne(iconv_t cd, const unsigned char* p, size_t avail, char32_t& c, size_t& used) {
    char in[4];
    const size_t inLen = avail < sizeof in ? avail : sizeof in;
    std::memcpy(in, p, inLen);
    unsigned char out[4];
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = inLen, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (outLeft != 0 || inPtr == in)
        return false;
    c = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    used = static_cast<size_t>(inPtr - in);
    return c <= 0x10FFFF;
}

} // namespace

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
