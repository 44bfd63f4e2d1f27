#include "CharDecoder.h"

#include "UnicodeText.h"

#include <cstring>

namespace tessaly::html {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

// Converts up to avail bytes at p into exactly one UTF-32 character. Returns
// false when the bytes do not begin with a complete, valid character.
bool ConvertOne(iconv_t cd, const unsigned char* p, size_t avail, char32_t& c, size_t& used) {
    char in[4];
    size_t inLen = avail < sizeof in ? avail : sizeof in;
    std::memcpy(in, p, inLen);
    unsigned char out[4];
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = inLen;
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    // Some converters (Vietnamese) hold a character back to combine it with
    // the next one; flushing releases it.
    if (outLeft != 0 && inPtr != in)
        iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    if (outLeft != 0 || inPtr == in)
        return false;
    c = static_cast<char32_t>(out[0]) | static_cast<char32_t>(out[1]) << 8 |
        static_cast<char32_t>(out[2]) << 16 | static_cast<char32_t>(out[3]) << 24;
    used = static_cast<size_t>(inPtr - in);
    return c <= 0x10FFFF;
}

// One well-formed UTF-8 character at p (Unicode's table of well-formed byte
// sequences: no overlong forms, no surrogates, nothing above U+10FFFF), as
// iconv reads it; false for anything else, a cut sequence included.
bool DecodeUtf8(const unsigned char* p, size_t avail, char32_t& c, size_t& used) {
    const unsigned char b = p[0];
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        c = b & 0x0F;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        c = b & 0x07;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return false;
    }
    if (avail < length || p[1] < low || p[1] > high)
        return false;
    for (size_t i = 1; i < length; ++i) {
        if (i > 1 && (p[i] < 0x80 || p[i] > 0xBF))
            return false;
        c = (c << 6) | (p[i] & 0x3F);
    }
    used = length;
    return true;
}

} // namespace

iconv_t TCharDecoder::OpenHandle() const {
    if (kind_ == TKind::Utf8)
        return kNoHandle;
    return iconv_open("UTF-32LE", iconvName_);
}

void TCharDecoder::BuildTable() const {
    std::call_once(tableOnce_, [this] {
        iconv_t cd = OpenHandle();
        for (unsigned b = 0; b < 256; ++b) {
            unsigned char byte = static_cast<unsigned char>(b);
            char32_t c = 0xFFFD;
            size_t used = 0;
            if (cd != kNoHandle && (!ConvertOne(cd, &byte, 1, c, used) || c > 0xFFFF))
                c = 0xFFFD;
            else if (cd == kNoHandle)
                c = b; // iconv without this set: keep bytes readable as Latin-1
            table_[b] = static_cast<char16_t>(c);
        }
        if (cd != kNoHandle)
            iconv_close(cd);
        bool transparent = true;
        for (unsigned b = 0; b < 256; ++b) {
            if (b < 0x80 ? table_[b] != b : table_[b] < 0x80)
                transparent = false;
        }
        transparent_ = transparent;
    });
}

const char16_t* TCharDecoder::ByteTable() const {
    if (!IsSingleByte())
        return nullptr;
    BuildTable();
    return table_.data();
}

bool TCharDecoder::AsciiDirect() const {
    if (IsSingleByte())
        return AsciiTransparent();
    return unitSize_ == 1;
}

bool TCharDecoder::AsciiTransparent() const {
    if (IsSingleByte()) {
        BuildTable();
        return transparent_;
    }
    // Of the multi-byte sets only UTF-8 keeps every byte of a longer sequence
    // above 0x7F.
    return kind_ == TKind::Utf8;
}

char32_t TCharDecoder::DecodeOne(iconv_t handle, const unsigned char* p, size_t avail,
                                 size_t& used) const {
    if (IsSingleByte()) {
        used = 1;
        return ByteTable()[*p];
    }
    if (AsciiDirect() && *p < 0x80) {
        used = 1;
        return *p;
    }
    char32_t c = 0;
    if (kind_ == TKind::Utf8 ? DecodeUtf8(p, avail, c, used)
                             : handle != kNoHandle && ConvertOne(handle, p, avail, c, used))
        return c;
    used = unitSize_ < avail ? unitSize_ : avail;
    return 0xFFFD;
}

std::u16string TCharDecoder::Decode(std::string_view bytes) const {
    std::u16string out;
    out.reserve(bytes.size());
    iconv_t cd = IsSingleByte() ? kNoHandle : OpenHandle();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        size_t used = 1;
        AppendCodePoint(out, DecodeOne(cd, p, left, used));
        p += used;
        left -= used;
    }
    if (cd != kNoHandle)
        iconv_close(cd);
    return out;
}

} // namespace tessaly::html
