#pragma once

#include <string>
#include <string_view>

// Character classes and conversions shared by the HTML parser and the address
// class, which both work on 16-bit Unicode text. Letters and digits are the
// ASCII ones: markup names and address components are defined over ASCII.
namespace tessaly::html {

inline bool IsBlank(char32_t c) {
    return c <= 32;
}
inline bool IsAsciiLetter(char32_t c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline bool IsAsciiDigit(char32_t c) {
    return c >= '0' && c <= '9';
}
inline bool IsHexDigit(char32_t c) {
    return IsAsciiDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}
// Characters that may follow the first letter of a tag, attribute, reference or
// character-set name.
inline bool IsNameChar(char32_t c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == ':' || c == '_';
}
inline char32_t AsciiUpper(char32_t c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// Compares without regard to ASCII letter case.
bool SameTextAscii(std::u16string_view a, std::string_view b);
// Index of the first occurrence of the ASCII text needle in text, ignoring
// ASCII letter case; npos when absent.
size_t FindTextAscii(std::u16string_view text, std::string_view needle);

// Appends a code point as one or two UTF-16 units.
void AppendCodePoint(std::u16string& out, char32_t c);

std::u16string AsciiToUtf16(std::string_view ascii);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// The same appended to out, which keeps its room (for texts converted one
// after another into one buffer).
void AppendUtf8(std::string& out, std::u16string_view text);

} // namespace tessaly::html
