#pragma once

#include <iconv.h>

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace tessaly::html {

// Turns the bytes of one character set into Unicode characters, one character
// at a time, so that the decoder can change in the middle of a document.
// Conversion is done by iconv; single-byte sets are converted once into a
// table of 256 characters.
class TCharDecoder {
  public:
    // Utf8 is decoded here directly, as iconv decodes it, without a handle.
    enum class TKind { SingleByte, MultiByte, Utf8 };

    // iconvName is the set's name for iconv; unitSize is the number of bytes
    // skipped over an undecodable sequence (2 for UTF-16, else 1).
    constexpr TCharDecoder(const char* iconvName, TKind kind, unsigned unitSize = 1)
        : iconvName_(iconvName), kind_(kind), unitSize_(unitSize == 0 ? 1 : unitSize) {}
    TCharDecoder(const TCharDecoder&) = delete;
    TCharDecoder& operator=(const TCharDecoder&) = delete;

    const char* IconvName() const { return iconvName_; }
    bool IsSingleByte() const { return kind_ == TKind::SingleByte; }
    // The decoder converts through iconv (OpenHandle gives its handle).
    bool UsesIconv() const { return kind_ != TKind::Utf8; }
    unsigned UnitSize() const { return unitSize_; }

    // The character of each byte; only for single-byte sets. Bytes the set
    // does not define map to U+FFFD.
    const char16_t* ByteTable() const;
    // A byte below 0x80 at the start of a character is that ASCII character.
    bool AsciiDirect() const;
    // AsciiDirect, and no ASCII byte is ever part of another character: an
    // ASCII character can be found by searching for its byte.
    bool AsciiTransparent() const;

    // Opens the conversion handle a multi-byte decode needs; the caller closes
    // it with iconv_close. Returns (iconv_t)-1 when iconv lacks the set.
    iconv_t OpenHandle() const;
    // Decodes the character at p (avail > 0 bytes there) with a handle from
    // OpenHandle. Sets used to the bytes it takes (at least 1); an undecodable
    // sequence gives U+FFFD.
    char32_t DecodeOne(iconv_t handle, const unsigned char* p, size_t avail, size_t& used) const;

    // Decodes a whole byte string, for callers outside the parser.
    std::u16string Decode(std::string_view bytes) const;

  private:
    void BuildTable() const;

    const char* iconvName_;
    TKind kind_;
    unsigned unitSize_;
    mutable std::once_flag tableOnce_;
    mutable std::array<char16_t, 256> table_{};
    mutable bool transparent_ = false;
};

} // namespace tessaly::html
