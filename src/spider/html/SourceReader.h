#pragma once

#include "CharSetTable.h"

#include <iconv.h>

#include <cstddef>
#include <string_view>

namespace tessaly::html {

// Reads the characters of a byte source one by one through a decoder that can
// be replaced at any character boundary. Positions are byte offsets; a
// position obtained from Pos() can be returned to with Seek() as long as the
// decoder has not changed in between.
class TSourceReader {
  public:
    static constexpr char32_t kEnd = 0xFFFFFFFF;

    TSourceReader();
    ~TSourceReader();
    TSourceReader(const TSourceReader&) = delete;
    TSourceReader& operator=(const TSourceReader&) = delete;

    // The bytes are not copied: they must stay alive until Release() or the
    // next SetSource().
    void SetSource(std::string_view bytes);
    void Release() { SetSource({}); }
    std::string_view Source() const { return {reinterpret_cast<const char*>(data_), size_}; }

    // nullptr selects Latin-1.
    void SetDecoder(TReadCharFunc decoder);
    TReadCharFunc Decoder() const { return decoder_; }

    bool AtEnd() const { return pos_ >= size_; }
    size_t Pos() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos < size_ ? pos : size_; }

    // The character at the current position, or kEnd.
    char32_t Peek() {
        if (pos_ >= size_)
            return kEnd;
        if (table_)
            return table_[data_[pos_]];
        if (asciiDirect_ && data_[pos_] < 0x80)
            return data_[pos_];
        return PeekSlow();
    }
    void Advance() {
        if (pos_ >= size_)
            return;
        if (table_ || (asciiDirect_ && data_[pos_] < 0x80))
            ++pos_;
        else
            AdvanceSlow();
    }
    char32_t Next() {
        char32_t c = Peek();
        Advance();
        return c;
    }

    // Moves to the next ASCII character c, or to the end when there is none.
    bool SkipTo(char c);
    // Moves past the ASCII text when it follows (without regard to letter
    // case when ignoreCase); otherwise stays and returns false.
    bool Match(std::string_view text, bool ignoreCase = false);

  private:
    char32_t PeekSlow();
    void AdvanceSlow();
    void CloseHandle();

    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    TReadCharFunc decoder_ = nullptr;
    const char16_t* table_ = nullptr;
    bool asciiDirect_ = false;
    bool transparent_ = false;
    iconv_t handle_;
    // The last character decoded through iconv, which Advance() reuses.
    size_t cachePos_ = static_cast<size_t>(-1);
    char32_t cacheChar_ = 0;
    size_t cacheLen_ = 1;
};

} // namespace tessaly::html
