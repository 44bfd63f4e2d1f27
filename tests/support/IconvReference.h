#pragma once
// The character iconv reads at the start of some bytes, for checking a
// decoder that works without iconv against it.
#include <iconv.h>

#include <cstddef>
#include <cstring>

// One character and the number of bytes it took; false when the bytes do
// not begin with a complete, valid character.
inline bool IconvOne(iconv_t cd, const unsigned char* p, size_t avail, char32_t& c, size_t& used) {
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
