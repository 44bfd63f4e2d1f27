#include "UnicodeText.h"

namespace tessaly::html {

bool SameTextAscii(std::u16string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

size_t FindTextAscii(std::u16string_view text, std::string_view needle) {
    if (needle.size() > text.size())
        return std::u16string_view::npos;
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (SameTextAscii(text.substr(i, needle.size()), needle))
            return i;
    }
    return std::u16string_view::npos;
}

void AppendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else if (c <= 0x10FFFF) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(u'\uFFFD');
    }
}

std::u16string AsciiToUtf16(std::string_view ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (char c : ascii)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        unsigned char b = *p;
        if (b < 0x80) {
            out.push_back(b);
            ++p;
            continue;
        }
        int len = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2, c = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3, c = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4, c = b & 0x07, min = 0x10000;
        }
        bool ok = len > 0 && end - p >= len;
        for (int i = 1; ok && i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (p[i] & 0x3F);
        }
        if (ok && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            ok = false;
        if (ok) {
            AppendCodePoint(out, c);
            p += len;
        } else {
            out.push_back(u'\uFFFD');
            ++p;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
    // Written through a pointer into room for the longest outcome (three
    // bytes a unit; a surrogate pair gives four for its two): links and
    // titles go through here several times a link, and appending a
    // character at a time checks the room each time.
    const size_t start = out.size();
    out.resize(start + text.size() * 3);
    char* p = out.data() + start;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (c >> 18));
            *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf8(out, text);
    // A long text (a title that never ends) does not keep three times its
    // room; a short one is not worth the copy.
    if (out.capacity() > 4096 && out.capacity() > 2 * out.size())
        out.shrink_to_fit();
    return out;
}

} // namespace tessaly::html
