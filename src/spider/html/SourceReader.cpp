#include "SourceReader.h"

#include "UnicodeText.h"

#include <cstring>

namespace tessaly::html {
namespace {
const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);
}

TSourceReader::TSourceReader() : handle_(kNoHandle) {
    SetDecoder(nullptr);
}

TSourceReader::~TSourceReader() {
    CloseHandle();
}

void TSourceReader::CloseHandle() {
    if (handle_ != kNoHandle)
        iconv_close(handle_);
    handle_ = kNoHandle;
}

void TSourceReader::SetSource(std::string_view bytes) {
    data_ = reinterpret_cast<const unsigned char*>(bytes.data());
    size_ = bytes.size();
    pos_ = 0;
    cachePos_ = static_cast<size_t>(-1);
}

void TSourceReader::SetDecoder(TReadCharFunc decoder) {
    if (decoder == nullptr)
        decoder = Latin1Decoder();
    if (decoder == decoder_)
        return;
    CloseHandle();
    decoder_ = decoder;
    cachePos_ = static_cast<size_t>(-1);
    table_ = decoder->ByteTable();
    asciiDirect_ = decoder->AsciiDirect();
    transparent_ = decoder->AsciiTransparent();
    if (!table_)
        handle_ = decoder->OpenHandle();
}

char32_t TSourceReader::PeekSlow() {
    unsigned char b = data_[pos_];
    if (asciiDirect_ && b < 0x80)
        return b;
    if (cachePos_ != pos_) {
        cacheChar_ = decoder_->DecodeOne(handle_, data_ + pos_, size_ - pos_, cacheLen_);
        cachePos_ = pos_;
    }
    return cacheChar_;
}

void TSourceReader::AdvanceSlow() {
    if (asciiDirect_ && data_[pos_] < 0x80) {
        ++pos_;
        return;
    }
    PeekSlow();
    pos_ += cacheLen_;
    if (pos_ > size_)
        pos_ = size_;
}

bool TSourceReader::SkipTo(char c) {
    if (pos_ >= size_)
        return false;
    if (transparent_) {
        const void* hit = std::memchr(data_ + pos_, c, size_ - pos_);
        pos_ = hit ? static_cast<size_t>(static_cast<const unsigned char*>(hit) - data_) : size_;
        return hit != nullptr;
    }
    for (char32_t ch = Peek(); ch != kEnd; ch = Peek()) {
        if (ch == static_cast<unsigned char>(c))
            return true;
        Advance();
    }
    return false;
}

bool TSourceReader::Match(std::string_view text, bool ignoreCase) {
    size_t start = pos_;
    for (char t : text) {
        char32_t c = Next();
        char32_t want = static_cast<unsigned char>(t);
        if (ignoreCase ? AsciiUpper(c) != AsciiUpper(want) : c != want) {
            pos_ = start;
            return false;
        }
    }
    return true;
}

} // namespace tessaly::html
